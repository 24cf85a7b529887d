#pragma once
// The digit rules of the backup date keypad as pure functions: a date prefix of up to eight
// digits (YYYYMMDD read from the left), today's date standing in for an empty entry, and the
// ten quick-pick days. Thread-safe; every input is a valid edit or ignored.

#include "core/capture/KeypadKeys.h"

#include <QDate>
#include <QString>

#include <array>

namespace tolvek {

inline constexpr int QuickDateCount = 10;
inline constexpr int DateDigitCount = 8;

// YYYYMMDD of a date; 0 for an invalid one.
int dateValueOf(QDate date);

// A digit typed: appended while the value has at most seven digits; a 0 is not taken while
// nothing is typed yet. Digits outside 0..9 change nothing.
int dateKeypadAppendDigit(int dateValue, int digit);
// "C", Backspace and Clear: the last digit is dropped.
int dateKeypadRemoveDigit(int dateValue);
// The value the keypad holds once shown: an empty entry (0) becomes today's date, so the keypad
// opens on today and "AC" goes back to it.
int dateKeypadShownValue(int dateValue, QDate today);
// A digit, "C" (RemoveDigit) or "AC" (ClearAll) on the shown value; other kinds leave it. While
// today stands in for an empty entry, a digit starts a new entry and "C" works on today's
// digits. The result is the entry, 0 for an empty one.
int dateKeypadEdit(int shownValue, bool showingToday, KeypadKeyKind kind, int digit);

// The eight cells of the main display: "%d" of the value followed by '?' placeholders.
QString dateDisplayGlyphs(int dateValue);
// The eight cells of a quick-pick day: "%08d", always eight digits.
QString quickDateGlyphs(int dateValue);

// Today and the nine calendar days before it, newest first, as YYYYMMDD. Counted in calendar
// days, so a day of 23 or 25 hours (a clock change) is neither skipped nor shown twice.
std::array<int, QuickDateCount> quickDates(QDate today);

// What a key does in the date keypad, from its Qt::Key code.
enum class DateKeyKind {
    Unhandled,   // the dialog's normal processing (Esc cancels)
    Digit,       // 0..9 of both blocks, and J K L U I O for 1..6
    RemoveDigit, // Backspace, Clear
    ClearAll,    // Delete: clears, then the key goes on to normal processing
    Accept,      // Enter and Return
};
struct DateKeyAction
{
    DateKeyKind kind = DateKeyKind::Unhandled;
    int digit = -1; // for Digit
};
DateKeyAction dateKeyAction(int qtKey);

} // namespace tolvek
