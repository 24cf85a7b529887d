#pragma once
// The user-interface side of recording: starts the capture thread, asks for the patient ID,
// starts, stops and restarts recordings, and quits. It steers the capture thread only through
// CaptureFlags and waits for it by bounded polling. UI thread only.

#include "core/capture/CaptureThread.h"
#include "core/capture/FrameSource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace tolvek {

class CTolvek2Dlg;

struct RecordingServices {
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
};

class RecordingControl : public QObject {
    Q_OBJECT
public:
    RecordingControl(CTolvek2Dlg& window, RecordingServices services);
    ~RecordingControl() override;

    void startLiveCapture();
    void startRecording();
    void stopRecording();
    void restartRecording();
    // Stops the capture thread (up to 3 s); the window then closes.
    void stopCapture();

    bool captureThreadRunning() const;
    // Runs the free-space check now (it also runs every second while recording).
    void checkDiskSpaceNow() { checkDiskSpace(); }
    CaptureThread* captureThread() const { return m_capture.get(); }
    // The file opened by the capture thread for the current recording; empty before it opened.
    const QString& openedFileName() const { return m_openedName; }

Q_SIGNALS:
    // A recording has been closed and stamped; the lists and the player show it.
    void recordingFinished(const QString& fileName);
    void idChosen(int patientId);
    void slidersResetRequested();

private:
    void startCaptureThread();
    void startSensorLink();
    void beginRecordingMode();
    // Waits (bounded) until the capture thread has no file open any more.
    bool waitForFileClosed(int timeoutMs);
    // Stops the recording cleanly before the save folder runs out of space or disappears.
    void checkDiskSpace();
    void startDiskWatch();

    CTolvek2Dlg& m_window;
    RecordingServices m_services;
    std::unique_ptr<CaptureThread> m_capture;
    QString m_openedName;
    // Set straight from the capture thread when it has closed its file; cleared with every
    // record request. A file closed at the frame limit leaves `recording` set for the stop.
    std::atomic<bool> m_fileClosed{true};
    int m_previousPatientId = 0;
    QTimer m_diskTimer;
    QElapsedTimer m_sizeClock;
    qint64 m_lastFileSize = 0;
};

}  // namespace tolvek
