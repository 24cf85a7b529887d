#include "core/capture/DisplayFrame.h"

#include <cstring>

namespace tolvek {

void DisplayFrame::store(const std::uint8_t* rgb, int width, int height, int stride)
{
    if (!rgb || width <= 0 || height <= 0) {
        clear();
        return;
    }
    const std::size_t rowBytes = std::size_t(width) * 3;
    std::lock_guard lock(m_mutex);
    if (width != m_width || height != m_height || m_pixels.empty()) {
        m_width = width;
        m_height = height;
        m_pixels.resize(rowBytes * height);
    }
    if (std::size_t(stride) == rowBytes) {
        std::memcpy(m_pixels.data(), rgb, rowBytes * height);
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(m_pixels.data() + rowBytes * y, rgb + std::size_t(stride) * y, rowBytes);
    }
    m_ready = true;
}

void DisplayFrame::clear()
{
    std::lock_guard lock(m_mutex);
    m_ready = false;
    m_pixels.clear();
    m_width = 0;
    m_height = 0;
}

FrameCopy DisplayFrame::copy() const
{
    std::lock_guard lock(m_mutex);
    if (!m_ready || m_pixels.empty() || m_width <= 0 || m_height <= 0)
        return {};
    return {m_pixels, m_width, m_height};
}

bool DisplayFrame::ready() const
{
    std::lock_guard lock(m_mutex);
    return m_ready;
}

}  // namespace tolvek
