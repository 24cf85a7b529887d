#pragma once
// The frame shown in the video picture: RGB bytes (red first), rows top to bottom, no padding.
// Written by the capture thread and by the player's frame display, painted by the UI thread.
// Thread-safety: one mutex guards every field and is held only for copies.

#include <cstdint>
#include <mutex>
#include <vector>

namespace tolvek {

struct FrameCopy {
    std::vector<std::uint8_t> rgb;
    int width = 0;
    int height = 0;
    bool valid() const { return width > 0 && height > 0 && rgb.size() >= std::size_t(width) * height * 3; }
};

class DisplayFrame {
public:
    // Copies width x height x 3 bytes of RGB pixels in and marks the frame ready. The buffer is
    // reallocated only when the size changes.
    void store(const std::uint8_t* rgb, int width, int height, int stride);
    // Empties the frame: not ready, no pixels, size 0 x 0 (the picture is then painted white).
    void clear();
    // A copy of the current frame, or an invalid copy when there is none ready.
    FrameCopy copy() const;
    bool ready() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::uint8_t> m_pixels;
    int m_width = 0;
    int m_height = 0;
    bool m_ready = false;
};

}  // namespace tolvek
