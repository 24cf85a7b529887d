// The head data kept beside a video: its rows read back as written, damage and a crash-cut row
// are told apart, a range is renumbered, copies never replace or leave half a file, and the
// recording's writer puts its rows on the disk while the recording still runs.

#include "core/media/HeadTrack.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace tolvek;
using namespace tolvek::media;
using tolvek::test::waitUntil;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Frame i at 25 fps, its pose's x carrying i so that a row can be traced to its frame.
std::vector<HeadTrackRow> rows(int count, HeadSource source = HeadSource::Serial)
{
    std::vector<HeadTrackRow> out;
    for (int i = 0; i < count; ++i)
        out.push_back({i, i / 25.0, {source, 0.9f, float(i), -0.25f, 0.125f, 0}});
    return out;
}

} // namespace

TEST(HeadTrack, TheFileIsNamedAfterItsVideoAndNeverLooksLikeOne)
{
    EXPECT_EQ(headTrackPath(QStringLiteral("/v/0000012320240305140709.wmv")),
              QStringLiteral("/v/0000012320240305140709.head.csv"));
    EXPECT_EQ(headTrackPath(QStringLiteral("/out/exam.mp4")), QStringLiteral("/out/exam.head.csv"));
    EXPECT_EQ(headTrackPath(QStringLiteral("/out/exam.v2.MP4")), QStringLiteral("/out/exam.v2.head.csv"));
}

TEST(HeadTrack, RowsReadBackAsWritten)
{
    std::vector<HeadTrackRow> written = rows(3);
    written[1].sample = {HeadSource::Keypad, 0.9f, 0.4f, -0.04f, -0.36f, 1};
    written[2].sample = {HeadSource::None, 0.01f, 0.0f, 0.0f, 0.0f, 0};
    const QByteArray bytes = formatHeadTrack(written);
    EXPECT_TRUE(bytes.startsWith("frame,time_s,w,x,y,z,source,preset\n0,0.000,0.9,0,-0.25,0.125,serial,\n"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("\n1,0.040,0.9,0.4,-0.04,-0.36,keypad,1\n")) << bytes.constData();

    const HeadTrackRead read = parseHeadTrack(bytes);
    EXPECT_EQ(read.status, HeadTrackRead::Status::Ok);
    EXPECT_FALSE(read.cutShort);
    ASSERT_EQ(read.rows.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(i);
        const HeadTrackRow& a = read.rows[i];
        const HeadTrackRow& b = written[i];
        EXPECT_EQ(a.frame, b.frame);
        EXPECT_NEAR(a.timeSeconds, b.timeSeconds, 5e-4);
        EXPECT_EQ(a.sample.source, b.sample.source);
        EXPECT_EQ(a.sample.preset, b.sample.preset);
        EXPECT_FLOAT_EQ(a.sample.w, b.sample.w);
        EXPECT_FLOAT_EQ(a.sample.x, b.sample.x);
        EXPECT_FLOAT_EQ(a.sample.y, b.sample.y);
        EXPECT_FLOAT_EQ(a.sample.z, b.sample.z);
    }
}

TEST(HeadTrack, DamageIsReportedAndTheReadableRowsAreKept)
{
    const QByteArray header = "frame,time_s,w,x,y,z,source,preset\n";
    const QByteArray good = "0,0.000,1,0,0,0,phone,\n";
    struct Case
    {
        const char* what;
        QByteArray bytes;
        HeadTrackRead::Status status;
        std::size_t rows;
        int badRows;
        bool cutShort;
    };
    const Case cases[] = {
        {"whole", header + good + "1,0.040,1,0,0,0,keypad,5\r\n", HeadTrackRead::Status::Ok, 2, 0, false},
        {"cut by a crash", header + good + "1,0.04", HeadTrackRead::Status::Ok, 1, 0, true},
        {"header only", header, HeadTrackRead::Status::Ok, 0, 0, false},
        {"unknown source", header + good + "1,0.040,1,0,0,0,magic,\n", HeadTrackRead::Status::Damaged, 1, 1,
         false},
        {"preset out of range", header + "0,0,1,0,0,0,keypad,10\n" + good, HeadTrackRead::Status::Damaged, 1,
         1, false},
        {"missing column", header + "0,0,1,0,0,phone,\n" + good, HeadTrackRead::Status::Damaged, 1, 1, false},
        {"not a number", header + "0,0,1,nan,0,0,phone,\n" + "x,0,1,0,0,0,phone,\n" + good,
         HeadTrackRead::Status::Damaged, 1, 2, false},
        {"not head data", "id,name\n1,2\n", HeadTrackRead::Status::Damaged, 0, 0, false},
        {"empty", "", HeadTrackRead::Status::Damaged, 0, 0, false},
        {"binary", QByteArray("\x00\x01\xff\xfe", 4), HeadTrackRead::Status::Damaged, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HeadTrackRead read = parseHeadTrack(c.bytes);
        EXPECT_EQ(read.status, c.status);
        EXPECT_EQ(read.rows.size(), c.rows);
        EXPECT_EQ(read.badRows, c.badRows);
        EXPECT_EQ(read.cutShort, c.cutShort);
        EXPECT_EQ(read.problem.isEmpty(), c.status == HeadTrackRead::Status::Ok);
    }

    QTemporaryDir dir;
    EXPECT_EQ(readHeadTrack(dir.filePath("none.wmv")).status, HeadTrackRead::Status::Missing);
}

TEST(HeadTrack, ARangeIsRenumberedFromItsFirstFrame)
{
    const std::vector<HeadTrackRow> all = rows(10);
    std::vector<HeadTrackRow> range = headTrackRange(all, 3, 4);
    ASSERT_EQ(range.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(range[std::size_t(k)].frame, k);
        EXPECT_NEAR(range[std::size_t(k)].timeSeconds, k / 25.0, 1e-9);
        EXPECT_EQ(range[std::size_t(k)].sample.x, float(3 + k)); // the pose of source frame 3 + k
    }
    // A range past the rows' end keeps what there is; the first frame's row missing still counts
    // the time from that frame.
    std::vector<HeadTrackRow> gap(all.begin() + 5, all.end());
    range = headTrackRange(gap, 4, 100);
    ASSERT_EQ(range.size(), 5u);
    EXPECT_EQ(range.front().frame, 1);
    EXPECT_NEAR(range.front().timeSeconds, 1 / 25.0, 1e-9);
    EXPECT_TRUE(headTrackRange(all, 20, 5).empty());
}

TEST(HeadTrack, CopiesAreWholeOrAbsentAndReplaceNothing)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("0000012320240305140709.wmv");
    const QString target = dir.filePath("9900000020240305140709.wmv");

    // A video without head data: nothing to copy, nothing made.
    HeadTrackCopy copy = copyHeadTrack(source, target);
    EXPECT_EQ(copy.status, HeadTrackCopy::Status::NoSource);
    EXPECT_TRUE(copy.ok());
    EXPECT_TRUE(entries(dir.path()).isEmpty());

    const QByteArray bytes = formatHeadTrack(rows(50));
    ASSERT_TRUE(writeFile(headTrackPath(source), bytes));
    copy = copyHeadTrack(source, target);
    EXPECT_EQ(copy.status, HeadTrackCopy::Status::Copied);
    EXPECT_TRUE(copy.problem.isEmpty());
    EXPECT_EQ(readFile(headTrackPath(target)), bytes);
    // No working file left behind.
    EXPECT_EQ(entries(dir.path()),
              (QStringList{"0000012320240305140709.head.csv", "9900000020240305140709.head.csv"}));

    // One already there is kept, unless replacing was agreed to.
    const QString mp4 = dir.filePath("exam.mp4");
    ASSERT_TRUE(writeFile(headTrackPath(mp4), "older"));
    copy = copyHeadTrack(source, mp4);
    EXPECT_EQ(copy.status, HeadTrackCopy::Status::TargetExists);
    EXPECT_FALSE(copy.ok());
    EXPECT_EQ(readFile(headTrackPath(mp4)), "older");
    EXPECT_EQ(copyHeadTrack(source, mp4, true).status, HeadTrackCopy::Status::Copied);
    EXPECT_EQ(readFile(headTrackPath(mp4)), bytes);
    // An export beside its video under the same name has its head data already.
    EXPECT_EQ(copyHeadTrack(source, dir.filePath("0000012320240305140709.mp4")).status,
              HeadTrackCopy::Status::Copied);
    EXPECT_EQ(readFile(headTrackPath(source)), bytes);

    // A range copy of a damaged source keeps its readable rows and passes the problem on.
    ASSERT_TRUE(writeFile(headTrackPath(source), bytes + "51,bad\n"));
    const QString trimmed = dir.filePath("0000012320240305140710.wmv");
    copy = copyHeadTrackRange(source, trimmed, 10, 5);
    EXPECT_EQ(copy.status, HeadTrackCopy::Status::Copied);
    EXPECT_FALSE(copy.problem.isEmpty());
    EXPECT_EQ(parseHeadTrack(readFile(headTrackPath(trimmed))).rows.size(), 5u);
    // One that is no head data at all gives no copy.
    ASSERT_TRUE(writeFile(headTrackPath(source), "garbage"));
    copy = copyHeadTrackRange(source, dir.filePath("0000012320240305140711.wmv"), 0, 5);
    EXPECT_EQ(copy.status, HeadTrackCopy::Status::Failed);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("0000012320240305140711.head.csv")));
    EXPECT_FALSE(entries(dir.path()).join(' ').contains(".part"));
}

TEST(HeadTrackWriter, RowsReachTheDiskWhileTheRecordingRuns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("0000012320240305140709.head.csv");
    HeadTrackWriter writer;
    ASSERT_TRUE(writer.open(path));
    const std::vector<HeadTrackRow> written = rows(40, HeadSource::Phone);
    for (const HeadTrackRow& row : written)
        writer.append(row);
    // Flushed within about a second, with the file still open: a crash now loses none of them.
    EXPECT_TRUE(waitUntil([&] { return parseHeadTrack(readFile(path)).rows.size() == written.size(); }));
    writer.append({40, 1.6, {HeadSource::Keypad, 0.99f, 0, 0, 0, 5}});
    EXPECT_TRUE(writer.close());
    EXPECT_FALSE(writer.failed());
    const HeadTrackRead read = parseHeadTrack(readFile(path));
    EXPECT_EQ(read.status, HeadTrackRead::Status::Ok);
    ASSERT_EQ(read.rows.size(), 41u);
    EXPECT_EQ(read.rows.back().sample.source, HeadSource::Keypad);
    EXPECT_EQ(read.rows.back().sample.preset, 5);

    // A file already at the name is never written through.
    HeadTrackWriter second;
    EXPECT_FALSE(second.open(path));
    EXPECT_TRUE(second.failed());
    EXPECT_TRUE(second.error().contains(path));
    EXPECT_EQ(parseHeadTrack(readFile(path)).rows.size(), 41u);
}
