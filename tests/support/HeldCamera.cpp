#include "support/HeldCamera.h"

#include "core/capture/SimulatedEyeSource.h"

#include <condition_variable>
#include <mutex>

namespace tolvek::test {

struct HeldCamera::State
{
    int width = 0;
    int height = 0;
    double fps = 0;

    mutable std::mutex mutex;
    std::condition_variable resumed;
    int generation = 0; // moved on by every resume()

    bool stallArmed = false;
    bool stalling = false;
    std::chrono::milliseconds stallBound{0};

    bool openArmed = false;
    bool opening = false;
    std::chrono::milliseconds openBound{0};
    int clockCallsSinceRead = 0;

    bool released = false;
    std::chrono::milliseconds wallOffset{0};

    // Waits, with the lock held, until resume() or the bound; `holding` is set meanwhile.
    void hold(std::unique_lock<std::mutex>& lock, bool& holding, std::chrono::milliseconds bound)
    {
        holding = true;
        const int seen = generation;
        resumed.wait_for(lock, bound, [&] { return generation != seen; });
        holding = false;
    }
};

namespace {

class HeldSource : public FrameSource
{
  public:
    explicit HeldSource(std::shared_ptr<HeldCamera::State> state)
        : m_state(std::move(state)), m_eye([this] {
              SimulatedEyeSource::Options o;
              o.width = m_state->width;
              o.height = m_state->height;
              o.fps = m_state->fps;
              return o;
          }())
    {
    }

    bool open() override
    {
        {
            std::lock_guard lock(m_state->mutex);
            m_state->released = false;
        }
        return m_eye.open();
    }
    bool isOpened() const override { return m_eye.isOpened(); }
    bool read(cv::Mat& bgr) override
    {
        {
            std::unique_lock lock(m_state->mutex);
            m_state->clockCallsSinceRead = 0;
            if (m_state->stallArmed) {
                m_state->stallArmed = false;
                m_state->hold(lock, m_state->stalling, m_state->stallBound);
            }
        }
        return m_eye.read(bgr);
    }
    void release() override
    {
        m_eye.release();
        std::lock_guard lock(m_state->mutex);
        m_state->released = true;
    }
    cv::Size frameSize() const override { return m_eye.frameSize(); }
    double nominalFps() const override { return m_eye.nominalFps(); }

  private:
    std::shared_ptr<HeldCamera::State> m_state;
    SimulatedEyeSource m_eye;
};

} // namespace

HeldCamera::HeldCamera(int width, int height, double fps) : m_state(std::make_shared<State>())
{
    m_state->width = width;
    m_state->height = height;
    m_state->fps = fps;
}

FrameSourceFactory HeldCamera::sources() const
{
    return [state = m_state](int index) -> std::unique_ptr<FrameSource> {
        if (index != 0)
            return nullptr;
        return std::make_unique<HeldSource>(state);
    };
}

CaptureThread::WallClock HeldCamera::wallClock() const
{
    return [state = m_state] {
        std::unique_lock lock(state->mutex);
        if (++state->clockCallsSinceRead == 2 && state->openArmed) {
            state->openArmed = false;
            state->hold(lock, state->opening, state->openBound);
        }
        return QDateTime::currentDateTime().addMSecs(state->wallOffset.count());
    };
}

void HeldCamera::advanceWallClock(std::chrono::milliseconds by)
{
    std::lock_guard lock(m_state->mutex);
    m_state->wallOffset += by;
}

void HeldCamera::stallReads(std::chrono::milliseconds bound)
{
    std::lock_guard lock(m_state->mutex);
    m_state->stallArmed = true;
    m_state->stallBound = bound;
}

void HeldCamera::holdFileOpening(std::chrono::milliseconds bound)
{
    std::lock_guard lock(m_state->mutex);
    m_state->openArmed = true;
    m_state->openBound = bound;
}

void HeldCamera::resume()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stallArmed = false;
        m_state->openArmed = false;
        ++m_state->generation;
    }
    m_state->resumed.notify_all();
}

bool HeldCamera::stalled() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->stalling;
}

bool HeldCamera::openingHeld() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->opening;
}

bool HeldCamera::released() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->released;
}

} // namespace tolvek::test
