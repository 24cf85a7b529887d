#pragma once
// The player: a worker thread that opens one video, decodes frame after frame, paces them to the
// configured frame rate against the time base of the last seek, loops within the range markers
// and shows a still with a pause mark while paused. The UI steers it through PlaybackState; it
// hands every frame to DisplayFrame and reports through signals emitted on its own thread
// (queued to receivers on the UI thread). It never touches a widget.
// Failure modes: a file that does not open ends the loop at once; an unreadable frame counts as
// the end of the file.

#include "core/capture/DisplayFrame.h"
#include "core/media/FrameReader.h"
#include "core/playback/PlaybackClock.h"
#include "core/playback/PlaybackState.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

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
        PlaybackClock* clock = nullptr;  // the steady clock when null
        std::function<int()> fps;        // read before every paced frame; CaptureFps when empty
        std::size_t cacheBytes = FrameReader::DefaultCacheBytes;
    };

    explicit PlayerThread(Options options, QObject* parent = nullptr);
    // Stops the loop and joins the thread.
    ~PlayerThread() override;

    // Sets the run flag, then starts the thread. A second call does nothing.
    void start();
    // Clears the run flag; the loop ends at its next check, within one decode or sleep slice.
    void stop();
    // Joins the thread (after stop(), or once the loop has ended by itself).
    void wait();
    // PlayerRunning: the loop runs, or has been started and not yet told to stop.
    bool isRunning() const { return m_running.load(); }
    // The loop has returned; the thread object may be joined and destroyed without blocking.
    bool hasEnded() const { return m_ended.load(); }
    // False when the file did not open (valid once the loop has ended).
    bool fileOpened() const { return m_opened.load(); }

  Q_SIGNALS:
    // A frame was put into the display frame. Emitted on the player thread.
    void frameShown();
    // The loop has returned. Emitted on the player thread as its last act.
    void ended();

  private:
    void run();
    void present(const cv::Mat& frame, bool paused);
    int framesPerSecond() const;

    Options m_options;
    PlaybackState& m_state;
    PlaybackClock& m_clock;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_opened{false};
    std::thread m_thread;
};

} // namespace tolvek
