#pragma once
// UserPrompts for widget tests: records every text shown and answers from a script.

#include "core/platform/ProfileStore.h"
#include "core/backup/BackupRunner.h"
#include "support/WaitUntil.h"
#include "ui/app/UserPrompts.h"
#include "ui/backup/BackupDlg.h"
#include "ui/backup/CDayretr.h"
#include "ui/capture/CGetNewID.h"

#include <QPushButton>

#include <QMap>
#include <functional>
#include <deque>

namespace tolvek::test {

class ScriptedPrompts : public UserPrompts {
public:
    QStringList messages;
    QStringList questions;
    int beeps = 0;
    std::deque<bool> answers;       // question answers, Yes when empty
    std::deque<QString> folders;    // folder picker results, cancelled when empty
    std::deque<QString> saveFiles;  // save dialog results, cancelled when empty
    std::deque<std::optional<int>> patientIds;  // keypad results, cancelled when empty
    int keypadRuns = 0;
    std::function<void()> beforeKeypadAnswer;  // e.g. wait until the camera is up
    int lastKeypadForm = -1;

    // Backup: without a driver the keypad answers from backupDates (cancelled when empty);
    // with one, the real keypad is shown and driven, and its own result counts.
    std::deque<std::optional<int>> backupDates;
    std::function<void(CDayretr&)> driveBackupKeypad;
    std::function<QDate()> backupToday;  // the keypad's today, when set
    int backupKeypadRuns = 0;
    QString lastBackupKeypadTitle;
    // The real backup dialog runs; without a driver it is left to finish and closed with OK.
    std::function<void(BackupDlg&)> driveBackupDialog;
    QStringList backupStatusTexts;  // the dialog's text when it closed, one per run

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
    QString pickFolder(QWidget*, const QString&, const QString&) override { return take(folders); }
    QString pickSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return take(saveFiles); }
    void beep() override { ++beeps; }
    std::optional<int> askPatientId(QWidget*, const GetNewIdSetup& setup) override;
    std::optional<int> askBackupDate(QWidget* parent, const BackupDateSetup& setup) override;
    bool runBackup(QWidget* parent, BackupRunner& runner) override;

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
class MemoryProfile : public platform::ProfileStore {
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

}  // namespace tolvek::test
