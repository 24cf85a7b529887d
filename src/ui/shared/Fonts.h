#pragma once
// The two type faces the windows are laid out for, with the faces that stand in for them where
// they are not installed, and the CJK face each language draws its Han characters with: a
// Chinese or Korean text must not pick the Japanese glyph shapes. UI thread only; no failure
// modes (Qt falls back itself).

#include <QFont>
#include <QRect>
#include <QStringList>

namespace tolvek {

// The family list for the interface text of language: the faces its script is drawn with first,
// then the CJK face of that language, so that a Han character falls to the right regional face.
QStringList interfaceFamilies(int language);

// "メイリオ" (Meiryo), for the dialogs; its CJK stand-in follows the current language.
QFont meiryoFont(double points);
// "MS Gothic", for the lists, the folder panel and the time text; size left to the caller. Its
// CJK stand-in follows the current language.
QFont gothicFont();
// gothicFont() at a size in points for a screen of dpiY dots per inch (96 when dpiY is not
// positive), as a whole number of pixels: a character height of points x dpiY / 72, rounded.
QFont gothicFont(double points, int dpiY);
int pointsToPixels(double points, int dpiY);
// The gothic face list of language (monospaced CJK faces first, as the lists are laid out).
QStringList gothicFamilies(int language);
// The bold face of the button pictures' words in language.
QFont pictureFont(int pixelSize, int language);

// Converts a rectangle in dialog units to pixels for a dialog laid out in `font`, as dialog
// templates are: a horizontal unit is a quarter of the font's average character width, a vertical
// unit an eighth of its height.
class DialogUnitScale
{
  public:
    explicit DialogUnitScale(const QFont& font);
    QRect toPixels(const QRect& units) const;

  private:
    double m_baseX;
    double m_baseY;
};

} // namespace tolvek
