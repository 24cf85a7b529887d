#include "core/library/FillMissingLengths.h"

#include <QFile>

#include <opencv2/videoio.hpp>

#include <climits>

namespace tolvek {

bool isMissingLength(const QString& cell)
{
    return cell == QLatin1String(MissingLengthMark);
}

QString lengthTextFromFrames(double frames, double fps)
{
    int s = 1;
    if (fps > 0.0) {
        const float d = float(frames / fps);
        if (d > 0.0f) // also false for NaN
            s = d >= float(INT_MAX) ? INT_MAX : int(d);
    }
    if (s >= 60)
        return QString::asprintf("%dm%02ds", s / 60, s % 60);
    return QString::asprintf(" %02ds", s);
}

QString measureLengthText(const QString& path)
{
    double frames = 0.0, fps = 0.0;
    if (QFile::exists(path)) {
        cv::VideoCapture capture;
        try {
            if (capture.open(QFile::encodeName(path).toStdString(), cv::CAP_FFMPEG)) {
                frames = capture.get(cv::CAP_PROP_FRAME_COUNT);
                fps = capture.get(cv::CAP_PROP_FPS);
            }
        } catch (const cv::Exception&) {
            frames = fps = 0.0;
        }
        capture.release();
    }
    return lengthTextFromFrames(frames, fps);
}

} // namespace tolvek
