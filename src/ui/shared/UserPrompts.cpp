#include "ui/shared/UserPrompts.h"

#include <algorithm>

namespace tolvek {

QPoint centredOnPoint(QSize box, QPoint anchor, QRect screen)
{
    int x = anchor.x() - box.width() / 2;
    int y = anchor.y() - box.height() / 2;
    x = std::min(std::max(x, screen.left()), screen.left() + screen.width() - box.width());
    y = std::min(std::max(y, screen.top()), screen.top() + screen.height() - box.height());
    return {std::max(x, screen.left()), std::max(y, screen.top())};
}

} // namespace tolvek
