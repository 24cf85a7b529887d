#include "core/capture/DiskSpaceGuard.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace tolvek {

DiskSpaceVerdict DiskSpaceGuard::judge(qint64 available, qint64 bytesPerSecond)
{
    if (available < 0)
        return {DiskSpaceVerdict::FolderGone, 0};
    const qint64 reserve = std::max(MinimumFreeBytes, std::max<qint64>(0, bytesPerSecond) * ReserveSeconds);
    return {available < reserve ? DiskSpaceVerdict::LowSpace : DiskSpaceVerdict::Fine, available};
}

qint64 DiskSpaceGuard::availableBytes(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return -1;
    QStorageInfo storage(folder);
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return storage.bytesAvailable();
}

} // namespace tolvek
