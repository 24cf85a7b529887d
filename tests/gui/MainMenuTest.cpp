#include "ui/shared/MainMenu.h"
#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/GyroBoardProcess.h"
#include "support/MainWindowFixture.h"
#include "support/ScopedLanguage.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/app/HardwareFailures.h"
#include "ui/shared/ControlIds.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

using namespace tolvek;
using namespace tolvek::test;

namespace {

QStringList captions(QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

MainMenuState baseState(int mode)
{
    MainMenuState s;
    s.mode = mode;
    s.sensorMode = QStringLiteral("0");
    s.sensorDirection = QStringLiteral("2");
    s.comPort = QStringLiteral("ttyUSB1");
    s.showToolTips = QStringLiteral("1");
    s.languageSetting = 1;
    return s;
}

} // namespace

TEST(MainMenu, ModesRemoveListAllAndReferenceItems)
{
    std::unique_ptr<QMenu> live(buildMainMenu(baseState(1), English, nullptr));
    EXPECT_EQ(live->actions().size(), 10);
    EXPECT_EQ(findCommand(live.get(), CmdListAll), nullptr);
    EXPECT_EQ(findCommand(live.get(), CmdAddToReferenceList), nullptr);
    std::unique_ptr<QMenu> library(buildMainMenu(baseState(2), English, nullptr));
    EXPECT_EQ(library->actions().size(), 14);
    EXPECT_NE(findCommand(library.get(), CmdListAll), nullptr);
    std::unique_ptr<QMenu> folder(buildMainMenu(baseState(3), English, nullptr));
    EXPECT_EQ(captions(folder.get()), (QStringList{"Backup", "Set the BackupFolder", "-",
                                                   "Change the SavingFolder", "-", "Top Page", "-", "Help"}));
}

TEST(MainMenu, ChecksAndDisabledItemsFollowTheSettings)
{
    MainMenuState s = baseState(2);
    s.playbackVideoName = QStringLiteral("9900000020240101120000.wmv");
    std::unique_ptr<QMenu> m(buildMainMenu(s, English, nullptr));
    EXPECT_TRUE(m->actions()[0]->isChecked());  // manual
    EXPECT_FALSE(m->actions()[3]->isEnabled()); // directions need a sensor
    EXPECT_FALSE(findCommand(m.get(), CmdAddToReferenceList)->isEnabled());
    EXPECT_TRUE(findCommand(m.get(), CmdShowToolTips)->isChecked());
    EXPECT_TRUE(findCommand(m.get(), languageCommand(English))->isChecked());

    s.mode = 1;
    std::unique_ptr<QMenu> live(buildMainMenu(s, English, nullptr));
    EXPECT_FALSE(findCommand(live.get(), languageCommand(English))->isChecked());

    s.mode = 2;
    s.sensorMode = QStringLiteral("1");
    s.sensorDirection = QStringLiteral("5");
    s.playbackVideoName = QStringLiteral("0000012320240101120000.wmv");
    s.serialPorts = {{"ttyUSB0", "/dev/ttyUSB0", "ttyUSB0( FT232R)"},
                     {"ttyUSB1", "/dev/ttyUSB1", "ttyUSB1( CH340)"}};
    s.cameraNames = {QStringLiteral("Eye cam"), QStringLiteral("Web cam")};
    s.cameraNumber = 1;
    std::unique_ptr<QMenu> g(buildMainMenu(s, English, nullptr));
    EXPECT_TRUE(g->actions()[1]->isChecked()); // the serial source
    EXPECT_TRUE(findCommand(g.get(), CmdAddToReferenceList)->isEnabled());
    EXPECT_TRUE(findCommand(g.get(), CmdGyroDirectionFirst + 4)->isChecked());
    EXPECT_FALSE(findCommand(g.get(), CmdGyroDirectionFirst + 1)->isChecked());
    QMenu* ports = g->actions()[1]->menu();
    EXPECT_EQ(captions(ports), (QStringList{"ttyUSB0( FT232R)", "ttyUSB1( CH340)"}));
    EXPECT_TRUE(ports->actions()[1]->isChecked());
    EXPECT_FALSE(ports->actions()[0]->isChecked());
    QMenu* cams = g->actions()[5]->menu();
    EXPECT_EQ(captions(cams), (QStringList{"Eye cam", "Web cam"}));
    EXPECT_TRUE(findCommand(cams, cameraCommand(1))->isChecked());

    s.cameraNames.clear();
    s.serialPorts.clear();
    std::unique_ptr<QMenu> none(buildMainMenu(s, English, nullptr));
    EXPECT_EQ(none->actions()[5]->menu()->actions().size(), 5); // placeholders stay
    EXPECT_TRUE(none->actions()[1]->menu()->actions().isEmpty());
}

namespace {

class WindowCommandsTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the texts these tests read are English
        openWindow(QSize(1280, 720));
    }
    void press(int key, Qt::KeyboardModifiers held = Qt::NoModifier)
    {
        QKeyEvent e(QEvent::KeyPress, key, held);
        QApplication::sendEvent(w->control(IDC_ID_LIST), &e);
    }

    std::unique_ptr<CTolvek2Dlg>& w = window;
};

} // namespace

TEST_F(WindowCommandsTest, DirectionCameraTooltipAndManualCommands)
{
    w->executeCommand(CmdGyroDirectionFirst + 6);
    EXPECT_EQ(appSettings().value(SensorDirection), QStringLiteral("7"));
    EXPECT_EQ(w->head().directionMapping().text(), directionMappingText(7));

    w->executeCommand(cameraCommand(3));
    EXPECT_EQ(appSettings().value(CameraNumber), QStringLiteral("3"));

    EXPECT_TRUE(w->toolTipsActive());
    w->executeCommand(CmdShowToolTips);
    EXPECT_EQ(appSettings().value(ShowToolTips), QStringLiteral("0"));
    EXPECT_TRUE(w->control(IDC_SETID)->toolTip().isEmpty());
    w->executeCommand(CmdShowToolTips);
    EXPECT_FALSE(w->control(IDC_SETID)->toolTip().isEmpty());

    appSettings().setValue(SensorMode, QStringLiteral("2"));
    w->setWindowMode(ModeLive);
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->property("imageId").toInt(), 135);
    w->executeCommand(CmdHeadPositionManual);
    EXPECT_EQ(appSettings().value(SensorMode), QStringLiteral("0"));
    EXPECT_FALSE(w->sensorLink().isAlive());
    EXPECT_EQ(w->control(IDC_RESET_HEAD)->property("imageId").toInt(), 182);

    w->executeCommand(languageCommand(German));
    EXPECT_EQ(appSettings().value(Language), QStringLiteral("11"));
    EXPECT_EQ(currentLanguage(), German);
}

TEST_F(WindowCommandsTest, HelpFileMissingIsReported)
{
    appSettings().setValue(Language, QStringLiteral("15"));
    w->executeCommand(CmdHelp);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].endsWith(QStringLiteral("/help/en/tolvek.html\r\nHelp file not found.")));
}

TEST_F(MainWindowFixture, HelpOpensThePageOfTheLanguageOrSaysWhyNot)
{
    // The installed layout beside the fixture's executable folder <dir>/bin.
    const auto page = [](const char* folder) {
        return QStringLiteral("share/tolvek/help/%1/tolvek.html").arg(QLatin1String(folder));
    };
    for (const char* folder : {"ja", "en"}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(dir.file(page(folder))).path()));
        ASSERT_TRUE(dir.write(page(folder), "<html></html>"));
    }
    QList<QUrl> opened;
    bool browserFound = true;
    MainWindowServices with = services();
    with.openUrl = [&](const QUrl& url) {
        opened << url;
        return browserFound;
    };
    showWindow(std::move(with));

    for (const auto& [setting, folder] : {std::pair{"0", "ja"}, {"6", "en"}}) {
        appSettings().setValue(Language, QLatin1String(setting));
        window->executeCommand(CmdHelp);
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened.takeFirst().toLocalFile(), dir.file(page(folder)));
    }
    EXPECT_TRUE(prompts.messages.isEmpty());

    // Nothing to show it with: the user learns which file to open by hand.
    browserFound = false;
    const ScopedLanguage english(English);
    window->executeCommand(CmdHelp);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith(dir.file(page("en")) + QStringLiteral("\r\n")));
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("could not be opened")));
}

TEST_F(WindowCommandsTest, KeysAndClicksSetTheHeadByHand)
{
    w->setWindowMode(ModeLive);
    press(Qt::Key_K);
    EXPECT_EQ(w->head().headPose(), *manualPose(2));
    press(Qt::Key_7);
    EXPECT_EQ(w->head().headPose(), *manualPose(7));

    // A click in the top-left third of the picture is section 7, the bottom-right third 3.
    const QRect r = w->layoutValues().liveView;
    for (const auto& [point, section] :
         {std::pair{r.topLeft() + QPoint(5, 5), 7}, {r.bottomRight() - QPoint(5, 5), 3}}) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(point), QPointF(w->mapToGlobal(point)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &release);
        EXPECT_EQ(w->head().headPose(), *manualPose(section));
    }

    // With a sensor the digits do nothing and Space re-zeroes the reference to the last sample.
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    const HeadPose before = w->head().headPose();
    press(Qt::Key_3);
    EXPECT_EQ(w->head().headPose(), before);
    w->head().applySensorSample({0.5f, 0.5f, 0.5f, 0.5f});
    press(Qt::Key_Space);
    EXPECT_EQ(w->head().headReference(),
              rezeroedReference(InitialHeadReference, Quaternion{0.5f, 0.5f, 0.5f, 0.5f}));
}

TEST_F(WindowCommandsTest, EveryPictureButtonIsReachedFromTheKeyboard)
{
    ASSERT_FALSE(makeTestWmv(path(QStringLiteral("0000012320240305140709.wmv")), 10).isEmpty());
    reloadLists();
    w->setWindowMode(ModeLive);
    const HeadPose pose = w->head().headPose();

    press(Qt::Key_L, Qt::ControlModifier); // List, and no head section 3
    EXPECT_EQ(w->windowMode(), ModeListAll);
    EXPECT_EQ(w->head().headPose(), pose);
    press(Qt::Key_Home, Qt::ControlModifier); // TOP
    EXPECT_NE(w->windowMode(), ModeListAll);

    // F10 opens the main menu below the MENU button, wherever the pointer is.
    QPoint menuAt;
    QTimer::singleShot(0, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuAt = popup->pos();
            popup->close();
        }
    });
    press(Qt::Key_F10);
    const QWidget* menuButton = w->control(IDC_MENU);
    EXPECT_EQ(menuAt, menuButton->mapToGlobal(menuButton->rect().bottomLeft()));

    // In the library the Menu key opens the played video's menu.
    lists->refillIdList(123);
    openRow(ids, QStringLiteral("0000012320240305140709.wmv"));
    ASSERT_EQ(w->windowMode(), ModeLibrary);
    QStringList items;
    w->lists().setMenuRunner([&items](QMenu& menu, QPoint) {
        for (const QAction* a : menu.actions())
            items << a->text();
        return 0;
    });
    press(Qt::Key_Menu);
    EXPECT_TRUE(items.filter(analysisText(AnalysisText::MenuItem)).size() == 1)
        << items.join(u'|').toStdString();
    // A button not offered in the mode only beeps: no TOP in the library.
    ASSERT_FALSE(w->control(IDC_TOTOP)->isVisible());
    const int beeps = prompts.beeps;
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(prompts.beeps, beeps + 1);
    EXPECT_EQ(w->windowMode(), ModeLibrary);

    // Ctrl+Q is the EXIT button: refused while recording, quitting otherwise.
    w->setWindowMode(ModeRecording);
    w->setCloseAllowed(0);
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(w->isVisible());
    w->setWindowMode(ModeLibrary);
    w->setCloseAllowed(1);
    press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(WindowCommandsTest, ResetHeadTogglesPostureWithoutSensor)
{
    appSettings().setValue(SensorMode, QStringLiteral("0"));
    appSettings().setValue(Posture, QStringLiteral("1"));
    w->resetHead();
    EXPECT_EQ(appSettings().value(Posture), QStringLiteral("2"));
    w->resetHead();
    EXPECT_EQ(appSettings().value(Posture), QStringLiteral("1"));
}

TEST_F(WindowCommandsTest, SerialPortCommandStartsTheGyroBoardLink)
{
    tolvek::test::GyroBoardProcess board(QStringLiteral("turn"));
    ASSERT_FALSE(board.slavePath().isEmpty()) << board.errorText().toStdString();
    // The port list as the window would enumerate it, with the pseudo-terminal as its one port.
    MainWindowServices services;
    services.prompts = &prompts;
    services.profile = &profile;
    services.paths = storage.paths;
    services.countCameras = [] { return 0; };
    services.serialPorts = [&] {
        return QList<ComPortEntry>{
            {board.slavePath(), board.slavePath(), board.slavePath() + QStringLiteral("( pty)")}};
    };
    w = std::make_unique<CTolvek2Dlg>(services);
    w->setWindowMode(ModeLive);
    const HeadPose before = w->head().headPose();
    w->executeCommand(CmdComPortFirst);
    EXPECT_EQ(appSettings().value(SensorMode), QStringLiteral("1"));
    EXPECT_EQ(appSettings().value(ComPort), board.slavePath());
    EXPECT_TRUE(tolvek::test::waitUntil([&] { return !(w->head().headPose() == before); }));
    w->executeCommand(CmdHeadPositionManual);
    EXPECT_FALSE(w->sensorLink().isAlive());
}

TEST_F(WindowCommandsTest, ChangingTheSaveFolderListsTheNewFoldersVideos)
{
    const QString other = dir.file("other");
    QDir().mkpath(other);
    ASSERT_FALSE(
        tolvek::test::makeTestWmv(other + QStringLiteral("/0000000920240101100000.wmv"), 5).isEmpty());
    w->state().playbackVideoName = QStringLiteral("0000000120240101100000.wmv");
    prompts.folders.push_back(other);
    w->executeCommand(CmdChangeSaveFolder);
    EXPECT_EQ(appSettings().value(SaveFolder), other);
    EXPECT_TRUE(w->state().playbackVideoName.isEmpty());
    auto* all = qobject_cast<QTreeWidget*>(w->control(IDC_ALL_LIST));
    ASSERT_EQ(all->topLevelItemCount(), 1);
    const QString panel = qobject_cast<QLabel*>(w->control(IDC_FOLDER_PANEL))->text();
    EXPECT_TRUE(panel.contains(QStringLiteral("[Save Folder  ] ") + other)) << panel.toStdString();
    EXPECT_TRUE(panel.endsWith(QStringLiteral("[Saved videos ] 001")));

    // Choosing the same folder again reads it again: a video copied in meanwhile is listed.
    ASSERT_FALSE(
        tolvek::test::makeTestWmv(other + QStringLiteral("/0000000920240102100000.wmv"), 5).isEmpty());
    w->state().playbackVideoName = QStringLiteral("0000000920240101100000.wmv");
    prompts.folders.push_back(other);
    w->executeCommand(CmdChangeSaveFolder);
    EXPECT_TRUE(w->state().playbackVideoName.isEmpty());
    EXPECT_EQ(all->topLevelItemCount(), 2);

    w->state().playbackVideoName = QStringLiteral("0000000920240101100000.wmv");
    for (const char* refused : {"/", ""}) { // a bare root keeps the folder; so does a cancel
        prompts.folders.push_back(QString::fromUtf8(refused));
        w->executeCommand(CmdChangeSaveFolder);
        EXPECT_EQ(appSettings().value(SaveFolder), other);
        EXPECT_FALSE(w->state().playbackVideoName.isEmpty()) << refused;
    }

    prompts.folders.push_back(dir.file("backup"));
    w->executeCommand(CmdSetBackupFolder);
    EXPECT_EQ(appSettings().value(BackupFolder), dir.file("backup"));
}

TEST_F(WindowCommandsTest, ASerialPortThatCannotBeOpenedIsReportedOnceWithWhy)
{
    // A port listed once but gone now: the board was unplugged.
    const QString gone = dir.file("ttyUSB7");
    appSettings().setValue(ComPort, gone);
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    const ScopedLanguage english(English);
    prompts.messages.clear();
    w->setWindowMode(ModeLive);
    ASSERT_NE(w->sensorLink().start(), SensorLink::StartResult::Failed);
    ASSERT_TRUE(tolvek::test::waitUntil([&] { return !prompts.messages.isEmpty(); }));
    EXPECT_EQ(prompts.messages, QStringList{uiText(TxtSerialNotFound).arg(gone)});
    // Tried again at the next recording: the examiner is not told the same again.
    ASSERT_TRUE(tolvek::test::waitUntil([&] { return !w->sensorLink().isAlive(); }));
    ASSERT_NE(w->sensorLink().start(), SensorLink::StartResult::Failed);
    ASSERT_TRUE(tolvek::test::waitUntil([&] { return !w->sensorLink().isAlive(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages.size(), 1);

    // No port at all: the board was not plugged in when the program started.
    appSettings().setValue(ComPort, QStringLiteral("0"));
    ASSERT_NE(w->sensorLink().start(), SensorLink::StartResult::Failed);
    ASSERT_TRUE(tolvek::test::waitUntil([&] { return prompts.messages.size() == 2; }));
    EXPECT_EQ(prompts.messages[1], uiText(TxtSerialNoPort));
}

TEST_F(WindowCommandsTest, ASerialPortWithoutReadPermissionIsReportedAsSuch)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may open any file: no permission problem to see";
    // A device file this user may not open, as a port of the dialout group is to a user outside it.
    const QString port = dir.file("ttyUSB3");
    QFile device(port);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    device.close();
    ASSERT_TRUE(device.setPermissions(QFileDevice::Permissions()));
    appSettings().setValue(ComPort, port);
    appSettings().setValue(SensorMode, QStringLiteral("1"));
    const ScopedLanguage english(English);
    prompts.messages.clear();
    w->setWindowMode(ModeLive);
    ASSERT_NE(w->sensorLink().start(), SensorLink::StartResult::Failed);
    ASSERT_TRUE(tolvek::test::waitUntil([&] { return !prompts.messages.isEmpty(); }));
    EXPECT_EQ(prompts.messages.first(), uiText(TxtSerialNoPermission).arg(port));
}

TEST(HardwareFailures, EachOpenFailureNamesItsCause)
{
    const ScopedLanguage english(English);
    using platform::DeviceDiagnosis;
    using platform::DeviceProblem;
    const QString port = QStringLiteral("/dev/ttyUSB0");
    struct Case
    {
        SensorKind kind;
        SensorLinkEnd reason;
        DeviceProblem problem;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {SensorKind::Serial, SensorLinkEnd::OpenFailed, DeviceProblem::Missing,
         uiText(TxtSerialNotFound).arg(port)},
        {SensorKind::Serial, SensorLinkEnd::OpenFailed, DeviceProblem::NoPermission,
         uiText(TxtSerialNoPermission).arg(port)},
        {SensorKind::Serial, SensorLinkEnd::OpenFailed, DeviceProblem::Busy, uiText(TxtSerialBusy).arg(port)},
        {SensorKind::Phone, SensorLinkEnd::BindFailed, DeviceProblem::Busy,
         uiText(TxtPhonePortInUse).arg(1108)},
        {SensorKind::Phone, SensorLinkEnd::SocketFailed, DeviceProblem::Busy, uiText(TxtPhoneSocketFailed)},
        {SensorKind::Serial, SensorLinkEnd::NoPort, DeviceProblem::Missing, uiText(TxtSerialNoPort)},
        {SensorKind::Serial, SensorLinkEnd::BoardSilent, DeviceProblem::Busy,
         uiText(TxtSerialSilent).arg(port)},
        {SensorKind::Serial, SensorLinkEnd::PortLost, DeviceProblem::Missing,
         uiText(TxtSerialLost).arg(port)},
        {SensorKind::Serial, SensorLinkEnd::Stopped, DeviceProblem::Busy, std::nullopt},
        {SensorKind::Phone, SensorLinkEnd::ModeChanged, DeviceProblem::Busy, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sensorOpenFailureText(c.kind, c.reason, port, DeviceDiagnosis{c.problem, {}}), c.text)
            << sensorLinkEndName(c.reason);
    EXPECT_TRUE(uiText(TxtSerialNoPermission).contains(QStringLiteral("dialout")));
    EXPECT_EQ(uiText(TxtPhoneSocketFailed),
              QStringLiteral("Socket creation failed")); // English as it always read

    FailureOnce once;
    EXPECT_TRUE(once.shouldTell(QStringLiteral("a")));
    EXPECT_FALSE(once.shouldTell(QStringLiteral("a")));
    EXPECT_TRUE(once.shouldTell(QStringLiteral("b")));
    once.reset();
    EXPECT_TRUE(once.shouldTell(QStringLiteral("b")));
}
