#include "core/backup/BackupRunner.h"

#include "core/i18n/UiTexts.h"
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

// The date prefix as a reader writes a date: "2025", "2025-05" or "2025-05-29".
QString readablePrefix(const QString& prefix)
{
    if (prefix.size() == 6)
        return prefix.left(4) + u'-' + prefix.mid(4);
    if (prefix.size() == 8)
        return prefix.left(4) + u'-' + prefix.mid(4, 2) + u'-' + prefix.mid(6);
    return prefix;
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
        return {BackupFileStatus::Failed, uiText(TxtBackupReasonMissing)};
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {BackupFileStatus::Failed, uiText(TxtBackupReasonUnreadable).arg(in.errorString())};

    if (!targetInfo.dir().exists())
        return {BackupFileStatus::Failed, uiText(TxtBackupReasonNoFolder)};
    // Created new: a leftover of an interrupted copy is replaced, anything else at the name (a
    // link planted in a shared folder) is never written through.
    platform::WorkingFile working = platform::WorkingFile::create(backupWorkingPath(target));
    QFile out;
    if (!working.created())
        return failure(uiText(TxtBackupReasonFolderUnwritable).arg(working.error()));
    if (!out.open(working.handle(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return failure(uiText(TxtBackupReasonFolderUnwritable).arg(out.errorString()));

    QByteArray buffer;
    qint64 total = 0;
    for (;;) {
        buffer = in.read(ChunkBytes);
        if (buffer.isEmpty()) {
            if (in.error() != QFileDevice::NoError)
                return failure(uiText(TxtBackupReasonUnreadable).arg(in.errorString()));
            break;
        }
        if (out.write(buffer) != buffer.size())
            return failure(uiText(TxtBackupReasonUnwritable).arg(out.errorString()));
        total += buffer.size();
    }
    if (!out.flush())
        return failure(uiText(TxtBackupReasonUnwritable).arg(out.errorString()));
    // Only data on the disk counts as backed up: a full or removed drive shows up here at the latest.
    if (!platform::syncHandleToDisk(out.handle()))
        return failure(uiText(TxtBackupReasonNotOnDisk));
    if (total != sourceInfo.size())
        return failure(uiText(TxtBackupReasonChanged));
    out.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    out.close();
    if (!working.stillOurs())
        return failure(uiText(TxtBackupReasonReplaced));

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
    return failure(uiText(TxtBackupReasonRename).arg(error));
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
    QString text = uiText(TxtBackupProgress)
                       .arg(readablePrefix(m_prefix))
                       .arg(m_next)
                       .arg(m_names.size())
                       .arg(m_copied)
                       .arg(m_skipped);
    if (!m_failures.isEmpty())
        text += u' ' + uiText(TxtBackupErrors).arg(m_failures.size());
    return text;
}

QString BackupRunner::summaryText() const
{
    QString text = uiText(TxtBackupSummary).arg(readablePrefix(m_prefix)).arg(m_copied).arg(m_skipped);
    if (!m_failures.isEmpty())
        text += u' ' + uiText(TxtBackupErrors).arg(m_failures.size());
    return text;
}

} // namespace tolvek
