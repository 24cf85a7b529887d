#include "core/platform/DurableFiles.h"

#include "core/platform/DataLocation.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
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

// Writes a note "<pid>\n<path>\n" for a working file about to be created; returns its path, empty
// when the journal cannot be written (the working file is still made: the note only helps clean up).
QString writeNote(const QString& workingPath)
{
    static std::atomic<unsigned> counter{0};
    const QString journal = workingFileJournal();
    if (!QDir().mkpath(journal))
        return {};
    const QString note = QStringLiteral("%1%2-%3-%4.note")
                             .arg(journal)
                             .arg(::getpid())
                             .arg(counter.fetch_add(1))
                             .arg(QDateTime::currentMSecsSinceEpoch());
    const QByteArray text = QByteArray::number(::getpid()) + '\n' + QFile::encodeName(workingPath) + '\n';
    const int fd = ::open(QFile::encodeName(note).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    const bool written =
        ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        ::unlink(QFile::encodeName(note).constData());
        return {};
    }
    return note;
}

bool processIsRunning(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

bool syncFileToDisk(const QString& path)
{
    return syncPath(path, false);
}

bool syncHandleToDisk(int fd)
{
    return fd >= 0 && ::fsync(fd) == 0;
}

bool syncDataToDisk(int fd)
{
    return fd >= 0 && ::fdatasync(fd) == 0;
}

ReserveResult reserveSpace(int fd, qint64 offset, qint64 length)
{
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, off_t(offset), off_t(length)) == 0)
        return ReserveResult::Reserved;
    return errno == ENOSPC || errno == EFBIG || errno == EDQUOT ? ReserveResult::DiskFull
                                                                : ReserveResult::NotSupported;
}

void releaseSpaceBeyondEnd(int fd, qint64 reservedEnd)
{
    StatBuf st{};
    if (reservedEnd > 0 && ::fstat(fd, &st) == 0 && reservedEnd > st.st_size)
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, st.st_size,
                    off_t(reservedEnd) - st.st_size);
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
    file.m_note = writeNote(path);
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
        file.forgetNote();
        return file;
    }
    if (::fstat(fd, &st) != 0) {
        file.m_error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        ::unlink(name.constData());
        file.forgetNote();
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
        remove();
        forgetNote();
        m_path = std::move(other.m_path);
        m_note = std::move(other.m_note);
        other.m_note.clear();
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
    // Renamed into place, the name no longer leads to the file created here and nothing goes.
    remove();
    forgetNote();
}

void WorkingFile::forgetNote()
{
    if (!m_note.isEmpty())
        ::unlink(QFile::encodeName(m_note).constData());
    m_note.clear();
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

void WorkingFile::keep()
{
    closeHandle();
    m_created = false;
    m_note.clear();
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

QString workingFileJournal()
{
    return dataFolder() + QStringLiteral("working/");
}

QStringList sweepLeftoverWorkingFiles(const QString& journal,
                                      const std::function<void(const QString& path)>& finish)
{
    QStringList removed;
    const QDir dir(journal);
    for (const QFileInfo& noteInfo :
         dir.entryInfoList({QStringLiteral("*.note")}, QDir::Files | QDir::Hidden)) {
        QFile note(noteInfo.filePath());
        if (!note.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = note.readAll().split('\n');
        note.close();
        bool numeric = false;
        const pid_t writer = pid_t(lines.value(0).toLongLong(&numeric));
        if (numeric && writer != ::getpid() && processIsRunning(writer))
            continue; // still being written by a program that runs
        const QByteArray path = lines.value(1);
        StatBuf st{};
        if (!path.isEmpty() && QFileInfo(QFile::decodeName(path)).fileName().startsWith(u'.') &&
            ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()) {
            if (finish)
                finish(QFile::decodeName(path));
            if (::unlink(path.constData()) == 0 || errno == ENOENT)
                removed << QFile::decodeName(path);
        }
        QFile::remove(noteInfo.filePath());
    }
    return removed;
}

} // namespace tolvek::platform
