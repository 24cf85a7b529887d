#include "core/playback/PlayerThread.h"

#include "core/playback/FramePresentation.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"

namespace tolvek {

namespace {

constexpr int PausedPollMs = 50;

} // namespace

PlayerThread::PlayerThread(Options options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_state(*m_options.state),
      m_clock(m_options.clock ? *m_options.clock : steadyPlaybackClock())
{
}

PlayerThread::~PlayerThread()
{
    stop();
    wait();
}

void PlayerThread::start()
{
    if (m_thread.joinable() || m_ended.load())
        return;
    // Set before the thread exists, so that a stop right after the start is never undone.
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void PlayerThread::stop()
{
    m_running = false;
}

void PlayerThread::wait()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

int PlayerThread::framesPerSecond() const
{
    return m_options.fps ? m_options.fps() : appSettings().getInt(CaptureFps);
}

void PlayerThread::present(const cv::Mat& frame, bool paused)
{
    if (frame.empty())
        return;
    if (paused && frame.rows > 0 && frame.cols > 0) {
        cv::Mat marked = frame.clone(); // the decoder's cache keeps the clean frame
        drawPlayerPauseMark(marked, m_state.viewWidth.load(), m_state.viewHeight.load());
        storeBgrFrame(marked, *m_options.display);
    } else {
        storeBgrFrame(frame, *m_options.display);
    }
    Q_EMIT frameShown();
}

void PlayerThread::run()
{
    PlaybackState& st = m_state;
    FrameReader reader(m_options.cacheBytes);
    reader.setKeepGoing(&m_running);
    if (!reader.open(m_options.path)) {
        m_running = false;
        m_ended = true;
        Q_EMIT ended();
        return;
    }
    m_opened = true;

    std::int64_t startTick = m_clock.nowMs();
    int startFrame = 0;
    const int frameCount = static_cast<int>(reader.frameCountProperty());
    st.frameCount = frameCount;

    cv::Mat frame;
    cv::Mat lastFrame; // shown again when a read comes back empty
    bool reseekNext = false;
    bool atEnd = false;
    bool lastShownValid = false;
    int lastShown = -1;

    while (m_running.load()) {
        bool paused = st.paused.load();
        if (paused) {
            const int r = clampFrame(st.requestedFrame.load(), frameCount);
            st.requestedFrame = r;
            if (lastShownValid && r == lastShown) {
                m_clock.sleepMs(PausedPollMs, m_running);
                continue;
            }
        }

        const bool seekTaken = st.seekRequested.exchange(false);
        bool justRead = false;
        if (!paused && (reseekNext || seekTaken)) {
            const int r = clampFrame(st.requestedFrame.load(), frameCount);
            st.requestedFrame = r;
            frame = reader.frameAt(r);
            startTick = m_clock.nowMs();
            startFrame = r;
            st.currentFrame = r;
            reseekNext = false;
            justRead = true;
        }

        if (!paused) {
            if (!justRead)
                frame = reader.readNext();
            // The UI may have paused meanwhile; its pause wins over the end handling.
            if (!st.paused.load() && (frame.empty() || reader.atEndOfFile() || atEnd)) {
                const int s = sliderToFrame(st.rangeStart.load(), st.sliderLength.load(), frameCount);
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
            frame = reader.frameAt(stillFrame);
            startFrame = stillFrame;
            reseekNext = true; // resuming starts with a fresh seek and time base
        }

        if (reader.lastIndex() >= 0)
            st.currentFrame = reader.lastIndex();
        if (!m_running.load())
            break;

        if (!paused) {
            const int wait = pacingSleepMs(st.currentFrame.load(), startFrame, framesPerSecond(), startTick,
                                           m_clock.nowMs());
            if (wait > 0)
                m_clock.sleepMs(wait, m_running);
            if (!st.paused.load() && reachedEndMarker(st.currentFrame.load(), st.rangeEnd.load(),
                                                      st.sliderLength.load(), frameCount))
                atEnd = true; // consumed by the end handling on the next turn
        }

        if (!frame.empty())
            lastFrame = frame;
        present(lastFrame, paused);

        // The frame actually shown, not a request the UI may have changed since.
        lastShownValid = paused;
        lastShown = paused ? stillFrame : st.currentFrame.load();
        if (paused)
            m_clock.sleepMs(PausedPollMs, m_running);
    }

    m_running = false;
    m_ended = true;
    Q_EMIT ended();
}

} // namespace tolvek
