#include "core/capture/RecordingPacer.h"

#include <cmath>

namespace tolvek {

std::int64_t RecordingPacer::maxFramesForMinutes(int minutes)
{
    return std::int64_t(minutes) * LimitFramesPerMinute;
}

void RecordingPacer::start(std::int64_t nowMs, int fps)
{
    reset();
    m_fps = fps;
    m_recordingStart = nowMs;
}

void RecordingPacer::reset()
{
    m_fps = 0;
    m_framesSeen = 0;
    m_pacingStarted = false;
    m_pacingStart = 0;
    m_framesWritten = 0;
    m_limitReached = false;
    m_recordingStart = -1;
}

RecordingPacer::Step RecordingPacer::onFrame(std::int64_t nowMs)
{
    Step step;
    ++m_framesSeen;

    bool warmingUp = false;
    if (!m_pacingStarted) {
        if (m_framesSeen <= WarmupFrames) {
            warmingUp = true;
        } else {
            // The clock starts at this frame, so the first frame is written one frame period
            // later and the file's length matches the time after the warm-up.
            m_pacingStarted = true;
            m_pacingStart = nowMs;
            m_framesWritten = 0;
        }
    }

    bool limitHit = false;
    if (!warmingUp && !m_limitReached) {
        const auto target =
            static_cast<std::int64_t>(std::floor(double(nowMs - m_pacingStart) * m_fps / 1000.0));
        // A slow camera gets its frame repeated up to the target, a fast one gets frames dropped.
        while (m_framesWritten < target) {
            ++step.writes;
            ++m_framesWritten;
            if (m_framesWritten >= m_maxFrames) {
                limitHit = true;
                break;
            }
        }
    }

    if (!m_limitReached && (limitHit || m_framesSeen > m_maxFrames)) {
        m_limitReached = true;
        step.limitReached = true;
    }
    return step;
}

} // namespace tolvek
