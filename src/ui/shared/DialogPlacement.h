#pragma once
// Where a keypad dialog opens: at an offset from the centre of the main window's client area,
// then kept on the nearest screen's work area, so that a remembered position on a monitor that
// is gone, or a main window partly off-screen, still leaves the dialog reachable. UI thread only.

#include <QPoint>
#include <QSize>

class QWidget;

namespace tolvek {

// The centre of the main window's client area plus fromCentre, in screen coordinates. clientSize
// is the size the main window's layout last recorded; when it is not valid, the window's size.
// Without a main window the client area starts at the screen origin.
QPoint mainClientPoint(const QWidget* mainWindow, QSize clientSize, QPoint fromCentre);

// topLeft moved the least so that a dialog of that size lies in the work area of the screen
// nearest to it; unchanged when there is no screen.
QPoint keepOnScreen(QPoint topLeft, QSize size);

} // namespace tolvek
