#include "core/manage/Mp4Export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QRandomGenerator>

#include <filesystem>
#include <mutex>
#include <system_error>

namespace tolvek {

namespace {

std::mutex& programLock()
{
    static std::mutex lock;
    return lock;
}

QString& programValue()
{
    static QString program = QString::fromLatin1(DefaultFfmpegProgram);
    return program;
}

QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut >= 0 ? path.mid(cut + 1) : path;
}

// Keeps only the end of ffmpeg's error output: the last lines name the cause.
constexpr qsizetype ErrorTailLength = 1000;

void appendTail(QByteArray& tail, const QByteArray& more)
{
    tail += more;
    if (tail.size() > ErrorTailLength)
        tail = tail.right(ErrorTailLength);
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

// A new, empty file beside target whose name ends in ".mp4" (ffmpeg picks the container from it).
// The leading dot keeps it out of ordinary folder views while it grows.
QString createTemporaryBeside(const QString& target, QString* error)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString name = QStringLiteral(".%1.%2.part.mp4")
                                 .arg(info.fileName())
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString path = info.dir().filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (file.exists())
            continue;
        *error = QStringLiteral("%1: %2").arg(info.absolutePath(), file.errorString());
        return {};
    }
    *error = QStringLiteral("%1: no free temporary name").arg(info.absolutePath());
    return {};
}

Mp4ExportResult outcome(Mp4ExportStatus status, const QString& target, const QString& detail = {})
{
    return Mp4ExportResult{status, target, detail};
}

} // namespace

QString ffmpegProgram()
{
    std::lock_guard<std::mutex> hold(programLock());
    return programValue();
}

void setFfmpegProgram(const QString& program)
{
    std::lock_guard<std::mutex> hold(programLock());
    programValue() = program.isEmpty() ? QString::fromLatin1(DefaultFfmpegProgram) : program;
}

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

Mp4ExportResult runMp4Export(const Mp4ExportJob& job, const std::atomic<bool>* cancel)
{
    if (cancel && cancel->load())
        return outcome(Mp4ExportStatus::Cancelled, job.targetPath);
    QString error;
    const QString temporary = createTemporaryBeside(job.targetPath, &error);
    if (temporary.isEmpty())
        return outcome(Mp4ExportStatus::Failed, job.targetPath, error);

    QProcess ffmpeg;
    ffmpeg.setProgram(job.program);
    ffmpeg.setArguments(ffmpegExportArguments(job.sourcePath, temporary));
    // ffmpeg reads keys from its input; an empty input keeps it from waiting on an open pipe.
    ffmpeg.setStandardInputFile(QProcess::nullDevice());
    ffmpeg.setStandardOutputFile(QProcess::nullDevice());
    ffmpeg.start();
    if (!ffmpeg.waitForStarted(-1)) {
        QFile::remove(temporary);
        return outcome(Mp4ExportStatus::StartFailed, job.targetPath, ffmpeg.errorString());
    }

    QByteArray errorTail;
    while (!ffmpeg.waitForFinished(100)) {
        appendTail(errorTail, ffmpeg.readAllStandardError());
        if (cancel && cancel->load()) {
            ffmpeg.kill();
            ffmpeg.waitForFinished(-1);
            QFile::remove(temporary);
            return outcome(Mp4ExportStatus::Cancelled, job.targetPath);
        }
        if (ffmpeg.state() == QProcess::NotRunning)
            break;
    }
    appendTail(errorTail, ffmpeg.readAllStandardError());

    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        QFile::remove(temporary);
        QString detail = lastLine(errorTail);
        if (detail.isEmpty())
            detail = QStringLiteral("ffmpeg exit code %1").arg(ffmpeg.exitCode());
        return outcome(Mp4ExportStatus::Failed, job.targetPath, detail);
    }
    if (cancel && cancel->load()) {
        QFile::remove(temporary);
        return outcome(Mp4ExportStatus::Cancelled, job.targetPath);
    }
    if (QFileInfo(temporary).size() <= 0) {
        QFile::remove(temporary);
        return outcome(Mp4ExportStatus::Failed, job.targetPath, QStringLiteral("ffmpeg wrote no data"));
    }

    // rename() replaces an existing target in one step, so the target is never half written.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(job.targetPath.toStdU16String()), ec);
    if (ec) {
        QFile::remove(temporary);
        return outcome(Mp4ExportStatus::Failed, job.targetPath,
                       QStringLiteral("%1: %2").arg(job.targetPath, QString::fromLocal8Bit(ec.message())));
    }
    return outcome(Mp4ExportStatus::Completed, job.targetPath);
}

Mp4ExportWorker::Mp4ExportWorker(Mp4ExportJob job, QObject* parent) : QObject(parent), m_job(std::move(job)) {}

Mp4ExportWorker::~Mp4ExportWorker()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

void Mp4ExportWorker::start()
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this] {
        const Mp4ExportResult result = runMp4Export(m_job, &m_cancel);
        // Queued into the worker object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(this, [this, result] { Q_EMIT finished(result); }, Qt::QueuedConnection);
    });
}

} // namespace tolvek
