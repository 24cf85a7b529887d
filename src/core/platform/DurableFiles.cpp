#include "core/platform/DurableFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace tolvek::platform {

namespace {

using StatBuf = struct stat;

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

bool syncHandleToDisk(int fd)
{
    return fd >= 0 && ::fsync(fd) == 0;
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

bool isSameFile(const QString& a, const QString& b)
{
    StatBuf sa{};
    StatBuf sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

WorkingFile WorkingFile::create(const QString& path)
{
    WorkingFile file;
    file.m_path = path;
    const QByteArray name = QFile::encodeName(path);
    StatBuf st{};
    // lstat, so a link is seen as a link. Should the name change between the look and the unlink,
    // unlink still removes only a name, never what a link points to.
    if (::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        ::unlink(name.constData());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        file.m_error = err == EEXIST
                           ? QStringLiteral("%1 is in the way (not a file of this program)").arg(path)
                           : QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
        return file;
    }
    if (::fstat(fd, &st) != 0) {
        file.m_error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        ::unlink(name.constData());
        return file;
    }
    file.m_fd = fd;
    file.m_created = true;
    file.m_device = st.st_dev;
    file.m_inode = st.st_ino;
    return file;
}

WorkingFile::WorkingFile(WorkingFile&& other) noexcept
{
    *this = std::move(other);
}

WorkingFile& WorkingFile::operator=(WorkingFile&& other) noexcept
{
    if (this != &other) {
        closeHandle();
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
        m_fd = other.m_fd;
        m_created = other.m_created;
        m_device = other.m_device;
        m_inode = other.m_inode;
        other.m_fd = -1;
        other.m_created = false;
    }
    return *this;
}

WorkingFile::~WorkingFile()
{
    closeHandle();
}

int WorkingFile::takeHandle()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void WorkingFile::closeHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool WorkingFile::stillOurs() const
{
    StatBuf st{};
    return m_created && ::lstat(QFile::encodeName(m_path).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_dev == m_device && st.st_ino == m_inode;
}

void WorkingFile::remove()
{
    if (stillOurs())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool WorkingFile::acceptReplacement()
{
    StatBuf st{};
    if (!m_created || ::lstat(QFile::encodeName(m_path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
        return false;
    closeHandle();
    m_device = st.st_dev;
    m_inode = st.st_ino;
    return true;
}

}  // namespace tolvek::platform
