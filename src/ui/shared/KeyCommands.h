#pragma once
// The main window's one-key control as a pure table: which command a key press means in each
// window mode. Pure functions; thread-safe.

#include <cstdint>

namespace tolvek {

enum class KeyAction {
    PassOn,  // not handled here: normal dialog processing
    Swallow, // handled by doing nothing
    StopRecording,
    TogglePlayback,
    RestartRecording,
    StartRecording,
    ManualSection, // set the head position of `section` by hand
    StepBack,      // Left: toggle playback, one frame back
    StepForward,   // Right: toggle playback, one frame forward
    JumpForward,   // Up: toggle playback, a tenth forward
    JumpBack,      // Down: toggle playback, a tenth back
    SelectPreviousRow,
    SelectNextRow,
    OpenAnalysis,  // A in the library mode: the eye-movement analysis of the played video
    PressButton,   // a picture button's own command, exactly as a click on it (`button`)
    OpenVideoMenu, // the played video's pop-up menu, as a right click on the picture gives it
};

struct KeyDecision
{
    KeyAction action = KeyAction::PassOn;
    int section = 0;         // 1..9 for ManualSection
    bool rezeroHead = false; // Space with a sensor: re-zero before the action
    bool updateLastSpace = false;
    int button = 0; // control id for PressButton
};

struct KeyContext
{
    int mode = 1;              // WindowMode
    bool sensorActive = false; // the SensorMode text does not contain "0"
    bool manualHead = true;    // GetSettingInt(SensorMode) == 0
    bool shiftHeld = false;
    bool controlHeld = false;
    bool altHeld = false;
    std::uint32_t msSinceLastSpace = 0xFFFFFFFFu; // unsigned difference of tick counts
};

// Head section of a digit or letter key (1..9, J K L U I O = 1..6), or 0.
int headSectionForKey(int qtKey);

// The one-key table, and the keys that reach the picture buttons, which take no keyboard focus
// (Space and Enter belong to the examination, never to a focused button): F10 the menu, Ctrl+L
// the list of all videos, Ctrl+Home back to the top, Ctrl+I Set ID, Ctrl+T trim, Ctrl+Q exit;
// the Menu key and Shift+F10 the played video's pop-up menu in the library mode. Other keys held
// with Ctrl or Alt are passed on (a head section is never set by Ctrl+L).
KeyDecision decideKey(int qtKey, const KeyContext& ctx);

inline constexpr std::uint32_t DoubleTapMs = 300;

} // namespace tolvek
