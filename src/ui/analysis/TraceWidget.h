#pragma once
// The traces of an analysed video on screen: draws only the frames of its time window, follows
// the player's frame with a cursor (paging when the frame leaves the window), zooms with the wheel
// round the pointer, scrolls with a horizontal drag of the right button or Shift+wheel, and reports
// a left click on the traces as a frame for the player. UI thread only.

#include "ui/analysis/TracePainter.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace tolvek {

class TraceWidget : public QWidget
{
    Q_OBJECT
  public:
    explicit TraceWidget(QWidget* parent = nullptr);

    // The traces to draw (null: none); the cursor waits for the player's next frame.
    void setData(std::shared_ptr<const TraceData> data);
    const std::shared_ptr<const TraceData>& data() const { return m_data; }
    void setStyle(const TraceStyle& style);
    const TraceStyle& style() const { return m_style; }
    // The player's frame: the cursor moves there and the window pages to keep it visible.
    void setCursorFrame(int frame);
    std::optional<int> cursorFrame() const { return m_cursor; }
    // The frames shown, in this widget's pixel columns.
    analysis::TimeWindow window() const;
    void setWindow(double firstFrame, double lastFrame);
    // The frame a click at x would seek to.
    int frameAt(int x) const;
    // How long the last paint took, in milliseconds (measured for the 2-hour case).
    double lastPaintMs() const { return m_lastPaintMs; }

  Q_SIGNALS:
    void frameClicked(int frame);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::shared_ptr<const TraceData> m_data;
    TraceStyle m_style;
    std::optional<int> m_cursor;
    double m_firstFrame = 0.0;
    double m_lastFrame = 0.0;
    int m_dragX = 0;
    double m_dragFirstFrame = 0.0;
    double m_lastPaintMs = 0.0;
};

} // namespace tolvek
