#pragma once
// The user-interface side of recording: starts the capture thread, asks for the patient ID,
// starts, stops and restarts recordings, and quits. It steers the capture thread only through
// CaptureFlags, learns about its files from its reports, and never handles other events while it
// waits for it (bounded). UI thread only.

#include "core/capture/CaptureThread.h"
#include "core/capture/FrameSource.h"
#include "ui/shared/WindowPorts.h"
#include "ui/shared/WindowState.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tolvek {

class DisplayFrame;
class HeadState;
namespace platform {
class PowerRequest;
}

// What the recording control uses of the main window, handed in by the composition.
struct RecordingWindow
{
    QWidget& widget; // parent, and the time text (1042)
    WindowState& state;
    MessagePort& messages;
    ModePort& modes;
    PlayedVideoPort& video;
    DisplayFrame& display; // the picture the capture thread draws into
    HeadState& head;
    platform::PowerRequest& power;
};

struct RecordingServices
{
    FrameSourceFactory frameSources;
    // Runs the ID keypad in its capture form; the accepted ID, or nothing when cancelled.
    std::function<std::optional<int>()> askForId;
    // Starts the sensor link the settings ask for; false when one should run but could not start.
    std::function<bool()> startSensorLink;
    std::function<void()> stopSensorLinks;
    // Stamps the product mark into a finished recording's header.
    std::function<void(const QString& path)> writeCopyrightTag;
    // Free bytes in a folder, -1 when it is gone (the real probe when not set).
    std::function<qint64(const QString& folder)> freeBytes;
    // Local date and time for the burnt-in text and the file names (the system clock when not set).
    CaptureThread::WallClock wallClock;
    // The device file of the chosen camera, to tell why it did not open; empty when the camera is
    // not a device (the simulated camera, a video file) or not known.
    std::function<QString()> cameraDevicePath;
};

class RecordingControl : public QObject
{
    Q_OBJECT
  public:
    RecordingControl(RecordingWindow window, RecordingServices services);
    ~RecordingControl() override;

    void startLiveCapture();
    // "Camera Open-error!", with the likely cause on a second line where the device tells it.
    QString cameraOpenErrorText() const;
    void startRecording();
    // Ends the recording at once; the file is stamped, listed and shown when the capture thread
    // reports it closed, which may be later than the stop when the camera hangs.
    void stopRecording();
    // Discards the recording so far (to the trash) and starts a new file under the same ID.
    void restartRecording();
    // Stops the capture thread (up to 3 s; a thread stuck in a camera call is left behind); the
    // window then closes.
    void stopCapture();

    bool captureThreadRunning() const;
    // Runs the free-space check now (it also runs every second while recording).
    void checkDiskSpaceNow() { checkDiskSpace(); }
    CaptureThread* captureThread() const { return m_capture.get(); }
    // The file opened by the capture thread for the current recording; empty before it opened.
    const QString& openedFileName() const { return m_openedName; }

  Q_SIGNALS:
    // A recording has been closed and stamped: the lists add it. Once per kept file.
    void recordingListed(const QString& fileName);
    // A listed recording is to be shown: the stop's result. Not emitted while another recording
    // is on its way or the user looks at the all-videos view.
    void recordingFinished(const QString& fileName);
    void idChosen(int patientId);
    void slidersResetRequested();
    // The capture thread's reports, on the UI thread: a new picture is in the display frame; the
    // camera stopped delivering outside a recording.
    void frameReady();
    void cameraLost();

  private:
    // What the capture thread reports about its files, in the order it happened.
    struct FileEvent
    {
        QString name;
        bool opened = false; // else closed
        qint64 framesWritten = 0;
        bool forRestart = false;
    };

    void startCaptureThread();
    void startSensorLink();
    void beginRecordingMode();
    // A recording is under way from here until the stop: its file is requested.
    void beginSession();
    // Gives back what a recording holds: keep-awake, Close and Quit, the sensor link, the
    // elapsed time and the disk watch. For the stop and every way out of a start that failed.
    void releaseRecordingHold();
    // Called on the capture thread: queues the report and has takeFileEvents run.
    void queueFileEvent(FileEvent event);
    // Handles the capture thread's file reports. Handles no other event while it runs.
    void takeFileEvents();
    // A closed recording: stamped and listed, or moved to the trash when it holds no picture.
    void keepRecording(const QString& name, qint64 framesWritten);
    // The partial recording of a restart: moved to the trash; kept and listed if the trash refuses.
    void discardRecording(const QString& name);
    // Moves the head data of a video that went to the trash after it.
    static void trashHeadData(const QString& videoPath);
    void showRecording(const QString& name);
    // The capture thread ended; a recording that waits for it cannot go on.
    void onCaptureThreadEnded();
    // Stops the recording cleanly before the save folder runs out of space or disappears.
    void checkDiskSpace();
    void startDiskWatch();

    RecordingWindow m_window;
    RecordingServices m_services;
    std::unique_ptr<CaptureThread> m_capture;
    QString m_openedName;
    // A recording was started and not yet stopped (the UI's view; the file may still be opening).
    bool m_inSession = false;
    // A file of the running session that closed before its stop (the frame limit): the stop shows it.
    QString m_keptInSession;
    std::mutex m_eventMutex;
    std::vector<FileEvent> m_events; // guarded by m_eventMutex
    int m_previousPatientId = 0;
    QTimer m_diskTimer;
    QElapsedTimer m_sizeClock;
    qint64 m_lastFileSize = 0;
};

} // namespace tolvek
