#pragma once
// The picture of the playback slider in control 1038: the grey track, the darker range band,
// the two yellow triangle markers and the light position diamond, drawn off-screen and copied
// to the control in one block. The control keeps no mouse handling of its own, so presses reach
// the main window, which hit-tests them. UI thread only.

#include "core/playback/SliderMath.h"

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace tolvek {

inline const QColor SliderTrackColour{180, 180, 180};
inline const QColor SliderBandColour{120, 120, 120};
inline const QColor SliderMarkerColour{250, 250, 0};
inline const QColor SliderDiamondColour{250, 250, 250};

class PlaybackSlider : public QObject
{
    Q_OBJECT
  public:
    // Paints into control from now on; background is the button-face colour of the window.
    PlaybackSlider(QWidget* control, QColor background);

    QWidget* control() const { return m_control; }
    // Draws picture (from sliderPicture) off-screen and shows it. Does nothing unless
    // picture.draw is set.
    void render(const SliderPicture& picture);
    // The slider area in the background colour only (no video open).
    void clear();
    // The off-screen picture last drawn (null before the first draw).
    const QImage& image() const { return m_image; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> m_control;
    QColor m_background;
    QImage m_image;
};

} // namespace tolvek
