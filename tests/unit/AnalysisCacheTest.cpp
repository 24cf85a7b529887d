// The analysis results kept beside a video: read back as written, trusted only while no source is
// newer, never left as a mixed set; and the analysis window's texts in every language.
#include "core/analysis/AnalysisCache.h"
#include "core/analysis/AnalysisFiles.h"
#include "core/analysis/HeadPositionLabel.h"
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/Messages.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tolvek;
using namespace tolvek::analysis;
using tolvek::test::TempDir;

namespace {

VideoAnalysis sampleAnalysis()
{
    VideoAnalysis a;
    a.ok = true;
    a.fps = 29.97;
    for (int k = 0; k < 300; ++k) {
        PupilSample s;
        s.found = k % 50 != 7; // a few frames without a pupil
        if (s.found) {
            s.x = 320.125 + k * 0.5;
            s.y = 240.5 - k * 0.25;
            s.radius = 20.75;
        }
        s.confidence = s.found ? 0.875 : 0.0;
        a.samples.push_back(s);
    }
    Beat b;
    b.start = 1.25;
    b.end = 1.5;
    b.firstFrame = 37;
    b.lastFrame = 45;
    b.direction = BeatDirection::Right;
    b.spv = {-12.5, 0.75};
    a.nystagmus.beats.push_back(b);
    HeadSegment s1;
    s1.firstFrame = 0;
    s1.lastFrame = 149;
    s1.start = 0.0;
    s1.end = 150 / 29.97;
    s1.headPosition = QStringLiteral("forward");
    s1.direction = BeatDirection::Right;
    s1.beats = 4;
    s1.beatsPerSecond = 0.8;
    s1.meanSpv = {-12.5, 0.5};
    HeadSegment s2 = s1;
    s2.firstFrame = 150;
    s2.lastFrame = 299;
    s2.start = s1.end;
    s2.end = 300 / 29.97;
    s2.headPosition = QStringLiteral("odd, \"quoted\" label");
    s2.direction = BeatDirection::None;
    s2.beats = 0;
    s2.beatsPerSecond = 0;
    a.nystagmus.segments = {s1, s2};
    return a;
}

QString makeVideo(const TempDir& dir)
{
    const QString path = dir.file("v.wmv");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("not decoded here");
    f.close();
    return path;
}

void setAge(const QString& path, int secondsAgo)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

} // namespace

TEST(AnalysisCache, ReadsBackWhatWasWritten)
{
    TempDir dir;
    const QString video = makeVideo(dir);
    const VideoAnalysis written = sampleAnalysis();
    QString error;
    ASSERT_TRUE(writeAnalysisCache(video, written, error)) << error.toStdString();
    const auto read = readAnalysisCache(video);
    ASSERT_TRUE(read);
    EXPECT_NEAR(read->fps, 29.97, 0.01);
    ASSERT_EQ(read->samples.size(), written.samples.size());
    for (std::size_t k = 0; k < written.samples.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(read->samples[k].found, written.samples[k].found);
        EXPECT_NEAR(read->samples[k].x, written.samples[k].x, 1e-3);
        EXPECT_NEAR(read->samples[k].y, written.samples[k].y, 1e-3);
        EXPECT_NEAR(read->samples[k].confidence, written.samples[k].confidence, 1e-3);
    }
    ASSERT_EQ(read->nystagmus.beats.size(), 1u);
    EXPECT_EQ(read->nystagmus.beats[0].direction, BeatDirection::Right);
    EXPECT_NEAR(read->nystagmus.beats[0].spv.x, -12.5, 0.01);
    EXPECT_EQ(read->nystagmus.beats[0].firstFrame, 37);
    ASSERT_EQ(read->nystagmus.segments.size(), 2u);
    EXPECT_EQ(read->nystagmus.segments[0].headPosition, QStringLiteral("forward"));
    EXPECT_EQ(read->nystagmus.segments[0].beats, 4);
    EXPECT_EQ(read->nystagmus.segments[0].lastFrame, 149);
    EXPECT_EQ(read->nystagmus.segments[1].headPosition, QStringLiteral("odd, \"quoted\" label"));
    EXPECT_EQ(read->nystagmus.segments[1].direction, BeatDirection::None);
    EXPECT_EQ(read->nystagmus.segments[1].firstFrame, 150);
}

TEST(AnalysisCache, FreshOnlyWhileEveryFileIsThereAndNoSourceIsNewer)
{
    TempDir dir;
    const QString video = makeVideo(dir);
    const QString sidecar = dir.file("v.head");
    QFile(sidecar).open(QIODevice::WriteOnly);
    setAge(video, 100);
    setAge(sidecar, 100);
    EXPECT_FALSE(analysisCacheIsFresh(video));
    QString error;
    ASSERT_TRUE(writeAnalysisCache(video, sampleAnalysis(), error));
    EXPECT_TRUE(analysisCacheIsFresh(video, {sidecar, dir.file("absent.head")}));

    setAge(sidecar, 0); // head positions recorded again after the analysis
    for (const QString& path : analysisFilePaths(dir.path(), video))
        setAge(path, 50);
    EXPECT_FALSE(analysisCacheIsFresh(video, {sidecar}));
    EXPECT_TRUE(analysisCacheIsFresh(video));
    setAge(video, 0); // the video itself changed (a trim, a memo)
    EXPECT_FALSE(analysisCacheIsFresh(video));
    setAge(video, 100);
    ASSERT_TRUE(QFile::remove(analysisFilePaths(dir.path(), video)[1]));
    EXPECT_FALSE(analysisCacheIsFresh(video));
}

TEST(AnalysisCache, DamagedFilesAreNotTrusted)
{
    TempDir dir;
    const QString video = makeVideo(dir);
    const QStringList paths = analysisFilePaths(dir.path(), video);
    const struct
    {
        int file;
        QByteArray contents;
    } damages[] = {
        {0, "frame,time\n0,0,1,2,3,1\n"},                                 // another header
        {0, QByteArray(EyeCsvHeader) + "\n0,0,x,2,3,1\n"},                // not a number
        {0, QByteArray(EyeCsvHeader) + "\n0,0,1,2,3,1\n5,0.1,1,2,3,1\n"}, // a frame missing
        {1, QByteArray(BeatsCsvHeader) + "\n1,2,sideways,3,4\n"},         // unknown direction
        {2, QByteArray(SummaryCsvHeader) + "\n0,1,forward,left,3\n"},     // too few fields
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.contents.toStdString());
        QString error;
        ASSERT_TRUE(writeAnalysisCache(video, sampleAnalysis(), error));
        ASSERT_TRUE(readAnalysisCache(video));
        ASSERT_TRUE(writeFileAtomically(paths[d.file], d.contents, error));
        EXPECT_FALSE(readAnalysisCache(video));
    }
}

TEST(AnalysisCache, AFailedWriteLeavesNoMixedSet)
{
    TempDir dir;
    const QString video = makeVideo(dir);
    const QStringList paths = analysisFilePaths(dir.path(), video);
    ASSERT_TRUE(QDir().mkpath(paths[2])); // the summary's name is taken by a folder
    QString error;
    EXPECT_FALSE(writeAnalysisCache(video, sampleAnalysis(), error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(paths[0]));
    EXPECT_FALSE(QFile::exists(paths[1]));
}

TEST(AnalysisCache, CsvFieldsSplitAsQuoted)
{
    EXPECT_EQ(splitCsvLine(QStringLiteral("a,\"b, c\",\"say \"\"hi\"\"\",")),
              (QStringList{"a", "b, c", "say \"hi\"", ""}));
    EXPECT_EQ(splitCsvLine(QStringLiteral("1,2\r")), (QStringList{"1", "2"}));
}

TEST(AnalysisTexts, EveryLanguageHasEveryTextWithItsPlaceholders)
{
    for (int language = 0; language < LanguageCount; ++language) {
        for (int id = 0; id < AnalysisTextCount; ++id) {
            SCOPED_TRACE(testing::Message() << "language " << language << " text " << id);
            const QString text = analysisText(language, AnalysisText(id));
            const QString english = analysisText(English, AnalysisText(id));
            EXPECT_FALSE(text.trimmed().isEmpty());
            EXPECT_EQ(text.contains(QStringLiteral("%1")), english.contains(QStringLiteral("%1")));
            if (language != English && id != int(AnalysisText::VideoFile) &&
                id != int(AnalysisText::Horizontal) && id != int(AnalysisText::Vertical) &&
                id != int(AnalysisText::PdfFilter)) {
                EXPECT_NE(text, english) << "left untranslated";
            }
        }
    }
    EXPECT_EQ(analysisText(99, AnalysisText::Cancel), analysisText(Japanese, AnalysisText::Cancel));
}

TEST(AnalysisTexts, EveryLabelTheAnalysisWritesHasAName)
{
    QStringList labels{UnknownHeadPosition, OtherHeadPosition};
    for (int section = 1; section <= 9; ++section)
        labels << presetLabel(section);
    for (int language = 0; language < LanguageCount; ++language)
        for (const QString& label : labels)
            EXPECT_NE(headPositionText(language, label), label) << language << label.toStdString();
    for (const BeatDirection d : {BeatDirection::None, BeatDirection::Left, BeatDirection::Right,
                                  BeatDirection::Up, BeatDirection::Down})
        EXPECT_NE(beatDirectionText(German, beatDirectionName(d)), beatDirectionName(d));
    // A label from elsewhere (a later head-position source) is shown as it is.
    EXPECT_EQ(headPositionText(French, QStringLiteral("Dix-Hallpike R")), QStringLiteral("Dix-Hallpike R"));
}
