#pragma once
// The keyboard of the keypad dialogs as a pure table: which Qt key stands for which keypad key
// (a digit, C, AC, OK) or, in the new-ID keypad, for a step through the ID history. Thread-safe;
// a key that is not in the table is Unhandled.

#include <QList>

namespace tolvek {

// What a keypad key does, on the screen or on the keyboard.
enum class KeypadKeyKind {
    Unhandled,   // the dialog's normal processing (Esc cancels)
    Digit,       // 0..9, keypad digits, and J K L U I O for 1..6
    RemoveDigit, // C; Backspace, Clear
    ClearAll,    // AC; Delete
    Accept,      // OK; Enter and Return
    Cancel,      // Cancel; no key of its own, Esc takes the dialog's normal processing
    HistoryUp,   // Up
    HistoryDown, // Down
    Swallow,     // Space
};
struct KeypadKeyAction
{
    KeypadKeyKind kind = KeypadKeyKind::Unhandled;
    int digit = -1; // for Digit
};
KeypadKeyAction keypadKeyAction(int qtKey);

// The Qt::Key codes keypadKeyAction maps to a kind (and, for Digit, to that digit).
QList<int> keypadKeysFor(KeypadKeyKind kind, int digit = -1);

} // namespace tolvek
