#pragma once
// UserPrompts for widget tests: records every text shown and answers from a script.

#include "core/backup/BackupRunner.h"
#include "core/platform/ProfileStore.h"
#include "support/WaitUntil.h"
#include "ui/backup/BackupDlg.h"
#include "ui/backup/CDayretr.h"
#include "ui/capture/CGetNewID.h"
#include "ui/manage/CTrim.h"
#include "ui/shared/UserPrompts.h"

#include <QCheckBox>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

namespace tolvek::test {

class ScriptedPrompts : public UserPrompts
{
  public:
    QStringList messages;
    QStringList questions;
    int beeps = 0;
    std::deque<bool> answers;                  // question answers, Yes when empty
    std::deque<QString> folders;               // folder picker results, cancelled when empty
    QStringList folderTitles;                  // the folder pickers' titles
    std::deque<QString> saveFiles;             // save dialog results, cancelled when empty
    std::deque<std::optional<int>> patientIds; // keypad results, cancelled when empty
    std::deque<std::optional<int>> videoIds;   // new-ID keypad (CGetID) results, cancelled when empty
    std::vector<int> videoIdPresets;           // the old ID each CGetID run was preset to
    // Replaces the scripted CGetID answer, e.g. by the real dialog driven by keys.
    std::function<std::optional<int>(QWidget*, int)> videoIdDialog;
    int keypadRuns = 0;
    std::function<void()> beforeKeypadAnswer; // e.g. wait until the camera is up
    int lastKeypadForm = -1;

    // Backup: without a driver the keypad answers from backupDates (cancelled when empty);
    // with one, the real keypad is shown and driven, and its own result counts.
    std::deque<std::optional<int>> backupDates;
    std::function<void(CDayretr&)> driveBackupKeypad;
    std::function<QDate()> backupToday; // the keypad's today, when set
    int backupKeypadRuns = 0;
    QString lastBackupKeypadTitle;
    // The real backup dialog runs; without a driver it is left to finish and closed with OK.
    std::function<void(BackupDlg&)> driveBackupDialog;
    QStringList backupStatusTexts; // the dialog's text when it closed, one per run
    // The trim dialogs run: the real dialog, driven by trimAction once it is up. Without an
    // action, range mode gets the checkbox set to keepOriginal and OK; re-ID mode runs by itself.
    struct TrimRun
    {
        QString source, target;
        int rangeStart = 0, rangeEnd = 0, newId = 0;
    };
    std::vector<TrimRun> trimRuns;
    std::function<void(CTrim&)> trimAction;
    bool keepOriginal = false;

    void message(QWidget*, const QString& text, Icon) override { messages << text; }
    bool question(QWidget*, const QString& text, const QString&, bool) override
    {
        questions << text;
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString pickFolder(QWidget*, const QString& title, const QString&) override
    {
        folderTitles << title;
        return take(folders);
    }
    QString pickSaveFile(QWidget*, const QString&, const QString&, const QString&) override
    {
        return take(saveFiles);
    }
    void beep() override { ++beeps; }
    std::optional<int> askPatientId(QWidget*, const GetNewIdSetup& setup) override;
    std::optional<int> askBackupDate(QWidget* parent, const BackupDateSetup& setup) override;
    bool runBackup(QWidget* parent, BackupRunner& runner) override;
    std::optional<int> askVideoId(QWidget* parent, int oldId) override
    {
        videoIdPresets.push_back(oldId);
        if (videoIdDialog)
            return videoIdDialog(parent, oldId);
        if (videoIds.empty())
            return std::nullopt;
        const std::optional<int> id = videoIds.front();
        videoIds.pop_front();
        return id;
    }
    int runTrimDialog(CTrim& dialog) override
    {
        trimRuns.push_back(
            {dialog.sourcePath, dialog.targetPath, dialog.rangeStart, dialog.rangeEnd, dialog.newId});
        QTimer::singleShot(0, &dialog, [this, &dialog] {
            if (trimAction) {
                trimAction(dialog);
            } else if (!dialog.reIdMode()) {
                static_cast<QCheckBox*>(dialog.control(CTrim::IDC_KEEP_ORIGINAL))->setChecked(keepOriginal);
                static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
            }
        });
        return dialog.exec();
    }

  private:
    static QString take(std::deque<QString>& q)
    {
        if (q.empty())
            return {};
        QString s = q.front();
        q.pop_front();
        return s;
    }
};

inline std::optional<int> ScriptedPrompts::askPatientId(QWidget*, const GetNewIdSetup& setup)
{
    ++keypadRuns;
    lastKeypadForm = setup.setIdOnly;
    if (setup.rezeroHead)
        setup.rezeroHead();
    if (beforeKeypadAnswer)
        beforeKeypadAnswer();
    if (patientIds.empty())
        return std::nullopt;
    const std::optional<int> id = patientIds.front();
    patientIds.pop_front();
    return id;
}

inline std::optional<int> ScriptedPrompts::askBackupDate(QWidget* parent, const BackupDateSetup& setup)
{
    ++backupKeypadRuns;
    lastBackupKeypadTitle = setup.title;
    if (!driveBackupKeypad) {
        if (backupDates.empty())
            return std::nullopt;
        const std::optional<int> date = backupDates.front();
        backupDates.pop_front();
        return date;
    }
    BackupDateSetup own = setup;
    if (backupToday)
        own.today = backupToday;
    CDayretr dialog(own, parent);
    dialog.show();
    driveBackupKeypad(dialog);
    if (dialog.isVisible() || dialog.result() != QDialog::Accepted)
        return std::nullopt;
    return dialog.dateValue();
}

inline bool ScriptedPrompts::runBackup(QWidget* parent, BackupRunner& runner)
{
    BackupDlg dialog(runner, parent);
    dialog.show();
    if (driveBackupDialog) {
        driveBackupDialog(dialog);
    } else {
        waitUntil([&] { return !dialog.running(); });
        if (auto* ok = qobject_cast<QPushButton*>(dialog.control(BackupDlg::IDC_OK)))
            ok->click();
    }
    backupStatusTexts << dialog.statusText();
    return !dialog.isVisible() && dialog.result() == QDialog::Accepted;
}

// A profile kept in memory.
class MemoryProfile : public platform::ProfileStore
{
  public:
    QMap<QString, int> values;
    int readInt(const QString& section, const QString& entry, int def) const override
    {
        return values.value(section + u'/' + entry, def);
    }
    void writeInt(const QString& section, const QString& entry, int value) override
    {
        values[section + u'/' + entry] = value;
    }
};

} // namespace tolvek::test
