#pragma once
// A video file kept open for showing frames by number. The next frame is read on, a frame a
// little ahead is reached by skipping, frames just behind come from a cache that one seek and a
// short read-on fill, and only a far jump seeks straight to its frame. Frames returned share
// their pixels with the cache: clone before drawing on them.
// Thread-safety: one thread at a time. Failure modes: a file that does not open, a frame past
// the end and an unreadable frame all give an empty cv::Mat; nothing throws.

#include <opencv2/core/mat.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace tolvek {

class FrameReader {
public:
    static constexpr std::size_t DefaultCacheBytes = std::size_t(128) << 20;
    static constexpr int MaxCachedFrames = 64;
    static constexpr int SkipAheadLimit = 24;  // frames skipped forward before a seek is cheaper
    static constexpr int ReadBackWindow = 40;  // frames decoded ahead of a backward step's target

    struct Stats {
        int seeks = 0;
        int decoded = 0;  // frames decoded, skipped ones included
        int cacheHits = 0;
    };

    explicit FrameReader(std::size_t cacheBytes = DefaultCacheBytes);

    // Opens path (UTF-8); any earlier file is closed first. False when it does not open.
    bool open(const std::string& path);
    // Keeps the open file when it is the same path, size and modification time; else opens anew.
    bool openIfChanged(const std::string& path);
    void close();
    bool isOpen() const { return m_open; }
    const std::string& path() const { return m_path; }

    double frameCountProperty() const { return m_frameCount; }  // CAP_PROP_FRAME_COUNT at open
    double fpsProperty() const { return m_fps; }                // CAP_PROP_FPS at open

    // The frame after the one last returned (frame 0 right after opening).
    cv::Mat readNext();
    // The frame with this index; empty when the index is negative, past the end or unreadable.
    cv::Mat frameAt(int index);
    // Index of the frame last returned, -1 when none yet.
    int lastIndex() const { return m_last; }
    // True when the frame last returned is the decoder's own last read and the decoder reports a
    // relative position of 1.0 (the end of the file).
    bool atEndOfFile();

    // A flag checked between decodes: once it is cleared, frameAt gives up and returns empty.
    void setKeepGoing(const std::atomic<bool>* keepGoing) { m_keepGoing = keepGoing; }

    const Stats& stats() const { return m_stats; }
    int cachedFrames() const { return int(m_cache.size()); }

private:
    cv::Mat decodeNext(int focus);
    bool skipNext();
    void seekTo(int index);
    void remember(int index, const cv::Mat& frame, int focus);

    cv::VideoCapture m_cap;
    bool m_open = false;
    std::string m_path;
    std::uintmax_t m_fileSize = 0;
    std::int64_t m_fileTime = 0;
    double m_frameCount = 0;
    double m_fps = 0;
    int m_next = 0;  // the index the decoder's next read returns
    int m_last = -1;
    std::size_t m_cacheBytes;
    int m_capacity = 4;
    std::map<int, cv::Mat> m_cache;
    Stats m_stats;
    const std::atomic<bool>* m_keepGoing = nullptr;
};

}  // namespace tolvek
