#include "ui/shared/LanguageLook.h"

#include "core/i18n/Messages.h"
#include "ui/shared/Fonts.h"

#include <QApplication>
#include <QWidget>

namespace tolvek {

void applyLanguageLook(int language)
{
    QGuiApplication::setLayoutDirection(language == Arabic ? Qt::RightToLeft : Qt::LeftToRight);
    QFont font = QApplication::font();
    font.setFamilies(interfaceFamilies(language));
    QApplication::setFont(font);
}

void mirrorIfRightToLeft(QWidget& dialog)
{
    if (QGuiApplication::layoutDirection() != Qt::RightToLeft)
        return;
    const int width = dialog.width();
    for (QWidget* child : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect r = child->geometry();
        child->move(width - r.x() - r.width(), r.y());
    }
}

} // namespace tolvek
