#pragma once
// A static that paints a digit picture through a callback and reports left clicks: the number
// displays and the pick cells of the keypads. The picture is drawn off-screen onto a thin grey
// frame around its white area, because the digit glyphs are ANDed onto white. UI thread only.

#include <QRect>
#include <QSize>
#include <QWidget>

#include <functional>

class QPainter;

namespace tolvek {

class DigitsView : public QWidget
{
  public:
    // id: the control ID, its objectName; place: its geometry in the parent. whiteArea: the size
    // of the area paint draws at the painter's origin, centred in the widget. A view with a click
    // callback shows the pointing-hand cursor.
    DigitsView(QWidget* parent, int id, const QRect& place, QSize whiteArea,
               std::function<void(QPainter&)> paint, std::function<void()> click = {});

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    QSize m_whiteArea;
    std::function<void(QPainter&)> m_paint;
    std::function<void()> m_click;
};

} // namespace tolvek
