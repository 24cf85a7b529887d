#pragma once
// A frame source read through OpenCV: a V4L2 capture device by its /dev/videoN number, or any
// source string OpenCV opens (video file, RTSP URL, GStreamer pipeline). A video file is paced
// to its own frame rate so that it stands in for a live camera; its end reads as a lost camera.
// One thread only. Failure modes: open() and read() return false.

#include "core/capture/FrameSource.h"

#include <opencv2/videoio.hpp>

#include <chrono>

namespace tolvek {

class OpenCvFrameSource : public FrameSource
{
  public:
    // /dev/video<node>, opened with the V4L2 back end. A valid `wanted` size is asked of the
    // device at open, so that a camera able to deliver the capture size needs no scaling per
    // frame; a device that cannot keeps a size of its own choosing.
    explicit OpenCvFrameSource(int v4l2Node, cv::Size wanted = {});
    // Any source string, opened with whichever back end takes it.
    explicit OpenCvFrameSource(QString source);
    ~OpenCvFrameSource() override;

    bool open() override;
    bool isOpened() const override;
    bool read(cv::Mat& bgr) override;
    void release() override;
    cv::Size frameSize() const override;
    double nominalFps() const override;

  private:
    void paceToNominalRate();

    int m_node = -1;
    cv::Size m_wanted;
    QString m_source;
    cv::VideoCapture m_capture;
    bool m_paced = false;
    double m_fps = 0.0;
    std::chrono::steady_clock::time_point m_nextFrame;
};

} // namespace tolvek
