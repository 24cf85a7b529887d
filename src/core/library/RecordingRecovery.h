#pragma once
// Repairs recordings cut off by a crash or power cut: their WMV header still holds the writer's
// placeholders (file size 0, packet count 0), so players see no length. The complete data packets
// are stream-copied by the ffmpeg program into a hidden file beside the original. Only when that file
// reads back at least every packet the original could give does the original go to the trash and
// the repaired file take its name; otherwise the original stays untouched.
// The free functions are thread-safe for different files and wait for ffmpeg in an event loop of
// the calling thread (they need a QCoreApplication); RecordingRecovery runs them on a WorkerThread
// and reports once through a signal. Failures are reported, never thrown.

#include "core/platform/ChildProcess.h"
#include "core/platform/ExternalTools.h"
#include "core/platform/WorkerThread.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <stop_token>

namespace tolvek {

enum class RecordingState {
    Finished,   // the header carries a file size and a packet count
    Unfinished, // a readable header with the writer's placeholders and at least one whole packet
    Empty,      // 0 bytes, or a header with no whole packet behind it: nothing to recover
    Unreadable, // missing, or not an ASF file
};

struct RecordingInspection
{
    RecordingState state = RecordingState::Unreadable;
    qint64 fileSize = 0;
    // Where the last whole data packet ends; the bytes behind it belong to a packet the crash cut.
    qint64 completeEnd = 0;
};

RecordingInspection inspectRecording(const QString& path);

enum class RepairResult {
    Repaired,
    NotNeeded,     // the header is already finished
    NothingToKeep, // Empty: left as it is
    NotReadable,   // Unreadable: left as it is
    Busy,          // the file changed while it was copied (still being written); left as it is
    Failed,        // ffmpeg missing or failing, the copy short or unusable, the trash or rename
                   // refused; the original is left as it was
};

// The hidden file a repair of `path` writes before the rename; the library scan never lists it.
QString repairTempPath(const QString& path);

// Repairs one unfinished recording in place. `ffmpeg` is the program to run (a name looked up in
// PATH, or a full path). Blocks until ffmpeg ends; a stop through `stop` ends it early, gracefully
// (Failed).
RepairResult repairRecording(const QString& path, const QString& ffmpeg = platform::ExternalTools().ffmpeg(),
                             std::stop_token stop = {});

struct RecoveryReport
{
    QStringList repaired;   // file names (no folder)
    QStringList emptyFiles; // 0 bytes or nothing recoverable: not videos
    QStringList failed;     // unfinished but could not be repaired
    bool anything() const { return !repaired.isEmpty() || !emptyFiles.isEmpty() || !failed.isEmpty(); }
};

// Checks each of `candidates` (file names in `folder`, as the scan reports them) and repairs the
// unfinished ones. Names in `skip` (for example the file being recorded now) are left alone.
RecoveryReport recoverRecordings(const QString& folder, const QStringList& candidates,
                                 const QStringList& skip = {},
                                 const QString& ffmpeg = platform::ExternalTools().ffmpeg(),
                                 std::stop_token stop = {});

// The text telling the user what was repaired and what was found; empty when nothing was.
QString recoveryMessage(const RecoveryReport& report);

// Runs recoverRecordings on a WorkerThread. finished() is emitted from that thread, so receivers
// in other threads get it queued. The destructor stops a running ffmpeg and waits for the worker
// up to StopWaitMs.
class RecordingRecovery : public QObject
{
    Q_OBJECT
  public:
    // ffmpeg's graceful end and its kill, and the step of a repair that is running meanwhile.
    static constexpr int StopWaitMs =
        platform::ChildProcess::StopGraceMs + platform::ChildProcess::KillWaitMs + 3000;

    // tools: where ffmpeg is, read when a pass starts; must outlive this object. Null: the
    // default programs.
    explicit RecordingRecovery(const platform::ExternalTools* tools = nullptr, QObject* parent = nullptr);
    ~RecordingRecovery() override;

    void setTools(const platform::ExternalTools* tools) { m_tools = tools; }
    // Starts a pass; false (nothing started) while one is still running.
    bool start(const QString& folder, const QStringList& candidates, const QStringList& skip = {});
    // A pass has started and not yet reported.
    bool isRunning() const { return m_running; }

  Q_SIGNALS:
    void finished(const tolvek::RecoveryReport& report);

  private:
    const platform::ExternalTools* m_tools;
    std::atomic<bool> m_running{false}; // cleared by the pass (holding its run) before it reports
    platform::WorkerThread m_worker;    // last: stopped before the members above go
};

} // namespace tolvek
