#include "core/playback/PlayerThread.h"

#include "core/playback/FramePresentation.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"

#include <QtDebug>

#include <chrono>
#include <thread>

namespace tolvek {

namespace {

constexpr int PausedPollMs = 50;

} // namespace

// The player thread's side. It holds its run (the owner's lock) whenever it touches anything of the
// owner's: the playback state, the display frame, the frame rate, the owner's signals. It lets go
// only around the decoder's calls and its sleeps. An owner that gives up on it marks the run
// abandoned; from then on the thread only ends.
struct PlayerThread::Worker
{
    Worker(PlayerThread& owner, Options o)
        : owner(owner), options(std::move(o)), state(*options.state),
          clock(options.clock ? *options.clock : steadyPlaybackClock())
    {
    }

    void run(platform::WorkerRun& run);
    void present(const cv::Mat& frame, bool paused);
    int framesPerSecond() const;

    PlayerThread& owner;
    Options options;
    PlaybackState& state;
    PlaybackClock& clock;
    std::atomic<bool> running{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> opened{false};
    std::atomic<std::thread::id> threadId{};
};

PlayerThread::PlayerThread(Options options, QObject* parent)
    : QObject(parent), m_worker(std::make_shared<Worker>(*this, std::move(options))),
      m_thread(QStringLiteral("PlayerThread"), std::chrono::milliseconds(StopWaitMs))
{
}

PlayerThread::~PlayerThread()
{
    stop();
    wait();
}

void PlayerThread::start()
{
    if (m_started || m_worker->ended.load())
        return;
    m_started = true;
    // Set before the thread exists, so that a stop right after the start is never undone.
    m_worker->running = true;
    if (!m_thread.start([worker = m_worker](platform::WorkerRun& run) { worker->run(run); })) {
        m_worker->running = false;
        m_worker->ended = true;
        // Queued like the thread's own report, so that no receiver runs inside start().
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT ended(); }, Qt::QueuedConnection);
    }
}

void PlayerThread::stop()
{
    m_worker->running = false;
}

void PlayerThread::wait()
{
    if (m_worker->threadId.load() == std::this_thread::get_id())
        return;
    if (m_thread.wait(std::chrono::milliseconds(StopWaitMs)))
        return;
    qWarning("The player does not end (a read that does not return); its thread is left to end by itself.");
    m_worker->running = false;
    m_thread.abandon();
}

bool PlayerThread::isRunning() const
{
    return m_worker->running.load();
}

bool PlayerThread::hasEnded() const
{
    return m_worker->ended.load();
}

bool PlayerThread::fileOpened() const
{
    return m_worker->opened.load();
}

int PlayerThread::Worker::framesPerSecond() const
{
    return options.fps ? options.fps() : appSettings().getInt(CaptureFps);
}

void PlayerThread::Worker::present(const cv::Mat& frame, bool paused)
{
    if (frame.empty())
        return;
    if (paused && frame.rows > 0 && frame.cols > 0) {
        cv::Mat marked = frame.clone(); // the decoder's cache keeps the clean frame
        drawPlayerPauseMark(marked, state.viewWidth.load(), state.viewHeight.load());
        storeBgrFrame(marked, *options.display);
    } else {
        storeBgrFrame(frame, *options.display);
    }
    Q_EMIT owner.frameShown();
}

void PlayerThread::Worker::run(platform::WorkerRun& run)
{
    threadId = std::this_thread::get_id();
    std::unique_lock held(run);
    // Runs a decoder call or a sleep without the owner's lock; false when the owner gave up.
    const auto outsideOwner = [&](auto&& call) {
        held.unlock();
        call();
        held.lock();
        return !run.abandoned();
    };
    PlaybackState& st = state;
    FrameReader reader(options.cacheBytes);
    reader.setKeepGoing(&running);
    bool fileOpened = false;
    if (!outsideOwner([&] { fileOpened = reader.open(options.path); }))
        return;
    if (!fileOpened) {
        running = false;
        ended = true;
        Q_EMIT owner.ended();
        return;
    }
    opened = true;

    std::int64_t startTick = clock.nowMs();
    int startFrame = 0;
    const int frameCount = static_cast<int>(reader.frameCountProperty());
    st.frameCount = frameCount;

    cv::Mat frame;
    cv::Mat lastFrame; // shown again when a read comes back empty
    bool reseekNext = false;
    bool atEnd = false;
    bool lastShownValid = false;
    int lastShown = -1;
    const auto sleep = [&](int ms) { return outsideOwner([&] { clock.sleepMs(ms, running); }); };

    while (running.load()) {
        bool paused = st.paused.load();
        if (paused) {
            const int r = clampFrame(st.requestedFrame.load(), frameCount);
            st.requestedFrame = r;
            if (lastShownValid && r == lastShown) {
                if (!sleep(PausedPollMs))
                    return;
                continue;
            }
        }

        const bool seekTaken = st.seekRequested.exchange(false);
        bool justRead = false;
        if (!paused && (reseekNext || seekTaken)) {
            const int r = clampFrame(st.requestedFrame.load(), frameCount);
            st.requestedFrame = r;
            if (!outsideOwner([&] { frame = reader.frameAt(r); }))
                return;
            startTick = clock.nowMs();
            startFrame = r;
            st.currentFrame = r;
            reseekNext = false;
            justRead = true;
        }

        if (!paused) {
            if (!justRead && !outsideOwner([&] { frame = reader.readNext(); }))
                return;
            // The UI may have paused meanwhile; its pause wins over the end handling.
            if (!st.paused.load() && (frame.empty() || atEnd)) {
                const int s =
                    markedFrames(st.rangeStart.load(), st.rangeEnd.load(), st.sliderLength.load(), frameCount)
                        .first;
                st.requestedFrame = s;
                st.currentFrame = s;
                atEnd = false;
                st.paused = true;
            }
        }

        paused = st.paused.load();
        int stillFrame = -1;
        if (paused) {
            stillFrame = clampFrame(st.requestedFrame.load(), frameCount);
            if (!outsideOwner([&] { frame = reader.frameAt(stillFrame); }))
                return;
            startFrame = stillFrame;
            reseekNext = true; // resuming starts with a fresh seek and time base
        }

        if (reader.lastIndex() >= 0)
            st.currentFrame = reader.lastIndex();
        if (!running.load())
            break;

        if (!paused) {
            const int wait = pacingSleepMs(st.currentFrame.load(), startFrame, framesPerSecond(), startTick,
                                           clock.nowMs());
            if (wait > 0 && !sleep(wait))
                return;
            // The end marker's frame, or the file's last, is still shown; the end handling of
            // the next turn then pauses on the start marker.
            if (!st.paused.load() &&
                (reader.atEndOfFile() || reachedEndMarker(st.currentFrame.load(), st.rangeEnd.load(),
                                                          st.sliderLength.load(), frameCount)))
                atEnd = true;
        }

        if (!frame.empty())
            lastFrame = frame;
        present(lastFrame, paused);

        // The frame actually shown, not a request the UI may have changed since.
        lastShownValid = paused;
        lastShown = paused ? stillFrame : st.currentFrame.load();
        if (paused && !sleep(PausedPollMs))
            return;
    }

    running = false;
    ended = true;
    Q_EMIT owner.ended();
}

} // namespace tolvek
