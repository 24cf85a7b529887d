#include "core/platform/Trash.h"

#include "core/platform/DurableFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvek::platform {

namespace {

using StatBuf = struct stat;

// Names tried for one file before giving up: "name", "base.2.ext", "base.3.ext", ...
constexpr int MaxTrashNames = 1000;

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool statPath(const QString& path, StatBuf& st)
{
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool lstatPath(const QString& path, StatBuf& st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Makes folder and every missing folder above it, each new one private to the user (0700), as the
// base-directory rules ask for folders a program creates there.
bool makeFolders(const QString& folder, QString& error)
{
    const QString clean = QDir::cleanPath(folder);
    for (qsizetype i = 1; i <= clean.size(); ++i) {
        if (i < clean.size() && clean[i] != u'/')
            continue;
        const QString part = clean.left(i);
        StatBuf st{};
        if (statPath(part, st)) {
            if (!S_ISDIR(st.st_mode)) {
                error = QStringLiteral("%1 is not a folder").arg(part);
                return false;
            }
            continue;
        }
        if (::mkdir(QFile::encodeName(part).constData(), 0700) != 0 && errno != EEXIST) {
            error = QStringLiteral("%1: %2").arg(part, systemError(errno));
            return false;
        }
    }
    return true;
}

struct TrashFolder
{
    QString path;   // holds files/ and info/
    QString topDir; // for a drive's trash: the drive's top folder, which Path= is relative to
};

// files/ and info/ in trash, created when missing; both on device `device`.
bool prepareTrash(const QString& trash, dev_t device, QString& error)
{
    for (const char* sub : {"files", "info"}) {
        const QString folder = trash + u'/' + QLatin1String(sub);
        if (!makeFolders(folder, error))
            return false;
        StatBuf st{};
        if (!statPath(folder, st) || !S_ISDIR(st.st_mode)) {
            error = QStringLiteral("%1 is not a folder").arg(folder);
            return false;
        }
        if (st.st_dev != device) {
            error = QStringLiteral("%1 is on another drive").arg(folder);
            return false;
        }
    }
    return true;
}

// The top folder of the drive that holds folder: the highest folder above it on the same device.
QString driveTopOf(const QString& folder, dev_t device)
{
    QString top = QDir::cleanPath(folder);
    while (top != QLatin1String("/")) {
        const QString parent = QFileInfo(top).path();
        StatBuf st{};
        if (!statPath(parent, st) || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

// A folder of this user's own, reached without a link, created (0700) when missing.
bool ownFolder(const QString& path)
{
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    StatBuf st{};
    return lstatPath(path, st) && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// The trash of the drive that holds folder: $top/.Trash/$uid when the administrator set up a
// shared $top/.Trash (a real folder with the sticky bit), else $top/.Trash-$uid.
bool driveTrash(const QString& folder, dev_t device, TrashFolder& trash, QString& error)
{
    const QString top = driveTopOf(folder, device);
    const QString uid = QString::number(::geteuid());
    const QString base = top == QLatin1String("/") ? QString() : top;
    StatBuf st{};
    const QString shared = base + QStringLiteral("/.Trash");
    if (lstatPath(shared, st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const QString mine = shared + u'/' + uid;
        if (ownFolder(mine) && prepareTrash(mine, device, error)) {
            trash = {mine, top};
            return true;
        }
    }
    const QString mine = base + QStringLiteral("/.Trash-") + uid;
    if (!ownFolder(mine)) {
        error = QStringLiteral("no trash folder can be made on the drive of %1").arg(folder);
        return false;
    }
    if (!prepareTrash(mine, device, error))
        return false;
    trash = {mine, top};
    return true;
}

// The trash the file in `folder` goes to: the home trash when it is on the same drive, else that
// drive's own trash. Created when missing.
bool trashFor(const QString& folder, TrashFolder& trash, QString& error)
{
    StatBuf source{};
    if (!statPath(folder, source)) {
        error = QStringLiteral("%1: %2").arg(folder, systemError(errno));
        return false;
    }
    const QString home = homeTrashFolder();
    if (!makeFolders(home, error))
        return false;
    StatBuf st{};
    if (!statPath(home, st)) {
        error = QStringLiteral("%1: %2").arg(home, systemError(errno));
        return false;
    }
    if (st.st_dev == source.st_dev) {
        if (!prepareTrash(home, source.st_dev, error))
            return false;
        trash = {home, QString()};
        return true;
    }
    return driveTrash(folder, source.st_dev, trash, error);
}

QString candidateName(const QFileInfo& file, int n)
{
    if (n == 1)
        return file.fileName();
    const QString suffix = file.suffix();
    if (suffix.isEmpty() || file.completeBaseName().isEmpty())
        return QStringLiteral("%1.%2").arg(file.fileName()).arg(n);
    return QStringLiteral("%1.%2.%3").arg(file.completeBaseName()).arg(n).arg(suffix);
}

// Writes info/NAME.trashinfo, created new; false with exists set when the name is taken.
bool writeInfo(const QString& infoPath, const QString& originalPath, bool& exists, QString& error)
{
    const QByteArray content =
        "[Trash Info]\nPath=" + QUrl::toPercentEncoding(originalPath, "/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + "\n";
    const int fd = ::open(QFile::encodeName(infoPath).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        exists = errno == EEXIST;
        error = QStringLiteral("%1: %2").arg(infoPath, systemError(errno));
        return false;
    }
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == ssize_t(content.size());
    ::close(fd);
    if (!ok) {
        ::unlink(QFile::encodeName(infoPath).constData());
        error = QStringLiteral("%1 cannot be written").arg(infoPath);
    }
    return ok;
}

} // namespace

QString homeTrashFolder()
{
    // $XDG_DATA_HOME, or ~/.local/share when it is unset or not an absolute path.
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/Trash");
}

TrashResult moveToTrash(const QString& path)
{
    TrashResult result;
    const QFileInfo file(path);
    StatBuf st{};
    if (!lstatPath(path, st)) {
        result.error = QStringLiteral("%1: %2").arg(path, systemError(errno));
        return result;
    }
    const QString original = file.absoluteFilePath();
    TrashFolder trash;
    if (!trashFor(file.absolutePath(), trash, result.error))
        return result;
    const QString recorded =
        trash.topDir.isEmpty() ? original : QDir(trash.topDir).relativeFilePath(original);

    for (int n = 1; n <= MaxTrashNames; ++n) {
        const QString name = candidateName(file, n);
        const QString info = trash.path + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo");
        const QString target = trash.path + QStringLiteral("/files/") + name;
        bool taken = false;
        if (!writeInfo(info, recorded, taken, result.error)) {
            if (taken)
                continue;
            return result;
        }
        QString error;
        switch (renameNoReplace(original, target, error)) {
        case RenameResult::Renamed: {
            // Counted only when the file is in the trash and gone from where it was.
            StatBuf there{};
            if (lstatPath(target, there) && !lstatPath(original, st)) {
                syncFolderOf(target);
                result.moved = true;
                result.trashedPath = target;
                return result;
            }
            result.error = QStringLiteral("%1 did not arrive in %2").arg(original, target);
            return result;
        }
        case RenameResult::TargetExists:
            ::unlink(QFile::encodeName(info).constData());
            continue;
        case RenameResult::Failed:
            ::unlink(QFile::encodeName(info).constData());
            result.error = QStringLiteral("%1 cannot be moved to %2 (%3)").arg(original, trash.path, error);
            return result;
        }
    }
    result.error = QStringLiteral("no free name in %1").arg(trash.path);
    return result;
}

} // namespace tolvek::platform
