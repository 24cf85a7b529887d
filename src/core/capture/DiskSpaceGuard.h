#pragma once
// Watches the room left for a recording: a recording is stopped cleanly while the save folder
// still has space for its file's last blocks, because the video writer reports no write errors.
// Pure decision plus a free-space probe; thread-safe.

#include <QString>
#include <QtGlobal>

namespace tolvek {

struct DiskSpaceVerdict
{
    enum Kind { Fine, LowSpace, FolderGone } kind = Fine;
    qint64 availableBytes = 0;
};

class DiskSpaceGuard
{
  public:
    // Never let a recording run with less than this left, whatever its rate.
    static constexpr qint64 MinimumFreeBytes = 64LL * 1024 * 1024;
    // Keep room for this many seconds of the recording's own rate.
    static constexpr int ReserveSeconds = 20;

    // available: free bytes in the save folder, or -1 when the folder is gone.
    // bytesPerSecond: how fast the current file grows (0 when not known yet).
    static DiskSpaceVerdict judge(qint64 available, qint64 bytesPerSecond);

    // Free bytes for an unprivileged writer in folder, or -1 when it is missing or unreadable.
    static qint64 availableBytes(const QString& folder);
};

} // namespace tolvek
