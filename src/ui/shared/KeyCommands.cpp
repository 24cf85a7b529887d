#include "ui/shared/KeyCommands.h"

#include "ui/shared/ControlIds.h"

#include <QtCore/qnamespace.h>

namespace tolvek {

int headSectionForKey(int key)
{
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    switch (key) {
    case Qt::Key_J:
        return 1;
    case Qt::Key_K:
        return 2;
    case Qt::Key_L:
        return 3;
    case Qt::Key_U:
        return 4;
    case Qt::Key_I:
        return 5;
    case Qt::Key_O:
        return 6;
    default:
        return 0;
    }
}

KeyDecision decideKey(int key, const KeyContext& ctx)
{
    KeyDecision d;
    const int mode = ctx.mode;
    auto swallow = [&d] {
        d.action = KeyAction::Swallow;
        return d;
    };
    auto act = [&d](KeyAction a) {
        d.action = a;
        return d;
    };
    auto press = [&d](int button) {
        d.action = KeyAction::PressButton;
        d.button = button;
        return d;
    };

    if (ctx.controlHeld || ctx.altHeld) {
        if (ctx.controlHeld && !ctx.altHeld && !ctx.shiftHeld)
            switch (key) {
            case Qt::Key_Q:
                return press(IDC_QUIT);
            case Qt::Key_L:
                return press(IDC_LISTVIEW);
            case Qt::Key_Home:
                return press(IDC_TOTOP);
            case Qt::Key_I:
                return press(IDC_SETID);
            case Qt::Key_T:
                return press(IDC_TRIM);
            default:
                break;
            }
        return d;
    }

    switch (key) {
    case Qt::Key_F10:
        if (ctx.shiftHeld)
            return mode == 2 ? act(KeyAction::OpenVideoMenu) : d;
        return press(IDC_MENU);
    case Qt::Key_Menu:
        // In the list of all videos the list's own menu of its current row opens.
        return mode == 2 ? act(KeyAction::OpenVideoMenu) : d;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mode == 0)
            return act(KeyAction::StopRecording);
        if (mode == 2)
            return act(KeyAction::TogglePlayback);
        return swallow();
    case Qt::Key_Escape:
        return swallow();
    case Qt::Key_Space:
        if (mode == 0 || mode == 1) {
            d.rezeroHead = ctx.sensorActive;
            d.updateLastSpace = true;
            if (mode == 0 && ctx.msSinceLastSpace < DoubleTapMs)
                return act(KeyAction::RestartRecording);
            return swallow();
        }
        if (mode == 2)
            return act(KeyAction::TogglePlayback);
        return swallow();
    case Qt::Key_F1:
        return act(mode == 0 ? KeyAction::RestartRecording : KeyAction::StartRecording);
    case Qt::Key_F2:
        return mode == 0 ? act(KeyAction::StopRecording) : swallow();
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (mode == 2) {
            if (ctx.shiftHeld)
                return swallow();
            switch (key) {
            case Qt::Key_Left:
                return act(KeyAction::StepBack);
            case Qt::Key_Right:
                return act(KeyAction::StepForward);
            case Qt::Key_Up:
                return act(KeyAction::JumpForward);
            default:
                return act(KeyAction::JumpBack);
            }
        }
        if (mode == 3 && key == Qt::Key_Up)
            return act(KeyAction::SelectPreviousRow);
        if (mode == 3 && key == Qt::Key_Down)
            return act(KeyAction::SelectNextRow);
        return swallow();
    case Qt::Key_A:
        if (mode == 2 && !ctx.shiftHeld)
            return act(KeyAction::OpenAnalysis);
        break;
    default:
        break;
    }

    if (const int section = headSectionForKey(key)) {
        if (mode == 0 || mode == 1) {
            if (!ctx.manualHead)
                return swallow();
            d.section = section;
            return act(KeyAction::ManualSection);
        }
    }
    return d;
}

} // namespace tolvek
