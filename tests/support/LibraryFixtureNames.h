#pragma once
// The video names of the list-view tests' save folder; dates chosen so that the fill order is
// known. Header-only, shared by the widget tests of the lists and of the management commands.

#include <QString>

#include <ostream>

// Readable QString values in gtest failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace tolvek::test {

inline const QString P1 = QStringLiteral("0000012320240305140709.wmv"); // patient 123, oldest
inline const QString P2 = QStringLiteral("0000012320240306090000.wmv");
inline const QString P3 = QStringLiteral("0000012320240307100000.wmv"); // patient 123, newest
inline const QString Q1 = QStringLiteral("0000045620240308110000.wmv"); // patient 456
inline const QString R1 = QStringLiteral("9900000020240101120000.wmv"); // reference "b ref"
inline const QString R2 = QStringLiteral("9900000020230101120000.wmv"); // reference "a ref"

} // namespace tolvek::test
