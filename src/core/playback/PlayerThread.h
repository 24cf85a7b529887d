#pragma once
// The player: a worker thread that opens one video, decodes frame after frame, paces them to the
// configured frame rate against the time base of the last seek, loops within the range markers
// and shows a still with a pause mark while paused. The UI steers it through PlaybackState; it
// hands every frame to DisplayFrame and reports through signals emitted on its own thread
// (queued to receivers on the UI thread). It never touches a widget.
// Failure modes: a file that does not open ends the loop at once; an unreadable frame counts as
// the end of the file. A read that hangs (a failing disk) never holds up the owner longer than
// StopWaitMs: the thread is then left to end by itself and touches nothing of the owner's again.

#include "core/capture/DisplayFrame.h"
#include "core/media/FrameReader.h"
#include "core/platform/WorkerThread.h"
#include "core/playback/PlaybackClock.h"
#include "core/playback/PlaybackState.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace tolvek {

class PlayerThread : public QObject
{
    Q_OBJECT
  public:
    struct Options
    {
        std::string path;                // full path of the video, UTF-8
        PlaybackState* state = nullptr;  // required
        DisplayFrame* display = nullptr; // required
        PlaybackClock* clock = nullptr;  // the steady clock when null; must outlive the thread
        std::function<int()> fps;        // read before every paced frame; CaptureFps when empty
        std::size_t cacheBytes = FrameReader::DefaultCacheBytes;
    };

    // How long wait() waits for the thread to end.
    static constexpr int StopWaitMs = 2000;

    explicit PlayerThread(Options options, QObject* parent = nullptr);
    // Stops the loop and waits for the thread, as wait() does.
    ~PlayerThread() override;

    // Sets the run flag, then starts the thread. A second call does nothing.
    void start();
    // Clears the run flag; the loop ends at its next check, within one decode or sleep slice.
    void stop();
    // Waits for the thread to end (after stop(), or once the loop has ended by itself), up to
    // StopWaitMs; a thread still running then is stopped and left to end by itself.
    void wait();
    // PlayerRunning: the loop runs, or has been started and not yet told to stop.
    bool isRunning() const;
    // The loop has returned; the thread object may be waited for and destroyed without blocking.
    bool hasEnded() const;
    // False when the file did not open (valid once the loop has ended).
    bool fileOpened() const;

  Q_SIGNALS:
    // A frame was put into the display frame. Emitted on the player thread.
    void frameShown();
    // The loop has returned. Emitted on the player thread as its last act.
    void ended();

  private:
    struct Worker;

    // Everything the running thread touches lives in the worker, which the thread shares; the
    // owner's state, picture and signals it reaches only while it holds its run.
    std::shared_ptr<Worker> m_worker;
    bool m_started = false;
    platform::WorkerThread m_thread;
};

} // namespace tolvek
