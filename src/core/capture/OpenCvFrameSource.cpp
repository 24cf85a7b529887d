#include "core/capture/OpenCvFrameSource.h"

#include <QFileInfo>

#include <thread>

namespace tolvek {

OpenCvFrameSource::OpenCvFrameSource(int v4l2Node, cv::Size wanted) : m_node(v4l2Node), m_wanted(wanted) {}

OpenCvFrameSource::OpenCvFrameSource(QString source) : m_source(std::move(source)) {}

OpenCvFrameSource::~OpenCvFrameSource()
{
    release();
}

bool OpenCvFrameSource::open()
{
    release();
    try {
        if (m_node >= 0) {
            m_capture.open(m_node, cv::CAP_V4L2);
            if (m_capture.isOpened() && m_wanted.width > 0 && m_wanted.height > 0) {
                m_capture.set(cv::CAP_PROP_FRAME_WIDTH, m_wanted.width);
                m_capture.set(cv::CAP_PROP_FRAME_HEIGHT, m_wanted.height);
            }
        } else if (!m_source.isEmpty()) {
            m_capture.open(m_source.toStdString(), cv::CAP_ANY);
            // A file would otherwise be read as fast as it decodes; a live source paces itself.
            m_paced = QFileInfo(m_source).isFile();
        }
    } catch (const cv::Exception&) {
        m_capture.release();
    }
    if (!m_capture.isOpened())
        return false;
    m_fps = m_capture.get(cv::CAP_PROP_FPS);
    if (!(m_fps > 0.0 && m_fps < 1000.0))
        m_fps = 0.0;
    m_nextFrame = std::chrono::steady_clock::now();
    return true;
}

bool OpenCvFrameSource::isOpened() const
{
    return m_capture.isOpened();
}

bool OpenCvFrameSource::read(cv::Mat& bgr)
{
    if (!m_capture.isOpened())
        return false;
    if (m_paced)
        paceToNominalRate();
    try {
        if (!m_capture.read(bgr))
            return false;
    } catch (const cv::Exception&) {
        return false;
    }
    return toBgr8(bgr);
}

void OpenCvFrameSource::paceToNominalRate()
{
    using namespace std::chrono;
    const double fps = m_fps > 0.0 ? m_fps : 30.0;
    const auto period = duration_cast<steady_clock::duration>(duration<double>(1.0 / fps));
    const auto now = steady_clock::now();
    if (m_nextFrame > now)
        std::this_thread::sleep_until(m_nextFrame);
    else if (now - m_nextFrame > 2 * period)
        m_nextFrame = now; // fell behind (debugger, loaded machine): resume the rate, no burst
    m_nextFrame += period;
}

void OpenCvFrameSource::release()
{
    m_capture.release();
    m_paced = false;
}

cv::Size OpenCvFrameSource::frameSize() const
{
    if (!m_capture.isOpened())
        return {};
    return {int(m_capture.get(cv::CAP_PROP_FRAME_WIDTH)), int(m_capture.get(cv::CAP_PROP_FRAME_HEIGHT))};
}

double OpenCvFrameSource::nominalFps() const
{
    return m_fps;
}

} // namespace tolvek
