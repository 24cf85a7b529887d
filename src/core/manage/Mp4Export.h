#pragma once
// Export of a recorded WMV video to MP4 by the external ffmpeg program, run as a process with an
// argument list (no shell). ffmpeg writes to a working file beside the target, created new for it,
// which is renamed to the target only after a clean exit, so a failed or cancelled export leaves
// nothing under the target name. The video's head data is copied beside the MP4, named after it.
// Mp4ExportWorker runs one export on a WorkerThread and reports through a queued call.

#include "core/platform/ChildProcess.h"
#include "core/platform/ExternalTools.h"
#include "core/platform/WorkerThread.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <stop_token>

namespace tolvek {

// A name that may be exported: it contains ".wmv" or ".WMV".
bool isExportableVideoName(const QString& name);
// The proposed MP4 name: every ".wmv" and ".WMV" replaced by ".mp4".
QString proposedMp4Name(const QString& name);
// "YYYY-MM-DDThh:mm:ss" from the 14 timestamp digits after the 8-digit ID of the file-name part of
// sourcePath; empty when the name has no such digits.
QString mp4CreationTime(const QString& sourcePath);
// The hidden working file an export to targetPath is written to before it takes its name: beside
// the target, ending in ".mp4" (ffmpeg picks the container from it).
QString mp4WorkingPath(const QString& targetPath);
// Why targetPath must not receive an export of sourcePath, as a message for the user; empty when
// it may. Refused: the source itself under any name (same device and inode), and a name in the
// save folder that would be taken for a recorded video.
QString exportTargetProblem(const QString& sourcePath, const QString& targetPath, const QString& saveFolder);
// The ffmpeg arguments (without the program) that convert sourcePath into outputPath. Without a
// creation time the creation_time pair is left out rather than passed empty.
QStringList ffmpegExportArguments(const QString& sourcePath, const QString& outputPath);

struct Mp4ExportJob
{
    QString sourcePath; // full path of the WMV video
    QString targetPath; // full path of the MP4 chosen by the user
    QString program = platform::ExternalTools().ffmpeg();
    // The user agreed to replace an existing target. Without it a file found under the target name
    // when the export is done is kept and the export fails.
    bool replaceExisting = false;
};

enum class Mp4ExportStatus {
    Completed,   // the target holds the converted video
    StartFailed, // ffmpeg could not be started (missing or not executable)
    Failed,      // ffmpeg failed, or the working file could not be created or renamed
    Cancelled,   // stopped on request; nothing written
};

struct Mp4ExportResult
{
    Mp4ExportStatus status = Mp4ExportStatus::Failed;
    QString targetPath;
    QString detail; // for failures: the reason, e.g. the tail of ffmpeg's error output
    // Completed only: why the video's head data is not beside the MP4 although the video has some.
    QString headDataProblem;
};

// Runs the export in the calling thread, which waits for ffmpeg in an event loop of its own (it
// needs a QCoreApplication). A stop through `stop` ends ffmpeg gracefully (ChildProcess::stop) and
// cancels the export. On every outcome but Completed the working file is removed and an existing
// target is left as it was. A target that is the source itself is refused (Failed).
Mp4ExportResult runMp4Export(const Mp4ExportJob& job, std::stop_token stop = {});

// One export on a WorkerThread. finished() is emitted once, in the thread that owns the worker.
// Destroying the worker while it runs cancels the export and waits for it up to StopWaitMs.
class Mp4ExportWorker : public QObject
{
    Q_OBJECT
  public:
    // ffmpeg's graceful end, its kill, and the removal of the working file.
    static constexpr int StopWaitMs =
        platform::ChildProcess::StopGraceMs + platform::ChildProcess::KillWaitMs + 1000;

    explicit Mp4ExportWorker(Mp4ExportJob job, QObject* parent = nullptr);
    ~Mp4ExportWorker() override;

    void start(); // once
    const Mp4ExportJob& job() const { return m_job; }

  Q_SIGNALS:
    void finished(const tolvek::Mp4ExportResult& result);

  private:
    Mp4ExportJob m_job;
    bool m_started = false;
    platform::WorkerThread m_thread; // last: stopped before the members above go
};

} // namespace tolvek
