// Backup by date without widgets: which names a date prefix selects, the date keypad's rules and
// quick-pick days, and the copy step on real folders (skip, failures, no partial file).

#include "core/backup/BackupRunner.h"
#include "core/backup/BackupSelection.h"
#include "core/backup/DateKeypad.h"
#include "support/ScopedLanguage.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <ostream>
#include <sys/resource.h>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace tolvek;
using tolvek::test::TempDir;

namespace {

// Videos of several patients and days, and names a backup must never take.
const QStringList FolderNames = {
    QStringLiteral("0000012320240305140709.wmv"),        QStringLiteral("0000045620240305080000.WMV"),
    QStringLiteral("9900000020240306101010.wmv"),        QStringLiteral("0000012320240415000001.wmv"),
    QStringLiteral("0000077720231231235959.wmv"),
    QStringLiteral("0000012320240305140709 (copy).wmv"), // 33 characters: listed, never backed up
    QStringLiteral("000001232024030514070.wmv"),         // 25 characters
    QStringLiteral("abcdefgh20240305140709.wmv"),        // not a video name
    QStringLiteral("0000012320240305140709.avi"),        QStringLiteral("1111111120240305.wmv"),
};

TEST(BackupSelectionTest, DatePrefixSelectsYearMonthOrDayOfEveryPatient)
{
    struct Case
    {
        int dateValue;
        QStringList expected;
    };
    const Case cases[] = {
        {2024, {FolderNames[0], FolderNames[1], FolderNames[2], FolderNames[3]}},
        {202403, {FolderNames[0], FolderNames[1], FolderNames[2]}},
        {20240305, {FolderNames[0], FolderNames[1]}},
        {2023, {FolderNames[4]}},
        {20240307, {}},
        // A prefix that reaches into the time still only compares the characters after the ID.
        {2024030514, {FolderNames[0]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dateValue);
        EXPECT_EQ(selectBackupNames(FolderNames, backupDatePrefix(c.dateValue)), c.expected);
    }
    EXPECT_TRUE(selectBackupNames(FolderNames, QString()).isEmpty());
}

TEST(BackupSelectionTest, FolderListingTakesFilesOnlyInNameOrder)
{
    TempDir dir;
    for (const QString& name : FolderNames)
        ASSERT_TRUE(dir.write(name, "x"));
    // A folder named like a video is not a video.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("0000099920240305000000.wmv")));
    EXPECT_EQ(findBackupFiles(dir.path(), QStringLiteral("20240305")),
              (QStringList{FolderNames[0], FolderNames[1]}));
    EXPECT_TRUE(findBackupFiles(dir.file(QStringLiteral("missing")), QStringLiteral("2024")).isEmpty());
}

TEST(DateKeypadTest, DigitsAtMostEightNoLeadingZeroCRemovesOne)
{
    EXPECT_EQ(dateKeypadAppendDigit(0, 0), 0);
    EXPECT_EQ(dateKeypadAppendDigit(0, 2), 2);
    EXPECT_EQ(dateKeypadAppendDigit(202, 0), 2020);
    EXPECT_EQ(dateKeypadAppendDigit(2024031, 5), 20240315);
    EXPECT_EQ(dateKeypadAppendDigit(20240315, 1), 20240315);
    EXPECT_EQ(dateKeypadRemoveDigit(20240315), 2024031);
    EXPECT_EQ(dateKeypadRemoveDigit(2), 0);

    const QDate today(2024, 3, 5);
    EXPECT_EQ(dateKeypadShownValue(0, today), 20240305);
    EXPECT_EQ(dateKeypadShownValue(2023, today), 2023);

    EXPECT_EQ(dateDisplayGlyphs(2024), QStringLiteral("2024????"));
    EXPECT_EQ(dateDisplayGlyphs(20240305), QStringLiteral("20240305"));
    EXPECT_EQ(quickDateGlyphs(20240305), QStringLiteral("20240305"));
    EXPECT_EQ(quickDateGlyphs(5), QStringLiteral("00000005"));
}

TEST(DateKeypadTest, KeysOfBothBlocksAndTheLetterDigits)
{
    struct Case
    {
        int key;
        DateKeyKind kind;
        int digit;
    };
    const Case cases[] = {
        {Qt::Key_0, DateKeyKind::Digit, 0},
        {Qt::Key_9, DateKeyKind::Digit, 9},
        {Qt::Key_J, DateKeyKind::Digit, 1},
        {Qt::Key_O, DateKeyKind::Digit, 6},
        {Qt::Key_Backspace, DateKeyKind::RemoveDigit, -1},
        {Qt::Key_Clear, DateKeyKind::RemoveDigit, -1},
        {Qt::Key_Delete, DateKeyKind::ClearAll, -1},
        {Qt::Key_Return, DateKeyKind::Accept, -1},
        {Qt::Key_Enter, DateKeyKind::Accept, -1},
        {Qt::Key_Up, DateKeyKind::Unhandled, -1},
        {Qt::Key_Space, DateKeyKind::Unhandled, -1},
        {Qt::Key_Escape, DateKeyKind::Unhandled, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const DateKeyAction a = dateKeyAction(c.key);
        EXPECT_EQ(a.kind, c.kind);
        if (c.kind == DateKeyKind::Digit) {
            EXPECT_EQ(a.digit, c.digit);
        }
    }
}

TEST(DateKeypadTest, QuickDatesAreTodayAndNineCalendarDaysBefore)
{
    const auto dates = quickDates(QDate(2024, 3, 5));
    const std::array<int, QuickDateCount> expected = {20240305, 20240304, 20240303, 20240302, 20240301,
                                                      20240229, 20240228, 20240227, 20240226, 20240225};
    EXPECT_EQ(dates, expected);
    // Across a year's end.
    EXPECT_EQ(quickDates(QDate(2024, 1, 3))[3], 20231231);
}

// ---- copy step --------------------------------------------------------------------------------

class BackupCopyTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        save = dir.file(QStringLiteral("save"));
        backup = dir.file(QStringLiteral("backup"));
        ASSERT_TRUE(QDir().mkpath(save));
        ASSERT_TRUE(QDir().mkpath(backup));
    }
    QString video(const QString& name, int frames = 30)
    {
        const QString path = save + u'/' + name;
        EXPECT_FALSE(test::makeTestWmv(path, frames).isEmpty());
        return path;
    }
    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList backupEntries() const
    {
        return QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    const test::ScopedLanguage m_english{English}; // the sentences are read in English
    TempDir dir;
    QString save;
    QString backup;
};

TEST_F(BackupCopyTest, CopiesOncePerStepThenSkipsWhatIsThere)
{
    const QStringList names = {QStringLiteral("0000012320240305140709.wmv"),
                               QStringLiteral("0000045620240305080000.wmv")};
    for (const QString& n : names)
        video(n);
    // A backup made earlier is kept as it is, even when it differs.
    ASSERT_TRUE(QFile(save + u'/' + names[1]).copy(backup + u'/' + names[1]));
    {
        QFile older(backup + u'/' + names[1]);
        ASSERT_TRUE(older.open(QIODevice::WriteOnly | QIODevice::Truncate));
        older.write("older backup");
    }

    BackupRunner run(save, backup, names, QStringLiteral("20240305"));
    EXPECT_EQ(run.count(), 2);
    ASSERT_TRUE(run.step());
    EXPECT_EQ(run.progressText(), QStringLiteral("Backing up the videos of 2024-03-05: 1 of 2 checked.\n"
                                                 "1 copied, 0 already in the backup folder."));
    ASSERT_TRUE(run.step());
    EXPECT_EQ(run.progressText(), QStringLiteral("Backing up the videos of 2024-03-05: 2 of 2 checked.\n"
                                                 "1 copied, 1 already in the backup folder."));
    EXPECT_TRUE(run.finished());
    EXPECT_FALSE(run.step());
    EXPECT_EQ(run.summaryText(),
              QStringLiteral("Backup of 2024-03-05 finished: 1 copied, 1 already in the backup folder."));

    EXPECT_EQ(bytes(backup + u'/' + names[0]), bytes(save + u'/' + names[0]));
    EXPECT_EQ(test::countDecodedFrames(backup + u'/' + names[0]), 30);
    EXPECT_EQ(bytes(backup + u'/' + names[1]), QByteArray("older backup"));
    EXPECT_EQ(QFileInfo(backup + u'/' + names[0]).lastModified(),
              QFileInfo(save + u'/' + names[0]).lastModified());
    EXPECT_EQ(backupEntries(), names); // no working file left

    // A second backup of the same day copies nothing.
    BackupRunner again(save, backup, names, QStringLiteral("20240305"));
    while (again.step()) {
    }
    EXPECT_EQ(again.summaryText(),
              QStringLiteral("Backup of 2024-03-05 finished: 0 copied, 2 already in the backup folder."));
}

TEST_F(BackupCopyTest, FailuresAreReportedAndLeaveNoFileBehind)
{
    const QString name = QStringLiteral("0000012320240305140709.wmv");
    const QString gone = QStringLiteral("0000045620240305080000.wmv"); // deleted after selection
    video(name);

    struct Case
    {
        const char* what;
        QString source;
        QString target;
        const char* detailContains;
    };
    const Case cases[] = {
        {"missing source", save + u'/' + gone, backup + u'/' + gone, "missing"},
        {"missing backup folder", save + u'/' + name, backup + QStringLiteral("/gone/") + name,
         "does not exist"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BackupFileResult r = backupFile(c.source, c.target);
        EXPECT_EQ(r.status, BackupFileStatus::Failed);
        EXPECT_TRUE(r.detail.contains(QLatin1String(c.detailContains))) << r.detail.toStdString();
    }
    EXPECT_TRUE(backupEntries().isEmpty());

    // Through the runner the failure is counted as an error, not as a copy.
    BackupRunner run(save, backup, {gone, name}, QStringLiteral("2024"));
    while (run.step()) {
    }
    EXPECT_EQ(run.copied(), 1);
    EXPECT_EQ(run.failed(), 1);
    ASSERT_EQ(run.failures().size(), 1);
    EXPECT_TRUE(run.failures()[0].startsWith(gone));
    EXPECT_EQ(run.summaryText(),
              QStringLiteral("Backup of 2024 finished: 1 copied, 0 already in the backup folder. "
                             "1 could not be copied."));
}

TEST_F(BackupCopyTest, AFullDiskFailsTheCopyWithoutAPartialFile)
{
    const QString name = QStringLiteral("0000012320240305140709.wmv");
    const QString source = video(name, 60);
    ASSERT_GT(QFileInfo(source).size(), 8192);

    // A file-size limit makes writes fail part-way, as a full disk does.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const BackupFileResult r = backupFile(source, backup + u'/' + name);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(r.status, BackupFileStatus::Failed);
    EXPECT_TRUE(r.detail.contains(QLatin1String("cannot be written"))) << r.detail.toStdString();
    EXPECT_TRUE(backupEntries().isEmpty());
}

TEST_F(BackupCopyTest, ALeftOverWorkingFileIsReplacedAndNeverSelected)
{
    const QString name = QStringLiteral("0000012320240305140709.wmv");
    const QString source = video(name);
    const QString working = backupWorkingPath(backup + u'/' + name);
    {
        QFile stale(working);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("half a copy from an interrupted run");
    }
    EXPECT_TRUE(findBackupFiles(backup, QStringLiteral("2024")).isEmpty());
    EXPECT_EQ(backupFile(source, backup + u'/' + name).status, BackupFileStatus::Copied);
    EXPECT_EQ(bytes(backup + u'/' + name), bytes(source));
    EXPECT_EQ(backupEntries(), QStringList{name});
}

} // namespace

TEST_F(BackupCopyTest, TheHeadDataIsBackedUpBesideItsVideo)
{
    const QStringList names = {QStringLiteral("0000012320240305140709.wmv"),
                               QStringLiteral("0000045620240305080000.wmv"), // no head data
                               QStringLiteral("0000078920240305090000.wmv")};
    for (const QString& n : names)
        video(n);
    const QByteArray head = test::writeTestHeadData(save + u'/' + names[0], 30);
    ASSERT_FALSE(head.isEmpty());
    // A video backed up on an earlier run that was cut off before its head data.
    ASSERT_FALSE(test::writeTestHeadData(save + u'/' + names[2], 30).isEmpty());
    ASSERT_TRUE(QFile::copy(save + u'/' + names[2], backup + u'/' + names[2]));

    BackupRunner run(save, backup, names, QStringLiteral("20240305"));
    while (run.step()) {
    }
    EXPECT_EQ(run.summaryText(),
              QStringLiteral("Backup of 2024-03-05 finished: 2 copied, 1 already in the backup folder."));
    EXPECT_EQ(bytes(backup + QStringLiteral("/0000012320240305140709.head.csv")), head);
    EXPECT_EQ(bytes(backup + QStringLiteral("/0000078920240305090000.head.csv")),
              bytes(save + QStringLiteral("/0000078920240305090000.head.csv")));
    EXPECT_EQ(backupEntries(),
              (QStringList{QStringLiteral("0000012320240305140709.head.csv"), names[0], names[1],
                           QStringLiteral("0000078920240305090000.head.csv"), names[2]}));

    // Head data that cannot be read is one more error; its video is backed up all the same.
    // (A folder at its name: unreadable as a file for every user.)
    ASSERT_TRUE(QDir().mkpath(save + QStringLiteral("/0000045620240305080000.head.csv")));
    ASSERT_TRUE(QFile::remove(backup + u'/' + names[1]));
    BackupRunner again(save, backup, {names[1]}, QStringLiteral("20240305"));
    while (again.step()) {
    }
    EXPECT_EQ(again.copied(), 1);
    EXPECT_EQ(test::countDecodedFrames(backup + u'/' + names[1]), 30);
    ASSERT_EQ(again.failed(), 1);
    EXPECT_TRUE(again.failures().value(0).startsWith(QStringLiteral("0000045620240305080000.head.csv: ")))
        << again.failures().value(0).toStdString();
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral("/0000045620240305080000.head.csv")));
}
