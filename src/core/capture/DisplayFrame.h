#pragma once
// The frame shown in the video picture: RGB bytes (red first), rows top to bottom, no padding.
// Written by the capture thread and by the player's frame display, painted by the UI thread.
// Thread-safety: one mutex guards every field and is held only for copies.

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <mutex>
#include <vector>

namespace tolvek {

struct FrameCopy
{
    std::vector<std::uint8_t> rgb;
    int width = 0;
    int height = 0;
    bool valid() const { return width > 0 && height > 0 && rgb.size() >= std::size_t(width) * height * 3; }
};

class DisplayFrame
{
  public:
    // Copies width x height x 3 bytes of RGB pixels in and marks the frame ready. The buffer is
    // reallocated only when the size changes.
    void store(const std::uint8_t* rgb, int width, int height, int stride);
    // Same, from BGR pixels (OpenCV's order): the channels are swapped while copying, in one
    // pass over the picture, so the capture and player threads need no converted copy of their own.
    void storeBgr(const std::uint8_t* bgr, int width, int height, int stride);
    // Keeps a reference to a BGR picture instead of copying it, for a writer that never changes
    // that buffer again (the capture thread lets go of it and reads the next frame into a new
    // one). Storing then costs nothing on the writer's thread; copy() puts the channels in order.
    void shareBgr(const cv::Mat& bgr);
    // Empties the frame: not ready, no pixels, size 0 x 0 (the picture is then painted white).
    void clear();
    // A copy of the current frame, or an invalid copy when there is none ready.
    FrameCopy copy() const;
    bool ready() const;

  private:
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_pixels;
    cv::Mat m_shared; // a shared BGR picture, when set it is the frame and m_pixels is unused
    int m_width = 0;
    int m_height = 0;
    bool m_ready = false;
};

} // namespace tolvek
