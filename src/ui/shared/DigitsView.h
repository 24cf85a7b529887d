#pragma once
// A static that paints a digit picture through a callback and reports left clicks: the number
// displays and the pick cells of the keypads. The picture is drawn off-screen onto a thin grey
// frame around its white area, because the digit glyphs are ANDed onto white. UI thread only.

#include <QSize>
#include <QWidget>

#include <functional>

class QPainter;
class QPushButton;
class QRect;

namespace tolvek {

class DigitsView : public QWidget
{
  public:
    // whiteArea: the size of the area paint draws at the painter's origin, centred in the widget.
    // A view with a click callback shows the pointing-hand cursor.
    DigitsView(QWidget* parent, QSize whiteArea, std::function<void(QPainter&)> paint,
               std::function<void()> click = {});

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    QSize m_whiteArea;
    std::function<void(QPainter&)> m_paint;
    std::function<void()> m_click;
};

// Sets up a keypad button: objectName = its control ID, placed at `at`, never the default button
// and never focused (Enter and the digit keys go to the keypad itself); a font size in pixels
// above 0 makes its caption bold at that size.
void setUpKeypadButton(QPushButton* button, int id, const QRect& at, int fontPixels = 0);

} // namespace tolvek
