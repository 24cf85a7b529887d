// The eye-movement analysis in the program: the background run and its cache beside the video,
// cancelling, the analysis window following the player and moving it, the refusal while
// recording, and the PDF report, on recordings of the simulated eye camera.
#include "ui/analysis/AnalysisView.h"
#include "core/analysis/AnalyseCommand.h"
#include "core/analysis/AnalysisCache.h"
#include "core/analysis/AnalysisFiles.h"
#include "core/analysis/HeadPositionLabel.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/Messages.h"
#include "core/media/HeadTrack.h"
#include "support/MainWindowFixture.h"
#include "support/SimulatedEyeVideo.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/analysis/AnalysisReport.h"
#include "ui/analysis/TracePainter.h"
#include "ui/analysis/TraceWidget.h"
#include "ui/playback/PlaybackController.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QDateTime RecordedAt(QDate(2026, 3, 2), QTime(10, 15, 7));
constexpr int PatientId = 12345678;

// The simulated eye of these tests (a blink every four seconds), recorded as the recorder does
// with that start time, ID and head picture.
bool recordEye(const QString& path, int frames, const QDateTime& start = RecordedAt,
               int patientId = PatientId, std::function<HeadPose(int)> headPose = {})
{
    SimulatedEyeSource::Options o;
    o.seed = 3;
    o.beatHz = 3.0;
    o.blinkInterval = 4.0;
    SimulatedEyeVideo video;
    video.start = start;
    video.patientId = patientId;
    video.headPose = std::move(headPose);
    return !recordSimulatedEye(path, SimulatedEyeSource(o), frames, video).isEmpty();
}

// Head data beside the video as the keypad leaves it: frame k at the preset presetAt(k).
bool writeKeypadHeadData(const QString& video, int frames, const std::function<int(int)>& presetAt)
{
    std::vector<media::HeadTrackRow> rows;
    for (int k = 0; k < frames; ++k) {
        const int preset = presetAt(k);
        const HeadPose pose = ManualPoseTable[std::size_t(preset - 1)];
        rows.push_back({k, k / 30.0, {media::HeadSource::Keypad, pose.w, pose.x, pose.y, pose.z, preset}});
    }
    const QByteArray bytes = media::formatHeadTrack(rows);
    QFile file(media::headTrackPath(video));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Whether the PDF's text can be read here. pdftotext comes with the test dependencies, so CI
// (which installs them) always checks it; elsewhere its absence only skips the check.
bool pdfTextReadable()
{
    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return true;
    if (qEnvironmentVariableIsSet("CI")) {
        ADD_FAILURE() << "pdftotext is missing; scripts/install-deps.sh test installs poppler-utils";
    }
    return false;
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

void click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), button, button, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

QDateTime modified(const QString& path)
{
    return QFileInfo(path).lastModified();
}

class AnalysisViewTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        appSettings().setValue(Language, QStringLiteral("1")); // English: the window takes it up
        name = makeVideoFileName(PatientId, RecordedAt);
        ASSERT_TRUE(recordEye(path(name), 150));
        cachePaths = analysis::analysisFilePaths(folder, path(name));
    }

    // The window in the library mode with the recording open in the player.
    void openPlayedVideo()
    {
        openWindow();
        window->setWindowMode(ModeLibrary);
        window->state().playbackVideoName = name;
        window->openVideo(name);
    }

    AnalysisView* openView()
    {
        window->openAnalysisView();
        AnalysisView* view = window->analysisView();
        if (view) {
            EXPECT_TRUE(waitUntil([view] { return view->hasResult(); }));
        }
        return view;
    }

    QString name;
    QStringList cachePaths;
};

} // namespace

TEST_F(AnalysisViewTest, RunWritesTheCacheAndASecondOpenReadsIt)
{
    AnalysisRunner runner;
    std::shared_ptr<const analysis::VideoAnalysis> result;
    bool fromCache = true;
    QString cacheError = QStringLiteral("unset");
    std::vector<int> progress;
    QObject::connect(&runner, &AnalysisRunner::progress, &runner, [&](int p) { progress.push_back(p); });
    QObject::connect(
        &runner, &AnalysisRunner::finished,
        [&](std::shared_ptr<const analysis::VideoAnalysis> r, bool cached, const QString& error) {
            result = std::move(r);
            fromCache = cached;
            cacheError = error;
        });
    ASSERT_TRUE(runner.start(path(name)));
    ASSERT_TRUE(waitUntil([&] { return result != nullptr; }));
    EXPECT_FALSE(fromCache);
    EXPECT_TRUE(cacheError.isEmpty());
    EXPECT_EQ(result->samples.size(), 150u);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GE(progress.back(), 90);
    for (const QString& p : cachePaths)
        ASSERT_TRUE(QFileInfo::exists(p)) << p.toStdString();
    // The simulated eye beats horizontally: the measured run found its beats.
    EXPECT_GT(result->nystagmus.beats.size(), 5u);
    const QDateTime written = modified(cachePaths[0]);

    result.reset();
    progress.clear();
    ASSERT_TRUE(runner.wait(5000));
    ASSERT_TRUE(runner.start(path(name)));
    ASSERT_TRUE(waitUntil([&] { return result != nullptr; }));
    EXPECT_TRUE(fromCache);
    EXPECT_TRUE(progress.empty()); // nothing was measured
    EXPECT_EQ(modified(cachePaths[0]), written);
    EXPECT_EQ(result->samples.size(), 150u);
    EXPECT_GT(result->nystagmus.beats.size(), 5u);

    // A changed video is measured again.
    result.reset();
    ASSERT_TRUE(runner.wait(5000));
    {
        QFile video(path(name));
        ASSERT_TRUE(video.open(QIODevice::ReadWrite));
        ASSERT_TRUE(
            video.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(runner.start(path(name)));
    ASSERT_TRUE(waitUntil([&] { return result != nullptr; }));
    EXPECT_FALSE(fromCache);
}

TEST_F(AnalysisViewTest, CancelLeavesNoCacheFiles)
{
    const QString longName = makeVideoFileName(PatientId, RecordedAt.addSecs(60));
    ASSERT_TRUE(recordEye(path(longName), 300));
    AnalysisRunner runner;
    bool cancelled = false, finished = false;
    QObject::connect(&runner, &AnalysisRunner::progress, &runner, [&](int) { runner.cancel(); });
    QObject::connect(&runner, &AnalysisRunner::cancelled, &runner, [&] { cancelled = true; });
    QObject::connect(&runner, &AnalysisRunner::finished, &runner, [&] { finished = true; });
    ASSERT_TRUE(runner.start(path(longName)));
    ASSERT_TRUE(waitUntil([&] { return cancelled || finished; }));
    EXPECT_TRUE(cancelled);
    ASSERT_TRUE(runner.wait(5000));
    for (const QString& p : analysis::analysisFilePaths(folder, path(longName)))
        EXPECT_FALSE(QFileInfo::exists(p)) << p.toStdString();
    EXPECT_TRUE(QDir(folder).entryList({QStringLiteral("*.csv*")}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(AnalysisViewTest, ViewFollowsThePlayerAndAClickMovesIt)
{
    openPlayedVideo();
    AnalysisView* view = openView();
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(view->isWindow());
    ASSERT_EQ(view->table().rowCount(), 1); // no head data: one "unknown" segment
    EXPECT_EQ(view->table().item(0, 0)->text(), QStringLiteral("Unknown"));
    EXPECT_EQ(view->table().item(0, 1)->text(), QStringLiteral("5.0"));
    EXPECT_TRUE(view->table().item(0, 2)->text().endsWith(QStringLiteral("-beating")));
    EXPECT_TRUE(view->table().item(0, 4)->text().endsWith(QStringLiteral("px/s")));
    // A calibration turns the velocities into degrees.
    view->setPixelsPerDegree(10.0);
    EXPECT_TRUE(view->table().item(0, 4)->text().endsWith(QStringLiteral("°/s")));

    PlaybackController& player = window->playback();
    player.seekPaused(97);
    ASSERT_TRUE(waitUntil([&] { return player.currentFrame() == 97; }));
    EXPECT_TRUE(waitUntil([&] { return view->traces().cursorFrame() == 97; }));

    TraceWidget& traces = view->traces();
    const analysis::TimeWindow w = traces.window();
    const int x = w.left + w.width / 4;
    const int expected = traces.frameAt(x);
    ASSERT_NE(expected, 97);
    click(&traces, {x, traces.height() / 2});
    EXPECT_TRUE(player.paused());
    EXPECT_EQ(player.state().requestedFrame.load(), expected);
    EXPECT_TRUE(waitUntil([&] { return player.currentFrame() == expected; }));
    EXPECT_TRUE(waitUntil([&] { return traces.cursorFrame() == expected; }));

    // Zoomed in, the window pages along when the player leaves it.
    QWheelEvent wheel(QPointF(x, 50), traces.mapToGlobal(QPointF(x, 50)), {}, {0, 480}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&traces, &wheel);
    const analysis::TimeWindow zoomedIn = traces.window();
    EXPECT_LT(zoomedIn.lastFrame - zoomedIn.firstFrame, 150.0);
    const int outside = zoomedIn.lastFrame < 140 ? 145 : 2;
    player.seekPaused(outside);
    ASSERT_TRUE(waitUntil([&] { return traces.cursorFrame() == outside; }));
    EXPECT_TRUE(traces.window().firstFrame <= outside && outside < traces.window().lastFrame);

    // Pictures for the documentation when asked for (a real display gives real fonts).
    if (const QString shots = qEnvironmentVariable("TOLVEK_SHOTS_DIR"); !shots.isEmpty()) {
        view->resize(1200, 520);
        QCoreApplication::processEvents();
        EXPECT_TRUE(view->grab().save(shots + QStringLiteral("/analysis-view.png")));
        const QString report = view->saveReport();
        QFile::remove(shots + QStringLiteral("/analysis-report.pdf"));
        EXPECT_TRUE(QFile::copy(report, shots + QStringLiteral("/analysis-report.pdf")));
    }
}

TEST_F(AnalysisViewTest, ViewFollowsThePlayedVideoAndNeverShowsAnotherVideosTraces)
{
    // A second patient's video, shorter and with two head positions: its traces and table differ
    // from the first one's (150 frames, one "unknown" row) at a glance.
    constexpr int OtherPatientId = 87654321;
    const QDateTime otherTime = RecordedAt.addSecs(3600);
    const QString other = makeVideoFileName(OtherPatientId, otherTime);
    ASSERT_TRUE(recordEye(path(other), 90, otherTime, OtherPatientId));
    ASSERT_TRUE(writeKeypadHeadData(path(other), 90, [](int k) { return k < 45 ? 5 : 2; }));
    struct Shown
    {
        const QString& name;
        int frames;
        int rows;
    };
    const Shown videos[] = {{name, 150, 1}, {other, 90, 2}};

    openPlayedVideo();
    window->openAnalysisView();
    AnalysisView* view = window->analysisView();
    ASSERT_TRUE(view);
    auto* status = view->findChild<QLabel*>(QStringLiteral("AnalysisStatus"));
    ASSERT_TRUE(status);
    TraceWidget& traces = view->traces();
    // Whatever the window shows names at most one video, and its traces and table are that one's.
    QStringList mismatches;
    auto check = [&] {
        const Shown* named = nullptr;
        for (const Shown& v : videos)
            if (view->windowTitle().contains(v.name))
                named = &v;
        for (const Shown& v : videos)
            if (status->text().contains(v.name) && named != &v)
                mismatches
                    << QStringLiteral("status %1 under title %2").arg(status->text(), view->windowTitle());
        const int frames = traces.data() ? traces.data()->frameCount : 0;
        const int rows = view->table().rowCount();
        const bool fits = named
                              ? (frames == 0 || frames == named->frames) && (rows == 0 || rows == named->rows)
                              : frames == 0 && rows == 0;
        if (!fits)
            mismatches << QStringLiteral("%1 frames, %2 rows under title %3")
                              .arg(frames)
                              .arg(rows)
                              .arg(view->windowTitle());
    };
    QObject::connect(view, &AnalysisView::analysisSettled, view, check);
    auto play = [&](const QString& video) {
        window->state().playbackVideoName = video;
        window->openVideo(video);
    };

    // The first video's result is on its way when the player opens the second one.
    ASSERT_TRUE(view->runner().wait(60000));
    play(other);
    ASSERT_TRUE(waitUntil([&] {
        check();
        return view->hasResult();
    }));
    EXPECT_TRUE(view->windowTitle().contains(other));
    ASSERT_TRUE(traces.data());
    EXPECT_EQ(traces.data()->frameCount, 90);
    EXPECT_EQ(view->table().rowCount(), 2);

    // The cursor follows the second video in the player; a click seeks in it.
    PlaybackController& player = window->playback();
    player.seekPaused(60);
    EXPECT_TRUE(waitUntil([&] { return traces.cursorFrame() == 60; }));
    const int x = traces.window().left + traces.window().width / 4;
    const int expected = traces.frameAt(x);
    ASSERT_NE(expected, 60);
    click(&traces, {x, traces.height() / 2});
    EXPECT_TRUE(waitUntil([&] { return player.currentFrame() == expected; }));
    EXPECT_EQ(window->state().playbackVideoName, other);

    // No video in the player (the last one deleted): an empty window, and a click moves nothing.
    window->state().playbackVideoName.clear();
    window->showNoVideo();
    check();
    EXPECT_FALSE(traces.data());
    EXPECT_EQ(view->table().rowCount(), 0);
    EXPECT_EQ(status->text(), QStringLiteral("No video is open."));
    EXPECT_FALSE(view->findChild<QPushButton*>(QStringLiteral("SaveReport"))->isEnabled());
    const int requested = player.state().requestedFrame.load();
    click(&traces, {x, traces.height() / 2});
    EXPECT_EQ(player.state().requestedFrame.load(), requested);

    // Back to the first video: its analysis from the cache its dropped run wrote.
    play(name);
    ASSERT_TRUE(waitUntil([&] {
        check();
        return view->hasResult();
    }));
    EXPECT_TRUE(view->lastResultFromCache());
    EXPECT_TRUE(view->windowTitle().contains(name));
    EXPECT_EQ(traces.data()->frameCount, 150);

    // The name cleared without the player being told (a new save folder): the window's own
    // check of the played video empties it.
    window->state().playbackVideoName.clear();
    EXPECT_TRUE(waitUntil([&] { return !traces.data(); }));
    check();
    EXPECT_TRUE(mismatches.isEmpty()) << mismatches.join(u'\n').toStdString();
}

TEST_F(AnalysisViewTest, RefusedWhileRecordingAndStoppedByARecording)
{
    openPlayedVideo();
    window->flags().windowMode = ModeRecording;
    window->openAnalysisView();
    EXPECT_EQ(window->analysisView(), nullptr);
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last(), QStringLiteral("The analysis cannot run while recording."));

    // The key A of the library mode opens it.
    window->flags().windowMode = ModeLibrary;
    EXPECT_TRUE(window->handleKey(Qt::Key_A, Qt::NoModifier));
    AnalysisView* view = window->analysisView();
    ASSERT_TRUE(view);

    // A recording that starts meanwhile stops the analysis, which leaves nothing behind.
    const QString longName = makeVideoFileName(PatientId, RecordedAt.addSecs(60));
    ASSERT_TRUE(recordEye(path(longName), 300));
    bool settled = false;
    QObject::connect(view, &AnalysisView::analysisSettled, view, [&] { settled = true; });
    ASSERT_TRUE(waitUntil([&] { return view->hasResult(); }));
    settled = false;
    window->state().playbackVideoName = longName;
    view->open(path(longName));
    ASSERT_TRUE(view->runner().isRunning());
    view->onWindowMode(ModeRecording);
    ASSERT_TRUE(waitUntil([&] { return settled; }));
    EXPECT_FALSE(view->hasResult());
    EXPECT_FALSE(QFileInfo::exists(analysis::analysisFilePaths(folder, path(longName))[0]));
}

TEST_F(AnalysisViewTest, ReportIsWrittenWithTheSummaryAndNeverOverwrittenWithoutAsking)
{
    openPlayedVideo();
    AnalysisView* view = openView();
    ASSERT_TRUE(view);
    const QString report = view->saveReport();
    ASSERT_EQ(report, defaultReportPath(path(name)));
    ASSERT_TRUE(QFileInfo::exists(report));
    EXPECT_TRUE(prompts.questions.isEmpty());
    QFile pdf(report);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 1) << "one page";

    if (pdfTextReadable()) {
        const QString text = pdfText(report);
        EXPECT_TRUE(text.contains(QStringLiteral("Eye movement report")));
        EXPECT_TRUE(text.contains(formatPatientId(PatientId)));
        EXPECT_TRUE(text.contains(QStringLiteral("2026-03-02 10:15:07")));
        EXPECT_TRUE(text.contains(name));
        // The summary's row as the window shows it: position, duration, direction, rate, SPV.
        for (int c = 0; c < view->table().columnCount(); ++c) {
            const QString cell = view->table().item(0, c)->text();
            EXPECT_TRUE(text.contains(cell)) << cell.toStdString();
        }
    }
    const QByteArray firstDigest = digestOf(report);

    // Exists: asked; No, then the picker is cancelled: nothing written.
    prompts.answers = {false};
    EXPECT_TRUE(view->saveReport().isEmpty());
    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.questions.last().contains(report));
    EXPECT_EQ(digestOf(report), firstDigest);

    // No, then another name (given without the extension): written there, the first untouched.
    prompts.answers = {false};
    prompts.saveFiles = {dir.file("elsewhere")};
    EXPECT_EQ(view->saveReport(), dir.file("elsewhere.pdf"));
    EXPECT_TRUE(QFileInfo::exists(dir.file("elsewhere.pdf")));
    EXPECT_EQ(digestOf(report), firstDigest);

    // Yes: replaced.
    prompts.answers = {true};
    EXPECT_EQ(view->saveReport(), report);
    EXPECT_EQ(prompts.questions.size(), 3);
}

TEST_F(AnalysisViewTest, ReportShowsEveryHeadPositionAsTheCommandLineSummary)
{
    if (!pdfTextReadable())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    // Six seconds: the head forward for the first half, turned right for the second.
    const QDateTime at = RecordedAt.addSecs(120);
    const QString video = path(makeVideoFileName(PatientId, at));
    const auto presetAt = [](int k) { return k < 90 ? 5 : 6; };
    ASSERT_TRUE(
        recordEye(video, 180, at, PatientId, [&](int k) { return ManualPoseTable[presetAt(k) - 1]; }));
    ASSERT_TRUE(writeKeypadHeadData(video, 180, presetAt));

    // The command line's summary, written elsewhere so that the window measures on its own.
    const QString out = dir.file(QStringLiteral("cli"));
    std::FILE* sink = std::tmpfile();
    ASSERT_TRUE(sink);
    EXPECT_EQ(analysis::runAnalyseCommand({video}, out, sink, sink), 0);
    std::fclose(sink);
    QFile csv(analysis::analysisFilePaths(out, video)[2]);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    QStringList summary = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
    summary.removeFirst(); // the header
    ASSERT_EQ(summary.size(), 2);

    AnalysisPlayer player;
    player.playedVideo = [&] { return video; };
    AnalysisView view(player, &prompts);
    view.open(video);
    ASSERT_TRUE(waitUntil([&] { return view.hasResult(); }));
    EXPECT_FALSE(view.lastResultFromCache());
    const QString report = view.saveReport();
    ASSERT_FALSE(report.isEmpty());
    // The table's rows as pdftotext lays them out: cells apart by two spaces or more.
    std::vector<QStringList> pdfRows;
    for (const QString& line : pdfText(report).split(u'\n'))
        pdfRows.push_back(line.trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}"))));

    // A number as the report shows it, `decimals` after the point, against the summary's value
    // (itself rounded to `csvDecimals`): equal but for the two roundings.
    auto shownAs = [](const QString& shown, int decimals, double value, int csvDecimals) {
        const QRegularExpression form(QStringLiteral("^\\d+\\.\\d{%1}$").arg(decimals));
        return form.match(shown).hasMatch() &&
               std::abs(shown.toDouble() - value) <=
                   0.5 * (std::pow(10.0, -decimals) + std::pow(10.0, -csvDecimals)) + 1e-9;
    };
    QStringList positions;
    for (const QString& line : summary) {
        SCOPED_TRACE(line.toStdString());
        const QStringList f = analysis::splitCsvLine(line);
        ASSERT_EQ(f.size(), 8);
        ASSERT_NE(f[3], QStringLiteral("none")); // the simulated eye beats in both positions
        positions << f[2];
        const QString position = headPositionText(English, f[2]);
        std::vector<QStringList> found;
        for (const QStringList& cells : pdfRows)
            if (cells.size() == 5 && cells[0] == position)
                found.push_back(cells);
        ASSERT_EQ(found.size(), 1u) << "rows of " << position.toStdString() << " in the PDF";
        const QStringList& cells = found.front();
        EXPECT_TRUE(shownAs(cells[1], 1, f[1].toDouble() - f[0].toDouble(), 4)) << cells[1].toStdString();
        EXPECT_EQ(cells[2], beatDirectionText(English, f[3]));
        EXPECT_TRUE(shownAs(cells[3], 2, f[5].toDouble(), 3)) << cells[3].toStdString();
        // The mean slow-phase velocity along the beat's axis, in pixels per second (no calibration).
        const bool horizontal = f[3] == QLatin1String("left") || f[3] == QLatin1String("right");
        const double spv = std::abs((horizontal ? f[6] : f[7]).toDouble());
        ASSERT_TRUE(cells[4].endsWith(QStringLiteral(" px/s"))) << cells[4].toStdString();
        EXPECT_TRUE(shownAs(cells[4].chopped(5), 1, spv, 2)) << cells[4].toStdString();
    }
    EXPECT_EQ(positions, (QStringList{QStringLiteral("forward"), QStringLiteral("right")}));
}

TEST_F(AnalysisViewTest, NewerHeadDataMakesTheCacheStale)
{
    const QString video = path(name);
    ASSERT_TRUE(writeKeypadHeadData(video, 150, [](int) { return 5; }));
    AnalysisRunner runner;
    std::shared_ptr<const analysis::VideoAnalysis> result;
    bool fromCache = false;
    QObject::connect(&runner, &AnalysisRunner::finished,
                     [&](std::shared_ptr<const analysis::VideoAnalysis> r, bool cached, const QString&) {
                         result = std::move(r);
                         fromCache = cached;
                     });
    // The head positions of a run's summary, comma-separated.
    auto run = [&] {
        result.reset();
        QStringList positions;
        EXPECT_TRUE(runner.wait(5000));
        EXPECT_TRUE(runner.start(video));
        if (waitUntil([&] { return result != nullptr; }))
            for (const analysis::HeadSegment& s : result->nystagmus.segments)
                positions << s.headPosition;
        return positions.join(u',').toStdString();
    };
    auto age = [](const QString& file, int seconds) {
        QFile f(file);
        return f.open(QIODevice::ReadWrite) && f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds),
                                                             QFileDevice::FileModificationTime);
    };

    EXPECT_EQ(run(), "forward");
    EXPECT_FALSE(fromCache);
    ASSERT_TRUE(age(video, 20) && age(media::headTrackPath(video), 20));
    for (const QString& p : cachePaths)
        ASSERT_TRUE(age(p, 10));
    EXPECT_EQ(run(), "forward");
    EXPECT_TRUE(fromCache);

    // The head data written again after the analysis, the video untouched: measured again.
    ASSERT_TRUE(writeKeypadHeadData(video, 150, [](int k) { return k < 75 ? 5 : 4; }));
    EXPECT_EQ(run(), "forward,left");
    EXPECT_FALSE(fromCache);
    EXPECT_EQ(run(), "forward,left");
    EXPECT_TRUE(fromCache);
}

TEST(TracePainter, TimeLabelsKeepClearOfTheAxisCaptionAndThePictureEdge)
{
    // Six seconds without a pupil (nothing but the frame, the bands and the time axis), so that
    // time labels fall on both ends of the plot: tenths as on the report's width, whole seconds
    // as in a narrow window.
    analysis::VideoAnalysis a;
    a.ok = true;
    a.fps = 30.0;
    a.samples.resize(180);
    const std::shared_ptr<const TraceData> data = TraceData::from(a);
    for (const int width : {1000, 560}) {
        SCOPED_TRACE(width);
        QImage picture(width, 300, QImage::Format_RGB32);
        picture.fill(Qt::white);
        const TraceLayout l = traceLayout(picture.rect());
        {
            QPainter p(&picture);
            TraceStyle style;
            style.language = English;
            paintTraces(p, picture.rect(), *data,
                        analysis::wholeVideo(data->frameCount, l.plotLeft, l.plotWidth), std::nullopt, style);
        }
        // Ink in a column of the labels' line, below the ticks.
        auto inked = [&](int x) {
            for (int y = l.axis.top() + 5; y < std::min(l.axis.bottom() + 4, picture.height()); ++y)
                if (qGray(picture.pixel(x, y)) < 128)
                    return true;
            return false;
        };
        for (int x = l.plotLeft - 3; x < l.plotLeft; ++x)
            EXPECT_FALSE(inked(x)) << "between the caption and the first label, column " << x;
        for (int x = l.plotLeft + l.plotWidth; x < width; ++x)
            EXPECT_FALSE(inked(x)) << "right of the plot, column " << x;
        EXPECT_TRUE(inked(l.plotLeft + 2)) << "the first label";
    }
}

TEST_F(AnalysisViewTest, TwoHourAnalysisStaysResponsive)
{
    // A two-hour examination at 30 frames per second, as its cache: the view reads it on the
    // worker, then the UI thread only decimates what is visible. The longest gap between ticks
    // of a 5 ms timer is the longest stall of the window.
    const int frames = 2 * 3600 * 30;
    const QString longName = makeVideoFileName(PatientId, RecordedAt.addSecs(600));
    ASSERT_TRUE(recordEye(path(longName), 3));
    analysis::VideoAnalysis a;
    a.ok = true;
    a.fps = 30.0;
    for (int k = 0; k < frames; ++k) {
        analysis::PupilSample s;
        s.found = k % 300 > 8;
        s.x = 320 + 20 * std::fmod(k / 10.0, 1.0);
        s.y = 240 + 5 * std::sin(k / 1000.0);
        s.radius = 30;
        s.confidence = s.found ? 0.9 : 0.0;
        a.samples.push_back(s);
    }
    for (int k = 0; k + 9 < frames; k += 10) {
        analysis::Beat b;
        b.firstFrame = k;
        b.lastFrame = k + 8;
        b.start = k / 30.0;
        b.end = (k + 8) / 30.0;
        b.direction = analysis::BeatDirection::Left;
        b.spv = {60, 0};
        a.nystagmus.beats.push_back(b);
    }
    for (int s = 0; s < 12; ++s) {
        analysis::HeadSegment seg;
        seg.firstFrame = s * frames / 12;
        seg.lastFrame = (s + 1) * frames / 12 - 1;
        seg.start = seg.firstFrame / 30.0;
        seg.end = (seg.lastFrame + 1) / 30.0;
        seg.headPosition = analysis::presetLabel(s % 9 + 1);
        seg.direction = analysis::BeatDirection::Left;
        a.nystagmus.segments.push_back(seg);
    }
    QString error;
    ASSERT_TRUE(analysis::writeAnalysisCache(path(longName), a, error));

    openWindow();
    window->setWindowMode(ModeLibrary);
    window->state().playbackVideoName = longName;
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    ticker.start(5);
    window->openAnalysisView();
    AnalysisView* view = window->analysisView();
    ASSERT_TRUE(view);
    ASSERT_TRUE(waitUntil([&] { return view->hasResult(); }, std::chrono::seconds(120)));
    EXPECT_TRUE(view->lastResultFromCache());
    TraceWidget& traces = view->traces();
    double longestPaint = 0;
    for (int step = 0; step < 40; ++step) {
        window->playback().state().currentFrame = step * frames / 40;
        waitUntil([&] { return traces.cursorFrame() == step * frames / 40; }, std::chrono::seconds(5));
        traces.repaint();
        longestPaint = std::max(longestPaint, traces.lastPaintMs());
        if (step % 10 == 5) {
            QWheelEvent wheel(QPointF(300, 50), traces.mapToGlobal(QPointF(300, 50)), {}, {0, 600},
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&traces, &wheel);
        }
    }
    if (const QString shots = qEnvironmentVariable("TOLVEK_SHOTS_DIR"); !shots.isEmpty()) {
        view->resize(1200, 520);
        QCoreApplication::processEvents();
        EXPECT_TRUE(view->grab().save(shots + QStringLiteral("/analysis-view-two-hours.png")));
    }
    std::printf("two-hour trace: longest paint %.1f ms, longest UI stall %lld ms\n", longestPaint, longest);
    // Generous bounds that a full redraw of every sample each time would break on a slow machine.
    EXPECT_LT(longestPaint, 500.0);
    EXPECT_LT(longest, 2000);
    EXPECT_EQ(view->table().rowCount(), 12);
}
