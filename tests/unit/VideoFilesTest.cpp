// Video file operations on real files: refile and reference names, delete to a temporary trash and
// the refused second reference copy.

#include "core/manage/VideoFiles.h"
#include "core/media/HeadTrack.h"
#include "support/ScopedLanguage.h"
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

class VideoFilesTest : public ::testing::Test
{
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

} // namespace

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
    const test::ScopedLanguage english(English);
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
    EXPECT_EQ(deleteFailureMessage(DeleteResult::NotFound, path(Name)),
              path(Name) + QStringLiteral(" can't be found."));
    EXPECT_EQ(deleteFailureMessage(DeleteResult::Failed, path(Name)),
              path(Name) + QStringLiteral(" can't be deleted."));
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

TEST_F(VideoFilesTest, TheHeadDataGoesToTheTrashAndIntoCopiesWithItsVideo)
{
    const QString trashHome = dir.filePath(QStringLiteral("xdg"));
    ASSERT_TRUE(QDir().mkpath(trashHome));
    const QByteArray before = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", trashHome.toLocal8Bit());
    const QString headName = QStringLiteral("0000012320240305140709.head.csv");

    ASSERT_FALSE(makeTestWmv(path(Name), 5).isEmpty());
    const QByteArray head = writeTestHeadData(path(Name), 5);
    ASSERT_FALSE(head.isEmpty());
    const QString reference = path(referenceFileName(Name));
    QString problem = QStringLiteral("unset");
    EXPECT_EQ(copyVideoFile(path(Name), reference, &problem), CopyResult::Copied);
    EXPECT_TRUE(problem.isEmpty());
    QFile copied(media::headTrackPath(reference));
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), head);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 4); // no working file

    EXPECT_EQ(deleteVideoFile(path(Name)), DeleteResult::Deleted);
    EXPECT_FALSE(QFileInfo::exists(path(headName)));
    EXPECT_TRUE(QFileInfo::exists(trashHome + QStringLiteral("/Trash/files/") + headName));

    // A video without head data is copied and deleted as before.
    ASSERT_FALSE(makeTestWmv(path(Name), 5).isEmpty());
    EXPECT_EQ(copyVideoFile(path(Name), path(QStringLiteral("0000000120240305140709.wmv")), &problem),
              CopyResult::Copied);
    EXPECT_TRUE(problem.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("0000000120240305140709.head.csv"))));
    EXPECT_EQ(deleteVideoFile(path(Name)), DeleteResult::Deleted);

    if (before.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", before);
}
