#pragma once
// A video file kept open for showing frames by number. At open the packets are read once without
// decoding into an index of time stamp, byte position and key flag per frame, so that any frame
// costs at most one group of pictures of decoding: a jump seeks to the key frame at or before it
// and decodes on from there. Frames just behind come from a cache that a step back fills with the
// target's group of pictures.
// Pictures and numbering equal a sequential cv::VideoCapture read (BGR, 8UC3, same conversion).
// Frames returned share their pixels with the cache: clone before drawing on them.
// Thread-safety: one thread at a time. Failure modes: a file that does not open, a frame past
// the end and an unreadable frame all give an empty cv::Mat; nothing throws.

#include <opencv2/core/mat.hpp>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace tolvek {

class FrameReader
{
  public:
    static constexpr std::size_t DefaultCacheBytes = std::size_t(128) << 20;
    static constexpr int MaxCachedFrames = 64;
    // A jump back of at most this many frames is a step back: it keeps the target's whole group
    // of pictures in the cache for the steps that follow.
    static constexpr int ReadBackWindow = 40;

    struct Stats
    {
        int seeks = 0;
        int decoded = 0; // frames decoded, skipped ones included
        int cacheHits = 0;
    };

    explicit FrameReader(std::size_t cacheBytes = DefaultCacheBytes);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // Opens path (UTF-8); any earlier file is closed first. False when it does not open.
    bool open(const std::string& path);
    // Keeps the open file when it is the same path, size and modification time; else opens anew.
    bool openIfChanged(const std::string& path);
    void close();
    bool isOpen() const { return m_open; }
    const std::string& path() const { return m_path; }

    // CAP_PROP_FRAME_COUNT as cv::VideoCapture reports it at open (a negative one, read from a cut
    // file's header, as 0).
    double frameCountProperty() const { return m_frameCount; }
    double fpsProperty() const { return m_fps; } // CAP_PROP_FPS at open

    // The frame after the one last returned (frame 0 right after opening).
    cv::Mat readNext();
    // The frame with this index; empty when the index is negative, past the end or unreadable.
    cv::Mat frameAt(int index);
    // Index of the frame last returned, -1 when none yet.
    int lastIndex() const { return m_last; }
    // True when the frame last returned is the decoder's own last read and the decoder has met
    // the end of the file after it.
    bool atEndOfFile();

    // A flag checked between decodes: once it is cleared, frameAt gives up and returns empty.
    void setKeepGoing(const std::atomic<bool>* keepGoing) { m_keepGoing = keepGoing; }

    const Stats& stats() const { return m_stats; }
    int cachedFrames() const { return int(m_cache.size()); }
    // Frames found in the file at open (the index length); can differ from frameCountProperty().
    int indexedFrames() const;
    // The key frame at or before index, -1 when there is none or the index is out of range.
    int keyFrameAtOrBefore(int index) const;

  private:
    struct Media;

    cv::Mat decodeNext(bool convert, int focus);
    bool positionAt(int index);
    void remember(int index, const cv::Mat& frame, int focus);
    bool stopped() const { return m_keepGoing && !m_keepGoing->load(); }

    std::unique_ptr<Media> m_media;
    bool m_open = false;
    std::string m_path;
    std::uintmax_t m_fileSize = 0;
    std::int64_t m_fileTime = 0;
    double m_frameCount = 0;
    double m_fps = 0;
    int m_next = 0; // the index the decoder's next read returns; -1 when the position is lost
    int m_last = -1;
    std::size_t m_cacheBytes;
    int m_capacity = 4;
    std::map<int, cv::Mat> m_cache;
    Stats m_stats;
    const std::atomic<bool>* m_keepGoing = nullptr;
};

} // namespace tolvek
