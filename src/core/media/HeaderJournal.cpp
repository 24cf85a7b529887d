#include "core/media/HeaderJournal.h"

#include "core/platform/DurableFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvek::media {

namespace {

const QByteArray Magic("TOLVEK-HEADER-JOURNAL-1\n");
const QString JournalSuffix = QStringLiteral(".header-journal");
constexpr qsizetype DigestBytes = 32;
// The largest header the tag writer handles, with room to spare; a longer length in a journal is
// damage.
constexpr quint32 MaxJournalHeader = 16 * 1024 * 1024;

QByteArray digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

void putLe(QByteArray& out, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

quint64 getLe(const QByteArray& in, qsizetype at, int bytes)
{
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= quint64(quint8(in[at + i])) << (8 * i);
    return v;
}

QString reasonOf(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool writeAll(int fd, const QByteArray& bytes, off_t at)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QByteArray readAt(int fd, qsizetype length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(length - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        done += n;
    }
    return bytes;
}

// The video a journal belongs to: ".NAME.header-journal" beside NAME.
QString videoOfJournal(const QString& journalPath)
{
    const QFileInfo info(journalPath);
    const QString name = info.fileName();
    if (!isHeaderJournalName(name))
        return {};
    return info.dir().filePath(name.mid(1, name.size() - 1 - JournalSuffix.size()));
}

struct Journal
{
    quint64 videoSize = 0;
    QByteArray oldDigest;
    QByteArray newHeader;
};

// The journal's contents when it is whole (its checksum holds), else nothing.
std::optional<Journal> readJournal(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(MaxJournalHeader) + 1024)
        return std::nullopt;
    const QByteArray all = f.readAll();
    const qsizetype fixed = Magic.size() + 8 + 4 + 2 * DigestBytes;
    if (all.size() < fixed + DigestBytes || !all.startsWith(Magic))
        return std::nullopt;
    const QByteArray body = all.left(all.size() - DigestBytes);
    if (digest(body) != all.right(DigestBytes))
        return std::nullopt;
    Journal j;
    j.videoSize = getLe(all, Magic.size(), 8);
    const quint32 length = quint32(getLe(all, Magic.size() + 8, 4));
    if (length > MaxJournalHeader || body.size() != fixed + qsizetype(length))
        return std::nullopt;
    j.oldDigest = all.mid(Magic.size() + 12, DigestBytes);
    const QByteArray newDigest = all.mid(Magic.size() + 12 + DigestBytes, DigestBytes);
    j.newHeader = all.mid(fixed, length);
    if (digest(j.newHeader) != newDigest)
        return std::nullopt;
    return j;
}

} // namespace

QString headerJournalPath(const QString& videoPath)
{
    const QFileInfo info(videoPath);
    return info.dir().filePath(u'.' + info.fileName() + JournalSuffix);
}

bool isHeaderJournalName(const QString& fileName)
{
    return fileName.size() > JournalSuffix.size() + 1 && fileName.startsWith(u'.') &&
           fileName.endsWith(JournalSuffix);
}

platform::WorkingFile writeHeaderJournal(const QString& videoPath, qint64 videoSize,
                                         const QByteArray& oldHeader, const QByteArray& newHeader)
{
    QByteArray journal = Magic;
    putLe(journal, quint64(videoSize), 8);
    putLe(journal, quint32(newHeader.size()), 4);
    journal += digest(oldHeader);
    journal += digest(newHeader);
    journal += newHeader;
    journal += digest(journal);
    platform::WorkingFile note = platform::WorkingFile::create(headerJournalPath(videoPath));
    if (!note.created())
        return note;
    if (!writeAll(note.handle(), journal, 0) || !platform::syncHandleToDisk(note.handle()))
        return platform::WorkingFile();
    platform::syncFolderOf(note.path());
    return note;
}

InPlaceResult writeHeaderInPlace(const QString& videoPath, const QByteArray& oldHeader,
                                 const QByteArray& newHeader, QString* error)
{
    auto fail = [error](InPlaceResult r, const QString& why) {
        if (error)
            *error = why;
        return r;
    };
    if (oldHeader.size() != newHeader.size() || oldHeader.isEmpty())
        return fail(InPlaceResult::Failed, QStringLiteral("the new header is not the old one's size"));
    const int video = ::open(QFile::encodeName(videoPath).constData(), O_RDWR | O_CLOEXEC);
    if (video < 0)
        return fail(InPlaceResult::Failed, reasonOf(errno));
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{video};
    struct stat st
    {
    };
    if (::fstat(video, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(InPlaceResult::Failed, QStringLiteral("not a regular file"));
    if (readAt(video, oldHeader.size()) != oldHeader)
        return fail(InPlaceResult::Changed, QStringLiteral("the video changed"));

    // The journal first, whole and on the disk, before the video is touched.
    platform::WorkingFile note = writeHeaderJournal(videoPath, qint64(st.st_size), oldHeader, newHeader);
    if (!note.created())
        return fail(InPlaceResult::Failed, note.error());

    if (!writeAll(video, newHeader, 0) || !platform::syncDataToDisk(video)) {
        // Part of the new header may be in the video: the journal stays for the next start,
        // which finishes the write, and the caller hears of the failure now.
        const int err = errno;
        note.keep();
        return fail(InPlaceResult::Failed, reasonOf(err));
    }
    return InPlaceResult::Written; // the journal goes with `note`
}

bool finishInterruptedHeaderWrite(const QString& journalPath)
{
    const QString videoPath = videoOfJournal(journalPath);
    if (videoPath.isEmpty())
        return false;
    bool written = false;
    if (const std::optional<Journal> j = readJournal(journalPath)) {
        const int video = ::open(QFile::encodeName(videoPath).constData(), O_RDWR | O_CLOEXEC);
        struct stat st
        {
        };
        if (video >= 0 && ::fstat(video, &st) == 0 && S_ISREG(st.st_mode) &&
            quint64(st.st_size) == j->videoSize) {
            const QByteArray now = readAt(video, j->newHeader.size());
            // Old, new, or torn between them by the cut: the new header goes in whole.
            written =
                now == j->newHeader || (writeAll(video, j->newHeader, 0) && platform::syncDataToDisk(video));
        }
        if (video >= 0)
            ::close(video);
    }
    // A journal that is not whole was cut off before the video was touched.
    QFile::remove(journalPath);
    return written;
}

} // namespace tolvek::media
