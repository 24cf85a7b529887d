#include "core/manage/VideoFiles.h"

#include "core/capture/CaptureThread.h"
#include "core/platform/Trash.h"
#include "core/settings/VideoFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>

namespace tolvek {

QString replaceVideoId(const QString& name, int id)
{
    return formatPatientId(id) + name.mid(8);
}

QString referenceFileName(const QString& name)
{
    return replaceVideoId(name, ReferenceId);
}

DeleteResult deleteVideoFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return DeleteResult::NotFound;
    return platform::moveToTrash(path) ? DeleteResult::Deleted : DeleteResult::Failed;
}

QString deleteFailureMessage(DeleteResult result, const QString& path)
{
    switch (result) {
    case DeleteResult::NotFound:
        return QStringLiteral("%1 can't be found.").arg(path);
    case DeleteResult::Failed:
        return QStringLiteral("%1 can't be deleted.").arg(path);
    case DeleteResult::Deleted:
        break;
    }
    return {};
}

CopyResult copyVideoFile(const QString& source, const QString& target)
{
    if (QFileInfo::exists(target))
        return CopyResult::TargetExists;
    if (!QFileInfo(source).isFile())
        return CopyResult::SourceMissing;
    // QFile::copy writes a temporary file and renames it, so a failed copy leaves nothing behind.
    return QFile::copy(source, target) ? CopyResult::Copied : CopyResult::Failed;
}

ReIdResult reburnVideoId(const QString& source, const QString& target, int newId, double fallbackFps,
                         ReIdProgress& progress)
{
    progress.framesDone = 0;
    progress.framesTotal = 0;
    if (QFileInfo::exists(target))
        return ReIdResult::TargetExists;

    cv::VideoCapture reader(source.toStdString(), cv::CAP_FFMPEG);
    if (!reader.isOpened())
        return ReIdResult::SourceUnreadable;
    const double count = reader.get(cv::CAP_PROP_FRAME_COUNT);
    progress.framesTotal = std::isfinite(count) && count > 0 ? int(std::lround(count)) : 0;
    cv::Mat frame;
    if (!reader.read(frame) || frame.empty())
        return ReIdResult::SourceUnreadable;

    // The source's own size and rate keep every frame writable and the duration unchanged, even
    // when the configured capture size or rate changed since it was recorded.
    const cv::Size size = frame.size();
    double fps = reader.get(cv::CAP_PROP_FPS);
    if (!std::isfinite(fps) || fps <= 0 || fps > 1000)
        fps = fallbackFps > 0 ? fallbackFps : 30.0;

    // A leading dot and no leading digits: a library scan never lists a half-written file.
    const QFileInfo targetInfo(target);
    const QString working = targetInfo.dir().filePath(QStringLiteral(".reid-") + targetInfo.fileName());
    QFile::remove(working);
    cv::VideoWriter writer(working.toStdString(), cv::CAP_FFMPEG, cv::VideoWriter::fourcc('W', 'M', 'V', '2'), fps, size, true);
    if (!writer.isOpened()) {
        QFile::remove(working);
        return ReIdResult::TargetUnwritable;
    }

    bool cancelled = false;
    cv::Mat sized;
    do {
        if (progress.cancelRequested) {
            cancelled = true;
            break;
        }
        if (frame.channels() == 1)
            cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
        cv::Mat& out = frame.size() == size ? frame : (cv::resize(frame, sized, size), sized);
        stampIdLabel(out, newId);
        writer.write(out);
        ++progress.framesDone;
    } while (reader.read(frame) && !frame.empty());
    writer.release();
    reader.release();

    if (cancelled) {
        QFile::remove(working);
        return ReIdResult::Cancelled;
    }
    if (QFileInfo(working).size() <= 0) {
        QFile::remove(working);
        return ReIdResult::TargetUnwritable;
    }
    // rename refuses an existing target, so a file that appeared meanwhile is never replaced.
    if (!QFile::rename(working, target)) {
        QFile::remove(working);
        return QFileInfo::exists(target) ? ReIdResult::TargetExists : ReIdResult::TargetUnwritable;
    }
    return ReIdResult::Done;
}

} // namespace tolvek
