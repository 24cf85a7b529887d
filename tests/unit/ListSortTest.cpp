// The sort rules of the video lists as tables: ordinal row text for the small lists, and the
// all-videos list's per-column rule with the Length column read as seconds.

#include "core/library/ListSort.h"

#include <gtest/gtest.h>

using namespace tolvek;

TEST(ListSort, RowTextIsOrdinalAndTheFlagReversesIt)
{
    const struct
    {
        const char16_t *a, *b;
        int ascending;
    } cases[] = {
        {u"2024-01-02 15:30", u"2024-01-02 15:31", -1},
        {u"2024-01-02 15:30", u"2024-01-02 15:30", 0},
        {u"b", u"a", 1},
        {u"B", u"a", -1}, // upper case sorts before lower case
        {u"", u"a", -1},
        {u"abc", u"ab", 1},
        {u"\u00e9", u"z", 1}, // code units, not the locale's order
        {u"\u30e1\u30e2", u"memo", 1},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf16(c.a), b = QString::fromUtf16(c.b);
        SCOPED_TRACE(a.toStdString() + " vs " + b.toStdString());
        EXPECT_EQ(compareRowText(a, b, true), c.ascending);
        EXPECT_EQ(compareRowText(a, b, false), -c.ascending);
        EXPECT_EQ(compareRowText(b, a, true), -c.ascending);
    }
}

TEST(ListSort, LengthTextAsSeconds)
{
    const struct
    {
        const char* text;
        long long seconds;
    } cases[] = {
        {"59s", 59},     {"01s", 1},        {" 05s", 5},   {"1m05s", 65},
        {"12m34s", 754}, {"100m00s", 6000}, {"0", 0},      {"", 0},
        {"abc", 0},      {"m", 0},          {"3m", 180},   {"3 m05s", 180},
        {"-2s", -2},     {"  7", 7},        {"1m 5s", 65}, {"99999999999s", 2147483647},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lengthTextSeconds(QString::fromLatin1(c.text)), c.seconds);
    }
}

TEST(ListSort, AllListColumnsFollowTheirRule)
{
    const struct
    {
        int column;
        const char *a, *b;
        int ascending;
    } cases[] = {
        {2, "59s", "1m05s", -1}, // as seconds, not as text ("5" > "1")
        {2, "1m05s", "59s", 1},
        {2, "0", "01s", -1},   // a row not yet measured sorts as 0 seconds
        {2, " 05s", "05s", 0}, // the measured form with its blank equals the scanned form
        {2, "10m00s", "9m59s", 1},
        {0, "00000123", "00000124", -1},
        {1, "2024-01-02 15:30", "2023-12-31 23:59", 1},
        {3, "Memo", "memo", 0}, // case-insensitive
        {3, "apple", "Banana", -1},
        {4, "A.wmv", "a.wmv", 0},
        {3, "", "x", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.column) + ": " + c.a + " vs " + c.b);
        const QString a = QString::fromLatin1(c.a), b = QString::fromLatin1(c.b);
        EXPECT_EQ(compareAllListCells(c.column, a, b, true), c.ascending);
        EXPECT_EQ(compareAllListCells(c.column, a, b, false), -c.ascending);
    }
}
