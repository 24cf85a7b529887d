// The keypad widget on a grid whose pitch differs across and down (no dialog test has one): each
// key sits in numeric-keypad order in its parent's coordinates, and a click and each keyboard key
// bound to it press its kind and digit; keys bound to nothing press nothing.

#include "ui/shared/Keypad.h"

#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace tolvek;

TEST(Keypad, GridKeysSitInKeypadOrderAndPressTheirKindAndDigit)
{
    QWidget parent;
    parent.resize(200, 200);
    auto* display = new QWidget(&parent); // made first, overlapping the keypad's span
    display->setGeometry(5, 0, 80, 6);
    QList<KeypadKey> keys =
        Keypad::grid({.digitOne = 101, .digitZero = 100, .removeDigit = 111, .clearAll = 110},
                     {.topLeft = QPoint(5, 7), .keySize = QSize(20, 10), .pitch = QSize(30, 15)});
    keys << KeypadKey{.kind = KeypadKeyKind::Cancel, .controlId = 2, .place = QRect(5, 70, 50, 10)}
         << KeypadKey{.kind = KeypadKeyKind::Accept,
                      .controlId = 1,
                      .place = QRect(60, 70, 50, 10),
                      .keys = {Qt::Key_Return}};
    Keypad keypad(keys, &parent);
    std::vector<std::pair<KeypadKeyKind, int>> presses;
    QObject::connect(&keypad, &Keypad::pressed,
                     [&presses](KeypadKeyKind kind, int digit) { presses.emplace_back(kind, digit); });

    struct Case
    {
        int id;
        QRect place;
        const char* caption;
        std::vector<int> qtKeys;
        KeypadKeyKind kind;
        int digit;
    };
    const std::vector<Case> cases = {
        {107, {5, 7, 20, 10}, "7", {Qt::Key_7}, KeypadKeyKind::Digit, 7},
        {109, {65, 7, 20, 10}, "9", {Qt::Key_9}, KeypadKeyKind::Digit, 9},
        {104, {5, 22, 20, 10}, "4", {Qt::Key_4, Qt::Key_U}, KeypadKeyKind::Digit, 4},
        {101, {5, 37, 20, 10}, "1", {Qt::Key_1, Qt::Key_J}, KeypadKeyKind::Digit, 1},
        {103, {65, 37, 20, 10}, "3", {Qt::Key_3, Qt::Key_L}, KeypadKeyKind::Digit, 3},
        {100, {5, 52, 20, 10}, "0", {Qt::Key_0}, KeypadKeyKind::Digit, 0},
        {111, {35, 52, 20, 10}, "C", {Qt::Key_Backspace, Qt::Key_Clear}, KeypadKeyKind::RemoveDigit, -1},
        {110, {65, 52, 20, 10}, "AC", {Qt::Key_Delete}, KeypadKeyKind::ClearAll, -1},
        {1, {60, 70, 50, 10}, "", {Qt::Key_Return}, KeypadKeyKind::Accept, -1},
        {2, {5, 70, 50, 10}, "", {}, KeypadKeyKind::Cancel, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        QPushButton* b = keypad.button(c.id);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->objectName(), QString::number(c.id));
        EXPECT_EQ(QRect(b->mapTo(&parent, QPoint(0, 0)), b->size()), c.place);
        EXPECT_EQ(b->text(), QString::fromUtf8(c.caption));
        presses.clear();
        b->click();
        for (int k : c.qtKeys)
            EXPECT_TRUE(keypad.pressKey(k)) << k;
        const std::vector<std::pair<KeypadKeyKind, int>> expected(1 + c.qtKeys.size(), {c.kind, c.digit});
        EXPECT_EQ(presses, expected);
    }

    presses.clear();
    for (int k :
         {int(Qt::Key_Enter), int(Qt::Key_Escape), int(Qt::Key_Space), int(Qt::Key_Up), int(Qt::Key_M)})
        EXPECT_FALSE(keypad.pressKey(k)) << k;
    EXPECT_FALSE(keypad.pressButton(999));
    EXPECT_TRUE(presses.empty());
    // The keypad paints nothing and lies below the display it overlaps, so that takes its clicks.
    EXPECT_EQ(parent.childAt(40, 3), display);
}
