#pragma once
// A wall clock for the recording path that a test moves on: the real time plus an offset, so that
// a new recording gets a later file name without the test waiting for the next second.
// Thread-safe: the capture thread reads it while the test advances it.

#include "core/capture/CaptureThread.h"

#include <QDateTime>

#include <atomic>
#include <chrono>
#include <memory>

namespace tolvek::test {

class TestWallClock
{
  public:
    CaptureThread::WallClock clock() const
    {
        return [offset = m_offsetMs] { return QDateTime::currentDateTime().addMSecs(offset->load()); };
    }
    void advance(std::chrono::milliseconds by) { *m_offsetMs += by.count(); }

  private:
    std::shared_ptr<std::atomic<qint64>> m_offsetMs = std::make_shared<std::atomic<qint64>>(0);
};

} // namespace tolvek::test
