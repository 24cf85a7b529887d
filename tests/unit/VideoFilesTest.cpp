// Video file operations on real files: refile and reference names, delete to a temporary trash,
// the refused second reference copy, and the re-ID re-encode with its burnt-in label, its
// cancellation and its refusal to replace or leave behind files.

#include "core/manage/VideoFiles.h"
#include "support/IdLabelVideo.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QString Name = QStringLiteral("0000012320240305140709.wmv");

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

class VideoFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(QStringLiteral("save"));
        ASSERT_TRUE(QDir().mkpath(folder));
    }
    QString path(const QString& name) const { return folder + u'/' + name; }

    QTemporaryDir dir;
    QString folder;
};

}  // namespace

TEST(VideoFileNames, TheIdIsReplacedAndTheTimeKept)
{
    EXPECT_EQ(replaceVideoId(Name, 456), QStringLiteral("0000045620240305140709.wmv"));
    EXPECT_EQ(replaceVideoId(Name, 12345678), QStringLiteral("1234567820240305140709.wmv"));
    EXPECT_EQ(referenceFileName(Name), QStringLiteral("9900000020240305140709.wmv"));
    // A name longer than the usual 26 characters keeps everything after the ID.
    EXPECT_EQ(replaceVideoId(QStringLiteral("0000012320240305140709x.wmv"), 7),
              QStringLiteral("0000000720240305140709x.wmv"));
}

TEST_F(VideoFilesTest, DeleteMovesTheFileToTheTrash)
{
    const QString trashHome = dir.filePath(QStringLiteral("xdg"));
    ASSERT_TRUE(QDir().mkpath(trashHome));
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", trashHome.toLocal8Bit());

    ASSERT_TRUE(QFile(path(Name)).open(QIODevice::WriteOnly));
    EXPECT_EQ(deleteVideoFile(path(Name)), DeleteResult::Deleted);
    EXPECT_FALSE(QFileInfo::exists(path(Name)));
    EXPECT_TRUE(QFileInfo::exists(trashHome + QStringLiteral("/Trash/files/") + Name));

    // Already gone: reported as not found, and the message names the path.
    EXPECT_EQ(deleteVideoFile(path(Name)), DeleteResult::NotFound);
    EXPECT_EQ(deleteFailureMessage(DeleteResult::NotFound, path(Name)), path(Name) + QStringLiteral(" can't be found."));
    EXPECT_EQ(deleteFailureMessage(DeleteResult::Failed, path(Name)), path(Name) + QStringLiteral(" can't be deleted."));
    EXPECT_TRUE(deleteFailureMessage(DeleteResult::Deleted, path(Name)).isEmpty());

    if (before.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", before);
}

TEST_F(VideoFilesTest, CopyRefusesAnExistingTargetAndAMissingSource)
{
    ASSERT_FALSE(makeTestWmv(path(Name), 5).isEmpty());
    const QString target = path(referenceFileName(Name));
    EXPECT_EQ(copyVideoFile(path(Name), target), CopyResult::Copied);
    QFile a(path(Name)), b(target);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());

    // The second copy changes nothing, even when the source differs now.
    const qint64 size = QFileInfo(target).size();
    ASSERT_FALSE(makeTestWmv(path(Name), 9).isEmpty());
    EXPECT_EQ(copyVideoFile(path(Name), target), CopyResult::TargetExists);
    EXPECT_EQ(QFileInfo(target).size(), size);

    EXPECT_EQ(copyVideoFile(path(QStringLiteral("missing.wmv")), path(QStringLiteral("x.wmv"))),
              CopyResult::SourceMissing);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("x.wmv"))));
}

TEST_F(VideoFilesTest, ReIdBurnsTheNewIdIntoEveryFrameAndKeepsTheSource)
{
    ASSERT_FALSE(makeIdLabelWmv(path(Name), 20, 123).isEmpty());
    const qint64 sourceSize = QFileInfo(path(Name)).size();
    const QString target = path(replaceVideoId(Name, 87654321));

    ReIdProgress progress;
    ASSERT_EQ(reburnVideoId(path(Name), target, 87654321, 30, progress), ReIdResult::Done);
    EXPECT_EQ(progress.framesDone.load(), 20);
    EXPECT_EQ(progress.framesTotal.load(), 20);
    EXPECT_EQ(countDecodedFrames(target), 20);
    EXPECT_EQ(QFileInfo(path(Name)).size(), sourceSize);
    EXPECT_EQ(entries(folder), (QStringList{Name, replaceVideoId(Name, 87654321)}));  // no working file left

    for (int frame : {0, 19}) {
        const double asNew = idLabelDifference(target, frame, 87654321);
        const double asOld = idLabelDifference(target, frame, 123);
        ASSERT_GE(asNew, 0);
        EXPECT_LT(asNew * 2, asOld) << "frame " << frame << ": new " << asNew << ", old " << asOld;
    }
    // The source still shows the old label.
    EXPECT_LT(idLabelDifference(path(Name), 0, 123) * 2, idLabelDifference(path(Name), 0, 87654321));
}

TEST_F(VideoFilesTest, ReIdWritesNothingWhenCancelledRefusedOrUnreadable)
{
    ASSERT_FALSE(makeIdLabelWmv(path(Name), 10, 123).isEmpty());
    const QString target = path(replaceVideoId(Name, 456));

    ReIdProgress cancelled;
    cancelled.cancelRequested = true;
    EXPECT_EQ(reburnVideoId(path(Name), target, 456, 30, cancelled), ReIdResult::Cancelled);
    EXPECT_EQ(entries(folder), QStringList{Name});

    // An existing file of the new name is never replaced.
    ASSERT_TRUE(QFile::copy(path(Name), target));
    const qint64 existing = QFileInfo(target).size();
    ReIdProgress refused;
    EXPECT_EQ(reburnVideoId(path(Name), target, 456, 30, refused), ReIdResult::TargetExists);
    EXPECT_EQ(QFileInfo(target).size(), existing);
    ASSERT_TRUE(QFile::remove(target));

    // Not a video: nothing is written.
    ASSERT_TRUE(QFile(path(QStringLiteral("0000000120240101000000.wmv"))).open(QIODevice::WriteOnly));
    ReIdProgress unreadable;
    EXPECT_EQ(reburnVideoId(path(QStringLiteral("0000000120240101000000.wmv")), target, 456, 30, unreadable),
              ReIdResult::SourceUnreadable);
    EXPECT_FALSE(QFileInfo::exists(target));

    // A target folder that does not exist.
    ReIdProgress unwritable;
    EXPECT_EQ(reburnVideoId(path(Name), folder + QStringLiteral("/no/such/") + replaceVideoId(Name, 456), 456, 30,
                            unwritable),
              ReIdResult::TargetUnwritable);
    EXPECT_EQ(entries(folder), (QStringList{QStringLiteral("0000000120240101000000.wmv"), Name}));
}
