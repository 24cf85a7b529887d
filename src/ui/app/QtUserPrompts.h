#pragma once
// The production prompts: Qt message boxes and pickers, and the program's own keypads and progress
// dialogs. UI thread only.

#include "ui/shared/UserPrompts.h"

namespace tolvek {

// The production implementation with Qt dialogs.
class QtUserPrompts : public UserPrompts
{
  public:
    void message(QWidget* parent, const QString& text, Icon icon) override;
    void notify(QWidget* parent, const QString& text, Icon icon) override;
    bool question(QWidget* parent, const QString& text, const QString& caption, bool defaultNo) override;
    bool questionAt(QWidget* parent, const QString& text, const QString& caption, bool defaultNo,
                    QPoint at) override;
    QString pickFolder(QWidget* parent, const QString& title, const QString& start) override;
    QString pickSaveFile(QWidget* parent, const QString& title, const QString& proposed,
                         const QString& filter) override;
    void beep() override;
    std::optional<int> askPatientId(QWidget* parent, const GetNewIdSetup& setup) override;
    std::optional<int> askBackupDate(QWidget* parent, const BackupDateSetup& setup) override;
    bool runBackup(QWidget* parent, BackupRunner& runner) override;
    std::optional<int> askVideoId(QWidget* parent, int oldId) override;
    int runTrimDialog(CTrim& dialog) override;
};

} // namespace tolvek
