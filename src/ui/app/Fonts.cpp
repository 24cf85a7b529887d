#include "ui/app/Fonts.h"

#include <QStringList>

namespace tolvek {

QFont meiryoFont(double points)
{
    QFont f;
    f.setFamilies({QStringLiteral("Meiryo"), QStringLiteral("メイリオ"), QStringLiteral("Noto Sans CJK JP")});
    f.setPointSizeF(points);
    return f;
}

QFont gothicFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP"),
                   QStringLiteral("IPAGothic")});
    return f;
}

}  // namespace tolvek
