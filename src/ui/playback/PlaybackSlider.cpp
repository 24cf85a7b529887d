#include "ui/playback/PlaybackSlider.h"

#include <QEvent>
#include <QPainter>
#include <QPolygon>

namespace tolvek {

PlaybackSlider::PlaybackSlider(QWidget* control, QColor background)
    : QObject(control), m_control(control), m_background(background)
{
    if (m_control) {
        m_control->setAttribute(Qt::WA_OpaquePaintEvent);
        m_control->installEventFilter(this);
    }
}

void PlaybackSlider::render(const SliderPicture& s)
{
    if (!s.draw)
        return;
    QImage image(std::max(1, s.imageWidth), SliderTrackHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(QRect(0, 0, s.imageWidth, SliderTrackHeight), m_background);
    p.fillRect(QRect(s.trackX, 0, s.trackWidth, SliderTrackHeight), SliderTrackColour);
    if (s.bandWidth > 0)
        p.fillRect(QRect(s.bandX, 0, s.bandWidth, SliderTrackHeight), SliderBandColour);

    // Filled with the winding rule and outlined with a black one-pixel pen.
    p.setPen(QPen(Qt::black, 1));
    auto shape = [&p](const QPolygon& poly, const QColor& fill) {
        p.setBrush(fill);
        p.drawPolygon(poly, Qt::WindingFill);
    };
    const int a = s.startMarkerX;
    shape(QPolygon({QPoint(a, 3), QPoint(a + 11, 14), QPoint(a, 25)}), SliderMarkerColour);
    const int b = s.endMarkerX;
    shape(QPolygon({QPoint(b - 11, 14), QPoint(b, 3), QPoint(b, 25)}), SliderMarkerColour);
    const int d = s.diamondX;
    shape(QPolygon({QPoint(d - 9, 14), QPoint(d, 5), QPoint(d + 9, 14), QPoint(d, 23)}), SliderDiamondColour);
    p.end();

    m_image = image;
    if (m_control)
        m_control->update();
}

void PlaybackSlider::clear()
{
    m_image = QImage();
    if (m_control)
        m_control->update();
}

bool PlaybackSlider::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_control && event->type() == QEvent::Paint) {
        QPainter p(m_control);
        p.fillRect(m_control->rect(), m_background);
        if (!m_image.isNull())
            p.drawImage(0, 0, m_image);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tolvek
