#pragma once
// Wall-clock pacing of a recording: decides for every camera frame how many times it goes into
// the file, so that the file always holds (elapsed time x frame rate) frames whatever rate the
// camera delivers, after a warm-up of 15 frames, and ends the file at the frame limit.
// Pure arithmetic on the millisecond ticks it is given; not thread-safe (one owner).

#include <cstdint>

namespace tolvek {

class RecordingPacer
{
  public:
    // Camera frames after a file opened that are never written (exposure and focus settle).
    static constexpr int WarmupFrames = 15;
    // The limit counts 1800 frames per minute whatever the frame rate is.
    static constexpr std::int64_t LimitFramesPerMinute = 1800;

    // minutes x 1800; an unusable setting (-1) gives a negative limit that ends a recording at
    // its first frame.
    static std::int64_t maxFramesForMinutes(int minutes);

    struct Step
    {
        int writes = 0;            // how many times to write this frame
        bool limitReached = false; // close the file after those writes and stop the recording
    };

    void setMaxFrames(std::int64_t maxFrames) { m_maxFrames = maxFrames; }
    std::int64_t maxFrames() const { return m_maxFrames; }

    // A file was opened at nowMs and is written at fps frames per second.
    void start(std::int64_t nowMs, int fps);
    // The file was closed for a restart: every counter back to zero, no recording.
    void reset();
    // One camera frame arrived at nowMs while the file is open. limitReached is reported once,
    // on the frame that reaches the limit; the caller closes the file then.
    Step onFrame(std::int64_t nowMs);

    bool isRecording() const { return m_recordingStart >= 0; }
    std::int64_t elapsedMs(std::int64_t nowMs) const { return isRecording() ? nowMs - m_recordingStart : 0; }
    std::int64_t framesSeen() const { return m_framesSeen; }
    std::int64_t framesWritten() const { return m_framesWritten; }
    bool pacingStarted() const { return m_pacingStarted; }
    bool limitReached() const { return m_limitReached; }

  private:
    std::int64_t m_maxFrames = 10 * LimitFramesPerMinute;
    int m_fps = 0;
    std::int64_t m_framesSeen = 0;
    bool m_pacingStarted = false;
    std::int64_t m_pacingStart = 0;
    std::int64_t m_framesWritten = 0;
    bool m_limitReached = false;
    std::int64_t m_recordingStart = -1; // -1: no file
};

} // namespace tolvek
