#pragma once
// Per-user integer values by section and entry ("WindowPos", "DialogPos"). Backed by QSettings
// with organisation and application "Tolvek"; $XDG_CONFIG_HOME moves it for tests.
// UI thread only. Missing or unreadable entries read as the given default.

#include <QString>

namespace tolvek::platform {

class ProfileStore
{
  public:
    virtual ~ProfileStore() = default;
    virtual int readInt(const QString& section, const QString& entry, int defaultValue = -1) const;
    virtual void writeInt(const QString& section, const QString& entry, int value);
};

} // namespace tolvek::platform
