#pragma once
// The narrow interfaces through which the window's controllers act on the main window, one per
// need. The window implements them; the composition hands each controller the ones it uses, so no
// controller knows the window's class. UI thread only.

#include "ui/shared/UserPrompts.h"

#include <QString>

class QWidget;

namespace tolvek {

// A modal message box on the main window.
class MessagePort
{
  public:
    virtual void showMessage(const QString& text, UserPrompts::Icon icon) = 0;

  protected:
    ~MessagePort() = default;
};

// The window mode: the controls follow it. Timer 1 (every 100 ms: the time text and the slider)
// starts on entering the recording mode and stops on entering the all-videos mode; in between the
// player starts it and the end of a recording or the choice of another video stops it.
class ModePort
{
  public:
    virtual void setWindowMode(int mode) = 0;
    virtual void runTimer1(bool run) = 0;

  protected:
    ~ModePort() = default;
};

// The played video and the picture it is shown in.
class PlayedVideoPort
{
  public:
    // Frame 0 of a video, paused, with the whole range marked and its time; the picture is
    // blanked first, so a video that cannot be opened never shows the previous one's picture.
    virtual void openVideo(const QString& name) = 0;
    // The picture painted white until a frame is shown.
    virtual void blankPicture() = 0;
    // No video to show: the player stopped, the picture light blue (RGB 200, 200, 255), the
    // slider reset and the time text empty, so nothing of the last video stays on screen.
    virtual void showNoVideo() = 0;
    // Repaints the picture from the display frame.
    virtual void repaintPicture() = 0;
    // Stops a running player and waits for it.
    virtual void stopPlayback() = 0;
    // Has the player show PlaybackVideoName (frame 0) and select its row.
    virtual void requestShowPlaybackVideo() = 0;
    // PlaybackVideoName = the newest video of the ID list (empty when the list is empty).
    virtual void adoptFirstIdVideo() = 0;

  protected:
    ~PlayedVideoPort() = default;
};

// The control of the main window whose ID is id (its objectName), or null.
QWidget* windowControl(const QWidget& window, int id);

} // namespace tolvek
