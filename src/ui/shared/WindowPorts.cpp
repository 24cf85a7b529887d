#include "ui/shared/WindowPorts.h"

#include <QWidget>

namespace tolvek {

QWidget* windowControl(const QWidget& window, int id)
{
    return window.findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

} // namespace tolvek
