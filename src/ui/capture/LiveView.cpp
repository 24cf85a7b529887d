#include "ui/capture/LiveView.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace tolvek {

SectionGrid sectionGrid(const QRect& r)
{
    return {r.left() + r.width() / 3, r.left() + (2 * r.width()) / 3, r.top() + r.height() / 3,
            r.top() + (2 * r.height()) / 3};
}

void paintLiveView(QPainter& p, const QRect& target, const FrameCopy& frame, bool drawGrid)
{
    if (target.isEmpty())
        return;
    if (!frame.valid()) {
        p.fillRect(target, Qt::white);
        return;
    }
    const QImage image(frame.rgb.data(), frame.width, frame.height, frame.width * 3, QImage::Format_RGB888);
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // The frame fills the whole rectangle; the aspect ratio is the layout's business.
    p.drawImage(target, image);
    p.restore();
    if (drawGrid) {
        const SectionGrid g = sectionGrid(target);
        p.save();
        p.setPen(QPen(Qt::black, 1));
        const int right = target.left() + target.width();
        const int bottom = target.top() + target.height();
        p.drawLine(target.left(), g.y1, right, g.y1);
        p.drawLine(target.left(), g.y2, right, g.y2);
        p.drawLine(g.x1, target.top(), g.x1, bottom);
        p.drawLine(g.x2, target.top(), g.x2, bottom);
        p.restore();
    }
}

RecordingMarks recordingMarks(const QRect& picture)
{
    RecordingMarks m;
    if (picture.isEmpty())
        return m;
    m.border = std::clamp(picture.height() / 120, 3, 8);
    m.fontPixels = std::clamp(picture.height() / 9, 14, 96);
    const int h = m.fontPixels * 3 / 2;
    const int w = m.fontPixels * 5;
    const int inset = m.border * 2;
    m.badge = QRect(picture.right() - inset - w + 1, picture.top() + inset, w, h);
    return m;
}

QString recordingBadgeText(int elapsedMs)
{
    const int s = std::max(0, elapsedMs) / 1000;
    if (s < 3600)
        return QString::asprintf("%d:%02d", s / 60, s % 60);
    return QString::asprintf("%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
}

void paintRecordingMarks(QPainter& p, const QRect& picture, int elapsedMs)
{
    const RecordingMarks m = recordingMarks(picture);
    if (m.border <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QColor red(220, 0, 0);
    p.setPen(QPen(red, m.border, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    const double half = m.border / 2.0;
    p.drawRect(QRectF(picture).adjusted(half, half, -half, -half));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 170));
    p.drawRoundedRect(m.badge, m.fontPixels / 4.0, m.fontPixels / 4.0);
    // The dot blinks with the seconds, as the small time text's mark does.
    const int dot = m.fontPixels * 2 / 3;
    const QRect dotRect(m.badge.left() + m.fontPixels / 3, m.badge.center().y() - dot / 2, dot, dot);
    p.setBrush((std::max(0, elapsedMs) / 1000) % 2 == 0 ? red : QColor(255, 120, 120));
    p.drawEllipse(dotRect);
    QFont f = p.font();
    f.setPixelSize(m.fontPixels);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(m.badge.adjusted(dotRect.right() - m.badge.left() + m.fontPixels / 4, 0, -m.fontPixels / 4, 0),
               Qt::AlignVCenter | Qt::AlignRight, recordingBadgeText(elapsedMs));
    p.restore();
}

} // namespace tolvek
