#pragma once
// The one main window. It owns the state of a run (mode, patient ID, video names, the flags
// that steer the workers, the display frame), lays out and paints the video picture, and is the
// only receiver of the workers' queued reports. UI thread only; workers reach it through
// queued signals and the atomics of CaptureFlags.

#include "TolvekVersion.h"
#include "core/capture/DisplayFrame.h"
#include "core/platform/ExternalTools.h"
#include "core/platform/PowerRequest.h"
#include "core/sensor/HeadPose.h"
#include "core/sensor/SensorLink.h"
#include "core/settings/Storage.h"
#include "ui/app/HardwareFailures.h"
#include "ui/capture/RecordingControl.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/MainLayout.h"
#include "ui/shared/MainMenu.h"
#include "ui/shared/UserPrompts.h"
#include "ui/shared/WindowPorts.h"
#include "ui/shared/WindowState.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QUrl;

namespace tolvek {

class AnalysisView;
class BackupDlg;
class PlaybackController;
class VideoLists;
class VideoManagement;
class UserPrompts;
namespace platform {
class ProfileStore;
class PowerRequest;
} // namespace platform

// How long after the first show the window waits for the window manager's frame to fit the
// restored size to it.
inline constexpr int StoredFrameWaitMs = 3000;

// Character heights in points of the three lists and of the folder panel.
inline constexpr double ListFontPoints = 19.0;
inline constexpr double FolderPanelFontPoints = 17.0;

inline constexpr char MainWindowTitle[] = "Tolvek Version " TOLVEK_VERSION " / 2026-05-29";

// What the window needs from the rest of the program, handed in by the composition root.
struct MainWindowServices
{
    UserPrompts* prompts = nullptr;
    platform::ProfileStore* profile = nullptr;
    platform::PowerRequest* power = nullptr;
    platform::ExternalTools* tools = nullptr; // nullptr: the default programs
    StoragePaths paths;
    std::function<int()> countCameras;                // number of cameras at initialisation
    std::function<QStringList()> cameraNames;         // camera names in device order
    std::function<QList<ComPortEntry>()> serialPorts; // serial ports in listing order
    RecordingServices recording;                      // cameras, ID keypad, sensor links, tags
    // The folder the help pages are found from (HelpPages.h); empty: the running executable's.
    QString executableFolder;
    // Opens a help page in the user's browser; empty: QDesktopServices::openUrl. False when
    // nothing could be started to show it.
    std::function<bool(const QUrl&)> openUrl;
};

class CTolvek2Dlg : public QDialog, public MessagePort, public ModePort, public PlayedVideoPort
{
    Q_OBJECT
  public:
    explicit CTolvek2Dlg(MainWindowServices services, QWidget* parent = nullptr);
    ~CTolvek2Dlg() override;

    // Mode handling: callers set the mode, then the controls follow.
    int windowMode() const { return m_state.windowMode(); }
    void setWindowMode(int mode) override; // WindowMode = mode; ApplyMode(mode); timer 1 follows
    void runTimer1(bool run) override;
    void applyMode(int mode);
    void applyLanguage();
    void setLanguage(int language);

    // The control whose ID is id (its objectName), or null.
    QWidget* control(int id) const;
    const MainLayout& layoutValues() const { return m_layout; }
    // The state its controllers share.
    WindowState& state() { return m_state; }
    CaptureFlags& flags() { return m_state.flags; }
    DisplayFrame& displayFrame() { return m_displayFrame; }
    int closeAllowed() const { return m_state.closeAllowed; }
    void setCloseAllowed(int allowed) { m_state.closeAllowed = allowed; }
    int currentPatientId() const { return m_state.currentPatientId(); }
    QString liveViewToolTip() const;
    HeadState& head() { return *m_head; }
    SensorLink& sensorLink() { return *m_sensorLink; }
    platform::PowerRequest& power() { return m_services.power ? *m_services.power : m_ownPower; }
    platform::ExternalTools& tools() { return m_services.tools ? *m_services.tools : m_ownTools; }
    RecordingControl& recordingControl() { return *m_recording; }
    // A modal message box through the prompts service.
    void showMessage(const QString& text, UserPrompts::Icon icon) override;
    void requestShowPlaybackVideo() override;
    void openVideo(const QString& name) override;
    void blankPicture() override;
    void showNoVideo() override;
    void repaintPicture() override { update(); }
    // The ID keypad in its capture form (0) or set-ID form (1).
    std::optional<int> askForId(int form);
    void stopPlayback() override;
    PlaybackController& playback() { return *m_playback; }
    VideoLists& lists() { return *m_lists; }
    // The record button and F1 outside recording.
    void startRecordingCommand();
    // The set-ID button 1012: choose the current ID without recording.
    void setIdCommand();
    // Rebuilds the folder information panel of the all-videos view.
    void refreshFolderPanel();
    void adoptFirstIdVideo() override;
    // Runs a menu or button command by its ID; commands that do not apply now are ignored.
    void executeCommand(int command);
    // The eye-movement analysis of the played video in its own window (command 32980, key A of
    // the library mode); refused while recording.
    void openAnalysisView();
    AnalysisView* analysisView() const;
    // The Menu button's menu, adapted to the current state; the caller owns it.
    QMenu* createMainMenu();
    // One key of the one-key control; true when the key was taken.
    bool handleKey(int qtKey, Qt::KeyboardModifiers modifiers);
    // The millisecond tick the Space double tap is measured with; tests replace it.
    void setKeyClock(std::function<std::uint32_t()> clock) { m_keyClock = std::move(clock); }
    bool toolTipsActive() const { return m_state.toolTipsActive; }
    const QTimer& timer1() const { return m_timer1; }
    QFont listFont() const { return m_listFont; }

  public Q_SLOTS:
    void onFrameReady();     // repaints the picture without erasing
    void onCameraLost();     // tells the user, then closes the program in order
    void startLiveCapture(); // the first ID entry once the window is on screen
    void quitApplication();  // Quit button and the allowed system Close; asks first while
                             // an MP4 export or a backup runs
    void resetHead();        // "Reset head": re-zero, or toggle the posture by hand
    void showMainMenu();

  Q_SIGNALS:
    void startLiveCaptureRequested();
    // Filled in by the parts that own them: lists, player, recording, management.
    void commandRequested(int command);
    void keyActionRequested(tolvek::KeyAction keyAction);
    void idListRefillRequested(int patientId);
    void showVideoRequested(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void accept() override {} // Enter never closes the main window
    void reject() override {} // neither does Esc

  private Q_SLOTS:
    // Ends the program once nothing runs any more, when a quit was put off for a running export
    // or backup.
    void closeWhenIdle();

  private:
    // The analysis window, when shown, takes up the video the player has now (or its absence).
    void followInAnalysisView();
    // The steps of Quit before the window closes; false when the user chose to keep running work.
    bool prepareToQuit();
    // Before the program ends while MP4 exports or a backup run: the user decides whether they are
    // stopped now (no partial file either way). True when quitting may go on. On No the program
    // stays; with closeLater it closes by itself once they have finished.
    bool settleRunningWork(bool closeLater);
    BackupDlg* runningBackup() const;
    void createControls();
    void initialise();
    void layoutMainWindow();
    void restoreWindowPosition();
    void applyStoredFrame(const QRect& frame);
    void runDestroyHandler();
    QPushButton* makeButton(int id, int imageId);
    void setButtonImage(int id, int imageId);
    QList<int> allListColumnWidths() const;

    void runKeyAction(const struct KeyDecision& decision);
    bool runSensorCommand(int command);
    // The Help command: the page of the current language (else English) in the browser.
    void openHelp(const Settings& settings);
    void refreshComPorts();
    // A head sensor link has ended: a port that could not be opened is reported once, with why.
    void onSensorLinkEnded(SensorKind kind, int exitCode, SensorLinkEnd reason);
    void wireListsAndPlayer();
    void connectButton(int id, std::function<void()> handler);

    MainWindowServices m_services;
    std::shared_ptr<HeadState> m_head = std::make_shared<HeadState>();
    SensorLink* m_sensorLink = nullptr;
    QList<ComPortEntry> m_comPorts;
    platform::PowerRequest m_ownPower;
    platform::ExternalTools m_ownTools;
    RecordingControl* m_recording = nullptr;
    VideoLists* m_lists = nullptr;
    VideoManagement* m_management = nullptr; // child of the lists, which it works on
    std::uint32_t m_lastSpaceMs = 0;
    QElapsedTimer m_clock;
    std::function<std::uint32_t()> m_keyClock;
    WindowState m_state;
    DisplayFrame m_displayFrame;
    MainLayout m_layout;
    QTimer m_timer1;
    QFont m_listFont;
    bool m_quitting = false;
    bool m_quitWhenIdle = false;
    bool m_destroyed = false;
    bool m_positionRestored = false;
    // The stored outer rectangle, until the window manager's frame is known and the client size
    // has been fitted to it once.
    std::optional<QRect> m_pendingFrame;
    FailureOnce m_sensorFailures;
    bool m_initialised = false;
    QPointer<AnalysisView> m_analysisView; // a child window, made on first use
    // Last, so that it goes first: its players are joined before the frame and timer go.
    std::unique_ptr<PlaybackController> m_playback;
};

} // namespace tolvek
