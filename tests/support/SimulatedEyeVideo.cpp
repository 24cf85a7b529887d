#include "support/SimulatedEyeVideo.h"

#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/WmvWriter.h"
#include "core/sensor/HeadOverlay.h"

#include <opencv2/core.hpp>

namespace tolvek::test {

QString recordSimulatedEye(const QString& path, const SimulatedEyeSource& eye, int frames,
                           const SimulatedEyeVideo& video)
{
    media::WmvWriter writer;
    media::WmvWriterSettings settings;
    settings.width = eye.frameSize().width;
    settings.height = eye.frameSize().height;
    settings.fps = eye.nominalFps();
    if (!writer.open(path, settings))
        return {};
    cv::Mat frame;
    for (int k = 0; k < frames; ++k) {
        eye.renderFrame(k, frame);
        stampFrame(frame, 0, video.start.addMSecs(qint64(k * 1000 / eye.nominalFps())), video.patientId);
        drawHeadOverlay(frame, video.headPose ? video.headPose(k) : ManualPoseTable[4], 2);
        if (!writer.write(frame))
            return {};
    }
    return writer.close() ? path : QString();
}

} // namespace tolvek::test
