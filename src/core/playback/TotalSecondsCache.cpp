#include "core/playback/TotalSecondsCache.h"

#include "core/settings/VideoFileName.h"

#include <QFileInfo>

#include <opencv2/videoio.hpp>

#include <cmath>

namespace tolvek {

int TotalSecondsCache::lookup(const QString& folder, const QString& name)
{
    if (name.isEmpty()) {
        m_name.clear();
        m_seconds = -1;
        return m_seconds;
    }
    if (name == m_name && m_seconds >= 0)
        return m_seconds;
    m_name = name;
    m_seconds = -1;
    const QString path = makeSavePath(folder, name);
    if (!QFileInfo(path).isFile())
        return m_seconds;
    cv::VideoCapture cap(path.toStdString());
    if (!cap.isOpened())
        return m_seconds;
    const double fps = cap.get(cv::CAP_PROP_FPS);
    const double frames = cap.get(cv::CAP_PROP_FRAME_COUNT);
    cap.release();
    if (fps > 0 && frames > 0) {
        const long long seconds = std::llround(frames / fps);
        m_seconds = seconds < 0 || seconds > 0x7fffffff ? -1 : int(seconds);
    }
    return m_seconds;
}

} // namespace tolvek
