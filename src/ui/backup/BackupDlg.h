#pragma once
// The backup progress dialog (dialog 183): copies the selected videos one per timer tick, with a
// progress bar and a progress sentence, and stays open on the summary sentence until OK. Cancel takes effect
// between two files. UI thread only; each copy blocks the window for the time of one file.
// Failed copies are counted as errors, never as copied.

#include <QDialog>

#include <map>

class QLabel;
class QProgressBar;

namespace tolvek {

class BackupRunner;

class BackupDlg : public QDialog
{
    Q_OBJECT
  public:
    enum ControlId : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_STATUS = 1044,
        IDC_PROGRESS = 1045,
    };
    static constexpr int TickMs = 1;

    // The runner holds the names, folders and counters; it must outlive the dialog.
    BackupDlg(BackupRunner& runner, QWidget* parent = nullptr);

    QWidget* control(int id) const;
    QString statusText() const;
    bool cancelRequested() const { return m_cancelRequested; }
    bool running() const;
    BackupRunner& runner() { return m_runner; }

    // Cancel and Escape: the next tick closes the dialog; once all files are handled it closes
    // at once, like OK.
    void reject() override;

  private:
    void tick();

    BackupRunner& m_runner;
    std::map<int, QWidget*> m_controls;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_timer = nullptr;
    bool m_cancelRequested = false;
};

} // namespace tolvek
