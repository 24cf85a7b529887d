#pragma once
// The one worker that owns the camera. For every frame it scales to the capture size, burns in
// the date-time, the patient ID and the head picture, hands a copy to the live view through
// DisplayFrame, and while a recording is open writes the frame into a WMV file paced to the
// configured frame rate. Steered only through CaptureFlags and the settings; reports through
// signals that the window connects queued. Never touches widgets. A failing camera or writer is
// reported, never thrown; a file already written is never lost. A camera call that never returns
// never holds up the owner longer than StopWaitMs.

#include "core/capture/CaptureFlags.h"
#include "core/capture/DisplayFrame.h"
#include "core/capture/FrameSource.h"
#include "core/capture/RecordingPacer.h"
#include "core/capture/TickClock.h"
#include "core/media/HeadTrack.h"
#include "core/platform/WorkerThread.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <functional>
#include <memory>

namespace tolvek {

class Settings;

class CaptureThread : public QObject
{
    Q_OBJECT
  public:
    // Draws the head-position picture into the top-left 85 x 85 square of a BGR frame; posture
    // 1 is lying, 2 sitting. Called on the capture thread.
    using HeadOverlay = std::function<void(cv::Mat& bgr, int posture)>;
    // Local date and time for the burnt-in text and the file name.
    using WallClock = std::function<QDateTime()>;
    // The head pose the overlay draws, with its source; read once per frame on the capture thread
    // and written into the recording's head data for every frame written.
    using HeadSampler = std::function<media::HeadSample()>;

    // Milliseconds between the tries to open a camera; two tries per camera.
    static constexpr int OpenRetryDelayMs = 100;
    // The idle pause per turn in the library modes and after the camera was given up.
    static constexpr int IdleSleepMs = 30;
    static constexpr int PausedSleepMs = 5;
    // How long the destructor waits for the thread to end.
    static constexpr int StopWaitMs = 3000;

    CaptureThread(CaptureFlags& flags, DisplayFrame& display, Settings& settings, FrameSourceFactory sources,
                  HeadOverlay overlay, QObject* parent = nullptr);
    // Clears captureRunning and waits up to StopWaitMs for the thread, not at all when an earlier
    // stop() already waited in vain. A thread still stuck in a camera call then is left behind:
    // from that moment it touches nothing but its own camera and file, which it closes when the
    // call returns, and it ends by itself (or with the process).
    ~CaptureThread() override;

    // Replace the clocks before start(); tests drive pacing and file names with them.
    void setTickClock(TickClock clock);
    void setWallClock(WallClock clock);
    // Without a sampler every frame's head data says "none".
    void setHeadSampler(HeadSampler sampler);

    // Sets captureRunning, clears cameraOpened and starts the thread. False when it still runs or
    // no thread could be created.
    bool start();
    // Clears captureRunning and waits up to timeoutMs for the thread to end; true when it ended.
    bool stop(int timeoutMs = StopWaitMs);
    bool wait(int timeoutMs);
    bool isRunning() const;

  Q_SIGNALS:
    // A new picture is in DisplayFrame, or DisplayFrame was emptied (camera failed to open).
    void frameReady();
    // Stop the recording: the frame limit was reached, or the camera was lost.
    void stopRequested();
    // The camera stopped delivering while recording or in the live view; the file is already
    // closed and windowMode set to the library mode. The thread ends.
    void cameraLost();
    // CameraNumber changed while a file is open: restart the recording with the new camera.
    void restartRequested();
    // A recording file was opened; fileName is its VideoFileName (no folder).
    void recordingOpened(const QString& fileName);
    // The writer could not open fullPath (missing or read-only folder, no codec, bad frame
    // rate); recording is cleared and the live view continues.
    void recordingOpenFailed(const QString& fullPath);
    // A write to the recording file failed (full disk, removed drive, I/O error); reason is the
    // system's. Comes before the file's recordingClosed(); a stopRequested() follows when it was
    // a frame that failed.
    void recordingWriteFailed(const QString& fileName, const QString& reason);
    // The head data beside the recording could not be created or written further; the recording
    // itself goes on. Once per file.
    void headDataWriteFailed(const QString& fileName, const QString& reason);
    // A recording file was closed and the writer has let it go (stop, restart, limit, lost camera
    // or end of the thread). forRestart: the restart request closed it, to be discarded.
    void recordingClosed(const QString& fileName, qint64 framesWritten, bool forRestart);
    // The thread has ended.
    void finished();

  private:
    struct Worker;

    // Everything the running thread touches lives in the worker, which the thread shares; so a
    // thread that outlives this object never reaches freed memory.
    std::shared_ptr<Worker> m_worker;
    platform::WorkerThread m_thread;
    bool m_stopTimedOut = false;
};

} // namespace tolvek
