#pragma once
// Repairs recordings cut off by a crash or power cut: their WMV header still holds the writer's
// placeholders (file size 0, packet count 0), so players see no length. The complete data packets
// are stream-copied by the ffmpeg program into a hidden file beside the original. Only when that file
// reads back at least every packet the original could give does the original go to the trash and
// the repaired file take its name; otherwise the original stays untouched.
// The free functions are thread-safe for different files; RecordingRecovery runs them on its own
// worker thread and reports once through a signal. Failures are reported, never thrown.

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

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
// PATH, or a full path). Blocks until ffmpeg ends; `cancel`, when set, stops it early (Failed).
RepairResult repairRecording(const QString& path, const QString& ffmpeg = QStringLiteral("ffmpeg"),
                             const std::atomic<bool>* cancel = nullptr);

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
                                 const QString& ffmpeg = QStringLiteral("ffmpeg"),
                                 const std::atomic<bool>* cancel = nullptr);

// The text telling the user what was repaired and what was found; empty when nothing was.
QString recoveryMessage(const RecoveryReport& report);

// Runs recoverRecordings on a worker thread. finished() is emitted from that thread, so receivers
// in other threads get it queued. The destructor stops a running ffmpeg and waits for the worker.
class RecordingRecovery : public QObject
{
    Q_OBJECT
  public:
    explicit RecordingRecovery(QObject* parent = nullptr);
    ~RecordingRecovery() override;

    void setFfmpegProgram(const QString& program) { m_ffmpeg = program; }
    // Starts a pass; false (nothing started) while one is still running.
    bool start(const QString& folder, const QStringList& candidates, const QStringList& skip = {});
    bool isRunning() const { return m_running; }

  Q_SIGNALS:
    void finished(const tolvek::RecoveryReport& report);

  private:
    QString m_ffmpeg = QStringLiteral("ffmpeg");
    std::thread m_worker;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
};

} // namespace tolvek
