#include "ui/shared/DigitsView.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

namespace tolvek {

DigitsView::DigitsView(QWidget* parent, int id, const QRect& place, QSize whiteArea,
                       std::function<void(QPainter&)> paint, std::function<void()> click)
    : QWidget(parent), m_whiteArea(whiteArea), m_paint(std::move(paint)), m_click(std::move(click))
{
    setObjectName(QString::number(id));
    setGeometry(place);
    setFocusPolicy(Qt::NoFocus);
    if (m_click)
        setCursor(Qt::PointingHandCursor);
}

void DigitsView::paintEvent(QPaintEvent*)
{
    QImage img(size(), QImage::Format_RGB32);
    img.fill(QColor(120, 120, 120)); // the thin sunken frame around the white area
    {
        QPainter ip(&img);
        ip.translate((width() - m_whiteArea.width()) / 2, (height() - m_whiteArea.height()) / 2);
        m_paint(ip);
    }
    QPainter p(this);
    p.drawImage(0, 0, img);
}

void DigitsView::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_click && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        m_click();
}

} // namespace tolvek
