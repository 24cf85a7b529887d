#pragma once
// The ID history (the ten most recent patient IDs as "%08d" entries joined by commas, newest
// first) and the digit rules of the new-ID keypad, as pure functions. Thread-safe. Malformed
// history text never fails: an entry that does not read as a number counts as 0.

#include "core/capture/KeypadKeys.h"

#include <QString>

#include <array>

namespace tolvek {

class Settings;

inline constexpr int IdHistoryEntryCount = 10;
inline constexpr int IdHistoryMaxLength = 89; // ten entries of 8 digits and nine commas
inline constexpr int MaxEnteredId = 99999999;
inline constexpr int IdDigitCount = 8;

// ReadHistoryEntry: entry n (1..10) is the number written in the 8 characters starting at
// 9 * (n - 1). 0 when they hold no number, when n is out of range, and for a negative number
// (an ID is never negative).
int readHistoryEntry(const QString& history, int n);

// AddToIdHistory on a history text: idText (the ID as "%08d") moves to the front; an existing
// entry of the same ID is removed with one comma next to it; the result keeps at most ten
// entries (89 characters). "00000000" and texts that are not exactly eight digits leave the
// history unchanged.
QString addToIdHistory(const QString& history, const QString& idText);
// The same on the IdHistory setting, for an ID given as a number.
void addToIdHistory(Settings& settings, int patientId);

// --- keypad digit rules ---

// A digit typed on the keypad: appended while the ID has at most seven digits; a 0 is not
// taken while nothing is typed yet. Digits outside 0..9 change nothing.
int keypadAppendDigit(int enteredId, int digit);
// C, Backspace and Clear: the last digit is dropped.
int keypadRemoveDigit(int enteredId);
// A digit, C (RemoveDigit) or AC (ClearAll, back to 0) on the entered ID; other kinds leave it.
int keypadEdit(int enteredId, KeypadKeyKind kind, int digit);

// The history cursor after Up or Down: historyIndex 0 means no entry chosen, 1..10 an entry.
struct HistoryStep
{
    int historyIndex = 0;
    int enteredId = 0;
};
// Up: one entry back, not below 0; at 0 the entered ID is kept.
HistoryStep keypadHistoryUp(int historyIndex, int enteredId, const QString& history);
// Down: one entry on, not beyond 10.
HistoryStep keypadHistoryDown(int historyIndex, const QString& history);

// The eight cells of the ID display for a value, one character each, ' ' for a blank cell:
// "%08d" of the value modulo 100000000 with the leading zeros blank, so 0 shows nothing.
QString idDisplayGlyphs(int value);
// The eight cells of a history entry: leading zeros blank but the last digit always shown;
// values of 100000000 or more (and negative ones) show as 0.
QString historyDisplayGlyphs(int value);

} // namespace tolvek

namespace tolvek {
// The current ID at start-up and after a cancelled first entry: the first number of the history
// read as "%d" (leading blanks and a sign allowed); 0 when there is none or it is negative.
int firstHistoryId(const QString& history);
} // namespace tolvek
