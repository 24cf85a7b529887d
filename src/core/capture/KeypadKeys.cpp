#include "core/capture/KeypadKeys.h"

#include <QtCore/qnamespace.h>

namespace tolvek {

namespace {

struct KeyBinding
{
    int qtKey;
    KeypadKeyKind kind;
    int digit = -1;
};

// Both blocks' digits arrive as Key_0..Key_9 (the numeric keypad only adds a modifier).
constexpr KeyBinding Bindings[] = {
    {Qt::Key_0, KeypadKeyKind::Digit, 0},
    {Qt::Key_1, KeypadKeyKind::Digit, 1},
    {Qt::Key_2, KeypadKeyKind::Digit, 2},
    {Qt::Key_3, KeypadKeyKind::Digit, 3},
    {Qt::Key_4, KeypadKeyKind::Digit, 4},
    {Qt::Key_5, KeypadKeyKind::Digit, 5},
    {Qt::Key_6, KeypadKeyKind::Digit, 6},
    {Qt::Key_7, KeypadKeyKind::Digit, 7},
    {Qt::Key_8, KeypadKeyKind::Digit, 8},
    {Qt::Key_9, KeypadKeyKind::Digit, 9},
    // The right hand's home block stands for 1..6 in numeric-keypad layout.
    {Qt::Key_J, KeypadKeyKind::Digit, 1},
    {Qt::Key_K, KeypadKeyKind::Digit, 2},
    {Qt::Key_L, KeypadKeyKind::Digit, 3},
    {Qt::Key_U, KeypadKeyKind::Digit, 4},
    {Qt::Key_I, KeypadKeyKind::Digit, 5},
    {Qt::Key_O, KeypadKeyKind::Digit, 6},
    {Qt::Key_Backspace, KeypadKeyKind::RemoveDigit},
    {Qt::Key_Clear, KeypadKeyKind::RemoveDigit},
    {Qt::Key_Delete, KeypadKeyKind::ClearAll},
    {Qt::Key_Return, KeypadKeyKind::Accept},
    {Qt::Key_Enter, KeypadKeyKind::Accept},
    {Qt::Key_Up, KeypadKeyKind::HistoryUp},
    {Qt::Key_Down, KeypadKeyKind::HistoryDown},
    {Qt::Key_Space, KeypadKeyKind::Swallow},
};

} // namespace

KeypadKeyAction keypadKeyAction(int qtKey)
{
    for (const KeyBinding& b : Bindings)
        if (b.qtKey == qtKey)
            return {b.kind, b.digit};
    return {};
}

QList<int> keypadKeysFor(KeypadKeyKind kind, int digit)
{
    QList<int> keys;
    for (const KeyBinding& b : Bindings)
        if (b.kind == kind && (kind != KeypadKeyKind::Digit || b.digit == digit))
            keys << b.qtKey;
    return keys;
}

} // namespace tolvek
