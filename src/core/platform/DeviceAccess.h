#pragma once
// Why a device file (a serial port, a camera) could not be opened, as far as the file system can
// tell: it is not there, this user may not read and write it (and which group may), or it is there
// and open to this user, so another program most likely holds it. Thread-safe; no failure modes
// beyond what the diagnosis reports.

#include <QString>

namespace tolvek::platform {

enum class DeviceProblem {
    Missing,      // no such device: unplugged, or the name is wrong
    NoPermission, // this user may not open it; `group` names the group that may
    Busy,         // there and allowed: in use by another program, or it refused for another reason
};

struct DeviceDiagnosis
{
    DeviceProblem problem = DeviceProblem::Busy;
    QString group; // the device's group, where the user lacks permission
};

// The diagnosis from what is known of the device: whether it exists, whether this user may read
// and write it, and its group's name.
DeviceDiagnosis diagnoseDevice(bool exists, bool readWriteAllowed, const QString& group);

// The diagnosis of a device path that failed to open, asked of the file system now.
DeviceDiagnosis diagnoseDeviceOpenFailure(const QString& path);

} // namespace tolvek::platform
