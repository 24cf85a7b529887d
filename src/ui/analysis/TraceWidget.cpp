#include "ui/analysis/TraceWidget.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace tolvek {

TraceWidget::TraceWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("EyeTraces"));
    setMinimumSize(400, 220);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TraceWidget::setData(std::shared_ptr<const TraceData> data)
{
    m_data = std::move(data);
    m_cursor.reset();
    m_firstFrame = 0.0;
    m_lastFrame = m_data ? m_data->frameCount : 0.0;
    update();
}

void TraceWidget::setStyle(const TraceStyle& style)
{
    m_style = style;
    update();
}

analysis::TimeWindow TraceWidget::window() const
{
    const TraceLayout l = traceLayout(rect());
    return {m_firstFrame, m_lastFrame, l.plotLeft, l.plotWidth};
}

void TraceWidget::setWindow(double firstFrame, double lastFrame)
{
    m_firstFrame = firstFrame;
    m_lastFrame = lastFrame;
    update();
}

int TraceWidget::frameAt(int x) const
{
    return m_data ? analysis::frameAtX(window(), x, m_data->frameCount) : 0;
}

void TraceWidget::setCursorFrame(int frame)
{
    if (m_cursor == frame)
        return;
    m_cursor = frame;
    if (m_data) {
        const analysis::TimeWindow w = analysis::followed(window(), frame, m_data->frameCount);
        m_firstFrame = w.firstFrame;
        m_lastFrame = w.lastFrame;
    }
    update();
}

void TraceWidget::paintEvent(QPaintEvent*)
{
    QElapsedTimer timer;
    timer.start();
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    if (m_data && m_data->frameCount > 0)
        paintTraces(p, rect(), *m_data, window(), m_cursor, m_style);
    m_lastPaintMs = double(timer.nsecsElapsed()) / 1e6;
}

void TraceWidget::mousePressEvent(QMouseEvent* e)
{
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        m_dragX = at.x();
        m_dragFirstFrame = m_firstFrame;
        return;
    }
    const TraceLayout l = traceLayout(rect());
    if (e->button() != Qt::LeftButton || !m_data || m_data->frameCount <= 0 || at.x() < l.plotLeft ||
        at.x() >= l.plotLeft + l.plotWidth)
        return;
    Q_EMIT frameClicked(frameAt(at.x()));
}

void TraceWidget::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::RightButton) || !m_data)
        return;
    const double moved = (m_dragX - e->position().x()) * window().framesPerPixel();
    const analysis::TimeWindow w =
        analysis::scrolledTo(window(), m_dragFirstFrame + moved, m_data->frameCount);
    setWindow(w.firstFrame, w.lastFrame);
}

void TraceWidget::wheelEvent(QWheelEvent* e)
{
    if (!m_data || m_data->frameCount <= 0)
        return;
    const double notches = e->angleDelta().y() / 120.0;
    analysis::TimeWindow w = window();
    if (e->modifiers() & Qt::ShiftModifier)
        w = analysis::scrolledTo(w, w.firstFrame - notches * (w.lastFrame - w.firstFrame) / 10.0,
                                 m_data->frameCount);
    else
        w = analysis::zoomed(w, int(e->position().x()), std::pow(1.25, notches), m_data->frameCount);
    setWindow(w.firstFrame, w.lastFrame);
    e->accept();
}

void TraceWidget::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    update();
}

} // namespace tolvek
