#pragma once
// CTrim (dialog 154): runs the trim worker (range mode, on OK) or the re-ID worker (on opening) and
// polls its progress every 100 ms. UI thread only. It ends with OK only for a complete output (a
// failed worker ends it with Cancel, result() says why); destroying it waits for the worker up to
// FinishWaitMs.

#include "core/manage/TrimWorker.h"
#include "core/platform/WorkerThread.h"

#include <QDialog>
#include <QString>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;

namespace tolvek {

class CTrim : public QDialog
{
    Q_OBJECT
  public:
    enum ControlId : int {
        IDC_OK = 1,
        IDC_CANCEL = 2,
        IDC_KEEP_ORIGINAL = 1001,
        IDC_STATUS = 1023,
    };
    static constexpr int ProgressTimerId = 4;
    static constexpr int ProgressIntervalMs = 100;
    // How long finishWorker() waits: a stopped worker still closes (flushes) and removes its file.
    static constexpr int FinishWaitMs = 30000;

    explicit CTrim(QWidget* parent = nullptr);
    ~CTrim() override;

    // Filled by the caller before the dialog runs. rangeStart == rangeEnd (both 0) is re-ID mode.
    QString sourcePath;
    QString targetPath;
    int rangeStart = 0;
    int rangeEnd = 0;
    int newId = 0;
    int sliderLength = 1;
    // The memo the new file carries in its header from the moment it has its name.
    std::optional<QString> memo;
    // After OK: the state of checkbox 1001 when OK was pressed.
    bool keepOriginal = false;
    // The text shown in static 1023.
    QString statusText;

    bool reIdMode() const { return rangeStart == rangeEnd; }
    // NotRun until the worker has ended.
    TrimResult result() const;
    // The worker's shared state; null until the dialog has opened.
    const std::shared_ptr<TrimWorkerState>& state() const { return m_state; }
    QWidget* control(int id) const;
    // Asks a worker that still runs to stop and waits until it has ended (at most one frame and the
    // closing of its file; FinishWaitMs at the most); after this the worker's output is complete
    // under its name or gone. A worker stuck longer (a failing disk) is left to end by itself; its
    // result stays NotRun. The destructor does the same.
    void finishWorker();

  public Q_SLOTS:
    void accept() override; // OnOK: starts the trim; ignored once a worker was started
    void reject() override; // OnCancel: asks the worker to stop and ends at once

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void initDialog();  // OnInitDialog
    void startWorker(); // sets running, then starts the thread and timer 4
    void onTimer();     // timer 4

    std::map<int, QWidget*> m_controls;
    QLabel* m_status = nullptr;
    QCheckBox* m_keep = nullptr;
    QTimer m_timer;
    std::shared_ptr<TrimWorkerState> m_state;
    platform::WorkerThread m_worker;
    bool m_initialised = false;
    bool m_started = false;
};

} // namespace tolvek
