#pragma once
// Millisecond tick sources for frame pacing. TickClock is any monotonic millisecond counter;
// steadyTickClock() is the real one, ManualTickClock one that tests (and the simulated camera)
// move by hand. Thread-safety: ManualTickClock is a single atomic and may be shared freely.

#include <atomic>
#include <cstdint>
#include <functional>

namespace tolvek {

using TickClock = std::function<std::int64_t()>;

// Milliseconds of std::chrono::steady_clock.
TickClock steadyTickClock();

class ManualTickClock
{
  public:
    explicit ManualTickClock(std::int64_t startMs = 0) : m_now(startMs) {}
    std::int64_t now() const { return m_now.load(); }
    void set(std::int64_t ms) { m_now.store(ms); }
    void advance(std::int64_t ms) { m_now.fetch_add(ms); }
    // A TickClock reading this clock; the clock must outlive it.
    TickClock tickClock() const
    {
        return [this] { return now(); };
    }

  private:
    std::atomic<std::int64_t> m_now;
};

} // namespace tolvek
