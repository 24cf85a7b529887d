#pragma once
// The simulated eye camera with two holds a test can put on the capture thread: a read that
// stalls, as a camera that stops answering does, and the opening of a recording file, held while
// the thread is inside it. Thread-safe. The sources and the clock it hands out share its state, so
// a capture thread the program left behind can still end after the test object is gone.

#include "core/capture/CaptureThread.h"
#include "core/capture/FrameSource.h"

#include <chrono>
#include <memory>

namespace tolvek::test {

class HeldCamera
{
  public:
    // Camera 0 delivers the simulated eye at w x h and fps, paced in real time.
    HeldCamera(int width, int height, double fps);

    FrameSourceFactory sources() const;
    // The system time plus an offset the test can move (file names a second apart without
    // waiting a second), and the hold of a file opening.
    CaptureThread::WallClock wallClock() const;
    void advanceWallClock(std::chrono::milliseconds by);

    // The next read blocks until resume() or until `bound` has passed.
    void stallReads(std::chrono::milliseconds bound = std::chrono::seconds(6));
    // The next opening of a recording file waits until resume() or until `bound` has passed.
    // The capture thread asks the wall clock once to stamp a frame and once more, after handing
    // the frame to the live view, when it opens a file in that turn; the second ask is held.
    void holdFileOpening(std::chrono::milliseconds bound = std::chrono::seconds(6));
    // Ends a stall or a held opening.
    void resume();

    bool stalled() const;     // a read is blocked now
    bool openingHeld() const; // a file opening waits now
    bool released() const;    // the capture thread has released the camera

    struct State;

  private:
    std::shared_ptr<State> m_state;
};

} // namespace tolvek::test
