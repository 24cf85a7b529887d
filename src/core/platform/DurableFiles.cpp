#include "core/platform/DurableFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tolvek::platform {

namespace {

bool syncPath(const QString& path, bool directory)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

bool syncFileToDisk(const QString& path)
{
    return syncPath(path, false);
}

bool syncFolderToDisk(const QString& folder)
{
    return syncPath(folder, true);
}

bool syncFolderOf(const QString& filePath)
{
    return syncFolderToDisk(QFileInfo(filePath).absolutePath());
}

RenameResult renameNoReplace(const QString& from, const QString& to, QString& error)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return RenameResult::Renamed;
    int err = errno;
    if (err == EEXIST)
        return RenameResult::TargetExists;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        if (::link(src.constData(), dst.constData()) == 0) {
            ::unlink(src.constData());
            return RenameResult::Renamed;
        }
        err = errno;
        if (err == EEXIST)
            return RenameResult::TargetExists;
        if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == EXDEV) {
            if (QFileInfo::exists(to))
                return RenameResult::TargetExists;
            if (::rename(src.constData(), dst.constData()) == 0)
                return RenameResult::Renamed;
            err = errno;
        }
    }
    error = QString::fromLocal8Bit(std::strerror(err));
    return RenameResult::Failed;
}

}  // namespace tolvek::platform
