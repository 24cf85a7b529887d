// The recording road as an examiner walks it: the simulated camera given as "sim" (the same
// source the command line selects), the real keypad typed into while it runs modally, single
// keys through the main window's key handling, and the written file checked with OpenCV, TagLib
// and the ffprobe program.
#include "core/analysis/VideoAnalysis.h"
#include "core/capture/CameraDevices.h"
#include "core/capture/CaptureThread.h"
#include "core/capture/FrameSource.h"
#include "core/capture/FrameStamps.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoTags.h"
#include "core/sensor/HeadOverlay.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TestWallClock.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/capture/CGetNewID.h"
#include "ui/shared/ControlIds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unistd.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Width = 640;
constexpr int Height = 480;
constexpr int Fps = 30;

void pressKey(QWidget* target, int key)
{
    const QString text = key >= Qt::Key_0 && key <= Qt::Key_9 ? QString(QChar(key)) : QString();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// UserPrompts whose keypad is the real CGetNewID, run modally; while it is open the script types
// `keys` into it and clicks "Start capture", as the examiner does.
class KeypadPrompts : public ScriptedPrompts
{
  public:
    std::vector<int> keys{Qt::Key_1, Qt::Key_2, Qt::Key_3};
    std::function<void(CGetNewID&)> whileOpen; // runs inside the modal loop before the keys
    std::vector<int> shownIds;                 // enteredId just before the click, per run

    std::optional<int> askPatientId(QWidget* parent, const GetNewIdSetup& setup) override
    {
        ++keypadRuns;
        QTimer::singleShot(0, [this] {
            auto* dlg = qobject_cast<CGetNewID*>(QApplication::activeModalWidget());
            if (!dlg) {
                ADD_FAILURE() << "the keypad is not the active modal dialog";
                return;
            }
            if (whileOpen)
                whileOpen(*dlg);
            for (int k : keys)
                pressKey(dlg, k);
            shownIds.push_back(dlg->enteredId());
            auto* start = dlg->findChild<QPushButton*>(QString::number(CGetNewID::IDC_START_CAPTURE));
            if (!start || !start->isVisible()) {
                ADD_FAILURE() << "no visible \"Start capture\" button";
                dlg->reject();
                return;
            }
            EXPECT_EQ(start->text(), QStringLiteral("Start capture"));
            start->click();
            if (dlg->isVisible()) {
                ADD_FAILURE() << "\"Start capture\" did not close the keypad";
                dlg->reject();
            }
        });
        return CGetNewID::ask(setup, parent);
    }
};

struct Probe
{
    QMap<QString, QString> fields;
    QString raw;
};

// ffprobe's view of the first video stream and the container, run with an argument list.
Probe ffprobe(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=codec_name,width,height,r_frame_rate,nb_read_frames:format=format_name", "-of",
             "default=noprint_wrappers=1", path});
    Probe out;
    if (!p.waitForFinished(60000))
        return out;
    out.raw = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : out.raw.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            out.fields[line.left(eq)] = line.mid(eq + 1).trimmed();
    }
    return out;
}

cv::Mat decodedFrame(const QString& path, int index)
{
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    for (int i = 0; i <= index; ++i)
        if (!cap.read(frame))
            return {};
    return frame.clone();
}

// How a burnt-in box looks: the share of white pixels and the number of dark (text) pixels.
struct Ink
{
    double whiteShare = 0;
    int dark = 0;
};

Ink inkIn(const cv::Mat& bgr, const cv::Rect& r)
{
    cv::Mat grey;
    cv::cvtColor(bgr(r), grey, cv::COLOR_BGR2GRAY);
    Ink ink;
    int white = 0;
    for (int y = 0; y < grey.rows; ++y)
        for (int x = 0; x < grey.cols; ++x) {
            const int v = grey.at<std::uint8_t>(y, x);
            white += v > 200;
            ink.dark += v < 90;
        }
    ink.whiteShare = double(white) / (r.width * r.height);
    return ink;
}

double meanAbsDiff(const cv::Mat& a, const cv::Mat& b)
{
    cv::Mat d;
    cv::absdiff(a, b, d);
    const cv::Scalar m = cv::mean(d);
    return (m[0] + m[1] + m[2]) / 3.0;
}

// The ID box as the recorder stamps it for `id`, on a plain grey picture.
cv::Mat stampedIdBox(int id)
{
    cv::Mat frame(Height, Width, CV_8UC3, cv::Scalar(118, 118, 118));
    stampFrame(frame, ModeRecording, QDateTime(QDate(2024, 1, 1), QTime(0, 0)), id);
    return frame(cv::Rect(0, Height - 20, 143, 20)).clone();
}

class RecordingAcceptanceTest : public MainWindowFixtureOf<KeypadPrompts>
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixtureOf::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
        useOwnTrash();
        // The defaults are the acceptance setting: 640 x 480 at 30 frames per second.
        ASSERT_EQ(appSettings().captureWidth(), Width);
        ASSERT_EQ(appSettings().captureHeight(), Height);
        ASSERT_EQ(appSettings().getInt(CaptureFps), Fps);
        // A user would take a moment to type; the script waits for the camera instead.
        prompts.whileOpen = [this](CGetNewID&) {
            EXPECT_TRUE(waitUntil([this] { return w->flags().cameraOpened && w->displayFrame().ready(); }));
        };
    }
    void makeWindow()
    {
        MainWindowServices services = simulatedCameraServices();
        services.recording.wallClock = wallClock.clock();
        showWindow(std::move(services));
    }

    // Watches the capture thread's reports; call once the thread exists.
    void watchCaptureThread()
    {
        CaptureThread* t = w->recordingControl().captureThread();
        ASSERT_NE(t, nullptr);
        QObject::connect(t, &CaptureThread::frameReady, [this] { ++frames; });
        QObject::connect(t, &CaptureThread::recordingClosed, [this](const QString&, qint64 written) {
            lastWritten = written;
            ++closedFiles;
        });
    }

    // Starts the program, types the ID on the keypad and waits until the file is open.
    void startWithKeypad()
    {
        makeWindow();
        ASSERT_TRUE(
            waitUntil([this] { return prompts.keypadRuns == 1 && w->windowMode() == ModeRecording; }));
        watchCaptureThread();
        ASSERT_TRUE(waitUntil([this] { return !w->recordingControl().openedFileName().isEmpty(); }));
    }

    void key(int k) { pressKey(w.get(), k); }

    QStringList videos() const
    {
        return QDir(saveFolder).entryList({QStringLiteral("*.wmv")}, QDir::Files, QDir::Name);
    }
    QString opened() const { return w->recordingControl().openedFileName(); }
    // Waits until the open recording holds pictures (it writes none during its warm-up of half a
    // second), then moves the wall clock a second on, so that a new recording has a later name.
    bool recordingForASecond()
    {
        const bool written = waitUntil([this] { return w->flags().recordingElapsedMs >= 1000; });
        wallClock.advance(std::chrono::seconds(1));
        return written;
    }

    QString& saveFolder = folder;
    std::unique_ptr<CTolvek2Dlg>& w = window;
    TestWallClock wallClock;
    std::atomic<int> frames{0};
    std::atomic<int> closedFiles{0};
    std::atomic<qint64> lastWritten{-1};
};

} // namespace

TEST_F(RecordingAcceptanceTest, KeypadThenEnterLeavesAStampedWmvOfTheRecordedTime)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    int modeWhileTyping = -1;
    Ink idBoxWhileTyping;
    prompts.whileOpen = [&](CGetNewID&) {
        ASSERT_TRUE(waitUntil([this] { return w->flags().cameraOpened && w->displayFrame().ready(); }));
        modeWhileTyping = w->windowMode();
        // The live view runs behind the keypad: the date box is there, the ID box not yet.
        const FrameCopy live = w->displayFrame().copy();
        ASSERT_TRUE(live.valid());
        cv::Mat rgb(live.height, live.width, CV_8UC3, const_cast<std::uint8_t*>(live.rgb.data()));
        EXPECT_GT(inkIn(rgb, cv::Rect(Width - 295, Height - 20, 295, 20)).whiteShare, 0.6);
        idBoxWhileTyping = inkIn(rgb, cv::Rect(0, Height - 20, 143, 20));
    };
    startWithKeypad();
    EXPECT_EQ(modeWhileTyping, ModeLive);
    EXPECT_LT(idBoxWhileTyping.whiteShare, 0.1);
    EXPECT_EQ(prompts.shownIds, std::vector<int>{123});
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->currentPatientId(), 123);
    EXPECT_TRUE(appSettings().value(IdHistory).startsWith(QStringLiteral("00000123,")));

    ASSERT_TRUE(waitUntil([this] { return w->flags().recordingElapsedMs >= 3000; }));
    key(Qt::Key_Return);
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    EXPECT_EQ(w->closeAllowed(), 1);
    // Shown once the capture thread has closed the file.
    ASSERT_TRUE(waitUntil([this] { return closedFiles == 1 && !w->state().playbackVideoName.isEmpty(); }));
    const QDateTime after = QDateTime::currentDateTime();

    const QStringList names = videos();
    ASSERT_EQ(names.size(), 1);
    const QString name = names.first();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^00000123\\d{14}\\.wmv$")).match(name).hasMatch())
        << name.toStdString();
    const VideoNameFields fields = parseVideoFileName(name);
    ASSERT_TRUE(fields.ok && fields.timeValid());
    EXPECT_GE(fields.localTime(), before);
    EXPECT_LE(fields.localTime(), after);
    EXPECT_EQ(w->state().playbackVideoName, name);
    const QString path = makeSavePath(saveFolder, name);
    EXPECT_EQ(copyrightOf(path), QStringLiteral("Tolvek"));

    // About 3 s at 30 frames per second after the warm-up of 15 frames (half a second): the
    // range is wide on purpose, the pacing itself is tested on the pure pacer.
    const qint64 written = lastWritten;
    const int elapsedMs = w->flags().recordingElapsedMs;
    EXPECT_GE(written, 45);
    EXPECT_LE(written, qint64(elapsedMs) * Fps / 1000);
    EXPECT_EQ(countDecodedFrames(path), written);

    const Probe probe = ffprobe(path);
    EXPECT_EQ(probe.fields.value("codec_name"), "wmv2") << probe.raw.toStdString();
    EXPECT_EQ(probe.fields.value("format_name"), "asf") << probe.raw.toStdString();
    EXPECT_EQ(probe.fields.value("width"), QString::number(Width));
    EXPECT_EQ(probe.fields.value("height"), QString::number(Height));
    EXPECT_EQ(probe.fields.value("r_frame_rate"), QStringLiteral("%1/1").arg(Fps));
    EXPECT_EQ(probe.fields.value("nb_read_frames"), QString::number(written));

    const cv::Mat frame = decodedFrame(path, int(written / 2));
    ASSERT_FALSE(frame.empty());
    ASSERT_EQ(frame.size(), cv::Size(Width, Height));
    // Both boxes white with dark text; the picture above them is the grey eye camera.
    for (const cv::Rect& box :
         {cv::Rect(0, Height - 20, 143, 20), cv::Rect(Width - 295, Height - 20, 295, 20)}) {
        SCOPED_TRACE(testing::Message() << "box at x " << box.x);
        const Ink ink = inkIn(frame, box);
        EXPECT_GT(ink.whiteShare, 0.6);
        EXPECT_GT(ink.dark, 40);
    }
    EXPECT_LT(inkIn(frame, cv::Rect(0, Height - 45, Width, 20)).whiteShare, 0.1);
    // The text in the ID box is "ID:00000123": closer to that stamp than to any other ID's.
    const cv::Mat idBox = frame(cv::Rect(0, Height - 20, 143, 20));
    const double own = meanAbsDiff(idBox, stampedIdBox(123));
    for (int other : {128, 12300000, 88888888}) {
        SCOPED_TRACE(other);
        EXPECT_LT(own, meanAbsDiff(idBox, stampedIdBox(other)));
    }
    EXPECT_LT(own, 8.0);

    // The head picture fills the top-left 85 x 85 square: it matches the overlay drawn for the
    // window's head pose and posture, not the one of the other posture.
    const int posture = appSettings().contains(Posture, u'1') ? PostureSupine : PostureSitting;
    const bool byHand = appSettings().contains(SensorMode, u'0');
    auto overlayFor = [&](int p) {
        cv::Mat ref(Height, Width, CV_8UC3, cv::Scalar(118, 118, 118));
        drawHeadOverlay(ref, w->head().headPose(), overlayPosture(p, byHand));
        return ref(cv::Rect(0, 0, HeadOverlaySize, HeadOverlaySize)).clone();
    };
    const cv::Mat square = frame(cv::Rect(0, 0, HeadOverlaySize, HeadOverlaySize));
    const double head = meanAbsDiff(square, overlayFor(posture));
    EXPECT_LT(head, 10.0);
    EXPECT_LT(head,
              meanAbsDiff(square, overlayFor(posture == PostureSupine ? PostureSitting : PostureSupine)));
    EXPECT_LT(inkIn(frame, cv::Rect(HeadOverlaySize + 2, 0, 40, HeadOverlaySize)).whiteShare, 0.1);
}

TEST_F(RecordingAcceptanceTest, SingleKeysRestartOnF1AndOnADoubleSpaceOnly)
{
    // A sensor is configured (none runs here), so Space re-zeroes the head.
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    startWithKeypad();
    std::uint32_t tick = 50000;
    w->setKeyClock([&tick] { return tick; });

    // Quit is greyed and closing the window only beeps while recording.
    EXPECT_FALSE(w->control(IDC_QUIT)->isEnabled());
    EXPECT_FALSE(w->close());
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_TRUE(w->flags().recording);

    // F1: the partial file goes to the trash, a new one with a later start time is recorded.
    const QString first = opened();
    ASSERT_TRUE(recordingForASecond());
    key(Qt::Key_F1);
    EXPECT_FALSE(QFile::exists(makeSavePath(saveFolder, first)));
    EXPECT_GT(countDecodedFrames(trashed(first)), 0);
    // Its head data went with it.
    EXPECT_FALSE(QFile::exists(makeSavePath(saveFolder, headDataFileName(first))));
    EXPECT_TRUE(QFile::exists(trashed(headDataFileName(first))));
    EXPECT_EQ(w->windowMode(), ModeRecording);
    EXPECT_EQ(w->closeAllowed(), 0);
    ASSERT_TRUE(waitUntil([this] { return !opened().isEmpty(); }));
    const QString second = opened();
    EXPECT_GT(second, first);
    EXPECT_TRUE(second.startsWith(QStringLiteral("00000123")));

    // Two Space presses 300 ms apart: each re-zeroes the head, neither restarts.
    const Quaternion samples[] = {{0.9f, 0.1f, 0.2f, 0.3f}, {0.7f, -0.3f, 0.1f, 0.5f}};
    for (int i = 0; i < 2; ++i) {
        w->head().applySensorSample(samples[i]);
        const Quaternion expected = rezeroedReference(w->head().headReference(), samples[i]);
        ASSERT_NE(expected, w->head().headReference());
        key(Qt::Key_Space);
        EXPECT_EQ(w->head().headReference(), expected) << "press " << i;
        tick += 300;
    }
    EXPECT_EQ(opened(), second);
    EXPECT_TRUE(w->flags().recording);
    EXPECT_TRUE(QFile::exists(makeSavePath(saveFolder, second)));

    // 299 ms apart is a double tap: restart.
    ASSERT_TRUE(recordingForASecond());
    tick += 5000;
    key(Qt::Key_Space);
    tick += 299;
    key(Qt::Key_Space);
    EXPECT_FALSE(QFile::exists(makeSavePath(saveFolder, second)));
    EXPECT_GT(countDecodedFrames(trashed(second)), 0);
    ASSERT_TRUE(waitUntil([this] { return !opened().isEmpty(); }));
    const QString third = opened();
    EXPECT_GT(third, second);

    ASSERT_TRUE(recordingForASecond());
    key(Qt::Key_Return);
    EXPECT_EQ(w->windowMode(), ModeLibrary);
    ASSERT_TRUE(waitUntil([&] { return w->state().playbackVideoName == third; }));
    EXPECT_EQ(videos(), QStringList{third});
    EXPECT_TRUE(w->control(IDC_QUIT)->isEnabled());
}

TEST_F(RecordingAcceptanceTest, UnusableSaveFolderIsReportedAndTheRecordingCanBeLeft)
{
    struct Case
    {
        const char* name;
        std::function<QString(const TempDir&)> folder;
    };
    const Case cases[] = {
        {"missing", [](const TempDir& d) { return d.file("gone/away"); }},
        {"a file in its place",
         [](const TempDir& d) {
             d.write("plainfile", "x");
             return d.file("plainfile");
         }},
        {"read-only",
         [](const TempDir& d) {
             QDir().mkpath(d.file("readonly"));
             QFile::setPermissions(d.file("readonly"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
             return d.file("readonly");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = c.folder(dir);
        if (QFileInfo(folder).isDir() && ::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
            // Running as root: permissions do not stop the writer, so this case cannot be made.
            std::printf("[ SKIPPED  ] save folder case \"%s\": the folder is writable for this user\n",
                        c.name);
            continue;
        }
        appSettings().setValue(SaveFolder, folder);
        saveFolder = folder;
        prompts.messages.clear();
        prompts.keypadRuns = 0;
        closedFiles = 0;
        frames = 0;
        makeWindow();
        ASSERT_TRUE(
            waitUntil([this] { return prompts.keypadRuns == 1 && w->windowMode() == ModeRecording; }));
        watchCaptureThread();

        // The user is told once, naming the file that could not be written.
        ASSERT_TRUE(waitUntil([this] { return !prompts.messages.isEmpty(); }));
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].contains(folder + u'/')) << prompts.messages[0].toStdString();
        EXPECT_FALSE(w->flags().recording);
        EXPECT_FALSE(w->flags().recordRequested);

        // The live view goes on.
        const int shown = frames;
        ASSERT_TRUE(waitUntil([&] { return frames > shown + 3; }));
        EXPECT_TRUE(w->recordingControl().captureThreadRunning());

        // Enter leaves the recording mode although no file was opened, and quitting is allowed again.
        key(Qt::Key_Return);
        EXPECT_EQ(w->windowMode(), ModeLibrary);
        EXPECT_EQ(w->closeAllowed(), 1);
        EXPECT_TRUE(w->control(IDC_QUIT)->isEnabled());
        EXPECT_EQ(closedFiles, 0);
        EXPECT_TRUE(videos().isEmpty());
        EXPECT_EQ(prompts.messages.size(), 1);
        w.reset();
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
}

TEST_F(RecordingAcceptanceTest, UnparsableRecordingLimitEndsEachRecordingAtOnceAndLosesNoFile)
{
    appSettings().setValue(MaxRecordingMinutes, QStringLiteral("ten"));
    const QString older = makeSavePath(saveFolder, QStringLiteral("0000012320200101120000.wmv"));
    ASSERT_FALSE(makeTestWmv(older, 12).isEmpty());
    QFile olderFile(older);
    ASSERT_TRUE(olderFile.open(QIODevice::ReadOnly));
    const QByteArray olderBytes = olderFile.readAll();
    olderFile.close();
    auto emptyNotices = [this] {
        return prompts.messages.filter(QStringLiteral("was stopped before its first picture was written"))
            .size();
    };

    makeWindow();
    ASSERT_TRUE(waitUntil([this] { return prompts.keypadRuns == 1; }));
    // The limit is below zero: the first frame after the file opened stops the recording before
    // any picture went into it. The empty file goes to the trash, and the user is told.
    ASSERT_TRUE(waitUntil([&] { return w->windowMode() == ModeLibrary && emptyNotices() == 1; }));
    EXPECT_EQ(w->closeAllowed(), 1);

    // A second recording of the same patient, from the library with F1.
    key(Qt::Key_F1);
    ASSERT_EQ(prompts.keypadRuns, 2);
    ASSERT_TRUE(waitUntil([&] { return w->windowMode() == ModeLibrary && emptyNotices() == 2; }));
    EXPECT_EQ(w->closeAllowed(), 1);

    EXPECT_EQ(videos(), QStringList{QFileInfo(older).fileName()});
    // Both may have the same name (the same second); the trash keeps them apart.
    const QDir trashFiles = QFileInfo(trashed(QStringLiteral("x"))).dir();
    const QStringList trashedFiles = trashFiles.entryList({QStringLiteral("*.wmv")}, QDir::Files);
    ASSERT_EQ(trashedFiles.size(), 2);
    for (const QString& name : trashedFiles)
        EXPECT_TRUE(name.startsWith(QStringLiteral("00000123"))) << name.toStdString();
    // Their head data went with them.
    EXPECT_EQ(trashFiles.entryList({QStringLiteral("*.csv")}, QDir::Files).size(), 2);
    EXPECT_EQ(trashFiles.entryList(QDir::Files).size(), 4);
    QFile again(older);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), olderBytes);
    EXPECT_EQ(countDecodedFrames(older), 12);
}

TEST_F(RecordingAcceptanceTest, WindowDestroyedWhileRecordingStopsTheThreadFirstAndKeepsTheFile)
{
    startWithKeypad();
    ASSERT_TRUE(recordingForASecond());
    const QString path = makeSavePath(saveFolder, opened());
    // The capture thread is still drawing into the window's picture when the window goes: it
    // must end while the window is whole, before the window's parts are taken down.
    std::vector<std::string> order;
    std::mutex orderMutex;
    auto note = [&](const char* what) {
        std::lock_guard lock(orderMutex);
        order.push_back(what);
    };
    QObject::connect(w->recordingControl().captureThread(), &CaptureThread::finished,
                     [&] { note("thread ended"); });
    QObject::connect(w->control(IDC_QUIT), &QObject::destroyed, [&] { note("controls destroyed"); });
    w.reset();
    EXPECT_EQ(order, (std::vector<std::string>{"thread ended", "controls destroyed"}));
    ASSERT_EQ(closedFiles, 1);
    EXPECT_GT(lastWritten, 0);
    EXPECT_EQ(countDecodedFrames(path), lastWritten);
}

TEST_F(RecordingAcceptanceTest, APresetKeyedDuringTheRecordingGivesTheAnalysisTwoHeadPositions)
{
    // The head is set by hand (SensorMode 0, the default): forward before the ID is accepted,
    // "right" with the 6 key half-way through.
    ASSERT_TRUE(appSettings().contains(SensorMode, u'0'));
    prompts.whileOpen = [this](CGetNewID&) {
        EXPECT_TRUE(waitUntil([this] { return w->flags().cameraOpened && w->displayFrame().ready(); }));
        w->head().setManualPose(ForwardSection);
    };
    startWithKeypad();
    ASSERT_TRUE(waitUntil([this] { return w->flags().recordingElapsedMs >= 2000; }));
    key(Qt::Key_6);
    ASSERT_TRUE(waitUntil([this] { return w->flags().recordingElapsedMs >= 3500; }));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([this] { return closedFiles == 1 && !w->state().playbackVideoName.isEmpty(); }));

    const QString name = videos().value(0);
    const QString path = makeSavePath(saveFolder, name);
    const qint64 written = lastWritten;
    ASSERT_GT(written, 60);
    const media::HeadTrackRead head = media::readHeadTrack(path);
    ASSERT_EQ(head.status, media::HeadTrackRead::Status::Ok) << head.problem.toStdString();
    ASSERT_EQ(qint64(head.rows.size()), written);
    std::vector<int> presets;
    for (const media::HeadTrackRow& row : head.rows) {
        EXPECT_EQ(row.sample.source, media::HeadSource::Keypad);
        if (presets.empty() || presets.back() != row.sample.preset)
            presets.push_back(row.sample.preset);
    }
    EXPECT_EQ(presets, (std::vector<int>{5, 6}));

    const analysis::VideoAnalysis a = analysis::analyseVideo(path);
    ASSERT_TRUE(a.ok) << a.error.toStdString();
    ASSERT_EQ(a.nystagmus.segments.size(), 2u);
    EXPECT_EQ(a.nystagmus.segments[0].headPosition, QStringLiteral("forward"));
    EXPECT_EQ(a.nystagmus.segments[1].headPosition, QStringLiteral("right"));
    // The change lies where the key was pressed: after about 1.5 s of written pictures.
    EXPECT_NEAR(a.nystagmus.segments[1].start, 1.5, 0.5);
}
