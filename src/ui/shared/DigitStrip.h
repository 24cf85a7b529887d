#pragma once
// The digit strip (bitmap 146): large and small glyphs, dark on white, drawn once with QPainter
// into an 828 x 71 picture, and the cell rectangles the keypads copy from it. UI thread only
// (the first use builds the picture and needs the font database). No failure modes.

#include <QChar>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

namespace tolvek {

class DigitStrip
{
  public:
    static constexpr int Width = 828;
    static constexpr int Height = 71;
    static constexpr int LargeWidth = 33; // top row, y = 0
    static constexpr int LargeHeight = 45;
    static constexpr int SmallTop = 46; // second row
    static constexpr int SmallWidth = 11;
    static constexpr int SmallHeight = 20;

    // The whole strip, 24 bits per pixel.
    static const QImage& image();

    // Cell of a large glyph: '0'..'9', ' ' (blank) and '?' (the light grey question mark);
    // any other character gives the blank cell.
    static QRect largeCell(QChar c);
    // Cell of a small glyph: '0'..'9', '.', ':', '-', '/' and ' ' (blank); others give blank.
    static QRect smallCell(QChar c);

    // Copies a cell of the strip to `at`, combined with what is there by a bitwise AND, so on a
    // white background the glyph appears as drawn.
    static void draw(QPainter& painter, QPoint at, const QRect& cell);

    enum class Size { Large, Small };
    // A number display: fills whiteArea (at the painter's origin) white, then draws glyph k of
    // `glyphs` at first + (pitch * k, 0).
    static void drawRow(QPainter& painter, QSize whiteArea, const QString& glyphs, Size size, QPoint first,
                        int pitch);
};

} // namespace tolvek
