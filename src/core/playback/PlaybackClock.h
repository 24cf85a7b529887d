#pragma once
// The time base of playback pacing: milliseconds of a steady clock and sleeps that end early
// once the player is told to stop. Tests hand the player a clock of their own.
// Thread-safety: the steady clock has no state; other clocks say so themselves.

#include <atomic>
#include <cstdint>

namespace tolvek {

class PlaybackClock
{
  public:
    virtual ~PlaybackClock() = default;
    virtual std::int64_t nowMs() = 0;
    // Sleeps ms milliseconds, or less once keepRunning has been cleared.
    virtual void sleepMs(int ms, const std::atomic<bool>& keepRunning) = 0;
};

// std::chrono::steady_clock; sleeps in slices of at most 10 ms so that a stop is seen quickly.
class SteadyPlaybackClock : public PlaybackClock
{
  public:
    std::int64_t nowMs() override;
    void sleepMs(int ms, const std::atomic<bool>& keepRunning) override;
};

// The process-wide steady clock.
PlaybackClock& steadyPlaybackClock();

} // namespace tolvek
