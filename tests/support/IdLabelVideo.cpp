#include "support/IdLabelVideo.h"

#include "core/capture/FrameStamps.h"
#include "core/media/WmvWriter.h"

#include <QFile>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace tolvek::test {

QString makeIdLabelWmv(const QString& path, int frames, int id, int w, int h, int fps)
{
    media::WmvWriter writer;
    if (!writer.open(
            path,
            {.width = w, .height = h, .fps = double(fps), .productMark = false, .headerReserve = false}))
        return {};
    cv::Mat frame(h, w, CV_8UC3);
    for (int i = 0; i < frames; ++i) {
        frame.setTo(cv::Scalar(90 + i % 40, 120, 150));
        stampIdLabel(frame, id);
        if (!writer.write(frame))
            return {};
    }
    return writer.close() ? path : QString();
}

double idLabelDifference(const QString& path, int frame, int id)
{
    cv::VideoCapture reader(path.toStdString());
    cv::Mat decoded;
    for (int i = 0; i <= frame; ++i)
        if (!reader.read(decoded) || decoded.empty())
            return -1;
    cv::Mat clean = decoded.clone();
    stampIdLabel(clean, id);
    const cv::Rect box(0, decoded.rows - 20, std::min(142, decoded.cols), 20);
    cv::Mat a, b;
    cv::cvtColor(decoded(box), a, cv::COLOR_BGR2GRAY);
    cv::cvtColor(clean(box), b, cv::COLOR_BGR2GRAY);
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    return cv::mean(diff)[0];
}

} // namespace tolvek::test
