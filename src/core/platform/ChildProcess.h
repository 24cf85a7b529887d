#pragma once
// Child programs (ffmpeg): started with an argument list (no shell), watched through the
// asynchronous QProcess signals, stopped gracefully, and ended with this program.
// ChildProcess runs one child in the event loop of the thread that owns it (no thread sits in a
// blocking wait); runChildProcess runs one to its end in an event loop of the calling thread's
// own, for work on a WorkerThread. Both need a QCoreApplication. A child that cannot be started,
// crashes or fails is reported in the outcome, never thrown.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <stop_token>

class QProcess;
class QTimer;

namespace tolvek::platform {

// The child gets SIGKILL when the thread that started it ends (which, for the workers that wait on
// their child, is when the program ends); a child whose starter is already gone exits at once.
// When it is killed or crashes, a child still writing a working file is so stopped too, instead
// of finishing a file nobody will rename or remove and holding the disk busy. Call before
// QProcess::start(); UI or worker thread alike.
void endWithThisProgram(QProcess& process);

struct ChildOutcome
{
    enum class End {
        Exited,      // exitCode holds the child's exit code
        Crashed,     // ended by a signal (a kill after a stop included)
        StartFailed, // could not be started; error says why
    };
    End end = End::StartFailed;
    int exitCode = -1;
    QString error;        // the system's reason when the start failed
    QByteArray errorTail; // the last ErrorTailBytes of the child's error output
    bool stopped = false; // a stop was asked for, or the time limit passed, before it ended
    bool timedOut = false;
    bool killed = false; // it did not end within StopGraceMs of the stop and was killed

    bool succeeded() const { return end == End::Exited && exitCode == 0; }
};

class ChildProcess : public QObject
{
    Q_OBJECT
  public:
    // How long a stopped child may take to end by itself after "q" on its input (ffmpeg finishes
    // the file it writes) before it is killed; and how long its end may take after the kill.
    static constexpr int StopGraceMs = 2000;
    static constexpr int KillWaitMs = 5000;
    static constexpr qsizetype ErrorTailBytes = 1000;

    // The child's output goes nowhere; its error output is kept (the tail); its input is a pipe
    // that takes the stop key.
    ChildProcess(QString program, QStringList arguments, QObject* parent = nullptr);
    // A child that still runs is killed, waiting at most KillWaitMs.
    ~ChildProcess() override;

    // A child running longer than ms is stopped as by stop() (timedOut). 0: no limit. Before start().
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }
    // Starts the child, with endWithThisProgram. finished() follows in every case, queued.
    void start();
    // Asks the child to end: "q" on its input, which makes ffmpeg finish its output and exit; a
    // child still running StopGraceMs later is killed. Nothing when it is not running.
    void stop();
    bool isRunning() const;

  Q_SIGNALS:
    // Once per start(), after the child has ended or failed to start.
    void finished(const tolvek::platform::ChildOutcome& outcome);

  private:
    void readErrorOutput();
    void report();

    QString m_program;
    QStringList m_arguments;
    int m_timeLimitMs = 0;
    std::unique_ptr<QProcess> m_process;
    QTimer* m_limitTimer;
    QTimer* m_killTimer;
    QTimer* m_giveUpTimer;
    ChildOutcome m_outcome;
    bool m_reported = true;
};

// Runs program with arguments to its end in an event loop of the calling thread. A stop through
// `stop`, at any time, ends the child as ChildProcess::stop() does. timeLimitMs as setTimeLimit.
ChildOutcome runChildProcess(const QString& program, const QStringList& arguments, std::stop_token stop = {},
                             int timeLimitMs = 0);

} // namespace tolvek::platform
