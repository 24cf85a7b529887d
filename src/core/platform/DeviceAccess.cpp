#include "core/platform/DeviceAccess.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tolvek::platform {

DeviceDiagnosis diagnoseDevice(bool exists, bool readWriteAllowed, const QString& group)
{
    if (!exists)
        return {DeviceProblem::Missing, {}};
    if (!readWriteAllowed)
        return {DeviceProblem::NoPermission, group};
    return {DeviceProblem::Busy, {}};
}

DeviceDiagnosis diagnoseDeviceOpenFailure(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if (path.isEmpty() || ::stat(native.constData(), &st) != 0)
        return diagnoseDevice(false, false, {});
    const bool allowed = ::access(native.constData(), R_OK | W_OK) == 0;
    QString group;
    if (const struct group* g = ::getgrgid(st.st_gid))
        group = QString::fromLocal8Bit(g->gr_name);
    return diagnoseDevice(true, allowed, group);
#else
    return diagnoseDevice(!path.isEmpty() && QFile::exists(path), true, {});
#endif
}

} // namespace tolvek::platform
