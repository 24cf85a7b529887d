#include "ui/capture/LiveView.h"

#include <QImage>
#include <QPainter>

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

} // namespace tolvek
