// The three video lists on a real main window, filled from a save folder of real WMV files:
// fill order, header sorting, the two small lists as one selection, clicks on empty space, pop-up
// menus per list and range state, memo editing into the file header, List All and TOTOP, and the
// rows a recording adds.

#include "ui/library/VideoLists.h"
#include "core/i18n/Messages.h"
#include "core/library/ListSort.h"
#include "core/media/VideoHeaderReader.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/HeldRepair.h"
#include "support/KilledRecorder.h"
#include "support/LibraryFixtureNames.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/manage/CSetMemo.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/KeyCommands.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Readable failure output.

using namespace tolvek;
using namespace tolvek::test;

namespace {

void sendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button)
{
    QMouseEvent e(type, at, target->mapToGlobal(at), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                  Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

void click(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(target, QEvent::MouseButtonPress, at, button);
    sendMouse(target, QEvent::MouseButtonRelease, at, button);
}

// A click on the middle of the all-videos list's column c title.
void clickHeader(QTreeWidget* list, int c)
{
    QHeaderView* header = list->header();
    click(header->viewport(), QPoint(header->sectionViewportPosition(c) + header->sectionSize(c) / 2, 5));
}

void doubleClick(QWidget* target, QPoint at)
{
    click(target, at);
    sendMouse(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton);
}

QPoint rowPoint(QTreeWidget* list, int row)
{
    return list->visualItemRect(list->topLevelItem(row)).center();
}

QPoint belowLastRow(QTreeWidget* list)
{
    const QRect last = list->visualItemRect(list->topLevelItem(list->topLevelItemCount() - 1));
    return {last.center().x(), last.bottom() + 20};
}

void rightClick(QTreeWidget* list, QPoint at)
{
    click(list->viewport(), at, Qt::RightButton);
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &e);
}

struct MenuItem
{
    int command;
    QString text;
    bool enabled;
    bool operator==(const MenuItem&) const = default;
};

void PrintTo(const MenuItem& m, std::ostream* os)
{
    *os << '{' << m.command << ", \"" << m.text.toStdString() << "\", " << (m.enabled ? "on" : "off") << '}';
}

int rowOf(QTreeWidget* list, const QString& name)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(SmallListFileColumn) == name)
            return i;
    return -1;
}

class VideoListsTest : public MainWindowFixture
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = std::make_unique<TempDir>();
        s_video = makeTestWmv(s_sources->file("plain.wmv"), 45, 64, 48, 30);
        s_titled = makeFfmpegWmv(s_sources->file("titled.wmv"), 45, QStringLiteral("b ref"), 64, 48, 30);
        s_other = makeFfmpegWmv(s_sources->file("other.wmv"), 90, QStringLiteral("a ref"), 32, 24, 1);
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    void SetUp() override
    {
        ASSERT_FALSE(s_video.isEmpty());
        ASSERT_FALSE(s_titled.isEmpty());
        ASSERT_FALSE(s_other.isEmpty());
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        appSettings().setValue(Language, QStringLiteral("1")); // the window takes it up
        appSettings().setValue(IdHistory, QStringLiteral("123,456"));
        put(s_video, P1);
        put(s_video, P2);
        put(s_video, P3);
        put(s_video, Q1);
        put(s_titled, R1);
        put(s_other, R2);

        openWindow(QSize(1280, 720));
        lists = &window->lists(); // the window's own lists, filled at its start
        lists->setMenuRunner([this](QMenu& menu, QPoint) {
            shownMenus.push_back({});
            for (QAction* a : menu.actions())
                shownMenus.back().push_back({a->data().toInt(), a->text(), a->isEnabled()});
            return menuChoice;
        });
        lists->setMemoDialog(
            [this](const QString& prompt, const QString& memo, QPoint) -> std::optional<QString> {
                memoPrompts << prompt + u'|' + memo;
                return memoAnswer;
            });
        QObject::connect(lists, &VideoLists::showVideo, [this](const QString& n) { shown << n; });
        QObject::connect(lists, &VideoLists::playVideo, [this](const QString& n) { played << n; });
        QObject::connect(lists, &VideoLists::redisplayVideo, [this](const QString& n) { redisplayed << n; });
        QObject::connect(lists, &VideoLists::stopPlayer, [this](bool) { ++stops; });
        QObject::connect(lists, &VideoLists::folderPanelRefreshRequested, [this] { ++panelRefreshes; });
        reloadLists();
    }

    void put(const QString& source, const QString& name) const
    {
        ASSERT_TRUE(QFile::copy(source, folder + u'/' + name)) << name.toStdString();
    }
    QString referenceMemo(const QString& name) const
    {
        for (int i = 0; i < refs->topLevelItemCount(); ++i)
            if (refs->topLevelItem(i)->text(SmallListFileColumn) == name)
                return refs->topLevelItem(i)->text(SmallListTextColumn);
        return QStringLiteral("<no row>");
    }

    static inline std::unique_ptr<TempDir> s_sources;
    static inline QString s_video, s_titled, s_other;

    std::vector<std::vector<MenuItem>> shownMenus;
    int menuChoice = 0;
    QStringList memoPrompts;
    std::optional<QString> memoAnswer;
    // What the lists asked of the player and the folder panel.
    QStringList shown, played, redisplayed;
    int stops = 0, panelRefreshes = 0;
};

} // namespace

TEST_F(VideoListsTest, FillsTheThreeListsFromTheFolder)
{
    EXPECT_EQ(column(all, AllFileColumn), (QStringList{Q1, P3, P2, P1, R1, R2})); // newest first
    ASSERT_EQ(all->topLevelItemCount(), 6);
    const QTreeWidgetItem* first = all->topLevelItem(0);
    EXPECT_EQ(first->text(AllIdColumn), QStringLiteral("00000456"));
    EXPECT_EQ(first->text(AllDateColumn), QStringLiteral("2024-03-08 11:00"));
    EXPECT_EQ(first->text(AllLengthColumn), QStringLiteral("01s"));
    EXPECT_EQ(all->topLevelItem(5)->text(AllLengthColumn), QStringLiteral("1m30s"));
    EXPECT_EQ(column(all, AllMemoColumn), (QStringList{"", "", "", "", "b ref", "a ref"}));

    // Reference videos only in the reference list, sorted by memo; the patient's list newest first.
    EXPECT_EQ(column(refs, SmallListFileColumn), (QStringList{R2, R1}));
    EXPECT_EQ(column(refs, SmallListTextColumn), (QStringList{"a ref", "b ref"}));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    EXPECT_EQ(column(ids, SmallListTextColumn),
              (QStringList{"2024-03-07 10:00", "2024-03-06 09:00", "2024-03-05 14:07"}));
    EXPECT_TRUE(ids->isColumnHidden(SmallListFileColumn));
    EXPECT_EQ(ids->headerItem()->text(0), QStringLiteral("ID:00000123"));

    // Texts of the header and list tooltips.
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(all->headerItem()->toolTip(c), Message(MsgColumnSortTip));
    for (QTreeWidget* list : {all, ids, refs})
        EXPECT_EQ(list->toolTip(), Message(MsgListTip));

    lists->refillIdList(456);
    EXPECT_EQ(ids->headerItem()->text(0), QStringLiteral("ID:00000456"));
    EXPECT_EQ(column(ids, SmallListFileColumn), QStringList{Q1});
    lists->refillIdList(ReferenceId);
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{R1, R2})); // all-videos order
}

TEST_F(VideoListsTest, HeaderClicksSortEachColumnByItsOwnFlag)
{
    lists->addVideoRow(all, QStringLiteral("0000077720240309000000.wmv"),
                       QStringLiteral("Zed")); // length "0"
    all->topLevelItem(1)->setText(AllLengthColumn, QStringLiteral("59s"));
    all->topLevelItem(2)->setText(AllLengthColumn, QStringLiteral("1m05s"));
    all->topLevelItem(3)->setText(AllLengthColumn, QStringLiteral(" 05s"));
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();
    all->setCurrentItem(all->topLevelItem(1)); // Q1 selected; sorting keeps it selected

    clickHeader(all, AllLengthColumn);
    EXPECT_TRUE(lists->columnSortAscending(AllLengthColumn));
    EXPECT_EQ(column(all, AllLengthColumn),
              (QStringList{"0", "01s", "01s", " 05s", "59s", "1m05s", "1m30s"}));
    clickHeader(all, AllLengthColumn);
    EXPECT_EQ(column(all, AllLengthColumn),
              (QStringList{"1m30s", "1m05s", "59s", " 05s", "01s", "01s", "0"}));
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{Q1});

    // The first click on another column sorts ascending, whatever the Length flag is now.
    clickHeader(all, AllMemoColumn);
    EXPECT_EQ(column(all, AllMemoColumn).mid(4), (QStringList{"a ref", "b ref", "Zed"}));
    clickHeader(all, AllMemoColumn);
    EXPECT_EQ(column(all, AllMemoColumn).mid(0, 3), (QStringList{"Zed", "b ref", "a ref"}));
    EXPECT_FALSE(lists->columnSortAscending(AllLengthColumn));
    clickHeader(all, AllLengthColumn);
    EXPECT_TRUE(lists->columnSortAscending(AllLengthColumn));
    EXPECT_EQ(column(all, AllLengthColumn).first(), QStringLiteral("0"));
}

TEST_F(VideoListsTest, TheTwoSmallListsAreOneSelectionThatOpensVideos)
{
    window->setWindowMode(ModeLive);
    window->flags().cameraOpened = true;

    click(ids->viewport(), rowPoint(ids, 1));
    EXPECT_EQ(window->state().playbackVideoName, P2);
    EXPECT_EQ(window->windowMode(), ModeLibrary);
    EXPECT_FALSE(window->flags().cameraOpened.load());
    EXPECT_EQ(shown, QStringList{P2});

    click(refs->viewport(), rowPoint(refs, 0));
    EXPECT_EQ(window->state().playbackVideoName, R2);
    EXPECT_EQ(selectedNames(refs, 1), QStringList{R2});
    EXPECT_TRUE(selectedNames(ids, 1).isEmpty());
    EXPECT_EQ(shown, (QStringList{P2, R2}));
    shown.clear();

    click(ids->viewport(), rowPoint(ids, 2));
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P1});
    EXPECT_TRUE(selectedNames(refs, 1).isEmpty());
    shown.clear();

    // Selecting the row of the video that is already open does not reload it.
    lists->deselectAll(ids);
    click(ids->viewport(), rowPoint(ids, 2));
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P1});
    EXPECT_EQ(shown.size(), 0);

    // A click on empty space below the rows keeps the selection and the open video, in both lists,
    // and leaves the focus on the list that holds the open video.
    refs->setFocus();
    click(ids->viewport(), belowLastRow(ids));
    EXPECT_EQ(window->focusWidget(), ids);
    doubleClick(ids->viewport(), belowLastRow(ids));
    refs->setFocus();
    click(refs->header()->viewport(), QPoint(5, 5));
    EXPECT_EQ(window->focusWidget(), ids);
    refs->setFocus();
    click(refs->viewport(), belowLastRow(refs));
    EXPECT_EQ(window->focusWidget(), ids);
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P1});
    EXPECT_EQ(window->state().playbackVideoName, P1);
    EXPECT_EQ(shown.size(), 0);
}

TEST_F(VideoListsTest, DuringARecordingRowsOpenNothingAndShowNoMenu)
{
    window->setWindowMode(ModeRecording);
    window->state().playbackVideoName.clear();
    click(ids->viewport(), rowPoint(ids, 0));
    EXPECT_TRUE(window->state().playbackVideoName.isEmpty());
    EXPECT_EQ(window->windowMode(), ModeRecording);
    EXPECT_EQ(shown.size(), 0);
    rightClick(ids, rowPoint(ids, 0));
    rightClick(refs, rowPoint(refs, 0));
    EXPECT_TRUE(shownMenus.empty());
}

TEST_F(VideoListsTest, PopupMenusDependOnListVideoAndRange)
{
    window->setWindowMode(ModeLibrary);
    bool subRange = false;
    lists->setSubRangeMarked([&] { return subRange; });
    const MenuItem tags{CmdEditVideoTags, "Edit Video Tags : (no memo)", true};
    const MenuItem trimOff{CmdTrimToRange, "Trim to Range", false};
    const MenuItem trimOn{CmdTrimToRange, "Trim to Range", true};
    const MenuItem addRef{CmdAddToReferenceList, "Add to Reference List", true};
    const MenuItem changeId{CmdChangeId, "Change ID", true};
    const MenuItem save{CmdSaveAsFile, "Save as a file", true};
    const MenuItem del{CmdDeleteVideo, "Delete(&D)", true};

    rightClick(ids, rowPoint(ids, 0)); // the right click also selects and opens the row
    EXPECT_EQ(window->state().playbackVideoName, P3);
    subRange = true;
    rightClick(ids, rowPoint(ids, 0));
    rightClick(refs, rowPoint(refs, 1));
    EXPECT_EQ(window->state().playbackVideoName, R1);
    lists->showVideoPopupMenu(VideoMenuSource::Picture, QPoint(10, 10));
    window->state().playbackVideoName = P3;
    lists->showVideoPopupMenu(VideoMenuSource::Picture, QPoint(10, 10));
    rightClick(ids, belowLastRow(ids)); // no row: no menu

    const MenuItem refTags{CmdEditVideoTags, "Edit Video Tags : b ref", true};
    // Only the picture's menu opens the analysis of the video it shows.
    const MenuItem separator{0, "", true};
    const MenuItem analysis{CmdEyeAnalysis, "Eye Movement Analysis\tA", true};
    const std::vector<std::vector<MenuItem>> expected{
        {tags, trimOff, addRef, changeId, save, del},
        {tags, trimOn, addRef, changeId, save, del},
        {refTags, trimOn, save, del},
        {refTags, trimOn, save, del, separator, analysis},
        {tags, trimOn, addRef, changeId, save, del, separator, analysis},
    };
    EXPECT_EQ(shownMenus, expected);

    // The all-videos list shows its own menu on a row only.
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();
    shownMenus.clear();
    rightClick(all, rowPoint(all, 0));
    rightClick(all, belowLastRow(all));
    ASSERT_EQ(shownMenus.size(), 1u);
    EXPECT_EQ(shownMenus[0], (std::vector<MenuItem>{{CmdEditVideoTags, "Edit Video Tags", true},
                                                    {CmdSaveAsFile, "Save as a file", true},
                                                    {CmdDeleteAllListVideo, "Delete(&D)", true}}));
    EXPECT_EQ(window->state().allListPendingName, Q1);
}

TEST_F(VideoListsTest, MemoEditWritesTheHeaderAndUpdatesTheLists)
{
    window->setWindowMode(ModeLibrary);
    window->state().playbackVideoName = R1;
    VideoHeaderReader reader;

    // Chosen from the pop-up menu, as the user does.
    menuChoice = CmdEditVideoTags;
    memoAnswer = QStringLiteral("0<vek>first");
    lists->showVideoPopupMenu(VideoMenuSource::Picture, QPoint(5, 5));
    EXPECT_EQ(memoPrompts, QStringList{QStringLiteral("tag of ") + R1 + QStringLiteral("|b ref")});
    EXPECT_EQ(reader.readDurationAndTitle(path(R1)).memo, QStringLiteral("0[vek]first"));
    EXPECT_EQ(all->topLevelItem(4)->text(AllMemoColumn), QStringLiteral("0[vek]first"));
    EXPECT_EQ(column(refs, SmallListTextColumn), (QStringList{"0[vek]first", "a ref"})); // re-sorted
    EXPECT_EQ(column(refs, SmallListFileColumn), (QStringList{R1, R2}));
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The memo is in the file: a new scan lists it, and ffprobe reads it as the title of a file
    // written by OpenCV, as recordings are.
    window->state().playbackVideoName = P1;
    memoAnswer = QStringLiteral("seen by ffprobe");
    window->executeCommand(CmdEditVideoTags);
    lists->reload();
    EXPECT_EQ(referenceMemo(R1), QStringLiteral("0[vek]first"));
    EXPECT_EQ(all->topLevelItem(3)->text(AllFileColumn), P1);
    EXPECT_EQ(all->topLevelItem(3)->text(AllMemoColumn), QStringLiteral("seen by ffprobe"));
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1:nk=1", path(P1)});
    ASSERT_TRUE(probe.waitForFinished(60000));
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput()).trimmed(), QStringLiteral("seen by ffprobe"));
    window->state().playbackVideoName = R1;

    // Exactly 80 characters are stored, 81 are refused and the file stays as it was; "<vek>"
    // becomes "[vek]" before counting.
    const struct
    {
        QString typed;
        bool stored;
    } cases[] = {
        {QString(80, u'x'), true},
        {QString(81, u'y'), false},
        {QString(75, u'z') + QStringLiteral("<vek>"), true},
        {QString(76, u'w') + QStringLiteral("<vek>"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        prompts.messages.clear();
        QFile f(path(R1));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        f.close();
        const QString listed = all->topLevelItem(4)->text(AllMemoColumn);
        memoAnswer = c.typed;
        window->executeCommand(CmdEditVideoTags);
        const QString expected = c.stored ? QString(c.typed).replace("<vek>", "[vek]") : listed;
        EXPECT_EQ(all->topLevelItem(4)->text(AllMemoColumn), expected);
        EXPECT_EQ(referenceMemo(R1), expected);
        EXPECT_EQ(reader.readDurationAndTitle(path(R1)).memo, expected);
        if (c.stored) {
            EXPECT_TRUE(prompts.messages.isEmpty());
        } else {
            EXPECT_EQ(prompts.messages, QStringList{"too many characters ! <80"});
            QFile g(path(R1));
            ASSERT_TRUE(g.open(QIODevice::ReadOnly));
            EXPECT_EQ(g.readAll(), bytes);
        }
    }

    // Cancelled: nothing changes. In the all-videos view the pending row is edited.
    memoAnswer.reset();
    const QString kept = all->topLevelItem(4)->text(AllMemoColumn);
    window->executeCommand(CmdEditVideoTags);
    EXPECT_EQ(all->topLevelItem(4)->text(AllMemoColumn), kept);

    window->setWindowMode(ModeListAll);
    window->state().allListPendingName = P2;
    memoAnswer = QString();
    window->executeCommand(CmdEditVideoTags);
    EXPECT_EQ(reader.readDurationAndTitle(path(P2)).result, VideoHeaderInfo::Result::Memo);
    EXPECT_EQ(reader.readDurationAndTitle(path(P2)).memo, QString());

    // A file that cannot be written keeps its old memo in the list, and the user is told.
    const QString gone = QStringLiteral("0000012320240310000000.wmv");
    lists->addVideoRow(all, gone, QStringLiteral("old"));
    window->state().allListPendingName = gone;
    memoAnswer = QStringLiteral("new");
    prompts.messages.clear();
    window->executeCommand(CmdEditVideoTags);
    EXPECT_EQ(all->topLevelItem(0)->text(AllMemoColumn), QStringLiteral("old"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(gone));
}

TEST_F(VideoListsTest, AMemoTypedWhileTheListsAreRebuiltGoesToItsOwnVideoOrNowhere)
{
    // While the real memo dialog is open, a background repair ends and the lists are rebuilt from
    // the folder; in the second case the video itself has gone meanwhile.
    const struct
    {
        QString name;
        QString cut; // the repaired recording
        bool removed;
    } cases[] = {
        {P2, QStringLiteral("0004711020240105120000.wmv"), false},
        {P1, QStringLiteral("0004711020240105120100.wmv"), true},
    };
    HeldRepair repair(dir.path());
    VideoHeaderReader reader;
    window->setWindowMode(ModeLibrary);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ASSERT_TRUE(repair.start(*lists, window->tools(), folder, c.cut));
        click(ids->viewport(), rowPoint(ids, rowOf(ids, c.name)));
        ASSERT_EQ(window->state().playbackVideoName, c.name);
        prompts.messages.clear();
        const QString typed = QStringLiteral("memo of ") + c.name;
        bool repaired = false;
        lists->setMemoDialog([&](const QString& prompt, const QString& memo, QPoint at) {
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<CSetMemo*>(QApplication::activeModalWidget());
                if (!dialog)
                    return; // the expectations below fail
                if (c.removed)
                    QFile::remove(path(c.name));
                repaired = repair.finish();
                dialog->findChild<QLineEdit*>()->setText(typed);
                dialog->accept();
            });
            return CSetMemo::ask(window.get(), prompt, memo, at);
        });
        window->executeCommand(CmdEditVideoTags);
        ASSERT_TRUE(repaired);
        ASSERT_FALSE(prompts.messages.isEmpty());
        EXPECT_TRUE(prompts.messages[0].contains(c.cut)); // the repair's report

        const QStringList memos = column(all, AllMemoColumn);
        const QStringList files = column(all, AllFileColumn);
        const VideoRecord* record = findRecord(lists->library(), c.name);
        if (!c.removed) {
            EXPECT_EQ(prompts.messages.size(), 1) << prompts.messages.join('|').toStdString();
            EXPECT_EQ(reader.readDurationAndTitle(path(c.name)).memo, typed);
            EXPECT_EQ(memos.count(typed), 1);
            EXPECT_EQ(memos.indexOf(typed), files.indexOf(c.name));
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->memo, typed);
            EXPECT_EQ(selectedNames(ids, SmallListFileColumn), QStringList{c.name}); // kept by the rebuild
        } else {
            // The user is told, and nothing is written anywhere.
            ASSERT_EQ(prompts.messages.size(), 2);
            EXPECT_TRUE(prompts.messages[1].contains(c.name)) << prompts.messages[1].toStdString();
            EXPECT_FALSE(QFile::exists(path(c.name)));
            EXPECT_FALSE(files.contains(c.name));
            EXPECT_EQ(memos.count(typed), 0);
            EXPECT_EQ(record, nullptr);
        }
    }
}

TEST_F(VideoListsTest, AVideoThatCannotBeOpenedShowsABlankPictureNotThePreviousOne)
{
    const struct
    {
        const char* what;
        QByteArray bytes;
        bool removed;
    } cases[] = {
        {"not a video", QByteArray("no video in here"), false},
        {"0 bytes", QByteArray(), false},
        {"gone", QByteArray(), true},
    };
    window->setWindowMode(ModeLibrary);
    const QRect view = window->layoutValues().liveView;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        click(ids->viewport(), rowPoint(ids, rowOf(ids, P3)));
        ASSERT_EQ(window->state().playbackVideoName, P3);
        // The picture of P3, shown once the player has decoded it.
        ASSERT_TRUE(waitUntil([&] { return window->displayFrame().ready(); }));

        if (c.removed) {
            ASSERT_TRUE(QFile::remove(path(P2)));
        } else {
            QFile f(path(P2));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(f.write(c.bytes), c.bytes.size());
        }
        click(ids->viewport(), rowPoint(ids, rowOf(ids, P2)));
        EXPECT_EQ(window->state().playbackVideoName, P2);
        EXPECT_FALSE(window->displayFrame().ready());
        const QImage painted = window->grab(view).toImage();
        for (QPoint p : {QPoint(1, 1), QPoint(view.width() / 2, view.height() / 2),
                         QPoint(view.width() - 2, view.height() - 2)})
            EXPECT_EQ(painted.pixelColor(p), QColor(Qt::white)) << p.x() << "," << p.y();
    }
}

TEST_F(VideoListsTest, ARecordedVideoIsListedSelectedAndMeasuredByListAll)
{
    window->setWindowMode(ModeLibrary);
    click(refs->viewport(), rowPoint(refs, 0));
    const QString recorded = QStringLiteral("0000012320240401080000.wmv");
    put(s_other, recorded);
    window->state().playbackVideoName = recorded;
    lists->addRecordedVideo(recorded);

    EXPECT_EQ(all->topLevelItem(0)->text(AllFileColumn), recorded);
    EXPECT_EQ(all->topLevelItem(0)->text(AllLengthColumn), QStringLiteral("0"));
    EXPECT_EQ(all->topLevelItem(0)->text(AllDateColumn), QStringLiteral("2024-04-01 08:00"));
    ASSERT_FALSE(lists->library().empty());
    EXPECT_EQ(lists->library().back().fileName, recorded);
    EXPECT_EQ(lists->library().back().id, QStringLiteral("00000123"));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{recorded, P3, P2, P1}));
    EXPECT_EQ(selectedNames(ids, 1), QStringList{recorded});
    EXPECT_TRUE(selectedNames(refs, 1).isEmpty());

    // List All from the library view measures the new row and returns to the library view.
    stops = 0;
    qobject_cast<QPushButton*>(window->control(IDC_LISTVIEW))->click();
    EXPECT_EQ(window->windowMode(), ModeListAll);
    EXPECT_FALSE(lists->listAllFromLive());
    EXPECT_EQ(all->topLevelItem(0)->text(AllLengthColumn), QStringLiteral("1m30s"));
    EXPECT_EQ(panelRefreshes, 1);
    EXPECT_EQ(stops, 1);
    qobject_cast<QPushButton*>(window->control(IDC_TOTOP))->click();
    EXPECT_EQ(window->windowMode(), ModeLibrary);
    EXPECT_EQ(redisplayed, QStringList{recorded});

    // From the live view List All passes through mode 2, and TOTOP returns to the live view
    // without opening a video.
    window->setWindowMode(ModeLive);
    window->executeCommand(CmdListAll);
    EXPECT_EQ(window->windowMode(), ModeListAll);
    EXPECT_TRUE(lists->listAllFromLive());
    window->executeCommand(IDC_TOTOP);
    EXPECT_EQ(window->windowMode(), ModeLive);
    EXPECT_EQ(redisplayed.size(), 1);

    // Not while recording.
    window->setWindowMode(ModeRecording);
    window->executeCommand(CmdListAll);
    EXPECT_EQ(window->windowMode(), ModeRecording);
}

TEST_F(VideoListsTest, DoubleClicksPlayVideos)
{
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();

    // A row of another patient: that patient's list is shown with the video selected.
    doubleClick(all->viewport(), rowPoint(all, 0));
    EXPECT_EQ(window->windowMode(), ModeLibrary);
    EXPECT_EQ(window->state().playbackVideoName, Q1);
    EXPECT_EQ(window->currentPatientId(), 456);
    EXPECT_EQ(column(ids, SmallListFileColumn), QStringList{Q1});
    EXPECT_EQ(selectedNames(ids, 1), QStringList{Q1});
    EXPECT_EQ(played, QStringList{Q1});

    // A reference video keeps the patient and is selected in the reference list.
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();
    doubleClick(all->viewport(), rowPoint(all, 4));
    EXPECT_EQ(window->state().playbackVideoName, R1);
    EXPECT_EQ(window->currentPatientId(), 456);
    EXPECT_EQ(selectedNames(refs, 1), QStringList{R1});
    EXPECT_TRUE(selectedNames(ids, 1).isEmpty());
    EXPECT_EQ(played, (QStringList{Q1, R1}));
    played.clear();

    // A row whose file has gone does nothing.
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();
    ASSERT_TRUE(QFile::remove(path(P3)));
    doubleClick(all->viewport(), rowPoint(all, 1));
    EXPECT_EQ(window->windowMode(), ModeListAll);
    EXPECT_EQ(window->state().playbackVideoName, R1);
    EXPECT_EQ(played.size(), 0);

    // In the small lists a double click plays the open video again, unless a player still runs.
    window->setWindowMode(ModeLibrary);
    QCoreApplication::processEvents();
    bool busy = true;
    lists->setPlayerBusy([&] { return busy; });
    doubleClick(refs->viewport(), rowPoint(refs, rowOf(refs, R2)));
    EXPECT_EQ(window->state().playbackVideoName, R2);
    EXPECT_EQ(played.size(), 0);
    busy = false;
    doubleClick(refs->viewport(), rowPoint(refs, rowOf(refs, R2)));
    EXPECT_EQ(played, QStringList{R2});
}

TEST_F(VideoListsTest, TheAllVideosListStaysInItsChosenOrderThroughChanges)
{
    window->setWindowMode(ModeListAll);
    QCoreApplication::processEvents();
    const auto sortedBy = [&](int c, bool ascending) {
        QStringList cells = column(all, c);
        QStringList sorted = cells;
        std::stable_sort(sorted.begin(), sorted.end(), [&](const QString& a, const QString& b) {
            return compareAllListCells(c, a, b, ascending) < 0;
        });
        return cells == sorted;
    };
    // As built, a new video comes first, where its user sees it; in a chosen order it joins at
    // its place, not at the top.
    lists->addVideo(QStringLiteral("0000000520200101000000.wmv"), QString());
    EXPECT_EQ(column(all, AllFileColumn).first(), QStringLiteral("0000000520200101000000.wmv"));
    clickHeader(all, AllIdColumn); // ID ascending
    lists->addVideo(QStringLiteral("0000040020250101000000.wmv"), QStringLiteral("new"));
    EXPECT_TRUE(sortedBy(AllIdColumn, true)) << column(all, AllIdColumn).join(u' ').toStdString();
    EXPECT_NE(column(all, AllFileColumn).first(), QStringLiteral("0000040020250101000000.wmv"));
    // A refiled video moves to its new ID.
    lists->renameVideo(QStringLiteral("0000000520200101000000.wmv"),
                       QStringLiteral("0000099920200101000000.wmv"));
    EXPECT_TRUE(sortedBy(AllIdColumn, true)) << column(all, AllIdColumn).join(u' ').toStdString();
    EXPECT_NE(column(all, AllFileColumn).first(), QStringLiteral("0000099920200101000000.wmv"));
    // Sorted by memo, an edited memo moves the row.
    clickHeader(all, AllMemoColumn);
    ASSERT_TRUE(sortedBy(AllMemoColumn, true));
    window->state().allListPendingName = Q1;
    lists->setMemoDialog([](const QString&, const QString&, QPoint) {
        return std::optional<QString>(QStringLiteral("zzz last"));
    });
    window->setWindowMode(ModeListAll);
    lists->editVideoTags();
    EXPECT_EQ(column(all, AllMemoColumn).last(), QStringLiteral("zzz last"));
    EXPECT_TRUE(sortedBy(AllMemoColumn, true)) << column(all, AllMemoColumn).join(u'|').toStdString();
}

TEST_F(VideoListsTest, RowOperationsByName)
{
    // SelectRowByName: exact ignoring case, else containing, else row 0; with sorting newest first.
    ids->sortItems(0, Qt::AscendingOrder);
    lists->selectRowByName(ids, P2.toUpper(), true);
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P2});
    lists->selectRowByName(ids, QStringLiteral("20240305"), false);
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P1});
    lists->selectRowByName(ids, QStringLiteral("nothing like it"), false);
    EXPECT_EQ(selectedNames(ids, 1), QStringList{P3});

    EXPECT_EQ(lists->findRowByName(ids, P2), 1);
    EXPECT_EQ(lists->findRowByName(ids, QStringLiteral("missing")), 3);
    EXPECT_EQ(lists->findRowByName(all, R2), 5);

    // RefillIdList by file name: in reverse all-videos order, memo for references.
    lists->refillIdList(refs, R1);
    EXPECT_EQ(column(refs, SmallListFileColumn), (QStringList{R2, R1}));
    EXPECT_EQ(column(refs, SmallListTextColumn), (QStringList{"a ref", "b ref"}));
    lists->refillIdList(ids, P1);
    EXPECT_EQ(column(ids, SmallListTextColumn),
              (QStringList{"2024-03-05 14:07", "2024-03-06 09:00", "2024-03-07 10:00"}));

    // RemoveVideoRows leaves the reference list alone for patient videos.
    lists->removeVideoRows(P2);
    EXPECT_EQ(column(all, AllFileColumn), (QStringList{Q1, P3, P1, R1, R2}));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P1, P3}));
    lists->removeVideoRows(R1);
    EXPECT_EQ(column(refs, SmallListFileColumn), QStringList{R2});
    EXPECT_TRUE(QFile::exists(path(P2)));

    // RemoveVideo: rows, record and file; a file already gone only loses its rows and record.
    QStringList deleted;
    lists->setFileDeleter([&](const QString& p) {
        deleted << p;
        return QFile::remove(p);
    });
    lists->removeVideo(R2);
    EXPECT_TRUE(refs->topLevelItemCount() == 0);
    EXPECT_EQ(deleted, QStringList{path(R2)});
    ASSERT_TRUE(QFile::remove(path(Q1)));
    lists->removeVideo(Q1);
    EXPECT_EQ(deleted.size(), 1);
    EXPECT_EQ(column(all, AllFileColumn), (QStringList{P3, P1}));
    EXPECT_EQ(panelRefreshes, 2);
    QStringList libraryNames;
    for (const VideoRecord& r : lists->library())
        libraryNames << r.fileName;
    EXPECT_EQ(libraryNames, (QStringList{P1, P2, P3, R1})); // P2 and R1 lost only rows
}

TEST_F(VideoListsTest, ArrowKeysMoveTheAllVideosSelection)
{
    window->setWindowMode(ModeListAll);
    lists->onKeyAction(KeyAction::SelectNextRow);
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{Q1});
    EXPECT_EQ(window->state().allListPendingName, Q1);
    lists->onKeyAction(KeyAction::SelectPreviousRow); // already at the top
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{Q1});
    for (int i = 0; i < 10; ++i)
        lists->onKeyAction(KeyAction::SelectNextRow);
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{R2});
    lists->onKeyAction(KeyAction::SelectPreviousRow);
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{R1});
}

TEST_F(VideoListsTest, ASaveFolderTooLongToSearchIsReportedAndListsNothing)
{
    QString deep = folder;
    while (deep.size() <= MaxScanFolderLength)
        deep += u'/' + QString(std::min<qsizetype>(100, MaxScanFolderLength + 1 - deep.size()), u'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QFile::copy(s_video, deep + u'/' + P1));
    appSettings().setValue(SaveFolder, deep);

    const ScanOutcome outcome = lists->reload();
    EXPECT_EQ(outcome.status, ScanStatus::PathTooLong);
    EXPECT_EQ(all->topLevelItemCount(), 0);
    EXPECT_EQ(ids->topLevelItemCount(), 0);
    EXPECT_EQ(refs->topLevelItemCount(), 0);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(QStringLiteral("too long")))
        << prompts.messages[0].toStdString();
}

TEST_F(VideoListsTest, RecordingsCutOffByACrashAreRepairedInTheBackgroundAndReported)
{
    TempDir recorder;
    const KilledRecording killed = recordAndKill(recorder.path(), 5000);
    ASSERT_TRUE(killed.ok());
    const QString cut = QStringLiteral("0000471120240105120000.wmv");
    const QString empty = QStringLiteral("0000471120240105120100.wmv");
    ASSERT_TRUE(QFile::copy(killed.path, path(cut)));
    ASSERT_TRUE(QFile(path(empty)).open(QIODevice::WriteOnly));
    prompts.messages.clear();

    lists->reload();
    // At once: the cut recording listed without a length, the empty file as an unreadable video.
    for (const QString& name : {cut, empty}) {
        ASSERT_NE(lists->findRowByName(all, name), all->topLevelItemCount()) << name.toStdString();
        EXPECT_EQ(all->topLevelItem(lists->findRowByName(all, name))->text(AllLengthColumn),
                  QStringLiteral("01s"));
    }

    ASSERT_TRUE(waitUntil([&] { return !prompts.messages.isEmpty(); }, std::chrono::seconds(120)));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0],
              QStringLiteral(
                  "1 recording(s) interrupted by a crash were repaired:\r\n%1\r\n\r\n"
                  "1 file(s) left empty by a crash hold no video and can be deleted from the list:\r\n%2")
                  .arg(cut, empty));
    const int row = lists->findRowByName(all, cut);
    ASSERT_NE(row, all->topLevelItemCount());
    EXPECT_NE(all->topLevelItem(row)->text(AllLengthColumn), QStringLiteral("01s"));

    // A later reload repairs nothing more and does not report the empty file again.
    lists->reload();
    EXPECT_FALSE(lists->recovery().isRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages.size(), 1);
}

TEST_F(VideoListsTest, SetIdWithoutVideosLeavesNothingOfTheLastVideoOnScreen)
{
    openRow(ids, P1);
    window->playback().showVideoFrame(P1, 20);
    window->playback().updateTimeDisplay();
    auto* time = qobject_cast<QLabel*>(window->control(IDC_TIME_TEXT));
    ASSERT_FALSE(time->text().isEmpty());

    prompts.patientIds.push_back(77777777); // an ID without videos
    window->setIdCommand();
    EXPECT_EQ(window->currentPatientId(), 77777777);
    EXPECT_TRUE(window->state().playbackVideoName.isEmpty());
    EXPECT_EQ(ids->topLevelItemCount(), 0);
    const FrameCopy picture = window->displayFrame().copy();
    ASSERT_TRUE(picture.valid());
    EXPECT_EQ((std::vector<std::uint8_t>(picture.rgb.begin(), picture.rgb.begin() + 3)),
              (std::vector<std::uint8_t>{200, 200, 255}));
    EXPECT_TRUE(time->text().isEmpty());
    EXPECT_EQ(window->playback().currentFrame(), 0);
    EXPECT_EQ(window->playback().rangeEnd(), window->playback().sliderLength());
}

TEST_F(VideoListsTest, TrimToRangeFollowsTheMarkersNotTheLastDrawnButton)
{
    openRow(ids, P1);
    auto trimEnabled = [this] {
        shownMenus.clear();
        rightClick(ids, rowPoint(ids, rowOf(ids, P1)));
        for (const MenuItem& item : shownMenus.at(0))
            if (item.command == CmdTrimToRange)
                return item.enabled;
        ADD_FAILURE() << "no Trim to Range item";
        return false;
    };
    EXPECT_FALSE(trimEnabled());
    // Markers moved without the slider being drawn since.
    const int length = window->playback().sliderLength();
    window->playback().setRange(length / 4, length / 2);
    EXPECT_TRUE(trimEnabled());
    window->playback().setRange(0, length);
    EXPECT_FALSE(trimEnabled());
}
