#include "core/capture/DisplayFrame.h"

#include <opencv2/imgproc.hpp>

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
    m_shared.release();
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

void DisplayFrame::storeBgr(const std::uint8_t* bgr, int width, int height, int stride)
{
    if (!bgr || width <= 0 || height <= 0) {
        clear();
        return;
    }
    const std::size_t rowBytes = std::size_t(width) * 3;
    const cv::Mat source(height, width, CV_8UC3, const_cast<std::uint8_t*>(bgr), std::size_t(stride));
    std::lock_guard lock(m_mutex);
    m_shared.release();
    if (width != m_width || height != m_height || m_pixels.empty()) {
        m_width = width;
        m_height = height;
        m_pixels.resize(rowBytes * height);
    }
    cv::Mat target(height, width, CV_8UC3, m_pixels.data(), rowBytes);
    cv::cvtColor(source, target, cv::COLOR_BGR2RGB);
    m_ready = true;
}

void DisplayFrame::shareBgr(const cv::Mat& bgr)
{
    if (bgr.empty() || bgr.type() != CV_8UC3 || bgr.dims != 2) {
        clear();
        return;
    }
    cv::Mat previous;
    {
        std::lock_guard lock(m_mutex);
        previous = m_shared; // freed outside the lock
        m_shared = bgr;
        m_width = bgr.cols;
        m_height = bgr.rows;
        m_pixels.clear();
        m_ready = true;
    }
}

void DisplayFrame::clear()
{
    std::lock_guard lock(m_mutex);
    m_shared.release();
    m_ready = false;
    m_pixels.clear();
    m_width = 0;
    m_height = 0;
}

FrameCopy DisplayFrame::copy() const
{
    std::lock_guard lock(m_mutex);
    if (!m_ready || m_width <= 0 || m_height <= 0)
        return {};
    if (!m_shared.empty()) {
        FrameCopy f;
        f.rgb.resize(std::size_t(m_width) * m_height * 3);
        f.width = m_width;
        f.height = m_height;
        cv::Mat target(m_height, m_width, CV_8UC3, f.rgb.data());
        cv::cvtColor(m_shared, target, cv::COLOR_BGR2RGB);
        return f;
    }
    if (m_pixels.empty())
        return {};
    return {m_pixels, m_width, m_height};
}

bool DisplayFrame::ready() const
{
    std::lock_guard lock(m_mutex);
    return m_ready;
}

} // namespace tolvek
