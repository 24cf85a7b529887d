#include "core/backup/BackupRunner.h"

#include "core/media/HeadTrack.h"
#include "core/platform/DurableFiles.h"
#include "core/settings/VideoFileName.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvek {

namespace {

constexpr qint64 ChunkBytes = 1 << 20;

BackupFileResult failure(const QString& detail)
{
    return {BackupFileStatus::Failed, detail};
}

} // namespace

QString backupWorkingPath(const QString& target)
{
    const QFileInfo info(target);
    // A leading dot and no leading digits: never taken for a video by a scan or a later backup.
    return info.dir().filePath(QStringLiteral(".backup-") + info.fileName() + QStringLiteral(".part"));
}

BackupFileResult backupFile(const QString& source, const QString& target)
{
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() || targetInfo.isSymLink())
        return {BackupFileStatus::Skipped, {}};

    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isFile())
        return {BackupFileStatus::Failed, QStringLiteral("the video is missing")};
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {BackupFileStatus::Failed, QStringLiteral("cannot be read (%1)").arg(in.errorString())};

    if (!targetInfo.dir().exists())
        return {BackupFileStatus::Failed, QStringLiteral("the backup folder does not exist")};
    // Created new: a leftover of an interrupted copy is replaced, anything else at the name (a
    // link planted in a shared folder) is never written through.
    platform::WorkingFile working = platform::WorkingFile::create(backupWorkingPath(target));
    QFile out;
    if (!working.created())
        return failure(QStringLiteral("cannot write to the backup folder (%1)").arg(working.error()));
    if (!out.open(working.handle(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return failure(QStringLiteral("cannot write to the backup folder (%1)").arg(out.errorString()));

    QByteArray buffer;
    qint64 total = 0;
    for (;;) {
        buffer = in.read(ChunkBytes);
        if (buffer.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return failure(QStringLiteral("cannot be read (%1)").arg(in.errorString()));
            break;
        }
        if (out.write(buffer) != buffer.size())
            return failure(QStringLiteral("cannot be written (%1)").arg(out.errorString()));
        total += buffer.size();
    }
    if (!out.flush())
        return failure(QStringLiteral("cannot be written (%1)").arg(out.errorString()));
    // Only data on the disk counts as backed up: a full or removed drive shows up here at the latest.
    if (!platform::syncHandleToDisk(out.handle()))
        return failure(QStringLiteral("cannot be written to the disk"));
    if (total != sourceInfo.size())
        return failure(QStringLiteral("the video changed while it was copied"));
    out.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    out.close();
    if (!working.stillOurs())
        return failure(QStringLiteral("the working file was replaced while it was written"));

    QString error;
    switch (platform::renameNoReplace(working.path(), target, error)) {
    case platform::RenameResult::Renamed:
        platform::syncFolderOf(target);
        return {BackupFileStatus::Copied, {}};
    case platform::RenameResult::TargetExists:
        return {BackupFileStatus::Skipped, {}};
    case platform::RenameResult::Failed:
        break;
    }
    return failure(QStringLiteral("cannot be renamed (%1)").arg(error));
}

BackupRunner::BackupRunner(QString saveFolder, QString backupFolder, QStringList names, QString prefix)
    : m_saveFolder(std::move(saveFolder)), m_backupFolder(std::move(backupFolder)), m_names(std::move(names)),
      m_prefix(std::move(prefix))
{
}

bool BackupRunner::step()
{
    if (finished())
        return false;
    const QString& name = m_names[m_next];
    const BackupFileResult r =
        backupFile(makeSavePath(m_saveFolder, name), makeSavePath(m_backupFolder, name));
    switch (r.status) {
    case BackupFileStatus::Copied:
        ++m_copied;
        break;
    case BackupFileStatus::Skipped:
        ++m_skipped;
        break;
    case BackupFileStatus::Failed:
        m_failures << name + QStringLiteral(": ") + r.detail;
        break;
    }
    // The head data goes with its video, whether the video was copied now or on an earlier run
    // (which may have been cut off between the two).
    const QString headSource = media::headTrackPath(makeSavePath(m_saveFolder, name));
    if (r.status != BackupFileStatus::Failed && QFileInfo::exists(headSource)) {
        const BackupFileResult head =
            backupFile(headSource, media::headTrackPath(makeSavePath(m_backupFolder, name)));
        if (head.status == BackupFileStatus::Failed)
            m_failures << headDataFileName(name) + QStringLiteral(": ") + head.detail;
    }
    ++m_next;
    return true;
}

QString BackupRunner::progressText() const
{
    QString text = QStringLiteral("Search:%1  %2/%3  Copy:%4  Skip:%5")
                       .arg(m_prefix)
                       .arg(m_next)
                       .arg(m_names.size())
                       .arg(m_copied)
                       .arg(m_skipped);
    if (!m_failures.isEmpty())
        text += QStringLiteral("  Error:%1").arg(m_failures.size());
    return text;
}

QString BackupRunner::summaryText() const
{
    QString text = QStringLiteral("Search:%1  Copy:%2  Skip:%3").arg(m_prefix).arg(m_copied).arg(m_skipped);
    if (!m_failures.isEmpty())
        text += QStringLiteral("  Error:%1").arg(m_failures.size());
    return text;
}

} // namespace tolvek
