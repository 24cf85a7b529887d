#include "ui/shared/DialogPlacement.h"

#include "core/platform/WindowPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace tolvek {

QPoint mainClientPoint(const QWidget* mainWindow, QSize clientSize, QPoint fromCentre)
{
    if (!clientSize.isValid() && mainWindow)
        clientSize = mainWindow->size();
    // The client area wherever the main window is.
    const QPoint origin = mainWindow ? mainWindow->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    return origin + QPoint(clientSize.width() / 2, clientSize.height() / 2) + fromCentre;
}

QPoint keepOnScreen(QPoint topLeft, QSize size)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QList<QRect> monitors;
    for (QScreen* s : screens)
        monitors << s->geometry();
    const int nearest = platform::nearestMonitor(QRect(topLeft, size), monitors);
    if (nearest < 0)
        return topLeft;
    return platform::clampIntoWorkArea(topLeft, size, screens[nearest]->availableGeometry());
}

} // namespace tolvek
