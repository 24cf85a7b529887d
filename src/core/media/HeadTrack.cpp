#include "core/media/HeadTrack.h"

#include "core/platform/DurableFiles.h"
#include "core/platform/Trash.h"
#include "core/platform/WorkerThread.h"
#include "core/settings/VideoFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace tolvek::media {

namespace {

constexpr int ColumnCount = 8;

QString systemReason(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray number(float value)
{
    // The shortest text that reads back as the very same float ("0.9", not "0.899999976").
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return QByteArray(text, qsizetype(end.ptr - text));
}

// The whole field as the nearest float; the shortest text of the largest float reads back too.
bool parseFloat(const QByteArray& text, float& value)
{
    const char* end = text.constData() + text.size();
    const std::from_chars_result read = std::from_chars(text.constData(), end, value);
    return read.ec == std::errc() && read.ptr == end && !text.isEmpty() && std::isfinite(value);
}

bool parseSource(const QByteArray& text, HeadSource& source)
{
    for (HeadSource s : {HeadSource::None, HeadSource::Serial, HeadSource::Phone, HeadSource::Keypad}) {
        if (text == headSourceName(s)) {
            source = s;
            return true;
        }
    }
    return false;
}

bool parseRow(const QByteArray& line, HeadTrackRow& row)
{
    const QList<QByteArray> fields = line.split(',');
    if (fields.size() != ColumnCount)
        return false;
    bool ok = false;
    row.frame = fields[0].toLongLong(&ok);
    if (!ok || row.frame < 0)
        return false;
    row.timeSeconds = fields[1].toDouble(&ok);
    if (!ok || !std::isfinite(row.timeSeconds))
        return false;
    float* const parts[] = {&row.sample.w, &row.sample.x, &row.sample.y, &row.sample.z};
    for (int i = 0; i < 4; ++i) {
        if (!parseFloat(fields[2 + i].trimmed(), *parts[i]))
            return false;
    }
    if (!parseSource(fields[6], row.sample.source))
        return false;
    row.sample.preset = 0;
    if (!fields[7].isEmpty()) {
        row.sample.preset = fields[7].toInt(&ok);
        if (!ok || row.sample.preset < 1 || row.sample.preset > 9)
            return false;
    }
    return true;
}

// Writes bytes to a hidden working file beside path, flushes it and renames it to path without
// replacing anything.
HeadTrackCopy writeNew(const QString& path, const QByteArray& bytes, bool replaceExisting = false)
{
    using Status = HeadTrackCopy::Status;
    const QFileInfo info(path);
    if (!replaceExisting && (info.exists() || info.isSymLink()))
        return {Status::TargetExists, QStringLiteral("%1 exists and was kept").arg(path)};
    // A leading dot: never listed, and swept at the next start if this program is cut off.
    platform::WorkingFile working =
        platform::WorkingFile::create(info.dir().filePath(u'.' + info.fileName() + QStringLiteral(".part")));
    if (!working.created())
        return {Status::Failed, QStringLiteral("%1: %2").arg(path, working.error())};
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(working.handle(), data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {Status::Failed, QStringLiteral("%1: %2").arg(path, systemReason(errno))};
        }
        data += n;
        left -= n;
    }
    if (!platform::syncHandleToDisk(working.handle()))
        return {Status::Failed, QStringLiteral("%1: %2").arg(path, systemReason(errno))};
    working.closeHandle();
    if (!working.stillOurs())
        return {Status::Failed, QStringLiteral("%1 was replaced while it was written").arg(working.path())};
    if (replaceExisting) {
        // rename() replaces in one step: the name holds the old file or the new one, never half.
        if (std::rename(QFile::encodeName(working.path()).constData(), QFile::encodeName(path).constData()) !=
            0)
            return {Status::Failed, QStringLiteral("%1: %2").arg(path, systemReason(errno))};
        platform::syncFolderOf(path);
        return {Status::Copied, {}};
    }
    QString error;
    switch (platform::renameNoReplace(working.path(), path, error)) {
    case platform::RenameResult::Renamed:
        platform::syncFolderOf(path);
        return {Status::Copied, {}};
    case platform::RenameResult::TargetExists:
        return {Status::TargetExists, QStringLiteral("%1 appeared meanwhile and was kept").arg(path)};
    case platform::RenameResult::Failed:
        break;
    }
    return {Status::Failed, QStringLiteral("%1: %2").arg(path, error)};
}

QString damagedText(const QString& path, const HeadTrackRead& read)
{
    return QStringLiteral("%1: %2").arg(path, read.problem);
}

} // namespace

const char* headSourceName(HeadSource source)
{
    switch (source) {
    case HeadSource::Serial:
        return "serial";
    case HeadSource::Phone:
        return "phone";
    case HeadSource::Keypad:
        return "keypad";
    case HeadSource::None:
        break;
    }
    return "none";
}

QString headTrackPath(const QString& videoPath)
{
    const QFileInfo info(videoPath);
    return makeSavePath(info.path(), headDataFileName(info.fileName()));
}

QByteArray formatHeadTrackRow(const HeadTrackRow& row)
{
    QByteArray line;
    line.reserve(64);
    line += QByteArray::number(qlonglong(row.frame));
    line += ',';
    line += QByteArray::number(row.timeSeconds, 'f', 3);
    for (float part : {row.sample.w, row.sample.x, row.sample.y, row.sample.z}) {
        line += ',';
        line += number(part);
    }
    line += ',';
    line += headSourceName(row.sample.source);
    line += ',';
    if (row.sample.preset >= 1 && row.sample.preset <= 9)
        line += QByteArray::number(row.sample.preset);
    line += '\n';
    return line;
}

QByteArray formatHeadTrack(const std::vector<HeadTrackRow>& rows)
{
    QByteArray bytes = QByteArray(HeadTrackHeader) + '\n';
    for (const HeadTrackRow& row : rows)
        bytes += formatHeadTrackRow(row);
    return bytes;
}

HeadTrackRead parseHeadTrack(const QByteArray& bytes)
{
    HeadTrackRead read;
    read.status = HeadTrackRead::Status::Ok;
    QList<QByteArray> lines = bytes.split('\n');
    // What follows the last line end: nothing in a whole file, a cut row after a crash.
    const QByteArray tail = lines.takeLast();
    if (lines.isEmpty()) {
        read.status = HeadTrackRead::Status::Damaged;
        read.problem = QStringLiteral("no head data in it");
        return read;
    }
    if (lines.first().trimmed() != HeadTrackHeader) {
        read.status = HeadTrackRead::Status::Damaged;
        read.problem = QStringLiteral("not head data");
        return read;
    }
    for (qsizetype i = 1; i < lines.size(); ++i) {
        HeadTrackRow row;
        if (parseRow(lines[i].trimmed(), row))
            read.rows.push_back(row);
        else
            ++read.badRows;
    }
    read.cutShort = !tail.trimmed().isEmpty();
    if (read.badRows > 0) {
        read.status = HeadTrackRead::Status::Damaged;
        read.problem = QStringLiteral("%1 rows cannot be read").arg(read.badRows);
    }
    return read;
}

HeadTrackRead readHeadTrack(const QString& videoPath)
{
    const QString path = headTrackPath(videoPath);
    HeadTrackRead read;
    if (!QFileInfo::exists(path))
        return read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.status = HeadTrackRead::Status::Damaged;
        read.problem = QStringLiteral("cannot be read (%1)").arg(file.errorString());
        return read;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        read.status = HeadTrackRead::Status::Damaged;
        read.problem = QStringLiteral("cannot be read (%1)").arg(file.errorString());
        return read;
    }
    return parseHeadTrack(bytes);
}

std::vector<HeadTrackRow> headTrackRange(const std::vector<HeadTrackRow>& rows, std::int64_t first,
                                         std::int64_t count)
{
    std::vector<HeadTrackRow> kept;
    const HeadTrackRow* start = nullptr;
    for (const HeadTrackRow& row : rows) {
        if (row.frame < first || row.frame - first >= count)
            continue;
        kept.push_back(row);
        if (!start || row.frame < start->frame)
            start = &row;
    }
    if (!start)
        return kept;
    // The time of frame `first`: its own row's, or, when that row is missing, the earliest kept
    // row's scaled back along the steady frame rate every recording has.
    double origin = start->timeSeconds;
    if (start->frame > first && start->frame > 0)
        origin = start->timeSeconds * double(first) / double(start->frame);
    for (HeadTrackRow& row : kept) {
        row.frame -= first;
        row.timeSeconds = std::max(0.0, row.timeSeconds - origin);
    }
    return kept;
}

HeadTrackCopy copyHeadTrack(const QString& sourceVideo, const QString& targetVideo, bool replaceExisting)
{
    const QString source = headTrackPath(sourceVideo);
    if (!QFileInfo::exists(source))
        return {HeadTrackCopy::Status::NoSource, {}};
    if (platform::isSameFile(source, headTrackPath(targetVideo)))
        return {HeadTrackCopy::Status::Copied, {}};
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {HeadTrackCopy::Status::Failed, QStringLiteral("%1: %2").arg(source, in.errorString())};
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return {HeadTrackCopy::Status::Failed, QStringLiteral("%1: %2").arg(source, in.errorString())};
    HeadTrackCopy copy = writeNew(headTrackPath(targetVideo), bytes, replaceExisting);
    // Copied as it is; a reader of the copy meets the same damage.
    if (copy.status == HeadTrackCopy::Status::Copied) {
        const HeadTrackRead read = parseHeadTrack(bytes);
        if (read.status == HeadTrackRead::Status::Damaged)
            copy.problem = damagedText(source, read);
    }
    return copy;
}

HeadTrackCopy copyHeadTrackRange(const QString& sourceVideo, const QString& targetVideo, std::int64_t first,
                                 std::int64_t count)
{
    const QString source = headTrackPath(sourceVideo);
    const HeadTrackRead read = readHeadTrack(sourceVideo);
    if (read.status == HeadTrackRead::Status::Missing)
        return {HeadTrackCopy::Status::NoSource, {}};
    if (read.status == HeadTrackRead::Status::Damaged && read.rows.empty())
        return {HeadTrackCopy::Status::Failed, damagedText(source, read)};
    HeadTrackCopy copy =
        writeNew(headTrackPath(targetVideo), formatHeadTrack(headTrackRange(read.rows, first, count)));
    if (copy.status == HeadTrackCopy::Status::Copied && read.status == HeadTrackRead::Status::Damaged)
        copy.problem = damagedText(source, read);
    return copy;
}

bool trashHeadTrack(const QString& videoPath, QString* error)
{
    const QString path = headTrackPath(videoPath);
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    const platform::TrashResult trashed = platform::moveToTrash(path);
    if (!trashed && error)
        *error = trashed.error;
    return bool(trashed);
}

bool removeHeadTrack(const QString& videoPath)
{
    const QString path = headTrackPath(videoPath);
    return (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) || QFile::remove(path);
}

// ---- HeadTrackWriter ---------------------------------------------------------------------------

// What the writer shares with its flushing thread; shared so that a thread given up on never
// reaches freed memory. The descriptor is the thread's alone while it runs.
struct HeadTrackWriter::Shared
{
    int fd = -1;
    std::mutex lock;
    std::condition_variable wake;
    QByteArray pending;    // guarded by lock
    bool stopping = false; // guarded by lock
    std::atomic<int> failedErrno{0};

    ~Shared()
    {
        if (fd >= 0)
            ::close(fd);
    }

    // Writes what is pending and flushes it to the disk; after the first failure nothing more.
    void flush()
    {
        QByteArray bytes;
        {
            std::lock_guard held(lock);
            bytes.swap(pending);
        }
        if (bytes.isEmpty() || failedErrno != 0)
            return;
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, data, size_t(left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                failedErrno = errno;
                return;
            }
            data += n;
            left -= n;
        }
        if (!platform::syncDataToDisk(fd))
            failedErrno = errno ? errno : EIO;
    }

    static void run(Shared& s)
    {
        std::unique_lock held(s.lock);
        while (!s.stopping) {
            s.wake.wait_for(held, std::chrono::seconds(1));
            held.unlock();
            s.flush();
            held.lock();
        }
        held.unlock();
        s.flush(); // what was appended up to the close
    }
};

HeadTrackWriter::HeadTrackWriter() = default;

HeadTrackWriter::~HeadTrackWriter()
{
    close();
}

bool HeadTrackWriter::open(const QString& path)
{
    close();
    m_path = path;
    m_shared = std::make_shared<Shared>();
    m_shared->fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_shared->fd < 0) {
        m_shared->failedErrno = errno;
        return false;
    }
    // The header goes out at once, so that even a recording cut off in its first second leaves
    // a file that reads as head data.
    const QByteArray header = QByteArray(HeadTrackHeader) + '\n';
    if (::write(m_shared->fd, header.constData(), size_t(header.size())) != header.size()) {
        m_shared->failedErrno = errno ? errno : ENOSPC;
        ::close(std::exchange(m_shared->fd, -1));
        ::unlink(QFile::encodeName(path).constData()); // created here a moment ago
        return false;
    }
    m_flusher = std::make_unique<platform::WorkerThread>(QStringLiteral("HeadTrackFlush"),
                                                         std::chrono::milliseconds(CloseWaitMs));
    // Without a thread everything is written by close().
    if (!m_flusher->start([shared = m_shared](platform::WorkerRun&) { Shared::run(*shared); }))
        m_flusher.reset();
    m_open = true;
    return true;
}

void HeadTrackWriter::append(const HeadTrackRow& row)
{
    if (!m_open || m_shared->failedErrno != 0)
        return;
    const QByteArray line = formatHeadTrackRow(row);
    std::lock_guard held(m_shared->lock);
    m_shared->pending += line;
}

bool HeadTrackWriter::close()
{
    if (!m_open)
        return true;
    m_open = false;
    if (m_flusher) {
        {
            std::lock_guard held(m_shared->lock);
            m_shared->stopping = true;
        }
        m_shared->wake.notify_all();
        if (!m_flusher->wait(std::chrono::milliseconds(CloseWaitMs))) {
            // A disk that does not answer: the thread finishes (and closes the file) by itself.
            m_flusher->abandon();
            m_flusher.reset();
            if (m_shared->failedErrno == 0)
                m_shared->failedErrno = ETIMEDOUT;
            return false;
        }
        m_flusher.reset();
    } else {
        m_shared->flush();
    }
    const int fd = std::exchange(m_shared->fd, -1);
    if (::close(fd) != 0 && m_shared->failedErrno == 0)
        m_shared->failedErrno = errno;
    return m_shared->failedErrno == 0;
}

bool HeadTrackWriter::failed() const
{
    return m_shared && m_shared->failedErrno != 0;
}

QString HeadTrackWriter::error() const
{
    if (!failed())
        return {};
    return QStringLiteral("%1: %2").arg(m_path, systemReason(m_shared->failedErrno));
}

} // namespace tolvek::media
