#include "core/platform/ChildProcess.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QtDebug>

#include <csignal>
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace tolvek::platform {

void endWithThisProgram(QProcess& process)
{
#if defined(__linux__)
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) // the program died before the request took hold
            ::_exit(127);
    });
#else
    (void)process;
#endif
}

ChildProcess::ChildProcess(QString program, QStringList arguments, QObject* parent)
    : QObject(parent), m_program(std::move(program)), m_arguments(std::move(arguments)),
      m_limitTimer(new QTimer(this)), m_killTimer(new QTimer(this)), m_giveUpTimer(new QTimer(this))
{
    for (QTimer* timer : {m_limitTimer, m_killTimer, m_giveUpTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer); // the bounds hold to the millisecond, not to 5 %
    }
    connect(m_limitTimer, &QTimer::timeout, this, [this] {
        m_outcome.timedOut = true;
        stop();
    });
    connect(m_killTimer, &QTimer::timeout, this, [this] {
        if (!isRunning())
            return;
        m_outcome.killed = true;
        m_process->kill();
        m_giveUpTimer->start(KillWaitMs);
    });
    // A child that does not even end when killed (stuck in the kernel) is reported as it is.
    connect(m_giveUpTimer, &QTimer::timeout, this, [this] {
        m_outcome.end = ChildOutcome::End::Crashed;
        report();
    });
}

ChildProcess::~ChildProcess()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->kill();
    if (!m_process->waitForFinished(KillWaitMs)) {
        // Its QProcess would wait again when destroyed; it is left to the end of the program.
        qWarning("%s does not end after a kill; left behind.", qPrintable(m_program));
        (void)m_process.release();
    }
}

bool ChildProcess::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ChildProcess::start()
{
    if (!m_reported)
        return;
    m_outcome = {};
    m_reported = false;
    m_process = std::make_unique<QProcess>();
    m_process->setProgram(m_program);
    m_process->setArguments(m_arguments);
    // The input stays an open pipe for the stop key; ffmpeg only polls it, so it never waits on it.
    m_process->setStandardOutputFile(QProcess::nullDevice());
    endWithThisProgram(*m_process);
    connect(m_process.get(), &QProcess::readyReadStandardError, this, &ChildProcess::readErrorOutput);
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the end follows through finished()
        m_outcome.end = ChildOutcome::End::StartFailed;
        m_outcome.error = m_process->errorString();
        report();
    });
    connect(m_process.get(), &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        readErrorOutput();
        m_outcome.end =
            status == QProcess::NormalExit ? ChildOutcome::End::Exited : ChildOutcome::End::Crashed;
        m_outcome.exitCode = exitCode;
        report();
    });
    m_process->start();
    if (m_timeLimitMs > 0)
        m_limitTimer->start(m_timeLimitMs);
}

void ChildProcess::stop()
{
    if (m_reported || m_outcome.stopped)
        return;
    m_outcome.stopped = true;
    if (isRunning()) {
        m_process->write("q");
        m_process->closeWriteChannel();
    }
    m_killTimer->start(StopGraceMs);
}

void ChildProcess::readErrorOutput()
{
    QByteArray& tail = m_outcome.errorTail;
    tail += m_process->readAllStandardError();
    if (tail.size() > ErrorTailBytes)
        tail = tail.right(ErrorTailBytes);
}

void ChildProcess::report()
{
    if (m_reported)
        return;
    m_reported = true;
    for (QTimer* timer : {m_limitTimer, m_killTimer, m_giveUpTimer})
        timer->stop();
    // Queued, so that a start that fails at once reports after start() has returned.
    QMetaObject::invokeMethod(
        this, [this, outcome = m_outcome] { Q_EMIT finished(outcome); }, Qt::QueuedConnection);
}

ChildOutcome runChildProcess(const QString& program, const QStringList& arguments, std::stop_token stop,
                             int timeLimitMs)
{
    ChildOutcome outcome;
    if (!QCoreApplication::instance()) {
        outcome.error = QStringLiteral("no QCoreApplication runs the events of %1").arg(program);
        return outcome;
    }
    QEventLoop loop;
    ChildProcess child(program, arguments);
    child.setTimeLimit(timeLimitMs);
    QObject::connect(&child, &ChildProcess::finished, &loop, [&](const ChildOutcome& ended) {
        outcome = ended;
        loop.quit();
    });
    // Runs on the thread that asks for the stop: handed to this thread's loop.
    const std::stop_callback onStop(
        stop, [&child] { QMetaObject::invokeMethod(&child, &ChildProcess::stop, Qt::QueuedConnection); });
    child.start();
    loop.exec();
    return outcome;
}

} // namespace tolvek::platform
