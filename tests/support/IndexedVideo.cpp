#include "support/IndexedVideo.h"

#include "core/media/WmvWriter.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace tolvek::test {

namespace {

constexpr int Bits = 12;

int decodeBars(const cv::Mat& grey)
{
    const int w = grey.cols / Bits;
    const int h = grey.rows / 5;
    if (w < 2 || h < 2)
        return -1;
    int value = 0;
    for (int b = 0; b < Bits; ++b) {
        const cv::Scalar mean =
            cv::mean(grey(cv::Rect(b * w + w / 4, h / 4, std::max(1, w / 2), std::max(1, h / 2))));
        if (mean[0] > 128)
            value |= 1 << b;
    }
    return value;
}

} // namespace

cv::Mat indexedFrame(int index, int width, int height)
{
    cv::Mat m(height, width, CV_8UC3, cv::Scalar(60, 90, 120));
    const int w = width / Bits;
    const int h = height / 5;
    for (int b = 0; b < Bits; ++b) {
        const bool on = (index >> b) & 1;
        cv::rectangle(m, cv::Rect(b * w, 0, w, h), on ? cv::Scalar(235, 235, 235) : cv::Scalar(20, 20, 20),
                      cv::FILLED);
    }
    return m;
}

bool writeIndexedWmv(const QString& path, int frames, int width, int height, double fps)
{
    media::WmvWriter writer;
    if (!writer.open(
            path,
            {.width = width, .height = height, .fps = fps, .productMark = false, .headerReserve = false}))
        return false;
    for (int i = 0; i < frames; ++i)
        if (!writer.write(indexedFrame(i, width, height)))
            return false;
    return writer.close();
}

int frameIndexOf(const cv::Mat& bgr)
{
    if (bgr.empty())
        return -1;
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    return decodeBars(grey);
}

int frameIndexOf(const FrameCopy& rgb)
{
    if (!rgb.valid())
        return -1;
    const cv::Mat m(rgb.height, rgb.width, CV_8UC3, const_cast<std::uint8_t*>(rgb.rgb.data()));
    cv::Mat grey;
    cv::cvtColor(m, grey, cv::COLOR_RGB2GRAY);
    return decodeBars(grey);
}

} // namespace tolvek::test
