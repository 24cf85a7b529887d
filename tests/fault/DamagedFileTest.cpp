// Truncated and bit-flipped WMV files through everything that reads videos: the library scan, the
// recovery check and repair, the frame reader and the player thread. Nothing may crash, and every
// step must end within its bound; what each gives back must stay within its documented range.

#include "core/capture/DisplayFrame.h"
#include "core/library/RecordingRecovery.h"
#include "core/library/ScanSaveFolder.h"
#include "core/media/AsfHeader.h"
#include "core/media/FrameReader.h"
#include "core/playback/PlayerThread.h"
#include "support/KilledRecorder.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int SourceFrames = 90;
const QString VideoName = QStringLiteral("1234567820240102153045.wmv");

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Damaged
{
    std::string what;
    QByteArray bytes;
};

std::vector<Damaged> damagedCopies(const QByteArray& good, qsizetype headerSize)
{
    std::vector<Damaged> out;
    const qsizetype cuts[] = {1,
                              16,
                              29,
                              30,
                              headerSize / 2,
                              headerSize - 1,
                              headerSize,
                              headerSize + 49,
                              headerSize + 50,
                              headerSize + 51,
                              good.size() / 3,
                              good.size() / 2,
                              good.size() * 2 / 3,
                              good.size() - 1};
    for (qsizetype c : cuts)
        out.push_back({"cut at " + std::to_string(c), good.left(c)});
    std::mt19937 random(7);
    // Flips spread over the whole file, and flips confined to the header where sizes and counts live.
    for (int round = 0; round < 12; ++round) {
        QByteArray b = good;
        const bool headerOnly = round % 2 == 1;
        const int flips = 1 + round * 3;
        std::uniform_int_distribution<qsizetype> at(0, (headerOnly ? headerSize : b.size()) - 1);
        for (int i = 0; i < flips; ++i)
            b[at(random)] ^= char(1u << (random() % 8));
        out.push_back({std::to_string(flips) + (headerOnly ? " flips in the header" : " flips anywhere"), b});
    }
    return out;
}

} // namespace

// Two sources: a finished file, and a recording the recorder left unfinished when it was killed.
TEST(DamagedFileTest, ScanRepairReaderAndPlayerSurviveDamagedFiles)
{
    TempDir dir;
    TempDir recorderDir;
    const KilledRecording killed = recordAndKill(recorderDir.path(), 2000);
    ASSERT_TRUE(killed.ok());
    const QString finished = makeTestWmv(dir.file(QStringLiteral("source.wmv")), SourceFrames, 320, 240);
    ASSERT_FALSE(finished.isEmpty());
    std::vector<Damaged> cases;
    for (const QString& source : {finished, killed.path}) {
        const QByteArray good = bytesOf(source);
        QFile f(source);
        QByteArray header;
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ASSERT_EQ(readAsfHeader(f, header), AsfLoad::Ok);
        f.close();
        QFile::remove(source);
        for (Damaged& d : damagedCopies(good, header.size())) {
            d.what = (source == finished ? "finished file, " : "unfinished recording, ") + d.what;
            cases.push_back(std::move(d));
        }
    }

    int played = 0, refused = 0, repaired = 0;
    for (const Damaged& d : cases) {
        SCOPED_TRACE(d.what);
        const QString path = dir.file(VideoName);
        QFile::remove(path);
        ASSERT_TRUE(dir.write(VideoName, d.bytes));

        VideoLibrary library;
        const ScanOutcome scan = scanSaveFolder(dir.path(), library);
        ASSERT_EQ(library.size(), 1u);

        // Repair only ever replaces the file with one whose header is finished.
        const RepairResult fixedUp = repairRecording(path);
        if (fixedUp == RepairResult::Repaired) {
            ++repaired;
            EXPECT_EQ(inspectRecording(path).state, RecordingState::Finished);
        } else {
            EXPECT_EQ(bytesOf(path), d.bytes);
        }
        EXPECT_FALSE(QFile::exists(repairTempPath(path)));

        FrameReader reader;
        if (reader.open(path.toStdString())) {
            int frames = 0;
            cv::Size size;
            for (cv::Mat f; frames < 100 * SourceFrames && !(f = reader.readNext()).empty(); ++frames)
                if (frames == 0)
                    size = f.size();
            EXPECT_LT(frames, 100 * SourceFrames) << "the reader never reached an end";
            // Frames asked for by number, after seeks, are whole pictures of the same size or nothing.
            std::mt19937 random(frames);
            std::uniform_int_distribution<int> index(-5, SourceFrames + 20);
            for (int i = 0; i < 20; ++i) {
                const cv::Mat f = reader.frameAt(index(random));
                if (!f.empty()) {
                    if (size.empty())
                        size = f.size();
                    EXPECT_EQ(f.type(), CV_8UC3);
                    EXPECT_EQ(f.size(), size);
                }
            }
            reader.close();
        }

        PlaybackState state;
        state.sliderLength = 320;
        state.rangeEnd = 320;
        state.viewWidth = 320;
        state.viewHeight = 240;
        state.frameCount = SourceFrames;
        DisplayFrame display;
        PlayerThread::Options o;
        o.path = path.toStdString();
        o.state = &state;
        o.display = &display;
        o.fps = [] { return 1000; };
        PlayerThread player(o);
        player.start();
        // It either refuses the file or plays to the end and waits paused there.
        EXPECT_TRUE(
            waitUntil([&] { return player.hasEnded() || state.paused.load(); }, std::chrono::seconds(60)))
            << "the player hung";
        (player.hasEnded() ? refused : played)++;
        player.stop();
        EXPECT_TRUE(waitUntil([&] { return player.hasEnded(); }, std::chrono::seconds(30))) << "stop hung";
        player.wait();
    }
    std::printf("[ figures ] damaged files: %d played to the end, %d refused by the player, %d repaired\n",
                played, refused, repaired);
}
