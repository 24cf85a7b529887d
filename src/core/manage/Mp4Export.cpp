#include "core/manage/Mp4Export.h"

#include "core/i18n/UiTexts.h"
#include "core/media/HeadTrack.h"
#include "core/platform/ChildProcess.h"
#include "core/platform/DurableFiles.h"
#include "core/settings/VideoFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace tolvek {

namespace {

QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut >= 0 ? path.mid(cut + 1) : path;
}

QString lastLine(const QByteArray& text)
{
    const QStringList lines = QString::fromLocal8Bit(text).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = lines[i].trimmed();
        if (!line.isEmpty())
            return line;
    }
    return {};
}

Mp4ExportResult outcome(Mp4ExportStatus status, const QString& target, const QString& detail = {})
{
    return Mp4ExportResult{status, target, detail, {}};
}

// The MP4 is in place; the head data follows it. The MP4 is complete without it, so a failure
// is only recorded.
Mp4ExportResult completed(const Mp4ExportJob& job)
{
    Mp4ExportResult result = outcome(Mp4ExportStatus::Completed, job.targetPath);
    result.headDataProblem =
        media::copyHeadTrack(job.sourcePath, job.targetPath, job.replaceExisting).problem;
    if (!result.headDataProblem.isEmpty())
        qWarning("Head data of %s: %s", qPrintable(job.targetPath), qPrintable(result.headDataProblem));
    return result;
}

} // namespace

bool isExportableVideoName(const QString& name)
{
    return name.contains(QLatin1String(".wmv")) || name.contains(QLatin1String(".WMV"));
}

QString proposedMp4Name(const QString& name)
{
    QString proposed = name;
    proposed.replace(QLatin1String(".wmv"), QLatin1String(".mp4"));
    proposed.replace(QLatin1String(".WMV"), QLatin1String(".mp4"));
    return proposed;
}

QString mp4CreationTime(const QString& sourcePath)
{
    const QString name = fileNamePart(sourcePath);
    if (name.size() < 22)
        return {};
    const QString digits = name.mid(8, 14);
    for (QChar c : digits)
        if (c < u'0' || c > u'9')
            return {};
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(digits.mid(0, 4), digits.mid(4, 2), digits.mid(6, 2), digits.mid(8, 2), digits.mid(10, 2),
             digits.mid(12, 2));
}

QStringList ffmpegExportArguments(const QString& sourcePath, const QString& outputPath)
{
    QStringList args{QStringLiteral("-y"),
                     QStringLiteral("-i"),
                     sourcePath,
                     QStringLiteral("-map_metadata"),
                     QStringLiteral("0"),
                     QStringLiteral("-c:v"),
                     QStringLiteral("libx264"),
                     QStringLiteral("-preset"),
                     QStringLiteral("fast"),
                     QStringLiteral("-crf"),
                     QStringLiteral("23"),
                     QStringLiteral("-c:a"),
                     QStringLiteral("aac"),
                     QStringLiteral("-b:a"),
                     QStringLiteral("128k"),
                     QStringLiteral("-metadata"),
                     QStringLiteral("comment=By Tolvek"),
                     QStringLiteral("-metadata"),
                     QStringLiteral("copyright=Tolvek"),
                     QStringLiteral("-metadata:s:v:0"),
                     QStringLiteral("copyright=Tolvek")};
    const QString created = mp4CreationTime(sourcePath);
    if (!created.isEmpty())
        args << QStringLiteral("-metadata") << QStringLiteral("creation_time=%1").arg(created);
    args << outputPath;
    return args;
}

QString mp4WorkingPath(const QString& targetPath)
{
    const QFileInfo info(targetPath);
    return info.dir().filePath(QStringLiteral(".%1.part.mp4").arg(info.fileName()));
}

QString exportTargetProblem(const QString& sourcePath, const QString& targetPath, const QString& saveFolder)
{
    if (platform::isSameFile(sourcePath, targetPath))
        return uiText(TxtExportIsSource).arg(targetPath);
    const QFileInfo target(targetPath);
    const QString name = target.fileName();
    const bool videoName = isVideoFileName(name) || name.endsWith(QLatin1String(".wmv"), Qt::CaseInsensitive);
    if (videoName && platform::isSameFile(target.absolutePath(), saveFolder))
        return uiText(TxtExportLooksRecorded).arg(targetPath);
    return {};
}

Mp4ExportResult runMp4Export(const Mp4ExportJob& job, std::stop_token stop)
{
    if (stop.stop_requested())
        return outcome(Mp4ExportStatus::Cancelled, job.targetPath);
    // Checked here as well as before the job was made: the rename below would put the MP4 in
    // place of the video it was made from.
    if (platform::isSameFile(job.sourcePath, job.targetPath))
        return outcome(Mp4ExportStatus::Failed, job.targetPath, uiText(TxtExportDetailSameFile));
    // Created new before ffmpeg opens it (-y), so a link planted at the name is never written
    // through; a leftover of an export that was cut off is replaced.
    platform::WorkingFile working = platform::WorkingFile::create(mp4WorkingPath(job.targetPath));
    if (!working.created())
        return outcome(Mp4ExportStatus::Failed, job.targetPath, working.error());
    const QString temporary = working.path();

    const platform::ChildOutcome ffmpeg =
        platform::runChildProcess(job.program, ffmpegExportArguments(job.sourcePath, temporary), stop);
    if (ffmpeg.end == platform::ChildOutcome::End::StartFailed)
        return outcome(Mp4ExportStatus::StartFailed, job.targetPath, ffmpeg.error);
    // A stopped ffmpeg finishes its file and may exit cleanly: the export is cancelled all the same.
    if (stop.stop_requested())
        return outcome(Mp4ExportStatus::Cancelled, job.targetPath);
    if (!ffmpeg.succeeded()) {
        QString detail = lastLine(ffmpeg.errorTail);
        if (detail.isEmpty())
            detail = uiText(TxtExportDetailExitCode).arg(ffmpeg.exitCode);
        return outcome(Mp4ExportStatus::Failed, job.targetPath, detail);
    }
    if (!working.stillOurs()) {
        return outcome(Mp4ExportStatus::Failed, job.targetPath,
                       uiText(TxtExportDetailReplaced).arg(temporary));
    }
    if (QFileInfo(temporary).size() <= 0) {
        return outcome(Mp4ExportStatus::Failed, job.targetPath, uiText(TxtExportDetailNoData));
    }
    if (platform::isSameFile(job.sourcePath, job.targetPath)) {
        return outcome(Mp4ExportStatus::Failed, job.targetPath, uiText(TxtExportDetailSameFile));
    }

    platform::syncHandleToDisk(working.handle());
    if (job.replaceExisting) {
        // The user agreed to replace the target: rename() does it in one step, so the target is
        // never half written.
        if (std::rename(QFile::encodeName(temporary).constData(),
                        QFile::encodeName(job.targetPath).constData()) == 0) {
            platform::syncFolderOf(job.targetPath);
            return completed(job);
        }
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        return outcome(Mp4ExportStatus::Failed, job.targetPath,
                       QStringLiteral("%1: %2").arg(job.targetPath, reason));
    }
    // Nobody was asked about replacing a file: one that appeared meanwhile is kept.
    QString error;
    switch (platform::renameNoReplace(temporary, job.targetPath, error)) {
    case platform::RenameResult::Renamed:
        platform::syncFolderOf(job.targetPath);
        return completed(job);
    case platform::RenameResult::TargetExists:
        return outcome(Mp4ExportStatus::Failed, job.targetPath,
                       uiText(TxtExportDetailAppeared).arg(job.targetPath));
    case platform::RenameResult::Failed:
        break;
    }
    return outcome(Mp4ExportStatus::Failed, job.targetPath,
                   QStringLiteral("%1: %2").arg(job.targetPath, error));
}

Mp4ExportWorker::Mp4ExportWorker(Mp4ExportJob job, QObject* parent)
    : QObject(parent), m_job(std::move(job)),
      m_thread(QStringLiteral("Mp4Export"), std::chrono::milliseconds(StopWaitMs))
{
}

Mp4ExportWorker::~Mp4ExportWorker() = default;

void Mp4ExportWorker::start()
{
    if (m_started)
        return;
    m_started = true;
    m_thread.start([this, job = m_job](platform::WorkerRun& run) {
        const Mp4ExportResult result = runMp4Export(job, run.stopToken());
        const std::lock_guard owned(run);
        if (run.abandoned())
            return;
        // Queued into the worker object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(
            this, [this, result] { Q_EMIT finished(result); }, Qt::QueuedConnection);
    });
}

} // namespace tolvek
