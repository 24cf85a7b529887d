// The library scan on folders of real WMV files made by OpenCV and by ffmpeg: which names are
// listed, the lengths and memos read from the headers, damaged files, the parallel workers, the
// folder limits, the length fill of rows added without a scan, and the list indexes.

#include "core/library/FillMissingLengths.h"
#include "core/library/ScanSaveFolder.h"
#include "core/library/VideoRecord.h"
#include "core/media/VideoTags.h"
#include "core/settings/VideoFileName.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <thread>

namespace tolvek {
// Readable failure output for records.
void PrintTo(const VideoRecord& r, std::ostream* os)
{
    *os << '{' << r.id.toStdString() << ", " << r.dateText.toStdString() << ", " << r.lengthText.toStdString()
        << ", " << r.memo.toStdString() << ", " << r.fileName.toStdString() << '}';
}
} // namespace tolvek

using namespace tolvek;
using tolvek::test::makeFfmpegWmv;
using tolvek::test::makeTestWmv;
using tolvek::test::TempDir;

namespace {

QByteArray garbageBytes()
{
    QByteArray g(4096, '\0');
    for (int i = 0; i < g.size(); ++i)
        g[i] = char((i * 131 + 7) % 251);
    return g;
}

class LibraryScanTest : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = std::make_unique<TempDir>();
        // 45 frames at 30 fps: 1.5 s. 90 frames at 1 fps: 90 s.
        s_opencv = makeTestWmv(s_sources->file("opencv.wmv"), 45, 64, 48, 30);
        s_titled =
            makeFfmpegWmv(s_sources->file("titled.wmv"), 45, QStringLiteral("from ffmpeg"), 64, 48, 30);
        s_long = makeFfmpegWmv(s_sources->file("long.wmv"), 90, QStringLiteral("long one"), 32, 24, 1);
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    void SetUp() override
    {
        ASSERT_FALSE(s_opencv.isEmpty()) << "OpenCV could not write a WMV file";
        ASSERT_FALSE(s_titled.isEmpty()) << "ffmpeg could not write a WMV file";
        ASSERT_FALSE(s_long.isEmpty());
    }

    void put(const QString& source, const QString& name) const
    {
        QFile::remove(dir.file(name));
        ASSERT_TRUE(QFile::copy(source, dir.file(name))) << name.toStdString();
    }

    static inline std::unique_ptr<TempDir> s_sources;
    static inline QString s_opencv, s_titled, s_long;
    TempDir dir;
};

QStringList namesOf(const VideoLibrary& library)
{
    QStringList names;
    for (const VideoRecord& r : library)
        names << r.fileName;
    return names;
}

} // namespace

TEST(FormatLengthText, SecondsAndMinutes)
{
    const struct
    {
        float seconds;
        const char* text;
    } cases[] = {
        {0.0f, "01s"},
        {-3.0f, "01s"},
        {std::nanf(""), "01s"},
        {0.5f, "00s"},
        {1.5f, "01s"},
        {59.9f, "59s"},
        {59.99f, "59s"},
        {60.0f, "1m00s"},
        {754.4f, "12m34s"},
        {6000.0f, "100m00s"},
        {std::numeric_limits<float>::infinity(), "35791394m07s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(formatLengthText(c.seconds), QString::fromLatin1(c.text));
    }
}

TEST_F(LibraryScanTest, ListsOnlyVideoNamesAndReadsTheirHeaders)
{
    put(s_opencv, QStringLiteral("1234567820240102153045.wmv"));
    put(s_titled, QStringLiteral("1234567820240102153045a.wmv")); // more after 22 digits: accepted
    put(s_long, QStringLiteral("9900000020240101000000.WMV"));    // the pattern ignores case
    put(s_opencv, QStringLiteral("123456782024010215304.wmv"));   // 25 characters
    put(s_opencv, QStringLiteral("123_20240102.wmv"));
    put(s_opencv, QStringLiteral("12345678202401021530x5.wmv")); // a letter among the 22
    put(s_opencv, QStringLiteral("1234567820240102153045.avi"));
    put(s_opencv, QStringLiteral("1234567820240102153045.wmv.bak"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("1234567820240102153046.wmv")));
    ASSERT_TRUE(dir.write(QStringLiteral("1234567820240102153047.wmv"), garbageBytes()));
    ASSERT_TRUE(dir.write(QStringLiteral("1234567820240102153048.wmv"), QByteArray()));

    VideoLibrary library{recordFromFileName(QStringLiteral("0000000120240101000000.wmv"))}; // cleared first
    const ScanOutcome outcome = scanSaveFolder(dir.path(), library);
    EXPECT_EQ(outcome.status, ScanStatus::Ok);

    const VideoLibrary expected{
        {"12345678", "2024-01-02 15:30", "01s", "", "1234567820240102153045.wmv"},
        {"12345678", "2024-01-02 15:30", "01s", "from ffmpeg", "1234567820240102153045a.wmv"},
        {"12345678", "2024-01-02 15:30", "01s", "", "1234567820240102153047.wmv"},
        {"12345678", "2024-01-02 15:30", "01s", "", "1234567820240102153048.wmv"}, // 0 bytes
        {"99000000", "2024-01-01 00:00", "1m30s", "long one", "9900000020240101000000.WMV"},
    };
    EXPECT_EQ(library, expected);
    EXPECT_EQ(outcome.unreadableFiles, QStringList{"1234567820240102153047.wmv"});
    EXPECT_EQ(outcome.emptyFiles, QStringList{"1234567820240102153048.wmv"});
    EXPECT_TRUE(outcome.filesWithoutLength.isEmpty());
    EXPECT_GE(outcome.workersStarted, 1);
}

TEST_F(LibraryScanTest, MemosWrittenByTheProgramAreReadBackCut)
{
    put(s_titled, QStringLiteral("0000000120240101000000.wmv"));
    put(s_titled, QStringLiteral("0000000120240101000001.wmv"));
    put(s_titled, QStringLiteral("0000000120240101000002.wmv"));
    ASSERT_EQ(writeVideoTags(dir.file("0000000120240101000000.wmv"), QString(300, u'x')),
              TagWriteResult::Written);
    ASSERT_EQ(writeVideoTags(dir.file("0000000120240101000001.wmv"), QString()), TagWriteResult::Written);

    VideoLibrary library;
    scanSaveFolder(dir.path(), library);
    ASSERT_EQ(library.size(), 3u);
    EXPECT_EQ(library[0].memo, QString(255, u'x'));
    EXPECT_EQ(library[1].memo, QString());
    EXPECT_EQ(library[2].memo, QStringLiteral("from ffmpeg"));
    for (const VideoRecord& r : library)
        EXPECT_EQ(r.lengthText, QStringLiteral("01s"));
}

TEST_F(LibraryScanTest, ParallelScanOfManyFilesEqualsASequentialOne)
{
    // Three kinds of file in a repeating pattern, so that a record read by the wrong worker or
    // written into the wrong slot shows up as a wrong memo or length.
    const QByteArray garbage = garbageBytes();
    VideoLibrary expected;
    for (int i = 0; i < 300; ++i) {
        const QString name = QString::asprintf("%08d20240102%06d.wmv", 100 + i % 7, i);
        switch (i % 3) {
        case 0:
            put(s_opencv, name);
            expected.push_back({name.left(8), "2024-01-02 00:00", "01s", "", name});
            break;
        case 1:
            put(s_long, name);
            expected.push_back({name.left(8), "2024-01-02 00:00", "1m30s", "long one", name});
            break;
        default:
            ASSERT_TRUE(dir.write(name, garbage));
            expected.push_back({name.left(8), "2024-01-02 00:00", "01s", "", name});
        }
        expected.back().dateText = videoDateText(name);
    }
    // The library keeps the folder's order, which the listing gives by name.
    std::sort(expected.begin(), expected.end(),
              [](const VideoRecord& a, const VideoRecord& b) { return a.fileName < b.fileName; });

    VideoLibrary sequential, parallel;
    const ScanOutcome one = scanSaveFolder(dir.path(), sequential, ScanOptions{1});
    const ScanOutcome eight = scanSaveFolder(dir.path(), parallel, ScanOptions{8});
    EXPECT_EQ(one.workersStarted, 1);
    EXPECT_EQ(eight.workersStarted, 8);
    EXPECT_EQ(sequential, expected);
    EXPECT_EQ(parallel, expected);
    EXPECT_EQ(eight.unreadableFiles.size(), 100);
    EXPECT_EQ(eight.unreadableFiles, one.unreadableFiles);

    VideoLibrary byDefault;
    const ScanOutcome automatic = scanSaveFolder(dir.path(), byDefault);
    EXPECT_EQ(byDefault, expected);
    EXPECT_EQ(automatic.workersStarted, scanWorkerCount(0, std::thread::hardware_concurrency(), 300));
}

TEST_F(LibraryScanTest, AWorkerKeepsReadingAfterARunOfDamagedFiles)
{
    const QByteArray garbage = garbageBytes();
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(dir.write(QString::asprintf("0000000120240101%06d.wmv", i), garbage));
    put(s_titled, QStringLiteral("0000000120240101000010.wmv"));
    put(s_long, QStringLiteral("0000000120240101000011.wmv"));

    VideoLibrary library;
    const ScanOutcome outcome = scanSaveFolder(dir.path(), library, ScanOptions{1});
    ASSERT_EQ(library.size(), 6u);
    EXPECT_EQ(outcome.readerReopens, 1); // after the third failure in a row
    EXPECT_EQ(library[4].memo, QStringLiteral("from ffmpeg"));
    EXPECT_EQ(library[5].lengthText, QStringLiteral("1m30s"));
    EXPECT_EQ(library[5].memo, QStringLiteral("long one"));
    EXPECT_EQ(outcome.unreadableFiles.size(), 4);
}

TEST_F(LibraryScanTest, FoldersWithoutVideosStartNoWorker)
{
    VideoLibrary library{recordFromFileName(QStringLiteral("0000000120240101000000.wmv"))};

    const struct
    {
        const char* label;
        QString folder;
        ScanStatus status;
    } cases[] = {
        {"empty folder", dir.path(), ScanStatus::Ok},
        {"missing folder", dir.file("nowhere"), ScanStatus::FolderMissing},
        {"empty path", QString(), ScanStatus::FolderMissing},
        {"a file, not a folder", s_opencv, ScanStatus::FolderMissing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        library = {recordFromFileName(QStringLiteral("0000000120240101000000.wmv"))};
        const ScanOutcome outcome = scanSaveFolder(c.folder, library);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.workersStarted, 0);
        EXPECT_TRUE(library.empty());
    }
}

TEST_F(LibraryScanTest, FolderPathsBeyondThePatternBufferAreRefused)
{
    // Nested folders whose full paths are exactly at the limit and one unit beyond it.
    QString base = dir.path();
    while (base.size() + 101 < MaxScanFolderLength - 1) {
        base += u'/' + QString(100, u'd');
        ASSERT_TRUE(QDir().mkdir(base));
    }
    const QString atLimit = base + u'/' + QString(MaxScanFolderLength - base.size() - 1, u'a');
    const QString beyond = base + u'/' + QString(MaxScanFolderLength - base.size(), u'b');
    ASSERT_EQ(atLimit.size(), MaxScanFolderLength);
    ASSERT_EQ(beyond.size(), MaxScanFolderLength + 1);
    const QString name = QStringLiteral("0000000120240101000000.wmv");
    for (const QString& folder : {atLimit, beyond}) {
        ASSERT_TRUE(QDir().mkdir(folder));
        ASSERT_TRUE(QFile::copy(s_titled, folder + u'/' + name));
    }

    VideoLibrary library;
    EXPECT_EQ(scanSaveFolder(atLimit, library).status, ScanStatus::Ok);
    EXPECT_EQ(namesOf(library), QStringList{name});

    const ScanOutcome refused = scanSaveFolder(beyond, library);
    EXPECT_EQ(refused.status, ScanStatus::PathTooLong);
    EXPECT_EQ(refused.workersStarted, 0);
    EXPECT_TRUE(library.empty());
}

TEST_F(LibraryScanTest, MissingLengthsAreMeasuredThroughOpenCv)
{
    EXPECT_TRUE(isMissingLength(QStringLiteral("0")));
    for (const char* other : {"", " 0", "00", "00s", "0s", "1m00s"})
        EXPECT_FALSE(isMissingLength(QString::fromLatin1(other))) << other;

    const struct
    {
        double frames, fps;
        const char* text;
    } computed[] = {
        {45, 30, " 01s"},    {0, 30, " 01s"},
        {100, 0, " 01s"},    {100, -5, " 01s"},
        {1, 30, " 00s"},     {1799, 30, " 59s"},
        {1800, 30, "1m00s"}, {22632, 30, "12m34s"},
        {-20, 30, " 01s"},   {10, 1e-300, "35791394m07s"},
    };
    for (const auto& c : computed) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lengthTextFromFrames(c.frames, c.fps), QString::fromLatin1(c.text));
    }

    ASSERT_TRUE(dir.write(QStringLiteral("garbage.wmv"), garbageBytes()));
    EXPECT_EQ(measureLengthText(s_opencv), QStringLiteral(" 01s"));
    EXPECT_EQ(measureLengthText(s_long), QStringLiteral("1m30s"));
    EXPECT_EQ(measureLengthText(dir.file("garbage.wmv")), QStringLiteral(" 01s"));
    EXPECT_EQ(measureLengthText(dir.file("missing.wmv")), QStringLiteral(" 01s"));
}

TEST(VideoLibraryIndexes, OrderOfTheThreeLists)
{
    auto rec = [](const char* name, const char* memo) {
        return recordFromFileName(QString::fromLatin1(name), QString::fromLatin1(memo));
    };
    const VideoLibrary library{
        rec("0000012320240305140709.wmv", "b"),     // 0
        rec("9900000020230101120000.wmv", "zeta"),  // 1
        rec("0000012320240305140710.wmv", ""),      // 2: same minute as 0
        rec("0000045620250101000000.wmv", "c"),     // 3
        rec("9900000020220101120000.wmv", "Alpha"), // 4
        rec("0000012320231231235959.wmv", "a"),     // 5
        rec("9900000020240101120000.wmv", "alpha"), // 6
    };
    EXPECT_EQ(library[0].id, QStringLiteral("00000123"));
    EXPECT_EQ(library[0].dateText, QStringLiteral("2024-03-05 14:07"));

    EXPECT_EQ(allIndex(library), (std::vector<int>{3, 0, 2, 6, 5, 1, 4}));
    EXPECT_EQ(referenceIndex(library), (std::vector<int>{4, 6, 1})); // ordinal: "A" before "a"
    EXPECT_EQ(idIndex(library, 123), (std::vector<int>{0, 2, 5}));
    EXPECT_EQ(idIndex(library, ReferenceId), (std::vector<int>{6, 1, 4}));
    EXPECT_TRUE(idIndex(library, 0).empty());
    EXPECT_TRUE(allIndex({}).empty());

    VideoLibrary changed = library;
    EXPECT_TRUE(removeRecord(changed, QStringLiteral("0000012320240305140710.wmv")));
    EXPECT_FALSE(removeRecord(changed, QStringLiteral("0000012320240305140710.wmv")));
    EXPECT_EQ(changed.size(), library.size() - 1);
    EXPECT_EQ(changed[2].fileName, library[3].fileName);
}
