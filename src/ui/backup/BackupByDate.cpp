#include "ui/backup/BackupByDate.h"

#include "core/backup/BackupRunner.h"
#include "core/backup/BackupSelection.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/settings/Settings.h"
#include "ui/backup/CDayretr.h"
#include "ui/shared/UserPrompts.h"

#include <QFileInfo>

namespace tolvek {

namespace {
// A folder setting shorter than this is taken as unset (a bare drive root at most).
constexpr int MinFolderLength = 5;
// Failure lines listed in the message; the rest are counted.
constexpr int ListedFailures = 10;

QString failureReport(const BackupRunner& runner)
{
    QString text = uiText(TxtBackupFailures).arg(runner.failed()).arg(runner.handled());
    const QStringList& failures = runner.failures();
    for (int i = 0; i < failures.size() && i < ListedFailures; ++i)
        text += QStringLiteral("\r\n") + failures[i];
    if (failures.size() > ListedFailures)
        text += QStringLiteral("\r\n") + uiText(TxtBackupMoreFailures).arg(failures.size() - ListedFailures);
    return text;
}
} // namespace

BackupByDateOutcome backupByDate(QWidget* parent, UserPrompts& prompts, const Settings& settings,
                                 int language, QSize mainClientSize)
{
    using Stage = BackupByDateOutcome::Stage;
    BackupByDateOutcome outcome;
    const QString backupFolder = settings.value(BackupFolder);
    if (backupFolder.size() < MinFolderLength) {
        prompts.message(parent, messageText(language, MsgBackupFolderNotSet));
        return outcome;
    }
    // Usually a removable drive that is not plugged in: say so once instead of failing every file.
    if (!QFileInfo(backupFolder).isDir()) {
        outcome.stage = Stage::FolderMissing;
        prompts.message(parent, uiText(TxtBackupFolderMissing).arg(backupFolder), UserPrompts::Icon::Warning);
        return outcome;
    }

    BackupDateSetup setup;
    setup.title = uiText(TxtBackupKeypadTitle);
    setup.mainClientSize = mainClientSize;
    const std::optional<int> date = prompts.askBackupDate(parent, setup);
    if (!date) {
        outcome.stage = Stage::Cancelled;
        return outcome;
    }
    outcome.prefix = backupDatePrefix(*date);

    const QString saveFolder = settings.value(SaveFolder);
    const QStringList names = findBackupFiles(saveFolder, outcome.prefix);
    if (names.isEmpty()) {
        outcome.stage = Stage::NoFiles;
        prompts.message(parent, uiText(TxtNoFilesFound));
        return outcome;
    }

    BackupRunner runner(saveFolder, backupFolder, names, outcome.prefix);
    prompts.runBackup(parent, runner);
    outcome.stage = Stage::Ran;
    outcome.count = runner.count();
    outcome.copied = runner.copied();
    outcome.skipped = runner.skipped();
    outcome.failed = runner.failed();
    if (runner.failed() > 0)
        prompts.message(parent, failureReport(runner), UserPrompts::Icon::Warning);
    return outcome;
}

} // namespace tolvek
