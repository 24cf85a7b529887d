#pragma once
// The comparison rules of the video lists as pure functions: ordinal row text (the small lists),
// and the all-videos list's rule per column (Length as seconds, the rest case-insensitive).
// Results are -1, 0 or 1, negated for a descending sort. Thread-safe.

#include <QString>

namespace tolvek {

// Column of the all-videos list that holds the length text.
inline constexpr int AllListLengthColumn = 2;

// CompareRowText: ordinal comparison of UTF-16 code units.
int compareRowText(const QString& a, const QString& b, bool ascending);

// The seconds of a Length cell: "%dm%ds" when it contains "m", else "%ds" (leading blanks
// skipped); a value that cannot be read counts as 0, so the mark "0" sorts as 0 seconds.
long long lengthTextSeconds(const QString& text);

// CompareAllListRows for two cells of column.
int compareAllListCells(int column, const QString& a, const QString& b, bool ascending);

} // namespace tolvek
