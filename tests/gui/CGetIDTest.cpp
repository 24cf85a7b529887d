// The CGetID keypad: its buttons and keyboard edit the new ID by the digit rules (at most eight
// digits, no leading zero), Enter and Esc end it, and its two displays show the old and the new
// ID as eight digits under their labels.

#include "ui/manage/CGetID.h"

#include "core/i18n/UiTexts.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

using namespace tolvek;

namespace {

struct Input
{
    bool isKey; // a key press, else a click on a control
    int code;   // Qt::Key or control ID
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
Input key(int k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    return {true, k, m};
}
Input click(int id)
{
    return {false, id};
}

void apply(CGetID& keypad, const std::vector<Input>& inputs)
{
    for (const Input& in : inputs) {
        if (in.isKey) {
            QKeyEvent press(QEvent::KeyPress, in.code, in.modifiers);
            QCoreApplication::sendEvent(&keypad, &press);
        } else {
            keypad.command(in.code);
        }
    }
}

// Dark pixels of a display's white area, per glyph cell (x = 3 + 30 i).
std::vector<bool> inkedCells(QWidget* display)
{
    const QImage img = display->grab().toImage();
    std::vector<bool> inked(8, false);
    const int left = (img.width() - 255) / 2, top = (img.height() - 66) / 2;
    for (int i = 0; i < 8; ++i)
        for (int x = left + 3 + 30 * i + 4; x < left + 3 + 30 * i + 28; ++x)
            for (int y = top + 12; y < top + 54; ++y)
                if (qGray(img.pixel(x, y)) < 100)
                    inked[i] = true;
    return inked;
}

} // namespace

TEST(CGetID, ButtonsAndKeysEditTheIdByTheDigitRules)
{
    using C = CGetID;
    struct Case
    {
        const char* what;
        int preset;
        std::vector<Input> inputs;
        int expected;
    };
    const Case cases[] = {
        {"AC then 1 2 3", 4567, {click(C::IDC_CLEAR_ALL), click(1011), click(1012), click(1013)}, 123},
        {"a first 0 is refused", 0, {click(C::IDC_DIGIT_0), click(C::IDC_DIGIT_0)}, 0},
        {"0 after a digit", 0, {click(1015), click(C::IDC_DIGIT_0)}, 50},
        {"a ninth digit is ignored",
         0,
         {click(1011), click(1012), click(1013), click(1014), click(1015), click(1016), click(1017),
          click(1018), click(1019)},
         12345678},
        {"C on 5", 5, {click(C::IDC_REMOVE_DIGIT)}, 0},
        {"C drops the last digit of the preset", 123, {click(C::IDC_REMOVE_DIGIT)}, 12},
        {"digits typed onto the preset", 123, {click(1019)}, 1239},
        {"Delete clears, J K L U I O are 1..6",
         99,
         {key(Qt::Key_Delete), key(Qt::Key_J), key(Qt::Key_K), key(Qt::Key_L), key(Qt::Key_U), key(Qt::Key_I),
          key(Qt::Key_O)},
         123456},
        {"number row and keypad digits",
         0,
         {key(Qt::Key_7), key(Qt::Key_0, Qt::KeypadModifier), key(Qt::Key_9)},
         709},
        {"Backspace and Clear are C", 4321, {key(Qt::Key_Backspace), key(Qt::Key_Clear)}, 43},
        {"Space and Up change nothing", 42, {key(Qt::Key_Space), key(Qt::Key_Up), key(Qt::Key_Down)}, 42},
    };
    for (const Case& c : cases) {
        CGetID keypad;
        keypad.enteredId = c.preset;
        keypad.show();
        EXPECT_EQ(keypad.oldId, c.preset) << c.what;
        apply(keypad, c.inputs);
        EXPECT_EQ(keypad.enteredId, c.expected) << c.what;
        EXPECT_EQ(keypad.oldId, c.preset) << c.what;
        EXPECT_TRUE(keypad.isVisible()) << c.what;
    }
}

TEST(CGetID, EnterAcceptsTheTypedIdAndEscapeCancels)
{
    struct Case
    {
        std::vector<int> keys;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {{Qt::Key_Delete, Qt::Key_4, Qt::Key_2, Qt::Key_Return}, 42},
        {{Qt::Key_1, Qt::Key_Enter}, 3451},
        {{Qt::Key_1, Qt::Key_Escape}, std::nullopt},
    };
    for (const Case& c : cases) {
        QTimer::singleShot(0, [&c] {
            auto* keypad = qobject_cast<CGetID*>(QApplication::activeModalWidget());
            ASSERT_NE(keypad, nullptr);
            for (int k : c.keys) {
                QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
                QCoreApplication::sendEvent(keypad, &press);
            }
        });
        EXPECT_EQ(CGetID::ask(nullptr, 345), c.expected);
    }
}

TEST(CGetID, BothDisplaysShowEightDigitsUnderTheirLabels)
{
    EXPECT_EQ(CGetID::idGlyphs(0), QStringLiteral("00000000"));
    EXPECT_EQ(CGetID::idGlyphs(1020304), QStringLiteral("01020304"));
    EXPECT_EQ(CGetID::idGlyphs(99000000), QStringLiteral("99000000"));

    // Drawn: every cell of both displays carries a glyph, leading zeros included.
    CGetID keypad;
    keypad.enteredId = 7;
    keypad.show();
    const std::vector<bool> all(8, true);
    EXPECT_EQ(inkedCells(keypad.control(CGetID::IDC_OLD_DISPLAY)), all);
    EXPECT_EQ(inkedCells(keypad.control(CGetID::IDC_NEW_DISPLAY)), all);

    // Each display sits under its own label, which also names it.
    const struct
    {
        int display, label;
        UiTextId text;
    } pairs[] = {{CGetID::IDC_OLD_DISPLAY, CGetID::IDC_OLD_LABEL, TxtOldIdLabel},
                 {CGetID::IDC_NEW_DISPLAY, CGetID::IDC_NEW_LABEL, TxtNewIdLabel}};
    for (const auto& p : pairs) {
        auto* label = qobject_cast<QLabel*>(keypad.control(p.label));
        QWidget* display = keypad.control(p.display);
        ASSERT_TRUE(label && display);
        EXPECT_EQ(label->text(), uiText(p.text));
        EXPECT_FALSE(label->text().isEmpty());
        EXPECT_LE(label->geometry().bottom(), display->geometry().top());
        EXPECT_GE(label->geometry().top(), 0);
        EXPECT_EQ(display->accessibleName(), label->text());
    }
    EXPECT_LT(keypad.control(CGetID::IDC_OLD_DISPLAY)->geometry().bottom(),
              keypad.control(CGetID::IDC_NEW_LABEL)->geometry().top());
    EXPECT_NE(uiText(TxtOldIdLabel), uiText(TxtNewIdLabel));
}
