#include "core/playback/FrameReader.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tolvek {

namespace {

struct FileStamp {
    bool ok = false;
    std::uintmax_t size = 0;
    std::int64_t time = 0;
};

FileStamp stampOf(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    FileStamp s;
    s.size = std::filesystem::file_size(p, ec);
    if (ec)
        return {};
    const auto t = std::filesystem::last_write_time(p, ec);
    if (ec)
        return {};
    s.time = t.time_since_epoch().count();
    s.ok = true;
    return s;
}

}  // namespace

FrameReader::FrameReader(std::size_t cacheBytes) : m_cacheBytes(cacheBytes) {}

bool FrameReader::open(const std::string& path)
{
    close();
    const FileStamp stamp = stampOf(path);
    // A missing file is not handed to OpenCV, which would try it as an image sequence pattern.
    if (!stamp.ok)
        return false;
    if (!m_cap.open(path) || !m_cap.isOpened()) {
        m_cap.release();
        return false;
    }
    m_open = true;
    m_path = path;
    m_fileSize = stamp.size;
    m_fileTime = stamp.time;
    m_frameCount = std::max(0.0, m_cap.get(cv::CAP_PROP_FRAME_COUNT));
    m_fps = m_cap.get(cv::CAP_PROP_FPS);
    return true;
}

bool FrameReader::openIfChanged(const std::string& path)
{
    if (m_open && path == m_path) {
        const FileStamp stamp = stampOf(path);
        if (stamp.ok && stamp.size == m_fileSize && stamp.time == m_fileTime)
            return true;
    }
    return open(path);
}

void FrameReader::close()
{
    if (m_cap.isOpened())
        m_cap.release();
    m_open = false;
    m_path.clear();
    m_cache.clear();
    m_next = 0;
    m_last = -1;
    m_frameCount = 0;
    m_fps = 0;
}

cv::Mat FrameReader::readNext()
{
    return frameAt(m_last + 1);
}

cv::Mat FrameReader::frameAt(int index)
{
    if (!m_open || index < 0)
        return {};
    if (auto it = m_cache.find(index); it != m_cache.end()) {
        ++m_stats.cacheHits;
        m_last = index;
        return it->second;
    }
    bool fillBehind = false;
    int focus = index;
    if (index < m_next || index - m_next > SkipAheadLimit) {
        // A short step back pays for one seek and a read-on that fills the cache, so that the
        // following steps back are served without decoding; a far jump seeks to its frame.
        fillBehind = m_last >= 0 && index < m_last && m_last - index <= ReadBackWindow;
        const int from = fillBehind ? std::max(0, index - std::min(ReadBackWindow, m_capacity - 4)) : index;
        // The frames just read are the ones the next steps back need: keep them over older ones.
        focus = (from + index) / 2;
        seekTo(from);
    }
    // Frames passed on the way are only decoded (no colour conversion) unless they fill the
    // cache behind a step back.
    while (m_next < index) {
        if (m_keepGoing && !m_keepGoing->load())
            return {};
        const bool keep = fillBehind && !m_cache.count(m_next);
        if (keep ? decodeNext(focus).empty() : !skipNext())
            return {};
    }
    cv::Mat frame = decodeNext(focus);
    if (!frame.empty())
        m_last = index;
    return frame;
}

bool FrameReader::atEndOfFile()
{
    if (!m_open || m_last < 0 || m_last != m_next - 1)
        return false;
    return m_cap.get(cv::CAP_PROP_POS_AVI_RATIO) >= 1.0;
}

cv::Mat FrameReader::decodeNext(int focus)
{
    cv::Mat frame;
    if (!m_cap.read(frame) || frame.empty())
        return {};
    ++m_stats.decoded;
    remember(m_next, frame, focus);
    ++m_next;
    return frame;
}

bool FrameReader::skipNext()
{
    if (!m_cap.grab())
        return false;
    ++m_stats.decoded;
    ++m_next;
    return true;
}

void FrameReader::seekTo(int index)
{
    m_cap.set(cv::CAP_PROP_POS_FRAMES, index);
    ++m_stats.seeks;
    m_next = index;
}

void FrameReader::remember(int index, const cv::Mat& frame, int focus)
{
    if (m_cache.empty()) {
        const std::size_t bytes = std::max<std::size_t>(1, frame.total() * frame.elemSize());
        m_capacity = int(std::clamp<std::size_t>(m_cacheBytes / bytes, 4, MaxCachedFrames));
    }
    m_cache[index] = frame;
    // The frames farthest from where the viewer is go first.
    while (int(m_cache.size()) > m_capacity) {
        auto first = m_cache.begin();
        auto last = std::prev(m_cache.end());
        if (std::abs(first->first - focus) >= std::abs(last->first - focus))
            m_cache.erase(first);
        else
            m_cache.erase(last);
    }
}

}  // namespace tolvek
