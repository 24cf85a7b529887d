#pragma once
// WorkerThread: the one way this program runs work in the background. A QThread runs one work
// function to its end; a stop is asked for through a std::stop_token the work checks, and every
// wait for the thread has a bound. A work function that has not ended within the bound is given
// up on and left to end by itself: from then on it must reach nothing but what it shares (by
// shared_ptr or by value), and anything of its owner (the owner's data, the owner's signals) only
// while it holds its WorkerRun and the run is not abandoned. Work reports through queued signals
// and never touches a widget.
// Thread-safety: start, wait, abandon and destruction on the owner's thread; requestStop and
// stopRequested from any thread. A thread that cannot be created is reported by start().

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>

class QThread;

namespace tolvek::platform {

// What a work function gets of its run: the stop request, and the lock that keeps its owner from
// giving up on it while the work touches what belongs to the owner. Lockable, so
// `std::lock_guard owned(run); if (!run.abandoned()) Q_EMIT done(result);` reports safely.
class WorkerRun
{
  public:
    std::stop_token stopToken() const { return m_stop.get_token(); }
    bool stopRequested() const { return m_stop.stop_requested(); }

    void lock() { m_lock.lock(); }
    void unlock() { m_lock.unlock(); }
    // The owner has given up waiting; read it while holding the run.
    bool abandoned() const { return m_abandoned; }

  private:
    friend class WorkerThread;
    std::stop_source m_stop;
    std::mutex m_lock;
    bool m_abandoned = false; // guarded by m_lock
};

class WorkerThread
{
  public:
    using Work = std::function<void(WorkerRun& run)>;

    // name: the thread's name in debuggers and `top -H`. stopWait: how long the destructor waits
    // for the work after asking it to stop.
    WorkerThread(QString name, std::chrono::milliseconds stopWait);
    // Asks the work to stop and waits up to stopWait; a thread still running then is abandoned.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts work on a new thread. A stop asked for before the first start holds for it; each
    // later start begins with a fresh stop request. False (nothing started) while a thread still
    // runs or when none could be created.
    bool start(Work work);
    // Asks the current run to stop: its stop token fires (stop callbacks run on this thread).
    void requestStop();
    bool stopRequested() const;
    // Waits up to bound for the thread to end; true when no thread runs (ended, or none started).
    bool wait(std::chrono::milliseconds bound);
    // requestStop(), then wait(bound).
    bool stop(std::chrono::milliseconds bound);
    // Gives up on a thread that still runs: marks its run abandoned (waiting only while the work
    // holds the run) and leaves the thread to end by itself; its QThread is deleted when it ends.
    void abandon();

    bool isRunning() const;  // started and not yet ended
    bool isFinished() const; // started and ended

  private:
    QString m_name;
    std::chrono::milliseconds m_stopWait;
    mutable std::mutex m_runLock; // guards m_run, which start() replaces
    std::shared_ptr<WorkerRun> m_run;
    bool m_started = false;
    QThread* m_thread = nullptr; // owned; handed to itself when abandoned
};

} // namespace tolvek::platform
