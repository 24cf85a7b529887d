#pragma once
// Copies the selected videos from the save folder to the backup folder, one file per call, so
// a dialog can run it from a timer and stay responsive between files. Not thread-safe: one
// owner drives it. A copy never replaces an existing backup and never leaves a partial file
// under a video's name; a file that cannot be copied is counted as failed, with the reason. A
// video's head data is copied beside it the same way; one that fails counts as a failure of its own.

#include <QString>
#include <QStringList>

namespace tolvek {

enum class BackupFileStatus { Copied, Skipped, Failed };

struct BackupFileResult
{
    BackupFileStatus status = BackupFileStatus::Failed;
    QString detail; // why a copy failed; empty otherwise
};

// Copies source to target unless target exists (then Skipped). The data goes to a hidden
// working file beside target, is flushed to the disk and only then renamed to target, without
// replacing a target that appeared meanwhile. On failure (unreadable source, missing or
// read-only backup folder, full disk) the working file is removed and nothing else changes.
BackupFileResult backupFile(const QString& source, const QString& target);

// The hidden working name a copy to target is written under before it is renamed.
QString backupWorkingPath(const QString& target);

class BackupRunner
{
  public:
    BackupRunner(QString saveFolder, QString backupFolder, QStringList names, QString prefix);

    // Handles the next file; false when every file had been handled already.
    bool step();
    bool finished() const { return m_next >= m_names.size(); }

    int count() const { return int(m_names.size()); }
    int handled() const { return int(m_next); }
    int copied() const { return m_copied; }
    int skipped() const { return m_skipped; }
    int failed() const { return m_failures.size(); }
    // "<name>: <reason>" for every failed file, in order.
    const QStringList& failures() const { return m_failures; }

    // After each file, a sentence in the current language: the date (prefix), handled of count,
    // copied and skipped.
    QString progressText() const;
    // Once all are handled: the date, copied and skipped. Both sentences end with the number of
    // failed copies when a copy failed.
    QString summaryText() const;

  private:
    QString m_saveFolder;
    QString m_backupFolder;
    QStringList m_names;
    QString m_prefix;
    qsizetype m_next = 0;
    int m_copied = 0;
    int m_skipped = 0;
    QStringList m_failures;
};

} // namespace tolvek
