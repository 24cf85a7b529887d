#include "core/playback/PlaybackClock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tolvek {

std::int64_t SteadyPlaybackClock::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyPlaybackClock::sleepMs(int ms, const std::atomic<bool>& keepRunning)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(ms);
    // Sleeping to a deadline rather than for fixed slices keeps the total close to ms.
    for (auto now = steady_clock::now(); now < deadline && keepRunning.load(); now = steady_clock::now())
        std::this_thread::sleep_until(std::min(deadline, now + milliseconds(10)));
}

PlaybackClock& steadyPlaybackClock()
{
    static SteadyPlaybackClock clock;
    return clock;
}

} // namespace tolvek
