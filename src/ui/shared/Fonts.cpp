#include "ui/shared/Fonts.h"

#include <QFontMetricsF>
#include <QStringList>

#include <algorithm>
#include <cmath>

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
    f.setFamilies({QStringLiteral("MS Gothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                   QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")});
    return f;
}

int pointsToPixels(double points, int dpiY)
{
    return std::max(1, int(std::lround(points * (dpiY > 0 ? dpiY : 96) / 72.0)));
}

QFont gothicFont(double points, int dpiY)
{
    QFont f = gothicFont();
    f.setPixelSize(pointsToPixels(points, dpiY));
    return f;
}

DialogUnitScale::DialogUnitScale(const QFont& font)
{
    const QFontMetricsF fm(font);
    m_baseX =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    m_baseY = fm.height();
}

QRect DialogUnitScale::toPixels(const QRect& du) const
{
    return QRect(qRound(du.x() * m_baseX / 4), qRound(du.y() * m_baseY / 8), qRound(du.width() * m_baseX / 4),
                 qRound(du.height() * m_baseY / 8));
}

} // namespace tolvek
