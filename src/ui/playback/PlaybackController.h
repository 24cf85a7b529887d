#pragma once
// The main window's playback: starts and stops the player, shows single frames, toggles play
// and pause, keeps the time text and the slider picture current on timer 1, handles the slider
// and picture clicks and the arrow keys of the library mode, and switches the trim button
// between its two pictures. UI thread only; the player threads it starts share only the atomic
// PlaybackState and the display frame with it, and it joins every player before it goes away.

#include "core/media/FrameReader.h"
#include "core/playback/PlaybackState.h"
#include "core/playback/PlayerThread.h"
#include "core/playback/SliderMath.h"
#include "core/playback/TotalSecondsCache.h"
#include "ui/playback/PlaybackSlider.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/WindowPorts.h"
#include "ui/shared/WindowState.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <vector>

class QLabel;
class QPushButton;

namespace tolvek {

class DisplayFrame;
struct MainLayout;
struct SliderGeometry;

// What the player uses of the main window, handed in by the composition.
struct PlaybackWindow
{
    QWidget& widget; // the slider control (1038), time text (1042), trim button (1028), lists
    WindowState& state;
    ModePort& modes;
    PlayedVideoPort& video;
    DisplayFrame& display; // the picture the players draw into
    const MainLayout& layout;
};

class PlaybackController : public QObject
{
    Q_OBJECT
  public:
    // Takes the window's slider control (1038), time text (1042), trim button (1028) and display
    // frame. The window calls onTimer1 on timer 1 and onKeyAction for the key actions.
    explicit PlaybackController(PlaybackWindow window);
    // Stops and joins every player.
    ~PlaybackController() override;

    PlaybackState& state() { return m_state; }
    PlaybackSlider& slider() { return *m_slider; }

    // ---- The player
    // Starts a player on the window's playbackVideoName; a player still running is stopped and
    // joined first, so that two players never share the state. Also starts timer 1.
    void startPlayer();
    // PlayerRunning cleared: the player ends at its next check. Returns at once.
    void stopPlayer();
    // Stops the player and waits until its loop has ended (within one decode).
    void stopPlayerAndWait();
    // Stops and joins every player (the destroy handler).
    void shutdown();
    // A player exists and has been neither stopped nor ended by itself. The double clicks of the
    // small lists ask this; it never touches a thread object that is already gone.
    bool hasPlayer() const;

    // ---- Operations of the window
    // ShowVideoFrame: decodes frame of the save folder's video name on this thread, draws the
    // pause mark when paused, and puts it into the display frame.
    void showVideoFrame(const QString& name, int frame);
    // TogglePlayback: the click on the picture, Enter and Space in the library mode.
    void togglePlayback();
    // UpdateTimeDisplay: the time text of the current mode.
    void updateTimeDisplay();
    // DrawSlider: the current or the reset state; updates the trim button.
    void drawSlider(SliderDraw kind);
    // Resets the slider: no drag, range over the whole video, position 0.
    void resetSlider();
    // The size handler: takes the new picture size and slider length, resets the range and the
    // position, and erases the old slider.
    void onLayoutChanged();

    int rangeStart() const { return m_state.rangeStart.load(); }
    int rangeEnd() const { return m_state.rangeEnd.load(); }
    void setRange(int start, int end);
    // Shows frame of the played video paused, as a click on the slider does: the player (started
    // when none runs) seeks there, the slider and the picture follow. Clamped to the video.
    void seekPaused(int frame);
    int currentFrame() const { return m_state.currentFrame.load(); }
    int frameCount() const { return m_state.frameCount.load(); }
    int sliderLength() const { return m_state.sliderLength.load(); }
    int sliderDrag() const { return m_sliderDrag; }
    void setSliderDrag(int drag) { m_sliderDrag = drag; }
    void setPaused(bool paused) { m_state.paused = paused; }
    bool paused() const { return m_state.paused.load(); }
    // The state last shown on the trim button: the markers enclose less than the whole video.
    // Whether the markers now mark less than the whole video, drawn yet or not.
    bool subRangeMarked() const;
    // The tooltip message the trim button should carry now (7 or 8).
    int trimToolTipMessage() const;

    // ---- Mouse, called by the window's handlers with client coordinates
    void leftButtonDown(QPoint pos);
    void mouseMove(QPoint pos, bool leftButtonHeld);
    // Library mode only; modes 0 and 1 belong to the head position, mode 3 ignores the release.
    void leftButtonUp(QPoint pos);
    void leftDoubleClick(QPoint pos);

  public Q_SLOTS:
    // PlaybackTimer, every 100 ms of timer 1.
    void onTimer1();
    // The library-mode keys: TogglePlayback and the four arrow steps (KeyAction values).
    void onKeyAction(KeyAction action);

  Q_SIGNALS:
    // A player has ended (its loop returned). Emitted on the UI thread.
    void playerEnded();
    // A player has put a new picture into the display frame. Emitted on the UI thread.
    void frameReady();

  private:
    SliderGeometry geometry() const;
    int windowMode() const;
    const QString& videoName() const;
    QString savePath(const QString& name) const;
    void seekTo(int frame);
    void stepFrame(KeyAction action);
    void updateTrimButton();
    void onPlayerEnded(quint64 id);
    void reapRetiring();
    void focusVideoList();

    PlaybackWindow m_window;
    PlaybackState m_state;
    QPointer<PlaybackSlider> m_slider; // owned here; a child of the slider control, which may go first
    QPointer<QLabel> m_timeText;
    QPointer<QPushButton> m_trimButton;
    // Players are known by a serial number, so that a late report of a player already reaped
    // can never be taken for another player that happens to live at the same address.
    struct Player
    {
        quint64 id = 0;
        PlayerThread* thread = nullptr;
    };
    Player m_player;                // the current player; thread null when none
    std::vector<Player> m_retiring; // stopped players whose loop may still be ending
    quint64 m_nextPlayerId = 1;
    FrameReader m_stillReader;
    TotalSecondsCache m_totalSeconds;
    unsigned m_timerTicks = 0;
    int m_sliderDrag = 0;
    int m_dragOffset = 0;
    int m_pointerPosition = 0;
    bool m_pressedOnPicture = false;
    bool m_trimRangeSelected = false;
};

} // namespace tolvek
