#include "ui/shared/ButtonImages.h"

#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "ui/shared/Fonts.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace tolvek {

QSize buttonImageSize(int id)
{
    switch (id) {
    case ImgExit:
        return {94, 94};
    case ImgFrontHead:
    case ImgManualHead:
        return {100, 100};
    case ImgRestart:
    case ImgStop:
        return {90, 90};
    case ImgStart:
        return {140, 90};
    case ImgRec:
        return {86, 85};
    default:
        return {85, 85};
    }
}

namespace {

// Draws text centred in r at the largest size from startSize down that fits r's width (and, for
// two lines, its height).
void fitText(QPainter& p, int language, const QRect& r, const QString& text, int startSize,
             int flags = Qt::AlignCenter)
{
    const QStringList lines = text.split(u'\n');
    int size = startSize;
    QFont f = pictureFont(size, language);
    while (size > 8) {
        f.setPixelSize(size);
        const QFontMetrics fm(f);
        int widest = 0;
        // The ink too: a joined script's first or last letter may reach beyond its advance.
        for (const QString& line : lines)
            widest = std::max({widest, fm.horizontalAdvance(line), fm.boundingRect(line).width()});
        if (widest <= r.width() && fm.height() * lines.size() <= std::max(r.height(), fm.height()))
            break;
        --size;
    }
    p.setFont(f);
    p.drawText(r, flags, text);
}

void wordOnWhite(QPainter& p, int language, const QSize& s, const QString& word)
{
    p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.drawRect(QRect(1, 1, s.width() - 3, s.height() - 3));
    p.setPen(Qt::black);
    fitText(p, language, QRect(4, 0, s.width() - 8, s.height()), word, 30);
}

// A round red push-button on grey, with its label and an optional function-key mark.
// What a red push-button shows above its word, so that buttons of the same red tell apart at a
// glance from across the room.
enum class ButtonSymbol { None, Restart, Stop };

void drawButtonSymbol(QPainter& p, const QRectF& circle, ButtonSymbol symbol)
{
    const QPointF c(circle.center().x(), circle.top() + circle.height() * 0.30);
    const double r = circle.width() * 0.15;
    p.save();
    if (symbol == ButtonSymbol::Stop) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
    } else if (symbol == ButtonSymbol::Restart) {
        // A circular arrow: three quarters of a ring and an arrow head at its open end.
        p.setPen(QPen(Qt::white, r * 0.45, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 90 * 16, -270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        const QPointF tip(c.x(), c.y() - r);
        p.drawPolygon(QPolygonF({tip + QPointF(r * 0.7, 0), tip + QPointF(-r * 0.3, -r * 0.6),
                                 tip + QPointF(-r * 0.3, r * 0.6)}));
    }
    p.restore();
}

void redPushButton(QPainter& p, int language, const QSize& s, const QString& label, const QString& key,
                   bool keyLeft, ButtonSymbol symbol = ButtonSymbol::None)
{
    p.fillRect(QRect(QPoint(0, 0), s), QColor(200, 200, 200));
    const int d = std::min(s.width(), s.height()) - 14;
    const QRectF circle((s.width() - d) / 2.0, (s.height() - d) / 2.0 + 3, d, d);
    p.setPen(QPen(QColor(90, 90, 90), 3));
    p.setBrush(QColor(120, 120, 120));
    p.drawEllipse(circle.adjusted(-3, -3, 3, 3));
    QRadialGradient g(circle.center() - QPointF(d / 6.0, d / 6.0), d * 0.7);
    g.setColorAt(0, QColor(255, 110, 100));
    g.setColorAt(1, QColor(185, 10, 10));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(circle);
    p.setPen(Qt::white);
    if (symbol == ButtonSymbol::None) {
        fitText(p, language, circle.toRect().adjusted(6, 0, -6, 0), label, 22);
    } else {
        drawButtonSymbol(p, circle, symbol);
        p.setPen(Qt::white);
        fitText(p, language,
                circle.toRect().adjusted(6, int(circle.height() * 0.45), -6, -int(circle.height() * 0.12)),
                label, 18);
    }
    if (!key.isEmpty()) {
        p.setPen(Qt::black);
        p.setFont(pictureFont(13, English));
        const QRect corner = keyLeft ? QRect(3, 1, 30, 16) : QRect(s.width() - 31, 1, 28, 16);
        p.drawText(corner, keyLeft ? Qt::AlignLeft | Qt::AlignTop : Qt::AlignRight | Qt::AlignTop, key);
    }
}

void trimPicture(QPainter& p, int language, const QSize& s, const QColor& ink, const QColor& marker)
{
    p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
    p.setPen(QPen(ink, 3));
    // crop marks around the word
    p.drawLine(10, 14, 10, 28), p.drawLine(4, 20, 18, 20);
    p.drawLine(75, 40, 75, 54), p.drawLine(67, 48, 81, 48);
    p.setPen(ink);
    fitText(p, language, QRect(14, 14, 58, 36), uiTextIn(language, TxtPicTrim), 24);
    // slider strip with the two range markers
    p.setPen(QPen(ink, 2));
    p.drawLine(8, 66, 77, 66);
    p.setBrush(marker);
    p.setPen(QPen(ink, 1));
    p.drawPolygon(QPolygon({QPoint(20, 60), QPoint(14, 76), QPoint(26, 76)}));
    p.drawPolygon(QPolygon({QPoint(64, 60), QPoint(58, 76), QPoint(70, 76)}));
}

// A small lying or sitting stick figure, as the overlay shows it.
void postureFigure(QPainter& p, const QPointF& at, bool sitting, const QColor& ink)
{
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    if (sitting) {
        p.drawEllipse(at + QPointF(0, -10), 4, 4);
        p.drawLine(at + QPointF(0, -6), at + QPointF(0, 6));
        p.drawLine(at + QPointF(0, 6), at + QPointF(8, 6));
        p.drawLine(at + QPointF(8, 6), at + QPointF(8, 14));
    } else {
        p.drawEllipse(at + QPointF(-12, 0), 4, 4);
        p.drawLine(at + QPointF(-8, 0), at + QPointF(12, 0));
    }
}

void headBall(QPainter& p, const QRectF& r, bool front)
{
    QRadialGradient g(r.center() - QPointF(r.width() / 6, r.height() / 6), r.width() * 0.6);
    g.setColorAt(0, QColor(235, 235, 235));
    g.setColorAt(1, QColor(140, 140, 140));
    p.setPen(QPen(QColor(80, 80, 80), 2));
    p.setBrush(g);
    p.drawEllipse(r);
    if (front) {
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        const double ey = r.top() + r.height() * 0.42;
        p.drawEllipse(QPointF(r.center().x() - r.width() * 0.17, ey), r.width() * 0.06, r.width() * 0.08);
        p.drawEllipse(QPointF(r.center().x() + r.width() * 0.17, ey), r.width() * 0.06, r.width() * 0.08);
    }
}

} // namespace

QPixmap buttonImage(int id)
{
    return buttonImage(id, currentLanguage());
}

QPixmap buttonImage(int id, int language)
{
    const auto word = [language](UiTextId text) { return uiTextIn(language, text); };
    const QSize s = buttonImageSize(id);
    QPixmap pm(s);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (id) {
    case ImgExit:
        wordOnWhite(p, language, s, word(TxtPicExit));
        break;
    case ImgMenu:
        wordOnWhite(p, language, s, word(TxtPicMenu));
        break;
    case ImgTop:
        wordOnWhite(p, language, s, word(TxtPicTop));
        break;
    case ImgSetId:
        p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
        p.setPen(Qt::black);
        fitText(p, language, QRect(4, 4, s.width() - 8, s.height() - 8), word(TxtPicSetId), 30);
        break;
    case ImgRestart:
        redPushButton(p, language, s, word(TxtPicRestart), QStringLiteral("F1"), false,
                      ButtonSymbol::Restart);
        break;
    case ImgStop:
        redPushButton(p, language, s, word(TxtPicStop), QStringLiteral("F2"), false, ButtonSymbol::Stop);
        break;
    case ImgStart:
        redPushButton(p, language, s, word(TxtPicStart), QString(), false);
        break;
    case ImgRec:
        redPushButton(p, language, s, word(TxtPicRec), QStringLiteral("F1"), true);
        break;
    case ImgTrim:
        trimPicture(p, language, s, Qt::black, QColor(250, 210, 0));
        break;
    case ImgTrimGrey:
        trimPicture(p, language, s, QColor(190, 190, 190), QColor(235, 235, 200));
        break;
    case ImgList:
        p.fillRect(QRect(QPoint(0, 0), s), Qt::white);
        p.setPen(Qt::black);
        fitText(p, language, QRect(4, 4, s.width() - 8, 30), word(TxtPicList), 24);
        for (int i = 0; i < 3; ++i)
            p.fillRect(QRect(14, 40 + i * 13, s.width() - 28, 7), Qt::black);
        break;
    case ImgFrontHead:
        p.fillRect(QRect(QPoint(0, 0), s), QColor(225, 225, 225));
        headBall(p, QRectF(15, 8, 70, 70), true);
        p.setPen(Qt::black);
        fitText(p, language, QRect(2, 78, s.width() - 4, 20), word(TxtPicFront), 16);
        break;
    case ImgManualHead:
        p.fillRect(QRect(QPoint(0, 0), s), QColor(225, 225, 225));
        p.save();
        p.setClipRect(QRect(0, 0, 50, 100));
        headBall(p, QRectF(6, 30, 76, 76), false);
        p.restore();
        p.save();
        p.setClipRect(QRect(50, 0, 50, 100));
        headBall(p, QRectF(18, 30, 76, 76), false);
        p.restore();
        postureFigure(p, QPointF(24, 14), false, QColor(20, 20, 120));
        postureFigure(p, QPointF(70, 16), true, QColor(20, 20, 120));
        break;
    default:
        break;
    }
    return pm;
}

} // namespace tolvek
