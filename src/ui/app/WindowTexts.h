#pragma once
// The main window's texts that the message table has none for, set whenever the language, the
// mode or the tooltip switch changes: the tooltips of the picture buttons without one (Menu,
// List, Top, Record, Stop, Exit), every picture button's accessible name, the words on the
// pictures, the lists' faces and the all-videos list's column titles fitted to their texts.
// Tooltips of the top-row buttons open below the row, so they never cover the record button.
// UI thread only.

#include "core/i18n/Messages.h"

class QTreeWidget;
class QWidget;

namespace tolvek {

// The two picture-button tooltips that depend on the window's state.
struct StateToolTips
{
    MessageId trim = MsgTrimHowToTip;    // the trim button's, by the range markers
    MessageId resetHead = MsgPostureTip; // the head button's, by the sensor mode
};

void applyWindowTexts(QWidget& window, bool toolTipsActive, StateToolTips tips);

// Widens the columns of list whose title does not fit, and centres the length title so that it
// stays clear of the memo title beside it.
void fitColumnTitles(QTreeWidget& list);

} // namespace tolvek
