#pragma once
// The two type faces the windows are laid out for, with the CJK-capable faces that stand in for
// them where they are not installed. UI thread only; no failure modes (Qt falls back itself).

#include <QFont>
#include <QRect>

namespace tolvek {

// "メイリオ" (Meiryo), for the dialogs.
QFont meiryoFont(double points);
// "MS Gothic", for the lists, the folder panel and the time text; size left to the caller.
QFont gothicFont();
// gothicFont() at a size in points for a screen of dpiY dots per inch (96 when dpiY is not
// positive), as a whole number of pixels: a character height of points x dpiY / 72, rounded.
QFont gothicFont(double points, int dpiY);
int pointsToPixels(double points, int dpiY);

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
