#pragma once
// Keeps a remembered window position on a screen: picks the monitor nearest to a window
// rectangle and clamps a top-left corner into a monitor's work area. Pure functions on
// rectangles; thread-safe. An empty monitor list gives -1; nothing else can fail.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace tolvek::platform {

// Index of the monitor nearest to rect: the one it overlaps most, else the one at the smallest
// distance (the first of equals); -1 when there is no monitor.
int nearestMonitor(const QRect& rect, const QList<QRect>& monitors);

// topLeft moved the least so that a window of the given size lies inside workArea; where the
// window is larger than the work area, the work area's left or top edge wins.
QPoint clampIntoWorkArea(QPoint topLeft, QSize size, const QRect& workArea);

} // namespace tolvek::platform
