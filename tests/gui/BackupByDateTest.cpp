// Backup by date through the real main window: the Backup command's checks, the date keypad
// driven by keys, buttons and quick-pick cells (and what its displays show), whole runs of the
// backup dialog on real WMV files, Cancel, failures, and the blinking progress window.

#include "ui/backup/BackupByDate.h"
#include "core/backup/BackupRunner.h"
#include "core/i18n/Messages.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/shared/CProgressDlg.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/DigitStrip.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <variant>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace tolvek;
using namespace tolvek::test;

namespace {

const QDate Today(2024, 3, 5);
const QString DayA = QStringLiteral("0000012320240305140709.wmv");
const QString DayB = QStringLiteral("0000045620240305080000.wmv");
const QString NextDay = QStringLiteral("9900000020240306101010.wmv");
const QString LastYear = QStringLiteral("0000012320231231235959.wmv");
const QString CopyName = QStringLiteral("0000012320240305140709 (copy).wmv"); // listed, never backed up

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void key(QWidget* target, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

void click(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        button->click();
        return;
    }
    const QPointF at = QRectF(w->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
}

// The glyph cells a digits view shows, read back against the digit strip: the character whose
// glyph matches, or '#'.
QString readCells(QWidget* view, QPoint first, int step, bool large, const QString& candidates)
{
    const QImage img = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize cell = large ? QSize(DigitStrip::LargeWidth, DigitStrip::LargeHeight)
                             : QSize(DigitStrip::SmallWidth, DigitStrip::SmallHeight);
    QString text;
    for (int i = 0; i < DateDigitCount; ++i) {
        const QImage shown = img.copy(QRect(first + QPoint(step * i, 0), cell));
        QChar found = u'#';
        for (QChar c : candidates) {
            const QRect r = large ? DigitStrip::largeCell(c) : DigitStrip::smallCell(c);
            if (DigitStrip::image().copy(r).convertToFormat(QImage::Format_RGB32) == shown) {
                found = c;
                break;
            }
        }
        text += found;
    }
    return text;
}

class BackupByDateTest : public MainWindowFixture
{
  protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1"));
        backup = dir.file("backup");
        ASSERT_TRUE(QDir().mkpath(backup));
        appSettings().setValue(BackupFolder, backup);
        for (const QString& name : {DayA, DayB, NextDay, LastYear, CopyName})
            ASSERT_FALSE(makeTestWmv(save + u'/' + name, 12).isEmpty());

        prompts.backupToday = [] { return Today; };
        openWindow();
    }

    void openWindow()
    {
        window.reset();
        MainWindowFixture::openWindow();
        window->setWindowMode(ModeListAll);
    }

    QStringList backupEntries() const
    {
        return QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    const QString& save = folder;
    QString backup;
};

TEST_F(BackupByDateTest, KeypadDigitsKeysAndQuickPicksGiveThePrefix)
{
    // One input: a key code, a control to click, or a quick-pick cell (days ago).
    struct Click
    {
        int id;
    };
    struct Quick
    {
        int daysAgo;
    };
    using Input = std::variant<int, Click, Quick>;
    struct Case
    {
        const char* what;
        std::vector<Input> inputs;
        int expected;
    };
    const int C = CDayretr::IDC_REMOVE_DIGIT;
    const std::vector<Case> cases = {
        {"opens on today", {}, 20240305},
        {"typing on opening starts a new entry", {Qt::Key_2, Qt::Key_0, Qt::Key_2, Qt::Key_3}, 2023},
        {"a leading 0 keeps today", {Qt::Key_0}, 20240305},
        {"AC then a typed year and month",
         {Click{C}, Click{CDayretr::IDC_CLEAR_ALL}, Click{CDayretr::IDC_DIGIT_1 + 1}, Qt::Key_0, Qt::Key_2,
          Qt::Key_3, Qt::Key_1, Qt::Key_1},
         202311},
        {"C down to the year", {Click{C}, Click{C}, Click{C}, Click{C}}, 2024},
        {"Backspace and Clear to the month", {Qt::Key_Backspace, Qt::Key_Clear}, 202403},
        {"year then month typed", {Click{C}, Click{C}, Click{C}, Click{C}, Qt::Key_0, Qt::Key_4}, 202404},
        {"letter keys J K",
         {Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_J, Qt::Key_K},
         202412},
        {"a ninth digit is ignored",
         {Click{C}, Click{C}, Click{CDayretr::IDC_DIGIT_1}, Qt::Key_2, Qt::Key_3},
         20240312},
        {"emptied by C shows today again",
         {Click{C}, Click{C}, Click{C}, Click{C}, Click{C}, Click{C}, Click{C}, Click{C}},
         20240305},
        {"AC returns to today", {Click{C}, Click{C}, Click{CDayretr::IDC_CLEAR_ALL}}, 20240305},
        {"Delete returns to today", {Click{C}, Click{C}, Click{C}, Qt::Key_Delete}, 20240305},
        {"quick pick three days ago", {Click{C}, Quick{3}}, 20240302},
        {"quick pick nine days ago", {Quick{9}}, 20240225},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.driveBackupKeypad = [&](CDayretr& keypad) {
            for (const Input& in : c.inputs) {
                if (const int* k = std::get_if<int>(&in))
                    key(&keypad, *k);
                else if (const Click* b = std::get_if<Click>(&in))
                    click(keypad.control(b->id));
                else
                    click(keypad.control(CDayretr::quickCellId(std::get<Quick>(in).daysAgo)));
            }
            EXPECT_EQ(keypad.dateValue(), c.expected);
            key(&keypad, Qt::Key_Return);
        };
        const int before = prompts.backupKeypadRuns;
        window->executeCommand(CmdBackup);
        EXPECT_EQ(prompts.backupKeypadRuns, before + 1);
    }
    EXPECT_EQ(prompts.lastBackupKeypadTitle, QStringLiteral("Backup / year month day"));
}

TEST_F(BackupByDateTest, KeypadShowsTheEnteredPrefixAndTheTenDays)
{
    QDate day = Today;
    prompts.backupToday = [&day] { return day; };
    prompts.driveBackupKeypad = [&](CDayretr& keypad) {
        EXPECT_EQ(keypad.windowTitle(), QStringLiteral("Backup / year month day"));
        for (int i = 0; i < 4; ++i)
            click(keypad.control(CDayretr::IDC_REMOVE_DIGIT));
        // The white area sits inside a 2-pixel frame; the glyphs start at (20, 10) within it.
        EXPECT_EQ(readCells(keypad.control(CDayretr::IDC_DATE_DISPLAY), QPoint(22, 12), 35, true,
                            QStringLiteral("0123456789?")),
                  QStringLiteral("2024????"));
        for (int k : {0, 1, 9}) {
            SCOPED_TRACE(k);
            EXPECT_EQ(readCells(keypad.control(CDayretr::quickCellId(k)), QPoint(4, 6), 12, false,
                                QStringLiteral("0123456789")),
                      QString::number(quickDates(Today)[k]));
        }
        EXPECT_EQ(keypad.control(CDayretr::quickCellId(9))->geometry(), QRect(236, 416, 103, 35));
        // Past midnight with the keypad open, the next paint moves the ten days on.
        day = Today.addDays(1);
        EXPECT_EQ(readCells(keypad.control(CDayretr::quickCellId(0)), QPoint(4, 6), 12, false,
                            QStringLiteral("0123456789")),
                  QStringLiteral("20240306"));
        EXPECT_EQ(keypad.quickDateValues()[9], 20240226);
        click(keypad.control(CDayretr::IDC_CANCEL));
    };
    window->executeCommand(CmdBackup);
    EXPECT_EQ(prompts.backupKeypadRuns, 1);
    EXPECT_TRUE(prompts.backupStatusTexts.isEmpty()); // cancelled: no backup ran
    EXPECT_TRUE(backupEntries().isEmpty());
}

TEST_F(BackupByDateTest, WholeRunsCopyTheDayOnceThenSkipAndAYearTakesMore)
{
    // An older backup of one video is kept as it is.
    ASSERT_TRUE(QFile::copy(save + u'/' + LastYear, backup + u'/' + DayB));
    const QByteArray olderB = bytesOf(backup + u'/' + DayB);

    int barMax = -1;
    int barValue = -1;
    prompts.driveBackupDialog = [&](BackupDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Backup"));
        EXPECT_TRUE(waitUntil([&] { return !dlg.running(); }));
        auto* bar = qobject_cast<QProgressBar*>(dlg.control(BackupDlg::IDC_PROGRESS));
        barMax = bar->maximum();
        barValue = bar->value();
        click(dlg.control(BackupDlg::IDC_OK));
    };
    prompts.backupDates = {20240305, 20240305, 2024};
    for (int run = 0; run < 3; ++run)
        window->executeCommand(CmdBackup);

    EXPECT_EQ(prompts.backupStatusTexts,
              (QStringList{
                  QStringLiteral("Backup of 2024-03-05 finished: 1 copied, 1 already in the backup folder."),
                  QStringLiteral("Backup of 2024-03-05 finished: 0 copied, 2 already in the backup folder."),
                  QStringLiteral("Backup of 2024 finished: 1 copied, 2 already in the backup folder.")}));
    EXPECT_EQ(barMax, 3);
    EXPECT_EQ(barValue, 3);
    EXPECT_EQ(backupEntries(), (QStringList{DayA, DayB, NextDay}));
    EXPECT_EQ(bytesOf(backup + u'/' + DayA), bytesOf(save + u'/' + DayA));
    EXPECT_EQ(countDecodedFrames(backup + u'/' + NextDay), 12);
    EXPECT_EQ(bytesOf(backup + u'/' + DayB), olderB);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(BackupByDateTest, EveryStopBeforeTheCopyIsToldOrSilent)
{
    struct Case
    {
        const char* what;
        QString backupFolder;
        std::optional<int> date;
        QString message; // empty: nothing shown
        int keypadRuns;
    };
    const Case cases[] = {
        {"backup folder not set", QString(), 2024, QStringLiteral("The backup folder is not set."), 0},
        {"four characters count as not set", QStringLiteral("/mnt"), 2024,
         QStringLiteral("The backup folder is not set."), 0},
        {"backup folder missing", dir.file("unplugged"), 2024,
         dir.file("unplugged") + QStringLiteral("\r\nThe backup folder cannot be found."), 0},
        {"keypad cancelled", backup, std::nullopt, QString(), 1},
        {"no video of that day", backup, 20240307, QStringLiteral("No files found."), 1},
        {"no video of that year", backup, 2022, QStringLiteral("No files found."), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        appSettings().setValue(BackupFolder, c.backupFolder);
        prompts.messages.clear();
        prompts.backupKeypadRuns = 0;
        prompts.backupDates = {c.date};
        window->executeCommand(CmdBackup);
        EXPECT_EQ(prompts.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(prompts.backupKeypadRuns, c.keypadRuns);
    }
    EXPECT_TRUE(prompts.backupStatusTexts.isEmpty());
    EXPECT_TRUE(backupEntries().isEmpty());

    // The message follows the language.
    appSettings().setValue(BackupFolder, QString());
    window->setLanguage(0);
    prompts.messages.clear();
    window->executeCommand(CmdBackup);
    EXPECT_EQ(prompts.messages, QStringList{messageText(0, MsgBackupFolderNotSet)});
}

TEST_F(BackupByDateTest, CancelStopsBetweenFilesAndAfterTheEndClosesLikeOk)
{
    bool closedAfterCancel = false;
    int handledAtCancel = -1;
    prompts.driveBackupDialog = [&](BackupDlg& dlg) {
        EXPECT_TRUE(waitUntil([&] { return dlg.runner().handled() >= 1; }));
        handledAtCancel = dlg.runner().handled();
        key(&dlg, Qt::Key_Escape);
        EXPECT_TRUE(dlg.cancelRequested());
        closedAfterCancel = waitUntil([&] { return !dlg.isVisible(); });
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
    };
    prompts.backupDates = {2024};
    window->executeCommand(CmdBackup);
    EXPECT_TRUE(closedAfterCancel);
    ASSERT_GE(handledAtCancel, 1);
    ASSERT_LT(handledAtCancel, 3);
    // Exactly the files handled before the cancel, whole, and no working file.
    const QStringList all = {DayA, DayB, NextDay};
    EXPECT_EQ(backupEntries(), all.mid(0, handledAtCancel));

    // Once every file is handled, Cancel closes like OK.
    prompts.driveBackupDialog = [&](BackupDlg& dlg) {
        EXPECT_TRUE(waitUntil([&] { return !dlg.running(); }));
        click(dlg.control(BackupDlg::IDC_CANCEL));
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    };
    prompts.backupDates = {2024};
    window->executeCommand(CmdBackup);
    EXPECT_EQ(backupEntries(), all);
}

TEST_F(BackupByDateTest, AFailedCopyIsCountedAsAnErrorAndTold)
{
    // Something in the way of the working file: the copy of DayA cannot be written.
    ASSERT_TRUE(QDir().mkpath(backupWorkingPath(backup + u'/' + DayA)));
    prompts.backupDates = {20240305};
    window->executeCommand(CmdBackup);
    EXPECT_EQ(
        prompts.backupStatusTexts,
        QStringList{QStringLiteral("Backup of 2024-03-05 finished: 1 copied, 0 already in the backup folder. "
                                   "1 could not be copied.")});
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(
        prompts.messages[0].startsWith(QStringLiteral("1 of 2 videos could not be backed up:\r\n") + DayA))
        << prompts.messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(backup + u'/' + DayA));
    EXPECT_TRUE(QFileInfo::exists(backup + u'/' + DayB));
}

TEST_F(BackupByDateTest, QuittingWhileABackupRunsAsksFirst)
{
    const QStringList all = {DayA, DayB, NextDay};
    const QString asked = QStringLiteral("A backup is still running.\r\n\r\nStop it and quit now?");
    const QString cameraLost =
        QStringLiteral("The camera connection was lost. Recording will stop and the application will close.");
    struct Case
    {
        const char* what;
        bool cameraLost; // the program ends itself instead of the Quit button
        bool answer;
        bool allCopied; // else it stopped between two files
        bool closedAtTheEnd;
    };
    const Case cases[] = {
        {"Quit, answered No: the backup goes on, the program stays", false, false, true, false},
        {"camera lost, answered No: the program ends after the backup", true, false, true, true},
        {"Quit, answered Yes: stopped between two files", false, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& name : backupEntries())
            ASSERT_TRUE(QFile::remove(backup + u'/' + name));
        openWindow();
        prompts.questions.clear();
        prompts.messages.clear();
        prompts.answers = {c.answer};
        prompts.driveBackupDialog = [&](BackupDlg& dlg) {
            // Nothing has been copied yet: the dialog's timer has not ticked.
            ASSERT_TRUE(dlg.running());
            if (c.cameraLost)
                window->onCameraLost();
            else
                click(window->control(IDC_QUIT));
            EXPECT_EQ(prompts.questions,
                      QStringList{asked + (c.cameraLost ? QStringLiteral("\r\nNo: the program closes as "
                                                                         "soon as it has finished.")
                                                        : QString())});
            EXPECT_EQ(dlg.cancelRequested(), c.answer);
            if (!c.answer) {
                EXPECT_TRUE(window->isVisible());
            }
            EXPECT_TRUE(waitUntil([&] { return !dlg.running() || !dlg.isVisible(); }));
            if (dlg.isVisible())
                click(dlg.control(BackupDlg::IDC_OK));
        };
        prompts.backupDates = {2024};
        window->executeCommand(CmdBackup);
        EXPECT_EQ(prompts.messages, c.cameraLost ? QStringList{cameraLost} : QStringList());
        if (c.allCopied)
            EXPECT_EQ(backupEntries(), all);
        else
            EXPECT_TRUE(backupEntries().isEmpty()); // whole files only, and no working file
        EXPECT_EQ(window->isVisible(), !c.closedAtTheEnd);
    }
}

TEST(CProgressDlgTest, BlinksUntilStoppedThenShowsItsMessage)
{
    QPointer<CProgressDlg> dlg =
        new CProgressDlg(QStringLiteral("Converting Video"), QStringLiteral("Working..."), nullptr);
    dlg->show();
    EXPECT_EQ(dlg->shownText(), QStringLiteral("Working..."));
    EXPECT_EQ(dlg->findChild<QLabel*>(QStringLiteral("1046"))->text(), QStringLiteral("Working..."));
    EXPECT_TRUE(waitUntil([&] { return dlg->shownText().isEmpty(); }));
    EXPECT_TRUE(waitUntil([&] { return dlg->shownText() == QStringLiteral("Working..."); }));
    EXPECT_TRUE(waitUntil([&] { return dlg->shownText().isEmpty(); }));
    dlg->setBlinking(false);
    dlg->setMessage(QStringLiteral("Done"));
    // Several blink periods pass without the text going away.
    EXPECT_FALSE(waitUntil([&] { return dlg->shownText() != QStringLiteral("Done"); },
                           std::chrono::milliseconds(1200)));
    dlg->close();
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return dlg.isNull();
    }));
}

} // namespace
