#include "ui/shared/KeyCommands.h"

#include "ui/shared/ControlIds.h"

#include <QtCore/qnamespace.h>
#include <gtest/gtest.h>

using namespace tolvek;

namespace {
KeyContext ctx(int mode, bool sensor = false, std::uint32_t sinceSpace = 0xFFFFFFFFu, bool shift = false)
{
    KeyContext c;
    c.mode = mode;
    c.sensorActive = sensor;
    c.manualHead = !sensor;
    c.msSinceLastSpace = sinceSpace;
    c.shiftHeld = shift;
    return c;
}
} // namespace

TEST(KeyCommands, TablePerMode)
{
    using A = KeyAction;
    const struct
    {
        int key;
        A mode0, mode1, mode2, mode3;
    } rows[] = {
        {Qt::Key_Return, A::StopRecording, A::Swallow, A::TogglePlayback, A::Swallow},
        {Qt::Key_Enter, A::StopRecording, A::Swallow, A::TogglePlayback, A::Swallow},
        {Qt::Key_Escape, A::Swallow, A::Swallow, A::Swallow, A::Swallow},
        {Qt::Key_F1, A::RestartRecording, A::StartRecording, A::StartRecording, A::StartRecording},
        {Qt::Key_F2, A::StopRecording, A::Swallow, A::Swallow, A::Swallow},
        {Qt::Key_Left, A::Swallow, A::Swallow, A::StepBack, A::Swallow},
        {Qt::Key_Right, A::Swallow, A::Swallow, A::StepForward, A::Swallow},
        {Qt::Key_Up, A::Swallow, A::Swallow, A::JumpForward, A::SelectPreviousRow},
        {Qt::Key_Down, A::Swallow, A::Swallow, A::JumpBack, A::SelectNextRow},
        {Qt::Key_5, A::ManualSection, A::ManualSection, A::PassOn, A::PassOn},
        {Qt::Key_M, A::PassOn, A::PassOn, A::PassOn, A::PassOn},
        {Qt::Key_A, A::PassOn, A::PassOn, A::OpenAnalysis, A::PassOn},
        {Qt::Key_0, A::PassOn, A::PassOn, A::PassOn, A::PassOn},
        {Qt::Key_Tab, A::PassOn, A::PassOn, A::PassOn, A::PassOn},
    };
    for (const auto& r : rows) {
        const A expected[4] = {r.mode0, r.mode1, r.mode2, r.mode3};
        for (int mode = 0; mode < 4; ++mode) {
            SCOPED_TRACE(testing::Message() << "key " << std::hex << r.key << " mode " << mode);
            EXPECT_EQ(decideKey(r.key, ctx(mode)).action, expected[mode]);
        }
    }
    EXPECT_EQ(decideKey(Qt::Key_Left, ctx(2, false, 0xFFFFFFFFu, true)).action, A::Swallow);
}

TEST(KeyCommands, HeadSectionKeys)
{
    const struct
    {
        int key, section;
    } cases[] = {{Qt::Key_1, 1}, {Qt::Key_9, 9}, {Qt::Key_J, 1}, {Qt::Key_K, 2}, {Qt::Key_L, 3},
                 {Qt::Key_U, 4}, {Qt::Key_I, 5}, {Qt::Key_O, 6}, {Qt::Key_M, 0}, {Qt::Key_0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(headSectionForKey(c.key), c.section) << c.key;
        const KeyDecision d = decideKey(c.key, ctx(0));
        EXPECT_EQ(d.section, c.section) << c.key;
    }
    // With a sensor active the digit keys do nothing.
    EXPECT_EQ(decideKey(Qt::Key_K, ctx(0, true)).action, KeyAction::Swallow);
    EXPECT_EQ(decideKey(Qt::Key_K, ctx(1, true)).action, KeyAction::Swallow);
}

TEST(KeyCommands, SpaceDoubleTap)
{
    const struct
    {
        int mode;
        bool sensor;
        std::uint32_t since;
        KeyAction action;
        bool rezero;
    } cases[] = {
        {0, true, 299, KeyAction::RestartRecording, true},
        {0, true, 300, KeyAction::Swallow, true},
        {0, false, 100, KeyAction::RestartRecording, false}, // no sensor: no re-zero, restart still
        {1, true, 10, KeyAction::Swallow, true},             // no double tap in the live view
        {1, false, 10, KeyAction::Swallow, false},
        {2, true, 10, KeyAction::TogglePlayback, false},
        {3, true, 10, KeyAction::Swallow, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " since " << c.since);
        const KeyDecision d = decideKey(Qt::Key_Space, ctx(c.mode, c.sensor, c.since));
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.rezeroHead, c.rezero);
        EXPECT_EQ(d.updateLastSpace, c.mode <= 1);
    }
}

TEST(KeyCommands, KeysThatReachThePictureButtonsAndTheVideoMenu)
{
    using A = KeyAction;
    enum Held { None, Ctrl, Alt, Shift, CtrlShift };
    const struct
    {
        int key;
        Held held;
        A action;
        int button;
        int mode;
    } cases[] = {
        {Qt::Key_F10, None, A::PressButton, IDC_MENU, 1},
        {Qt::Key_F10, None, A::PressButton, IDC_MENU, 3},
        {Qt::Key_L, Ctrl, A::PressButton, IDC_LISTVIEW, 1},
        {Qt::Key_Home, Ctrl, A::PressButton, IDC_TOTOP, 3},
        {Qt::Key_I, Ctrl, A::PressButton, IDC_SETID, 1},
        {Qt::Key_T, Ctrl, A::PressButton, IDC_TRIM, 2},
        {Qt::Key_Q, Ctrl, A::PressButton, IDC_QUIT, 0}, // the button refuses while recording
        {Qt::Key_Menu, None, A::OpenVideoMenu, 0, 2},
        {Qt::Key_F10, Shift, A::OpenVideoMenu, 0, 2},
        {Qt::Key_Menu, None, A::PassOn, 0, 3}, // the all-videos list opens its own menu
        {Qt::Key_F10, Shift, A::PassOn, 0, 1},
        // Held with Ctrl or Alt, a head-section or playback key is not that key.
        {Qt::Key_L, Alt, A::PassOn, 0, 1},
        {Qt::Key_K, Ctrl, A::PassOn, 0, 1},
        {Qt::Key_5, Ctrl, A::PassOn, 0, 0},
        {Qt::Key_Return, Ctrl, A::PassOn, 0, 0},
        {Qt::Key_Q, CtrlShift, A::PassOn, 0, 1},
        {Qt::Key_F4, Alt, A::PassOn, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "key " << std::hex << c.key << " held " << c.held << " mode " << c.mode);
        KeyContext k = ctx(c.mode);
        k.controlHeld = c.held == Ctrl || c.held == CtrlShift;
        k.altHeld = c.held == Alt;
        k.shiftHeld = c.held == Shift || c.held == CtrlShift;
        const KeyDecision d = decideKey(c.key, k);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.button, c.button);
        EXPECT_EQ(d.section, 0);
    }
}
