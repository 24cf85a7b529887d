#include "core/capture/IdHistory.h"
#include "core/settings/Settings.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>

#include <vector>

using namespace tolvek;

namespace {

const QString DefaultHistory = QStringLiteral(
    "00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123");

} // namespace

TEST(IdHistoryTest, ReadHistoryEntry)
{
    struct Case
    {
        const char* history;
        int n;
        int expected;
    };
    const std::vector<Case> cases = {
        {"00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123", 1, 111},
        {"00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123", 3, 333},
        {"00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999,00000123", 10,
         123},
        {"12345678", 1, 12345678},
        {"12345678", 2, 0},                  // beyond the end of a short history
        {"00000111,abcdefgh", 2, 0},         // not a number
        {"00000111,  000042", 2, 42},        // leading blanks are skipped as by "%d"
        {"00000111,0000012x", 2, 12},        // the scan stops at the first non-digit
        {"123456789,00000222", 1, 12345678}, // only 8 characters belong to an entry
        {"-0000001,00000222", 1, 0},         // an ID is never negative
        {"", 1, 0},
        {"00000111", 0, 0},
        {"00000111", 11, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.history << " entry " << c.n);
        EXPECT_EQ(readHistoryEntry(QString::fromLatin1(c.history), c.n), c.expected);
    }
}

TEST(IdHistoryTest, AddToIdHistory)
{
    struct Case
    {
        const char* name;
        QString history;
        const char* id;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"new ID goes first and the oldest drops", DefaultHistory, "00000456",
         "00000456,00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999"},
        {"known ID moves to the front once", DefaultHistory, "00000555",
         "00000555,00000111,00000222,00000333,00000444,00000666,00000777,00000888,00000999,00000123"},
        {"the last entry moves to the front", DefaultHistory, "00000123",
         "00000123,00000111,00000222,00000333,00000444,00000555,00000666,00000777,00000888,00000999"},
        {"the first entry stays first", DefaultHistory, "00000111", DefaultHistory},
        {"ID 0 is never recorded", DefaultHistory, "00000000", DefaultHistory},
        {"only an 8-digit text is an ID", DefaultHistory, "123", DefaultHistory},
        {"only an 8-digit text is an ID", DefaultHistory, "0000012a", DefaultHistory},
        {"empty history gets no trailing comma", "", "00000456", "00000456"},
        {"only entry", "00000456", "00000456", "00000456"},
        {"short history grows", "00000111,00000222", "00000333", "00000333,00000111,00000222"},
        {"an ID inside a longer entry is not an entry", "100000111,00000222", "00000111",
         "00000111,100000111,00000222"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString result = addToIdHistory(c.history, QString::fromLatin1(c.id));
        EXPECT_EQ(result, c.expected);
        EXPECT_LE(result.size(), IdHistoryMaxLength);
    }
}

TEST(IdHistoryTest, AddToIdHistoryKeepsEveryEntryReadable)
{
    // Eleven different IDs: the history keeps the ten newest, each readable at its place.
    QString history = DefaultHistory;
    for (int id = 1001; id <= 1011; ++id)
        history = addToIdHistory(history, QStringLiteral("%1").arg(id, 8, 10, QLatin1Char('0')));
    EXPECT_EQ(history.size(), IdHistoryMaxLength);
    for (int n = 1; n <= IdHistoryEntryCount; ++n)
        EXPECT_EQ(readHistoryEntry(history, n), 1012 - n) << n;
}

TEST(IdHistoryTest, AddToIdHistoryUpdatesTheSetting)
{
    Settings settings;
    settings.resetToDefaults();
    ASSERT_EQ(settings.value(IdHistory), DefaultHistory);
    addToIdHistory(settings, 99000000);
    EXPECT_TRUE(settings.value(IdHistory).startsWith(QLatin1String("99000000,00000111,")));
    const QString before = settings.value(IdHistory);
    for (int bad : {0, -5, 100000000})
        addToIdHistory(settings, bad);
    EXPECT_EQ(settings.value(IdHistory), before);
}

TEST(IdHistoryTest, TypingDigits)
{
    struct Case
    {
        int before;
        int digit;
        int after;
    };
    const std::vector<Case> cases = {
        {0, 1, 1},
        {1, 2, 12},
        {12, 3, 123},
        {0, 0, 0}, // a leading 0 is not taken
        {5, 0, 50},
        {1234567, 8, 12345678}, // the eighth digit
        {9999999, 9, 99999999},
        {12345678, 9, 12345678}, // a ninth digit is ignored
        {10000000, 0, 10000000},
        {99999999, 0, 99999999},
        {12, -1, 12},
        {12, 10, 12},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keypadAppendDigit(c.before, c.digit), c.after) << c.before << " + " << c.digit;

    EXPECT_EQ(keypadRemoveDigit(123), 12);
    EXPECT_EQ(keypadRemoveDigit(7), 0);
    EXPECT_EQ(keypadRemoveDigit(0), 0);
}

TEST(IdHistoryTest, HistoryNavigation)
{
    // Down three times from no choice: 111, 222, 333; Up walks back; Up from the first entry
    // leaves the value alone.
    HistoryStep s;
    std::vector<int> downs;
    for (int i = 0; i < 3; ++i) {
        s = keypadHistoryDown(s.historyIndex, DefaultHistory);
        downs.push_back(s.enteredId);
    }
    EXPECT_EQ(downs, (std::vector<int>{111, 222, 333}));
    EXPECT_EQ(s.historyIndex, 3);

    s = keypadHistoryUp(s.historyIndex, s.enteredId, DefaultHistory);
    EXPECT_EQ(s.historyIndex, 2);
    EXPECT_EQ(s.enteredId, 222);
    s = keypadHistoryUp(s.historyIndex, s.enteredId, DefaultHistory);
    EXPECT_EQ(s.enteredId, 111);
    s = keypadHistoryUp(s.historyIndex, 4711, DefaultHistory);
    EXPECT_EQ(s.historyIndex, 0);
    EXPECT_EQ(s.enteredId, 4711);
    s = keypadHistoryUp(s.historyIndex, 4711, DefaultHistory);
    EXPECT_EQ(s.historyIndex, 0);
    EXPECT_EQ(s.enteredId, 4711);

    // Down stops at the tenth entry.
    s = keypadHistoryDown(9, DefaultHistory);
    EXPECT_EQ(s.historyIndex, 10);
    EXPECT_EQ(s.enteredId, 123);
    s = keypadHistoryDown(10, DefaultHistory);
    EXPECT_EQ(s.historyIndex, 10);
    EXPECT_EQ(s.enteredId, 123);

    // A short history gives 0 for the missing entries.
    s = keypadHistoryDown(1, QStringLiteral("00000111"));
    EXPECT_EQ(s.historyIndex, 2);
    EXPECT_EQ(s.enteredId, 0);
}

TEST(IdHistoryTest, KeyTable)
{
    struct Case
    {
        int key;
        KeypadKeyKind kind;
        int digit;
    };
    const std::vector<Case> cases = {
        {Qt::Key_0, KeypadKeyKind::Digit, 0},
        {Qt::Key_7, KeypadKeyKind::Digit, 7},
        {Qt::Key_9, KeypadKeyKind::Digit, 9},
        {Qt::Key_J, KeypadKeyKind::Digit, 1},
        {Qt::Key_K, KeypadKeyKind::Digit, 2},
        {Qt::Key_L, KeypadKeyKind::Digit, 3},
        {Qt::Key_U, KeypadKeyKind::Digit, 4},
        {Qt::Key_I, KeypadKeyKind::Digit, 5},
        {Qt::Key_O, KeypadKeyKind::Digit, 6},
        {Qt::Key_M, KeypadKeyKind::Unhandled, -1},
        {Qt::Key_Backspace, KeypadKeyKind::RemoveDigit, -1},
        {Qt::Key_Clear, KeypadKeyKind::RemoveDigit, -1},
        {Qt::Key_Delete, KeypadKeyKind::ClearAll, -1},
        {Qt::Key_Return, KeypadKeyKind::Accept, -1},
        {Qt::Key_Enter, KeypadKeyKind::Accept, -1},
        {Qt::Key_Up, KeypadKeyKind::HistoryUp, -1},
        {Qt::Key_Down, KeypadKeyKind::HistoryDown, -1},
        {Qt::Key_Space, KeypadKeyKind::Swallow, -1},
        {Qt::Key_Escape, KeypadKeyKind::Unhandled, -1},
        {Qt::Key_F1, KeypadKeyKind::Unhandled, -1},
    };
    for (const Case& c : cases) {
        const KeypadKeyAction a = keypadKeyAction(c.key);
        EXPECT_EQ(a.kind, c.kind) << std::hex << c.key;
        if (c.kind == KeypadKeyKind::Digit) {
            EXPECT_EQ(a.digit, c.digit) << std::hex << c.key;
        }
    }
}

TEST(IdHistoryTest, DisplayGlyphs)
{
    struct Case
    {
        int value;
        const char* id;
        const char* history;
    };
    const std::vector<Case> cases = {
        {123, "     123", "     123"},       {0, "        ", "       0"},
        {12345678, "12345678", "12345678"},  {10000000, "10000000", "10000000"},
        {100000123, "     123", "       0"}, // the display wraps, a history cell shows 0
        {-5, "        ", "       0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(idDisplayGlyphs(c.value), QLatin1String(c.id)) << c.value;
        EXPECT_EQ(historyDisplayGlyphs(c.value), QLatin1String(c.history)) << c.value;
    }
}
