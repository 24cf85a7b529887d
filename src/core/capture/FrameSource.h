#pragma once
// The camera behind an interface: a V4L2 device, any source OpenCV opens (file, URL, pipeline),
// or the built-in simulated eye camera. A source is used by one thread only (the capture
// thread). Failure modes: open() and read() return false; nothing throws.

#include <QString>

#include <opencv2/core.hpp>

#include <functional>
#include <memory>

namespace tolvek {

class Settings;

class FrameSource
{
  public:
    virtual ~FrameSource() = default;

    virtual bool open() = 0;
    virtual bool isOpened() const = 0;
    // Blocks until the next frame (a camera's own pace) and stores it as 8-bit BGR. False when
    // no frame came: the camera is gone, the file ended, or the source is not open.
    virtual bool read(cv::Mat& bgr) = 0;
    virtual void release() = 0;
    // The size the source delivers, 0 x 0 while unknown.
    virtual cv::Size frameSize() const = 0;
    // Frames per second the source claims, 0 when it does not say.
    virtual double nominalFps() const = 0;
};

// Creates the source of camera `index`, or null when there is no such camera. The capture thread
// calls it on its own thread whenever it (re)opens a camera.
using FrameSourceFactory = std::function<std::unique_ptr<FrameSource>(int index)>;

// Creates the source for camera index `index`. Without a command-line source (empty cameraSource) the
// index picks the index-th V4L2 capture device. With one ("sim" or any OpenCV source string)
// that source is the only camera: index 0 is it, every other index gives null. An index beyond
// the devices gives null too. The simulated camera delivers the settings' capture size at their
// frame rate; the overload without settings reads appSettings().
std::unique_ptr<FrameSource> makeFrameSource(const QString& cameraSource, int index);
std::unique_ptr<FrameSource> makeFrameSource(const QString& cameraSource, int index,
                                             const Settings& settings);

// Brings any frame OpenCV delivers (grey, BGRA, 16-bit) to 8-bit, 3-channel BGR in place.
// False for an empty frame or one with a channel count no camera gives.
bool toBgr8(cv::Mat& frame);

// The command-line source that selects the simulated eye camera.
inline constexpr char SimulatedCameraSource[] = "sim";

} // namespace tolvek
