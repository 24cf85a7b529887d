#pragma once
// How the main window shows its tooltips: at most 512 pixels wide, the text wrapped at the line
// breaks the language allows (spaces, or between CJK characters), and also while the window is
// not the active one. UI thread only.

#include <QFontMetrics>
#include <QString>

class QEvent;
class QWidget;

namespace tolvek {

inline constexpr int ToolTipMaxWidth = 512;

// The text laid out in lines no wider than maxWidth pixels in fm's font: "\r\n" and "\n" keep
// their breaks, longer lines break at the last allowed break that fits, and a word wider than
// the line on its own is cut between characters.
QString wrapToolTip(const QString& text, const QFontMetrics& fm, int maxWidth);
// text wrapped as the tooltip shows it: in the tooltip font, to ToolTipMaxWidth less the
// tooltip's frame and margins.
QString toolTipLayout(const QString& text);
// The widest line of text in fm's font.
int widestLine(const QString& text, const QFontMetrics& fm);

// The tooltip text shown for position pos (widget coordinates) of widget w: the widget's own,
// or for a list or a header the text of the row or the section under pos. Empty when none.
QString toolTipTextAt(const QWidget* w, const QPoint& pos);

// Handles a tooltip event for a widget of the main window: shows its text wrapped to
// ToolTipMaxWidth (less the tooltip's frame), for a button just below it, and returns true, or
// returns false when the widget has no tooltip there.
bool showWrappedToolTip(QWidget* w, QEvent* e);

} // namespace tolvek
