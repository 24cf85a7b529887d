// Memo edits that rewrite the header in place: a video the program wrote keeps its file (same
// inode, same size, the media bytes untouched) while its memo changes, for as long as the header's
// reserve has room; beyond it, and for older videos without a reserve, the whole file is copied as
// before. A header write cut off at any point is finished, or dropped, at the next start.

#include "core/media/AsfHeader.h"
#include "core/media/HeaderJournal.h"
#include "core/media/HeaderTags.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/platform/DurableFiles.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 20;

// A video of Frames frames through the program's writer; without the header reserve it stands
// for a recording made before the reserve existed.
QString writeVideo(const QString& path, bool reserve)
{
    return makeProgramWmv(path, Frames, 160, 120, QString(), reserve);
}

ino_t inodeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QByteArray bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qsizetype headerSize(const QString& path)
{
    QFile f(path);
    QByteArray header;
    return f.open(QIODevice::ReadOnly) && readAsfHeader(f, header) == AsfLoad::Ok ? header.size() : -1;
}

QString memoOf(const QString& path)
{
    return VideoHeaderReader().readDurationAndTitle(path).memo;
}

} // namespace

TEST(MemoInPlaceTest, EditsWithinTheReserveKeepTheFileAndItsMediaBytes)
{
    TempDir dir;
    const QString path = writeVideo(dir.file(QStringLiteral("0000471120260105090000.wmv")), true);
    ASSERT_FALSE(path.isEmpty());
    const ino_t inode = inodeOf(path);
    const QByteArray before = bytes(path);
    const qsizetype header = headerSize(path);
    ASSERT_GT(header, 0);

    const QString memos[] = {QStringLiteral("Lagerung links, Nystagmus nach rechts"), QString(),
                             QString(600, u'\u6f22'), QStringLiteral("kurz"),
                             QStringLiteral("\u0645\u0631\u064a\u0636")};
    for (const QString& memo : memos) {
        ASSERT_EQ(writeVideoTags(path, memo), TagWriteResult::Written);
        EXPECT_EQ(memoOf(path), memo.left(VideoHeaderReader::MemoMaxUnits));
        EXPECT_EQ(copyrightOf(path), QStringLiteral("Tolvek"));
        EXPECT_EQ(inodeOf(path), inode) << "the file was replaced, not rewritten in place";
        const QByteArray now = bytes(path);
        ASSERT_EQ(now.size(), before.size());
        EXPECT_EQ(now.mid(header), before.mid(header)) << "bytes behind the header changed";
    }
    EXPECT_EQ(countDecodedFrames(path), Frames);
    // No journal or working file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(path).fileName()});
}

// A memo longer than the reserve, and a video from before the reserve existed: the whole file is
// copied, as every memo edit did before, and the result is the same.
TEST(MemoInPlaceTest, WithoutRoomTheWholeFileIsCopiedAsBefore)
{
    TempDir dir;
    const struct
    {
        const char* what;
        bool reserve;
        QString memo;
    } cases[] = {
        {"memo longer than the reserve", true, QString(HeaderReserveUnits + 10, u'x')},
        {"video without a reserve", false, QStringLiteral("short")},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path =
            writeVideo(dir.file(QStringLiteral("000047112026010509000%1.wmv").arg(n++)), c.reserve);
        ASSERT_FALSE(path.isEmpty()) << c.what;
        const ino_t inode = inodeOf(path);
        ASSERT_EQ(writeVideoTags(path, c.memo), TagWriteResult::Written) << c.what;
        EXPECT_EQ(memoOf(path), c.memo.left(VideoHeaderReader::MemoMaxUnits)) << c.what;
        EXPECT_NE(inodeOf(path), inode) << c.what << ": expected the copy";
        EXPECT_EQ(countDecodedFrames(path), Frames) << c.what;
    }
}

// The next start finds a journal: whole, it completes the write, whether the cut came before the
// video was touched or in the middle of its header; cut short itself, it is dropped and the video
// keeps its old header. Either way the journal is gone afterwards.
TEST(MemoInPlaceTest, AnInterruptedHeaderWriteIsFinishedOrDroppedAtTheNextStart)
{
    TempDir dir;
    const QString model = writeVideo(dir.file(QStringLiteral("model.wmv")), true);
    ASSERT_FALSE(model.isEmpty());
    const QByteArray oldFile = bytes(model);
    const qsizetype header = headerSize(model);
    ASSERT_EQ(writeVideoTags(model, QStringLiteral("the new memo")), TagWriteResult::Written);
    const QByteArray newFile = bytes(model);
    ASSERT_EQ(newFile.size(), oldFile.size());
    const QByteArray oldHeader = oldFile.left(header), newHeader = newFile.left(header);
    ASSERT_NE(oldHeader, newHeader);

    enum class Cut { BeforeTheVideo, HalfWayThroughTheHeader, InTheJournal };
    for (Cut cut : {Cut::BeforeTheVideo, Cut::HalfWayThroughTheHeader, Cut::InTheJournal}) {
        SCOPED_TRACE(int(cut));
        const QString path = dir.file(QStringLiteral("0000471120260105090000.wmv"));
        QFile::remove(path);
        ASSERT_TRUE(dir.write(QFileInfo(path).fileName(), oldFile));
        {
            platform::WorkingFile journal =
                media::writeHeaderJournal(path, oldFile.size(), oldHeader, newHeader);
            ASSERT_TRUE(journal.created());
            journal.keep(); // the program is cut off here
        }
        const QString journalPath = media::headerJournalPath(path);
        if (cut == Cut::HalfWayThroughTheHeader) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.write(newHeader.left(header / 2));
        } else if (cut == Cut::InTheJournal) {
            QFile j(journalPath);
            ASSERT_TRUE(j.resize(j.size() - 40));
        }
        const bool finished = media::finishInterruptedHeaderWrite(journalPath);
        EXPECT_FALSE(QFileInfo::exists(journalPath));
        if (cut == Cut::InTheJournal) {
            EXPECT_FALSE(finished);
            EXPECT_EQ(bytes(path), oldFile);
        } else {
            EXPECT_TRUE(finished);
            EXPECT_EQ(bytes(path), newFile);
            EXPECT_EQ(memoOf(path), QStringLiteral("the new memo"));
        }
    }
}

// At start the sweep of working files hands a journal to the finisher before removing it.
TEST(MemoInPlaceTest, TheStartSweepFinishesAJournalLeftBehind)
{
    TempDir dir;
    const QString path = writeVideo(dir.file(QStringLiteral("0000471120260105090000.wmv")), true);
    ASSERT_FALSE(path.isEmpty());
    const QByteArray oldFile = bytes(path);
    const qsizetype header = headerSize(path);
    QFile::copy(path, dir.file(QStringLiteral("copy.wmv")));
    ASSERT_EQ(writeVideoTags(dir.file(QStringLiteral("copy.wmv")), QStringLiteral("swept")),
              TagWriteResult::Written);
    const QByteArray newHeader = bytes(dir.file(QStringLiteral("copy.wmv"))).left(header);
    {
        platform::WorkingFile journal =
            media::writeHeaderJournal(path, oldFile.size(), oldFile.left(header), newHeader);
        ASSERT_TRUE(journal.created());
        journal.keep();
    }
    // The note carries this process's id; a sweep by this process treats it as left behind.
    platform::sweepLeftoverWorkingFiles(platform::workingFileJournal(), &media::finishInterruptedHeaderWrite);
    EXPECT_EQ(memoOf(path), QStringLiteral("swept"));
    EXPECT_FALSE(QFileInfo::exists(media::headerJournalPath(path)));
}
