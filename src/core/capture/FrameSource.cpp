#include "core/capture/FrameSource.h"

#include "core/capture/CameraDevices.h"
#include "core/capture/OpenCvFrameSource.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/settings/Settings.h"

#include <opencv2/imgproc.hpp>

namespace tolvek {

std::unique_ptr<FrameSource> makeFrameSource(const QString& cameraSource, int index)
{
    return makeFrameSource(cameraSource, index, appSettings());
}

std::unique_ptr<FrameSource> makeFrameSource(const QString& cameraSource, int index, const Settings& settings)
{
    if (index < 0)
        return nullptr;
    if (!cameraSource.isEmpty()) {
        if (index != 0)
            return nullptr;
        if (cameraSource == QLatin1String(SimulatedCameraSource)) {
            SimulatedEyeSource::Options options;
            options.width = settings.captureWidth();
            options.height = settings.captureHeight();
            const int fps = settings.getInt(CaptureFps);
            if (fps > 0)
                options.fps = fps;
            return std::make_unique<SimulatedEyeSource>(options);
        }
        return std::make_unique<OpenCvFrameSource>(cameraSource);
    }
    const auto devices = listCaptureDevices();
    if (std::size_t(index) >= devices.size())
        return nullptr;
    return std::make_unique<OpenCvFrameSource>(devices[index].node,
                                               cv::Size(settings.captureWidth(), settings.captureHeight()));
}

bool toBgr8(cv::Mat& frame)
{
    if (frame.empty())
        return false;
    if (frame.depth() != CV_8U) {
        // 16-bit sensors use the full range; scale to 8 bits instead of clipping to white.
        const double scale = frame.depth() == CV_16U ? 1.0 / 256.0 : 1.0;
        cv::Mat eight;
        frame.convertTo(eight, CV_8U, scale);
        frame = eight;
    }
    switch (frame.channels()) {
    case 3:
        return true;
    case 1:
        cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
        return true;
    case 4:
        cv::cvtColor(frame, frame, cv::COLOR_BGRA2BGR);
        return true;
    default:
        return false;
    }
}

} // namespace tolvek
