#include "core/library/RecordingRecovery.h"

#include "core/i18n/UiTexts.h"
#include "core/media/AsfHeader.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/platform/DurableFiles.h"
#include "core/platform/Trash.h"
#include "core/settings/VideoFileName.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <limits>

extern "C" {
#include <libavformat/avformat.h>
}

namespace tolvek {

namespace {

// Offsets within the File Properties object and the Data object.
constexpr qsizetype PacketCountField = 56;
constexpr qsizetype MinPacketSizeField = 92;
constexpr qsizetype MaxPacketSizeField = 96;
constexpr qint64 DataObjectPrefixSize = 50;

// How long ffmpeg may take per mebibyte of input, plus a fixed allowance. A stream copy runs far
// faster; the bound only ends a hung process.
constexpr int FfmpegMsPerMiB = 2000;
constexpr int FfmpegBaseMs = 30000;

// Runs ffmpeg with `args` until it ends, the bound passes or a stop is asked for; true on exit
// code 0 without a stop.
bool runFfmpeg(const QString& program, const QStringList& args, qint64 inputBytes, std::stop_token stop)
{
    const qint64 boundMs = FfmpegBaseMs + FfmpegMsPerMiB * (inputBytes >> 20);
    const platform::ChildOutcome ffmpeg = platform::runChildProcess(
        program, args, stop, int(std::min<qint64>(boundMs, std::numeric_limits<int>::max())));
    return ffmpeg.succeeded() && !ffmpeg.stopped;
}

// The packets of all streams the demuxer reads from `url` before the end or the first error; -1
// when it does not open. Counts without decoding, so a long recording is counted quickly.
qint64 countReadablePackets(const QString& url)
{
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, url.toUtf8().constData(), nullptr, nullptr) < 0)
        return -1;
    qint64 packets = 0;
    AVPacket* packet = av_packet_alloc();
    while (packet && av_read_frame(context, packet) >= 0) {
        ++packets;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    return packets;
}

} // namespace

RecordingInspection inspectRecording(const QString& path)
{
    RecordingInspection r;
    QFile f(path);
    if (!QFileInfo(path).isFile() || !f.open(QIODevice::ReadOnly))
        return r;
    r.fileSize = f.size();
    if (r.fileSize == 0) {
        r.state = RecordingState::Empty;
        return r;
    }
    QByteArray header;
    if (readAsfHeader(f, header) != AsfLoad::Ok)
        return r;
    const auto props = findAsfFileProperties(header, listAsfObjects(header));
    char dataGuid[AsfGuidSize];
    if (!props || !f.seek(header.size()) || f.read(dataGuid, AsfGuidSize) != AsfGuidSize ||
        !isAsfGuid(dataGuid, AsfGuid::Data))
        return r;

    const char* p = header.constData() + props->offset;
    const quint64 packets = readLe64(p + PacketCountField);
    if (props->fileSize != 0 && packets != 0) {
        r.state = RecordingState::Finished;
        r.completeEnd = r.fileSize;
        return r;
    }
    const qint64 dataStart = header.size() + DataObjectPrefixSize;
    const quint32 minPacket = readLe32(p + MinPacketSizeField);
    const quint32 maxPacket = readLe32(p + MaxPacketSizeField);
    if (minPacket == maxPacket && minPacket > 0) {
        // Fixed-size packets: everything up to the last whole one is usable.
        const qint64 whole = std::max<qint64>(0, r.fileSize - dataStart) / minPacket;
        r.completeEnd = dataStart + whole * minPacket;
        r.state = whole > 0 ? RecordingState::Unfinished : RecordingState::Empty;
    } else {
        r.completeEnd = r.fileSize;
        r.state = r.fileSize > dataStart ? RecordingState::Unfinished : RecordingState::Empty;
    }
    return r;
}

QString repairTempPath(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".repair");
}

RepairResult repairRecording(const QString& path, const QString& ffmpeg, std::stop_token stop)
{
    const RecordingInspection before = inspectRecording(path);
    switch (before.state) {
    case RecordingState::Finished:
        return RepairResult::NotNeeded;
    case RecordingState::Empty:
        return RepairResult::NothingToKeep;
    case RecordingState::Unreadable:
        return RepairResult::NotReadable;
    case RecordingState::Unfinished:
        break;
    }

    VideoHeaderReader reader;
    const VideoHeaderInfo tags = reader.readDurationAndTitle(path);

    const QString absolute = QFileInfo(path).absoluteFilePath();
    // Created new before ffmpeg opens it (-y): a leftover of a repair that was itself cut off is
    // replaced, a link planted at the name is never written through.
    platform::WorkingFile working = platform::WorkingFile::create(repairTempPath(absolute));
    if (!working.created())
        return RepairResult::Failed;
    const QString temp = working.path();
    // Only whole packets go in: a packet cut by the crash would give a damaged last frame. The
    // "file:" prefix keeps any character of the path from being read as a protocol or option.
    QString input = QStringLiteral("file:") + absolute;
    if (before.completeEnd < before.fileSize)
        input = QStringLiteral("subfile,,start,0,end,%1,,:").arg(before.completeEnd) + input;
    // No -nostdin: a stop reaches ffmpeg as "q" on its input.
    const QStringList args{QStringLiteral("-hide_banner"),
                           QStringLiteral("-loglevel"),
                           QStringLiteral("error"),
                           QStringLiteral("-y"),
                           QStringLiteral("-i"),
                           input,
                           QStringLiteral("-c"),
                           QStringLiteral("copy"),
                           QStringLiteral("-map_metadata"),
                           QStringLiteral("0"),
                           QStringLiteral("-f"),
                           QStringLiteral("asf"),
                           QStringLiteral("file:") + temp};
    // What the repair must keep: every packet that can be read from the whole packets of the
    // original, counted from the same bytes that ffmpeg is given.
    const qint64 readable = countReadablePackets(input);
    if (readable <= 0)
        return RepairResult::Failed;
    if (!runFfmpeg(ffmpeg, args, before.completeEnd, stop))
        return RepairResult::Failed;
    // ffmpeg opened the name itself: only the file created above is worked on.
    if (!working.stillOurs())
        return RepairResult::Failed;
    if (inspectRecording(temp).state != RecordingState::Finished)
        return RepairResult::Failed;

    // Keep the memo and give the file the product mark the recorder adds when it closes a file.
    const TagWriteResult tagged = tags.result == VideoHeaderInfo::Result::Memo
                                      ? writeVideoTags(temp, tags.memo)
                                      : writeCopyrightTag(temp);
    // The tag write replaced the working file by a copy of its own.
    if (tagged != TagWriteResult::Written || !working.acceptReplacement())
        return RepairResult::Failed;
    // A finished-looking header proves nothing: the repaired file must read back every packet the
    // original could give, or the original stays as it is.
    if (countReadablePackets(QStringLiteral("file:") + temp) < readable)
        return RepairResult::Failed;

    // A file that changed meanwhile is still being written by someone: leave it to them.
    if (QFileInfo(absolute).size() != before.fileSize)
        return RepairResult::Busy;
    QFile::setPermissions(temp, QFile::permissions(absolute));
    if (!platform::syncFileToDisk(temp))
        return RepairResult::Failed;
    // The original is kept, in the trash, until the repaired file holds its name; if the trash
    // refuses it, nothing changes.
    const platform::TrashResult trashed = platform::moveToTrash(absolute);
    if (!trashed)
        return RepairResult::Failed;
    QString error;
    if (platform::renameNoReplace(temp, absolute, error) != platform::RenameResult::Renamed) {
        // Put the original back where it was.
        platform::renameNoReplace(trashed.trashedPath, absolute, error);
        return RepairResult::Failed;
    }
    platform::syncFolderOf(absolute);
    return RepairResult::Repaired;
}

RecoveryReport recoverRecordings(const QString& folder, const QStringList& candidates,
                                 const QStringList& skip, const QString& ffmpeg, std::stop_token stop)
{
    RecoveryReport report;
    for (const QString& name : candidates) {
        if (stop.stop_requested())
            break;
        if (skip.contains(name, Qt::CaseInsensitive))
            continue;
        switch (repairRecording(makeSavePath(folder, name), ffmpeg, stop)) {
        case RepairResult::Repaired:
            report.repaired << name;
            break;
        case RepairResult::NothingToKeep:
            report.emptyFiles << name;
            break;
        case RepairResult::Failed:
            report.failed << name;
            break;
        case RepairResult::NotNeeded:
        case RepairResult::NotReadable:
        case RepairResult::Busy:
            break;
        }
    }
    return report;
}

QString recoveryMessage(const RecoveryReport& report)
{
    QStringList parts;
    if (!report.repaired.isEmpty())
        parts << uiText(TxtRecoveryRepaired)
                     .arg(report.repaired.size())
                     .arg(report.repaired.join(QStringLiteral("\r\n")));
    if (!report.failed.isEmpty())
        parts << uiText(TxtRecoveryFailed)
                     .arg(report.failed.size())
                     .arg(report.failed.join(QStringLiteral("\r\n")));
    if (!report.emptyFiles.isEmpty())
        parts << uiText(TxtRecoveryEmpty)
                     .arg(report.emptyFiles.size())
                     .arg(report.emptyFiles.join(QStringLiteral("\r\n")));
    return parts.join(QStringLiteral("\r\n\r\n"));
}

RecordingRecovery::RecordingRecovery(const platform::ExternalTools* tools, QObject* parent)
    : QObject(parent), m_tools(tools),
      m_worker(QStringLiteral("RecordingRecovery"), std::chrono::milliseconds(StopWaitMs))
{
}

RecordingRecovery::~RecordingRecovery() = default;

bool RecordingRecovery::start(const QString& folder, const QStringList& candidates, const QStringList& skip)
{
    if (m_running)
        return false;
    // The previous pass has reported and is ending.
    if (!m_worker.wait(std::chrono::milliseconds(StopWaitMs)))
        return false;
    const QString ffmpeg = m_tools ? m_tools->ffmpeg() : platform::ExternalTools().ffmpeg();
    m_running = true;
    const bool started = m_worker.start([this, folder, candidates, skip, ffmpeg](platform::WorkerRun& run) {
        const RecoveryReport report = recoverRecordings(folder, candidates, skip, ffmpeg, run.stopToken());
        const std::lock_guard owned(run);
        if (run.abandoned())
            return;
        m_running = false;
        if (!run.stopRequested())
            Q_EMIT finished(report);
    });
    if (!started)
        m_running = false;
    return started;
}

} // namespace tolvek
