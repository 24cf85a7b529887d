#pragma once
// Keeps the system and the display awake while a recording or a trim runs: the freedesktop
// ScreenSaver inhibit call over the session bus. Without a session bus it does nothing.
// UI thread only. acquire() twice holds one request; release() without a request is harmless.

#include <QString>

namespace tolvek::platform {

class PowerRequest
{
  public:
    virtual ~PowerRequest();
    virtual void acquire(const QString& reason);
    virtual void release();
    bool active() const { return m_active; }

  private:
    bool m_active = false;
    unsigned m_cookie = 0;
};

} // namespace tolvek::platform
