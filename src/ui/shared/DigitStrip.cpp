#include "ui/shared/DigitStrip.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace tolvek {

namespace {

constexpr int LargeBlankX = 330;
constexpr int LargeQuestionX = 790;
constexpr int SmallBlankX = 154;
const QColor Ink(25, 25, 25);
const QColor QuestionInk(200, 200, 200);

QPainterPath glyphPath(QChar c)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(100);
    QPainterPath p;
    p.addText(0, 0, f, QString(c));
    return p;
}

// All glyphs of a row share one scale, taken from the box that holds every digit, so the
// digits come out equally tall and equally wide whatever their own shape.
struct GlyphRow
{
    QRectF digitBox;
    int marginX;
    int marginY;
};

void paintGlyph(QPainter& p, QChar c, const QRect& cell, const GlyphRow& row, const QColor& ink)
{
    const QPainterPath path = glyphPath(c);
    if (path.isEmpty())
        return;
    const QRectF target = QRectF(cell).adjusted(row.marginX, row.marginY, -row.marginX, -row.marginY);
    const qreal sx = target.width() / row.digitBox.width();
    const qreal sy = target.height() / row.digitBox.height();
    const QRectF own = path.boundingRect();
    QTransform t;
    // Each glyph centred across its cell; all share the digits' vertical placement.
    t.translate(target.left() + (target.width() - own.width() * sx) / 2.0 - own.left() * sx,
                target.top() - row.digitBox.top() * sy);
    t.scale(sx, sy);
    p.save();
    p.setClipRect(cell);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPath(t.map(path));
    p.restore();
}

QImage buildStrip()
{
    QImage img(DigitStrip::Width, DigitStrip::Height, QImage::Format_RGB888);
    img.fill(Qt::white);
    QRectF digits;
    for (char d = '0'; d <= '9'; ++d)
        digits |= glyphPath(QChar(d)).boundingRect();

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const GlyphRow large{digits, 3, 4};
    const GlyphRow small{digits, 1, 3};
    for (char d = '0'; d <= '9'; ++d) {
        paintGlyph(p, QChar(d), DigitStrip::largeCell(QChar(d)), large, Ink);
        paintGlyph(p, QChar(d), DigitStrip::smallCell(QChar(d)), small, Ink);
    }
    paintGlyph(p, u'?', DigitStrip::largeCell(u'?'), large, QuestionInk);
    for (QChar c : {u'.', u':', u'-', u'/'})
        paintGlyph(p, c, DigitStrip::smallCell(c), small, Ink);
    return img;
}

} // namespace

const QImage& DigitStrip::image()
{
    static const QImage strip = buildStrip();
    return strip;
}

QRect DigitStrip::largeCell(QChar c)
{
    int x = LargeBlankX;
    if (c >= u'0' && c <= u'9')
        x = LargeWidth * (c.unicode() - u'0');
    else if (c == u'?')
        x = LargeQuestionX;
    return {x, 0, LargeWidth, LargeHeight};
}

QRect DigitStrip::smallCell(QChar c)
{
    int x = SmallBlankX;
    if (c >= u'0' && c <= u'9')
        x = SmallWidth * (c.unicode() - u'0');
    else if (c == u'.')
        x = 110;
    else if (c == u':')
        x = 121;
    else if (c == u'-')
        x = 132;
    else if (c == u'/')
        x = 143;
    return {x, SmallTop, SmallWidth, SmallHeight};
}

void DigitStrip::draw(QPainter& painter, QPoint at, const QRect& cell)
{
    const QPainter::CompositionMode old = painter.compositionMode();
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(at, image(), cell);
    painter.setCompositionMode(old);
}

void DigitStrip::drawRow(QPainter& painter, QSize whiteArea, const QString& glyphs, Size size, QPoint first,
                         int pitch)
{
    painter.fillRect(QRect(QPoint(0, 0), whiteArea), Qt::white);
    for (int i = 0; i < glyphs.size(); ++i)
        draw(painter, first + QPoint(pitch * i, 0),
             size == Size::Large ? largeCell(glyphs[i]) : smallCell(glyphs[i]));
}

} // namespace tolvek
