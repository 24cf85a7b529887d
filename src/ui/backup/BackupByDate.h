#pragma once
// The Backup command (32786): asks for a date prefix, selects the videos of that year, month or
// day in the save folder and copies them to the backup folder. UI thread only. An unset or
// missing backup folder, an empty selection and failed copies are told to the user.

#include <QSize>
#include <QString>

class QWidget;

namespace tolvek {

class Settings;
class UserPrompts;

// What one run of the command came to, for its caller and tests.
struct BackupByDateOutcome
{
    enum class Stage { FolderNotSet, FolderMissing, Cancelled, NoFiles, Ran };
    Stage stage = Stage::FolderNotSet;
    QString prefix;
    int count = 0;
    int copied = 0;
    int skipped = 0;
    int failed = 0;
};

BackupByDateOutcome backupByDate(QWidget* parent, UserPrompts& prompts, const Settings& settings,
                                 int language, QSize mainClientSize);

} // namespace tolvek
