#include "ui/shared/Fonts.h"

#include "core/i18n/Messages.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace tolvek {

namespace {

// The region code of the Noto CJK faces (fonts-noto-cjk) that draws language's Han characters.
QString cjkRegion(int language)
{
    switch (language) {
    case ChineseSimplified:
        return QStringLiteral("SC");
    case ChineseTraditional:
        return QStringLiteral("TC");
    case Korean:
        return QStringLiteral("KR");
    default:
        return QStringLiteral("JP");
    }
}

// Faces for the scripts that are not CJK. Arabic and Devanagari faces come first: Qt takes a
// character from the first listed face that has it, and DejaVu Sans has Arabic letters it cannot
// join. Their Latin letters are drawn well enough; Latin and Cyrillic languages keep DejaVu's.
QStringList scriptFamilies(int language)
{
    QStringList families;
    if (language == Hindi)
        families << QStringLiteral("Noto Sans Devanagari UI") << QStringLiteral("Noto Sans Devanagari");
    if (language == Arabic)
        families << QStringLiteral("Noto Sans Arabic UI") << QStringLiteral("Noto Naskh Arabic UI")
                 << QStringLiteral("Noto Sans Arabic");
    families << QStringLiteral("Noto Sans") << QStringLiteral("DejaVu Sans");
    return families;
}

// Chinese, Korean and Japanese texts are mostly Han, kana and hangul: their own CJK face goes
// first. Qt takes a character the first listed face lacks from the system's fallback, not from the
// faces listed after it, so a Latin face first would let the Han characters fall to whatever
// regional face the system prefers.
bool isCjk(int language)
{
    return language == Japanese || language == ChineseSimplified || language == ChineseTraditional ||
           language == Korean;
}

} // namespace

QStringList interfaceFamilies(int language)
{
    const QString cjk = QStringLiteral("Noto Sans CJK ") + cjkRegion(language);
    if (isCjk(language))
        return {cjk, QStringLiteral("DejaVu Sans")};
    QStringList families = scriptFamilies(language);
    families << cjk;
    return families;
}

QFont meiryoFont(double points)
{
    const int language = currentLanguage();
    QStringList families;
    // The dialogs were laid out for Meiryo; its Han characters have Japanese shapes, so it is not
    // for Chinese or Korean.
    if (language != ChineseSimplified && language != ChineseTraditional && language != Korean)
        families << QStringLiteral("Meiryo") << QStringLiteral("メイリオ");
    families << interfaceFamilies(language);
    QFont f;
    f.setFamilies(families);
    f.setPointSizeF(points);
    return f;
}

QStringList gothicFamilies(int language)
{
    const QString region = cjkRegion(language);
    const QStringList cjk{QStringLiteral("Noto Sans Mono CJK ") + region,
                          QStringLiteral("Noto Sans CJK ") + region};
    if (language == Japanese)
        return QStringList{QStringLiteral("MS Gothic")} + cjk + QStringList{QStringLiteral("IPAGothic")};
    if (isCjk(language))
        return cjk;
    if (language == Hindi || language == Arabic)
        return QStringList{QStringLiteral("MS Gothic")} + scriptFamilies(language) + cjk;
    // Latin and Cyrillic in the monospaced face's half-width letters, as narrow as the lists'
    // columns were laid out for: a proportional face cuts IDs and dates short.
    return QStringList{QStringLiteral("MS Gothic"), QStringLiteral("Noto Sans Mono CJK JP")} +
           scriptFamilies(language) + cjk;
}

QFont gothicFont()
{
    QFont f;
    f.setFamilies(gothicFamilies(currentLanguage()));
    return f;
}

QFont pictureFont(int pixelSize, int language)
{
    QFont f;
    // The Latin and Cyrillic words of the pictures in DejaVu's bold, as they were drawn; other
    // scripts in their own face first.
    QStringList families = interfaceFamilies(language);
    if (families.first() == QLatin1String("Noto Sans"))
        families.prepend(QStringLiteral("DejaVu Sans"));
    f.setFamilies(families);
    f.setPixelSize(pixelSize);
    f.setBold(true);
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
