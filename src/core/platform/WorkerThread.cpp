#include "core/platform/WorkerThread.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtDebug>

#include <utility>

namespace tolvek::platform {

WorkerThread::WorkerThread(QString name, std::chrono::milliseconds stopWait)
    : m_name(std::move(name)), m_stopWait(stopWait), m_run(std::make_shared<WorkerRun>())
{
}

WorkerThread::~WorkerThread()
{
    if (!m_thread)
        return;
    requestStop();
    if (wait(m_stopWait)) {
        delete m_thread;
        return;
    }
    qWarning("%s did not end within %lld ms; it is left to end by itself.", qPrintable(m_name),
             static_cast<long long>(m_stopWait.count()));
    abandon();
}

bool WorkerThread::start(Work work)
{
    if (m_thread) {
        if (m_thread->isRunning())
            return false;
        // Ended, or never got going: deleting it does not block.
        delete m_thread;
        m_thread = nullptr;
    }
    std::shared_ptr<WorkerRun> run;
    {
        const std::lock_guard held(m_runLock);
        if (m_started)
            m_run = std::make_shared<WorkerRun>();
        m_started = true;
        run = m_run;
    }
    // The thread holds its run and its work: both outlive an owner that gives up on it.
    m_thread = QThread::create([run, work = std::move(work)] { work(*run); });
    m_thread->setObjectName(m_name);
    m_thread->start();
    if (!m_thread->isRunning() && !m_thread->isFinished()) {
        delete m_thread;
        m_thread = nullptr;
        return false;
    }
    return true;
}

void WorkerThread::requestStop()
{
    std::shared_ptr<WorkerRun> run;
    {
        const std::lock_guard held(m_runLock);
        run = m_run;
    }
    run->m_stop.request_stop();
}

bool WorkerThread::stopRequested() const
{
    const std::lock_guard held(m_runLock);
    return m_run->stopRequested();
}

bool WorkerThread::wait(std::chrono::milliseconds bound)
{
    return !m_thread || m_thread->wait(QDeadlineTimer(std::max(bound, std::chrono::milliseconds(0))));
}

bool WorkerThread::stop(std::chrono::milliseconds bound)
{
    requestStop();
    return wait(bound);
}

void WorkerThread::abandon()
{
    if (!m_thread)
        return;
    {
        const std::lock_guard held(*m_run);
        m_run->m_abandoned = true;
    }
    QThread* left = std::exchange(m_thread, nullptr);
    // Deleted on this thread's event loop once it has ended; connected before the check, so that
    // an end in between is not missed (a second deleteLater is harmless).
    QObject::connect(left, &QThread::finished, left, &QObject::deleteLater);
    if (left->isFinished())
        left->deleteLater();
}

bool WorkerThread::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

bool WorkerThread::isFinished() const
{
    return m_thread && m_thread->isFinished();
}

} // namespace tolvek::platform
