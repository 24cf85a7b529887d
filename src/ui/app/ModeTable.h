#pragma once
// Which controls each main-window mode shows. Pure; thread-safe.

#include <array>

namespace tolvek {

// Controls whose visibility follows the mode, in a fixed order.
const std::array<int, 16>& modeControlledIds();

// True when control id is shown in mode (0 Recording, 1 Live, 2 Library, 3 ListAll).
// The Menu button is always shown; button 1 is never shown.
bool isShownInMode(int controlId, int mode);

// The message of the video picture's tooltip in a mode: 13 in mode 2; in mode 0, 14 when the
// head is set by hand and 15 with a sensor; 0 (no text) in modes 1 and 3.
int liveViewToolTipMessage(int mode, bool manualHead);

} // namespace tolvek
