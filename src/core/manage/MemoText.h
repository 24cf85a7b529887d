#pragma once
// The rules a memo typed in Edit Video Tags must follow before it is stored: "<vek>" is turned
// into "[vek]" everywhere, and at most 80 UTF-16 units are accepted. Pure; thread-safe.

#include <QString>

namespace tolvek {

inline constexpr int MaxEditedMemoLength = 80;

// Every "<vek>" replaced by "[vek]".
QString cleanMemoText(QString text);

// True when the cleaned text may be stored.
bool memoLengthAccepted(const QString& cleaned);

} // namespace tolvek
