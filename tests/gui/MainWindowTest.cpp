#include "core/i18n/Messages.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/app/ModeTable.h"
#include "ui/capture/LiveView.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/Fonts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

using namespace tolvek;
using namespace tolvek::test;

namespace {

class MainWindowTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
    }
    std::unique_ptr<CTolvek2Dlg> makeWindow(int cameras)
    {
        auto w = std::make_unique<CTolvek2Dlg>(services(cameras));
        w->resize(1280, 720);
        return w;
    }

    static void processEvents() { QCoreApplication::processEvents(); }
};

QColor pixelAt(CTolvek2Dlg& w, QPoint p)
{
    return w.grab().toImage().pixelColor(p);
}

} // namespace

TEST_F(MainWindowTest, EveryControlCarriesItsIdAsObjectName)
{
    auto w = makeWindow(1);
    for (int id : {1, 2, 1000, 1002, 1004, 1007, 1012, 1021, 1028, 1032, 1033, 1034, 1038, 1039, 1040, 1041,
                   1042, 1043}) {
        SCOPED_TRACE(id);
        QWidget* c = w->findChild<QWidget*>(QString::number(id));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c, w->control(id));
    }
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Tolvek Version 9.4 / 2026-05-29"));
    EXPECT_TRUE(w->control(IDC_OK)->isHidden());
}

TEST_F(MainWindowTest, WithoutCameraOpensTheAllVideosViewAndSaysSo)
{
    auto w = makeWindow(0);
    EXPECT_EQ(w->windowMode(), ModeListAll);
    processEvents();
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("The camera is not available.")});
    EXPECT_FALSE(w->control(IDC_ALL_LIST)->isHidden());
    EXPECT_TRUE(w->control(IDC_ID_LIST)->isHidden());
}

TEST_F(MainWindowTest, WithCameraStartsTheLiveCaptureOnceOnScreen)
{
    auto w = makeWindow(2);
    int started = 0;
    QObject::connect(w.get(), &CTolvek2Dlg::startLiveCaptureRequested, [&] { ++started; });
    EXPECT_EQ(w->windowMode(), ModeLive);
    EXPECT_EQ(started, 0); // posted, not called
    processEvents();
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(MainWindowTest, ApplyModeFollowsTheTableAndGreysQuitWhileRecording)
{
    auto w = makeWindow(1);
    for (int mode = 0; mode < 4; ++mode) {
        w->setWindowMode(mode);
        for (int id : modeControlledIds()) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " control " << id);
            EXPECT_EQ(!w->control(id)->isHidden(), isShownInMode(id, mode));
        }
        EXPECT_FALSE(w->control(IDC_MENU)->isHidden());
        EXPECT_EQ(w->control(IDC_QUIT)->isEnabled(), mode != ModeRecording);
    }
}

TEST_F(MainWindowTest, ResetHeadPictureFollowsSensorMode)
{
    auto w = makeWindow(1);
    appSettings().setValue(SensorMode, QStringLiteral("0"));
    w->setWindowMode(ModeLive);
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->property("imageId").toInt(), 182);
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->toolTip(), Message(MsgPostureTip));
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    w->setWindowMode(ModeLive);
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->property("imageId").toInt(), 135);
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->toolTip(), Message(MsgResetHeadTip));
}

TEST_F(MainWindowTest, CloseIsRefusedWithABeepWhileRecordingAndKeysNeverClose)
{
    auto w = makeWindow(1);
    w->show();
    processEvents();
    w->setCloseAllowed(0);
    EXPECT_FALSE(w->close());
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(w->isVisible());
    w->setCloseAllowed(1);
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &press);
        processEvents();
        EXPECT_TRUE(w->isVisible()) << key;
    }
}

TEST_F(MainWindowTest, QuitSavesSettingsAndWindowPosition)
{
    auto w = makeWindow(1);
    w->show();
    processEvents();
    qobject_cast<QPushButton*>(w->control(IDC_QUIT))->click();
    processEvents();
    EXPECT_FALSE(w->isVisible());
    const QByteArray config = dir.read("data/Tolvek_config.ini");
    EXPECT_TRUE(config.contains(("SaveFolder:" + dir.file("data/gazou") + "\r\n").toUtf8()))
        << config.constData();
    EXPECT_TRUE(profile.values.contains(QStringLiteral("WindowPos/Left")));
    EXPECT_EQ(profile.values.value(QStringLiteral("WindowPos/Right")) -
                  profile.values.value(QStringLiteral("WindowPos/Left")),
              w->frameGeometry().width());
}

TEST_F(MainWindowTest, StoredWindowRectangleIsRestored)
{
    profile.values = {{QStringLiteral("WindowPos/Left"), 40},
                      {QStringLiteral("WindowPos/Top"), 30},
                      {QStringLiteral("WindowPos/Right"), 1040},
                      {QStringLiteral("WindowPos/Bottom"), 830}};
    auto w = makeWindow(1);
    w->show();
    processEvents();
    EXPECT_EQ(w->frameGeometry().size(), QSize(1000, 800));
    EXPECT_EQ(w->layoutValues().rawClient, w->size());
}

TEST_F(MainWindowTest, CameraLostTellsTheUserAndClosesInOrder)
{
    auto w = makeWindow(1);
    w->show();
    processEvents();
    w->onCameraLost();
    processEvents();
    ASSERT_FALSE(prompts.messages.isEmpty());
    EXPECT_EQ(prompts.messages.last(),
              QStringLiteral(
                  "The camera connection was lost. Recording will stop and the application will close."));
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(profile.values.contains(QStringLiteral("WindowPos/Bottom")));
}

TEST_F(MainWindowTest, LayoutOfTheWorkedExample)
{
    auto w = makeWindow(1);
    w->resize(1280, 720);
    EXPECT_EQ(w->layoutValues().liveView, QRect(280, 132, 720, 540));
    EXPECT_EQ(w->control(IDC_SLIDER)->geometry(), QRect(270, 675, 732, 29));
}

TEST_F(MainWindowTest, PictureIsWhiteWithoutFrameAndShowsTrueColours)
{
    appSettings().setValue(SensorMode, QStringLiteral("1")); // no grid
    auto w = makeWindow(1);
    w->resize(1280, 720);
    const QPoint centre = w->layoutValues().liveView.center();
    EXPECT_EQ(pixelAt(*w, centre), QColor(Qt::white));

    // A 640 x 480 frame, red on the left half and blue on the right, fills the whole picture.
    std::vector<std::uint8_t> rgb(640 * 480 * 3);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            std::uint8_t* p = &rgb[(y * 640 + x) * 3];
            p[0] = x < 320 ? 255 : 0;
            p[2] = x < 320 ? 0 : 255;
        }
    w->displayFrame().store(rgb.data(), 640, 480, 640 * 3);
    const QRect r = w->layoutValues().liveView;
    EXPECT_EQ(pixelAt(*w, r.topLeft() + QPoint(2, 2)), QColor(255, 0, 0));
    EXPECT_EQ(pixelAt(*w, r.bottomRight() - QPoint(2, 2)), QColor(0, 0, 255));
    w->displayFrame().clear();
    EXPECT_EQ(pixelAt(*w, centre), QColor(Qt::white));
}

TEST_F(MainWindowTest, SectionGridOnlyWhileTheHeadIsSetByHandInLiveModes)
{
    appSettings().setValue(SensorMode, QStringLiteral("0"));
    auto w = makeWindow(1);
    w->resize(1280, 720);
    const QRect r = w->layoutValues().liveView;
    const QPoint onLine(r.left() + r.width() / 3, r.top() + r.height() / 6);
    const std::vector<std::uint8_t> grey(64 * 48 * 3, 128);
    w->displayFrame().store(grey.data(), 64, 48, 64 * 3);
    const struct
    {
        int mode;
        const char* sensor;
        bool grid;
    } cases[] = {
        {ModeLive, "0", true}, {ModeRecording, "0", true}, {ModeLibrary, "0", false}, {ModeLive, "1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " sensor " << c.sensor);
        appSettings().setValue(SensorMode, QString::fromUtf8(c.sensor));
        w->setWindowMode(c.mode);
        EXPECT_EQ(pixelAt(*w, onLine), c.grid ? QColor(Qt::black) : QColor(128, 128, 128));
    }
}

TEST_F(MainWindowTest, LanguageChangeUpdatesTitlesAndTooltips)
{
    auto w = makeWindow(1);
    auto* all = qobject_cast<QTreeWidget*>(w->control(IDC_ALL_LIST));
    w->setLanguage(English);
    EXPECT_EQ(all->headerItem()->text(0), QStringLiteral("ID"));
    EXPECT_EQ(all->headerItem()->text(1), QStringLiteral("Date"));
    EXPECT_EQ(w->control(IDC_SETID)->toolTip(), messageText(English, MsgSetIdTip));
    w->setLanguage(Japanese);
    EXPECT_EQ(all->headerItem()->text(1), QStringLiteral("撮影日時"));
    EXPECT_EQ(all->headerItem()->text(0), QStringLiteral("ID"));
    w->setWindowMode(ModeLive);
    EXPECT_TRUE(w->liveViewToolTip().isEmpty());
    w->setWindowMode(ModeLibrary);
    EXPECT_EQ(w->liveViewToolTip(), messageText(Japanese, MsgPlayerTip));
}

TEST_F(MainWindowTest, CurrentIdComesFromTheHistory)
{
    appSettings().setValue(IdHistory, QStringLiteral("00004567,00000222"));
    auto w = makeWindow(1);
    EXPECT_EQ(w->currentPatientId(), 4567);
    auto* ids = qobject_cast<QTreeWidget*>(w->control(IDC_ID_LIST));
    EXPECT_EQ(ids->headerItem()->text(0), QStringLiteral("ID:00004567"));
    appSettings().setValue(IdHistory, QStringLiteral("garbage"));
    auto w2 = makeWindow(1);
    EXPECT_EQ(w2->currentPatientId(), 0);
}

TEST_F(MainWindowTest, ListAndPanelFontsAreTheirPointSizesInPixels)
{
    struct Case
    {
        double points;
        int dpi;
        int pixels;
    };
    for (const Case& c : {Case{19.0, 96, 25}, Case{17.0, 96, 23}, Case{17.0, 120, 28}, Case{19.0, 0, 25}}) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(pointsToPixels(c.points, c.dpi), c.pixels);
    }
    auto w = makeWindow(0);
    const int dpi = w->logicalDpiY();
    for (int id : {IDC_ALL_LIST, IDC_ID_LIST, IDC_REFERENCE_LIST})
        EXPECT_EQ(w->control(id)->font().pixelSize(), pointsToPixels(19.0, dpi)) << id;
    EXPECT_EQ(w->control(IDC_FOLDER_PANEL)->font().pixelSize(), pointsToPixels(17.0, dpi));
}

TEST_F(MainWindowTest, ColumnWidthsReadBackAsSavedInALargeWindow)
{
    appSettings().setValue(ListColumnWidths, QStringLiteral("90,310,120,500,260"));
    auto w = makeWindow(1);
    w->resize(1920, 1080);
    w->show();
    processEvents();
    auto* all = qobject_cast<QTreeWidget*>(w->control(IDC_ALL_LIST));
    QList<int> shown;
    for (int c = 0; c < 5; ++c)
        shown << all->columnWidth(c);
    EXPECT_EQ(shown, (QList<int>{90, 310, 120, 500, 260}));
    qobject_cast<QPushButton*>(w->control(IDC_QUIT))->click();
    processEvents();
    EXPECT_TRUE(dir.read("data/Tolvek_config.ini").contains("ListAviColumnSizes:90,310,120,500,260\r\n"));
}

TEST_F(MainWindowTest, ACloseFromTheTitleBarQuitsAndSavesAtOnce)
{
    auto w = makeWindow(1);
    w->show();
    processEvents();
    // The window manager's close: a close event from outside, with no recording running.
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
    // Saved by the close itself, while the window object still exists.
    EXPECT_TRUE(dir.read("data/Tolvek_config.ini").contains("SaveFolder:"));
    EXPECT_TRUE(profile.values.contains(QStringLiteral("WindowPos/Bottom")));
}

TEST_F(MainWindowTest, ARecordingIsMarkedInTheWindowForAcrossTheRoom)
{
    struct Case
    {
        int ms;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0:00"}, Case{65'400, "1:05"}, Case{3'600'000, "1:00:00"}, Case{-5, "0:00"}})
        EXPECT_EQ(recordingBadgeText(c.ms), QString::fromLatin1(c.text));

    auto w = makeWindow(0);
    w->show();
    processEvents();
    const QRect picture = w->layoutValues().liveView;
    const RecordingMarks marks = recordingMarks(picture);
    // The badge sits inside the picture's top right, clear of the head picture at its top left.
    EXPECT_TRUE(picture.contains(marks.badge));
    EXPECT_GT(marks.badge.left(), picture.center().x());
    const QPoint edge(picture.center().x(), picture.top() + 1);
    w->setWindowMode(ModeLibrary);
    EXPECT_NE(pixelAt(*w, edge), QColor(220, 0, 0));
    w->setWindowMode(ModeRecording);
    EXPECT_EQ(pixelAt(*w, edge), QColor(220, 0, 0));
    w->setWindowMode(ModeLibrary);
}

TEST_F(MainWindowTest, ButtonTooltipsOpenBelowTheButtonRowClearOfTheRecordButton)
{
    auto w = makeWindow(1);
    w->show();
    w->setWindowMode(ModeLibrary);
    processEvents();
    QWidget* record = w->control(IDC_RECORD);
    ASSERT_TRUE(record->isVisible());
    const QRect recordOnScreen(record->mapToGlobal(QPoint(0, 0)), record->size());
    for (int id : {IDC_SETID, IDC_MENU, IDC_LISTVIEW, IDC_RECORD, IDC_QUIT}) {
        SCOPED_TRACE(id);
        QWidget* button = w->control(id);
        ASSERT_FALSE(button->toolTip().isEmpty());
        // The pointer rests in the button's lower half, where a tooltip under it would reach into
        // the row.
        const QPoint at(button->width() / 2, button->height() - 20);
        QHelpEvent help(QEvent::ToolTip, at, button->mapToGlobal(at));
        QApplication::sendEvent(button, &help);
        processEvents();
        QWidget* tip = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("qtooltip_label") && top->isVisible())
                tip = top;
        ASSERT_NE(tip, nullptr);
        EXPECT_GE(tip->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
        if (id != IDC_RECORD) {
            EXPECT_FALSE(tip->geometry().intersects(recordOnScreen));
        }
        QToolTip::hideText();
        processEvents();
    }
}
