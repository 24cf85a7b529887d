#include "core/i18n/Messages.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/IndexedVideo.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/KeyCommands.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 300; // 10 s at 30 frames a second
const QString VideoName = QStringLiteral("12345678") + QStringLiteral("20240102030405.wmv");

class PlaybackSliderTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        ASSERT_TRUE(writeIndexedWmv(path(VideoName), Frames));

        window = std::make_unique<CTolvek2Dlg>(services(0));
        window->resize(1280, 720);
        pc = std::make_unique<PlaybackController>(PlaybackWindow{
            *window, window->state(), *window, *window, window->displayFrame(), window->layoutValues()});
        QObject::connect(&window->timer1(), &QTimer::timeout, pc.get(), &PlaybackController::onTimer1);
        QObject::connect(window.get(), &CTolvek2Dlg::keyActionRequested, pc.get(),
                         &PlaybackController::onKeyAction);
        QObject::connect(pc.get(), &PlaybackController::frameReady, window.get(), &CTolvek2Dlg::onFrameReady);
        window->state().playbackVideoName = VideoName;
        window->setWindowMode(ModeLibrary);
        length = window->layoutValues().sliderLength;
        ASSERT_GT(length, 100);
    }

    void TearDown() override
    {
        pc.reset(); // joins the players before the window and its display frame go
        MainWindowFixture::TearDown();
    }

    // Client point of slider position p on the track.
    QPoint onSlider(int p) const
    {
        const QRect r = window->layoutValues().liveView;
        return {r.left() + p, r.top() + r.height() + 3 + 10};
    }
    QPoint onPicture() const { return window->layoutValues().liveView.center() - QPoint(0, 100); }

    void click(QPoint at)
    {
        pc->leftButtonDown(at);
        pc->leftButtonUp(at);
    }
    void drag(QPoint from, QPoint to)
    {
        pc->leftButtonDown(from);
        pc->mouseMove(to, true);
        pc->leftButtonUp(to);
    }

    int shownIndex() { return frameIndexOf(window->displayFrame().copy()); }
    int trimImage() const { return window->control(IDC_TRIM)->property("imageId").toInt(); }
    QString trimTip() const { return window->control(IDC_TRIM)->toolTip(); }

    std::unique_ptr<PlaybackController> pc;
    int length = 0;
};

QColor pixel(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

TEST_F(PlaybackSliderTest, TheRightButtonOpensTheMenuOnThePictureOnlyAndItsReleaseEndsADrag)
{
    int menus = 0;
    window->lists().setMenuRunner([&menus](QMenu&, QPoint) {
        ++menus;
        return 0;
    });
    auto send = [this](QEvent::Type type, QPoint at) {
        QMouseEvent e(type, QPointF(at), QPointF(window->mapToGlobal(at)), Qt::RightButton,
                      type == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &e);
    };
    const QRect r = window->layoutValues().liveView;
    // The lowest tenth of the picture belongs to the slider band: no menu there.
    send(QEvent::MouseButtonPress, {r.center().x(), r.bottom() - 2});
    EXPECT_EQ(menus, 0);
    send(QEvent::MouseButtonPress, r.center());
    EXPECT_EQ(menus, 1);

    window->playback().setSliderDrag(DragPosition);
    send(QEvent::MouseButtonRelease, r.center());
    EXPECT_EQ(window->playback().sliderDrag(), DragNone);
}

TEST_F(PlaybackSliderTest, DraggingTheMarkersSetsTheRangeAndSwitchesTheTrimButton)
{
    pc->drawSlider(SliderDraw::Reset);
    EXPECT_EQ(trimImage(), 180);

    drag(onSlider(5), onSlider(100)); // grabbed 5 pixels right of the start marker
    EXPECT_EQ(pc->rangeStart(), 95);
    EXPECT_EQ(pc->state().requestedFrame.load(), sliderToFrame(95, length, Frames)); // the frame under it
    pc->onTimer1(); // the timer redraws the slider and the trim button follows
    EXPECT_EQ(trimImage(), 141);
    EXPECT_EQ(trimTip(), Message(MsgTrimRangeTip));

    drag(onSlider(95), onSlider(2)); // 2 pixels from the end: the whole video again
    EXPECT_EQ(pc->rangeStart(), 2);
    pc->drawSlider(SliderDraw::Current);
    EXPECT_EQ(trimImage(), 180);
    EXPECT_EQ(trimTip(), Message(MsgTrimHowToTip));
    drag(onSlider(2), onSlider(3));
    pc->drawSlider(SliderDraw::Current);
    EXPECT_EQ(trimImage(), 141);

    // The end marker stops 20 pixels short of the start marker.
    drag(onSlider(length - 1), onSlider(10));
    EXPECT_EQ(pc->rangeStart(), 3);
    EXPECT_EQ(pc->rangeEnd(), 23);
    // And the start marker 20 pixels short of the end marker.
    pc->setRange(100, 300);
    drag(onSlider(100), onSlider(400));
    EXPECT_EQ(pc->rangeStart(), 280);
    EXPECT_EQ(pc->rangeEnd(), 300);
}

TEST_F(PlaybackSliderTest, APressThirteenPixelsFromAMarkerGrabsItFourteenMovesThePosition)
{
    pc->setRange(100, 400);
    pc->leftButtonDown(onSlider(113));
    EXPECT_EQ(pc->sliderDrag(), DragStartMarker);
    pc->leftButtonUp(onSlider(113));
    EXPECT_EQ(pc->sliderDrag(), DragNone);

    pc->leftButtonDown(onSlider(114));
    EXPECT_EQ(pc->sliderDrag(), DragPosition);
    EXPECT_EQ(pc->frameCount(), Frames); // read from the file before the first mapping
    EXPECT_EQ(pc->currentFrame(), sliderToFrameClamped(114, length, Frames));
    EXPECT_TRUE(pc->paused());
    pc->leftButtonUp(onSlider(114));

    // Within reach of both markers the start marker wins.
    pc->setRange(100, 122);
    pc->leftButtonDown(onSlider(111));
    EXPECT_EQ(pc->sliderDrag(), DragStartMarker);
    pc->leftButtonUp(onSlider(111));
}

TEST_F(PlaybackSliderTest, DraggingThePositionPastTheEndShowsTheLastFrameAndTheReleaseKeepsIt)
{
    pc->leftButtonDown(onSlider(300));
    const QRect r = window->layoutValues().liveView;
    const int y = onSlider(0).y();
    pc->mouseMove({r.left() + length + 10, y}, true); // in the grace zone beyond the end
    EXPECT_EQ(pc->currentFrame(), Frames - 1);
    pc->mouseMove({r.left() + length + 60, y}, true); // off the band: the last position inside it
    EXPECT_EQ(pc->currentFrame(), Frames - 1);
    pc->leftButtonUp(onPicture()); // released outside the band
    EXPECT_EQ(pc->currentFrame(), Frames - 1);
    EXPECT_TRUE(pc->hasPlayer());
    ASSERT_TRUE(
        waitUntil([&] { return shownIndex() == Frames - 1 && pc->state().requestedFrame == Frames - 1; }));

    // A press within 15 pixels left of the slider's start selects position 0.
    click({r.left() - 15, y});
    EXPECT_EQ(pc->currentFrame(), 0);
    ASSERT_TRUE(waitUntil([&] { return shownIndex() == 0; }));
}

TEST_F(PlaybackSliderTest, AClickOnThePictureTogglesButNotWhenItStartedOrEndedOnTheSlider)
{
    click(onPicture()); // no player yet: plays from the start
    EXPECT_TRUE(pc->hasPlayer());
    EXPECT_FALSE(pc->paused());
    click(onPicture());
    EXPECT_TRUE(pc->paused());
    click(onPicture());
    EXPECT_FALSE(pc->paused());

    // Pressed on the picture, released on the slider: no toggle.
    pc->leftButtonDown(onPicture());
    pc->leftButtonUp(onSlider(200));
    EXPECT_FALSE(pc->paused());
    // Pressed on the slider (which pauses there), released on the picture: no toggle either.
    pc->leftButtonDown(onSlider(200));
    pc->leftButtonUp(onPicture());
    EXPECT_TRUE(pc->paused());

    // The press and release of a double click's first click paused on the slider; the double
    // click plays from there.
    click(onSlider(360));
    EXPECT_TRUE(pc->paused());
    pc->leftDoubleClick(onSlider(360));
    EXPECT_FALSE(pc->paused());
    // Not on the slider: nothing.
    click(onPicture());
    EXPECT_TRUE(pc->paused());
    pc->leftDoubleClick({5, 5});
    EXPECT_TRUE(pc->paused());
}

TEST_F(PlaybackSliderTest, ClicksOutsideTheLibraryModeLeaveThePlayerAlone)
{
    window->setWindowMode(ModeListAll);
    click(onSlider(200));
    click(onPicture());
    EXPECT_FALSE(pc->hasPlayer());
    EXPECT_EQ(pc->sliderDrag(), DragNone);
}

TEST_F(PlaybackSliderTest, TimeTextsOfLibraryAndRecordingModes)
{
    auto* time = qobject_cast<QLabel*>(window->control(IDC_TIME_TEXT));
    ASSERT_NE(time, nullptr);
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QStringLiteral("00:00/00:10"));
    EXPECT_EQ(time->font().pixelSize(), int(std::lround(17.0 * time->logicalDpiY() / 72.0)));
    pc->state().currentFrame = 95;
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QStringLiteral("00:03/00:10"));

    // Without a usable frame rate the elapsed part stays at zero; the total comes from the file.
    appSettings().setValue(CaptureFps, QStringLiteral("0"));
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QStringLiteral("00:00/00:10"));
    appSettings().setValue(CaptureFps, QStringLiteral("30"));

    // Timer 1 rewrites the text on every second tick only.
    time->setText(QStringLiteral("x"));
    pc->onTimer1();
    EXPECT_EQ(time->text(), QStringLiteral("x"));
    pc->onTimer1();
    EXPECT_EQ(time->text(), QStringLiteral("00:03/00:10"));

    window->flags().recordingElapsedMs = 61000;
    window->setWindowMode(ModeRecording);
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QString::fromUtf8("01:01 ●"));
    window->flags().recordingElapsedMs = 3600000;
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QString::fromUtf8("60:00 ○"));

    // Other modes keep the text.
    window->setWindowMode(ModeListAll);
    pc->updateTimeDisplay();
    EXPECT_EQ(time->text(), QString::fromUtf8("60:00 ○"));
}

TEST_F(PlaybackSliderTest, TheSliderPictureShowsTrackBandMarkersAndDiamond)
{
    QWidget* control = window->control(IDC_SLIDER);
    const QColor background = window->palette().color(QPalette::Window);
    pc->setRange(100, 400);
    pc->state().frameCount = Frames;
    pc->state().currentFrame = 150; // the diamond at 150 x length / 300
    pc->drawSlider(SliderDraw::Current);
    QImage image = control->grab().toImage();
    const int d = 150 * length / Frames + 10;
    EXPECT_EQ(pixel(image, 3, 14), background);
    EXPECT_EQ(pixel(image, 60, 2), QColor(180, 180, 180));  // track before the range
    EXPECT_EQ(pixel(image, 260, 2), QColor(120, 120, 120)); // range band
    EXPECT_EQ(pixel(image, 113, 14), QColor(250, 250, 0));  // start marker
    EXPECT_EQ(pixel(image, 407, 14), QColor(250, 250, 0));  // end marker
    EXPECT_EQ(pixel(image, d, 14), QColor(250, 250, 250));  // position diamond
    EXPECT_EQ(pixel(image, 450, 2), QColor(180, 180, 180)); // track after the range

    pc->drawSlider(SliderDraw::Reset); // the reset picture: markers at both ends, diamond at the start
    image = control->grab().toImage();
    EXPECT_EQ(pixel(image, length + 10 - 3, 14), QColor(250, 250, 0));
    EXPECT_EQ(pixel(image, 10, 14), QColor(250, 250, 250));
    EXPECT_EQ(pixel(image, d, 14), pixel(image, d, 2)); // no diamond in the middle any more

    window->state().playbackVideoName.clear(); // no video: the slider area is cleared
    pc->drawSlider(SliderDraw::Current);
    image = control->grab().toImage();
    EXPECT_EQ(pixel(image, 60, 14), background);
    EXPECT_EQ(pixel(image, 113, 14), background);
}

TEST_F(PlaybackSliderTest, ALayoutChangeResetsTheRangeAndThePositionAndDrawsTheSlider)
{
    pc->setRange(100, 300);
    pc->state().currentFrame = 50;
    pc->onLayoutChanged();
    EXPECT_EQ(pc->rangeStart(), 0);
    EXPECT_EQ(pc->rangeEnd(), window->layoutValues().sliderLength);
    EXPECT_EQ(pc->currentFrame(), 0);
    EXPECT_EQ(pc->sliderLength(), window->layoutValues().sliderLength);

    // At every window size the reset slider is drawn at once: markers at both ends, the
    // position at the start. The window's own controller draws it: this test's one, which
    // paints into the same control, goes.
    pc.reset();
    window->show();
    for (const QSize size : {QSize(850, 400), QSize(1920, 1080), QSize(1280, 720)}) {
        SCOPED_TRACE(size.width());
        window->resize(size);
        QCoreApplication::processEvents();
        const int length = window->layoutValues().sliderLength;
        const QImage image = window->control(IDC_SLIDER)->grab().toImage();
        EXPECT_EQ(pixel(image, length + 10 - 3, 14), QColor(250, 250, 0));
        EXPECT_EQ(pixel(image, 10, 14), QColor(250, 250, 250));
        EXPECT_EQ(pixel(image, length / 2 + 10, 2), QColor(120, 120, 120)); // the whole range
    }
}

TEST_F(PlaybackSliderTest, LibraryKeysActOnThePlayer)
{
    int p = 0;
    while (sliderToFrame(p, length, Frames) < 10)
        ++p;
    click(onSlider(p)); // paused on frame 10 with a player
    ASSERT_TRUE(pc->hasPlayer());
    ASSERT_EQ(pc->state().requestedFrame.load(), 10);

    Q_EMIT window->keyActionRequested(KeyAction::StepForward); // resumes, one frame on
    EXPECT_FALSE(pc->paused());
    EXPECT_EQ(pc->state().requestedFrame.load(), 11);
    Q_EMIT window->keyActionRequested(KeyAction::TogglePlayback);
    EXPECT_TRUE(pc->paused());

    // Outside the library mode the keys do not reach the player.
    window->setWindowMode(ModeListAll);
    Q_EMIT window->keyActionRequested(KeyAction::TogglePlayback);
    EXPECT_TRUE(pc->paused());
}

TEST_F(PlaybackSliderTest, PlayFromTheAllVideosViewSwitchesToTheLibraryWithTheWholeRange)
{
    window->setWindowMode(ModeListAll);
    pc->setRange(100, 300);
    pc->togglePlayback();
    EXPECT_EQ(window->windowMode(), ModeLibrary);
    EXPECT_EQ(pc->rangeStart(), 0);
    EXPECT_EQ(pc->rangeEnd(), length);
    EXPECT_TRUE(pc->hasPlayer());
    EXPECT_FALSE(pc->paused());
    EXPECT_TRUE(window->timer1().isActive());
}

TEST_F(PlaybackSliderTest, EndedPlayersAreReapedAndThePictureReturnsToTheFirstFrame)
{
    int ended = 0;
    QObject::connect(pc.get(), &PlaybackController::playerEnded, [&] { ++ended; });
    click(onSlider(length / 2));
    ASSERT_TRUE(pc->hasPlayer());
    pc->stopPlayer();
    EXPECT_FALSE(pc->hasPlayer()); // answered at once, without waiting for the thread
    ASSERT_TRUE(waitUntil([&] { return ended == 1; }));
    ASSERT_TRUE(waitUntil([&] { return shownIndex() == 0; }));

    // A player on a file that does not open ends by itself.
    window->state().playbackVideoName = QStringLiteral("12345678") + QStringLiteral("20240102030406.wmv");
    pc->startPlayer();
    ASSERT_TRUE(waitUntil([&] { return ended == 2; }));
    EXPECT_FALSE(pc->hasPlayer());

    // Starting again and again joins the players it replaces.
    window->state().playbackVideoName = VideoName;
    for (int i = 0; i < 5; ++i)
        pc->startPlayer();
    EXPECT_TRUE(pc->hasPlayer());
    pc->stopPlayerAndWait();
    EXPECT_FALSE(pc->hasPlayer());
}
