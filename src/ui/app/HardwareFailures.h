#pragma once
// What the user is told when a head sensor's link fails: which port, and the likely cause (no
// permission and the group that has it, in use by another program, not there, no port at all, a
// board that does not answer, a board unplugged while in use). Pure; the diagnosis of the device
// is the caller's.

#include "core/platform/DeviceAccess.h"
#include "core/sensor/GyroLinkThread.h"
#include "core/sensor/SensorLink.h"

#include <QString>

#include <optional>

namespace tolvek {

// The text for a link that ended that way, in the current language; nothing for an end that is
// not a failure (a stop, a mode change).
std::optional<QString> sensorOpenFailureText(SensorKind kind, SensorLinkEnd reason, const QString& port,
                                             const platform::DeviceDiagnosis& device);

// Tells a failure once: the same text again is not repeated until a different one (or none) has
// come in between, so a link retried at every recording does not stop the examiner each time.
class FailureOnce
{
  public:
    // True when text should be shown now.
    bool shouldTell(const QString& text);
    // The link came up, or the setting changed: the next failure is told again.
    void reset() { m_last.clear(); }

  private:
    QString m_last;
};

} // namespace tolvek
