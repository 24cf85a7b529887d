#include "core/capture/TickClock.h"

#include <chrono>

namespace tolvek {

TickClock steadyTickClock()
{
    return [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
}

} // namespace tolvek
