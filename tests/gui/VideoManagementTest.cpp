// Delete, Add to Reference List and Change ID on a real main window over a save folder of real WMV
// files: the delete question and the trash (a temporary XDG trash), the next row taking over, the
// refused second reference copy, and a refile whose new file carries the new ID in its frames.

#include "ui/manage/VideoManagement.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/HeldRepair.h"
#include "support/IdLabelVideo.h"
#include "support/LibraryFixtureNames.h"
#include "support/MainWindowFixture.h"
#include "support/ScopedLanguage.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "support/WaitUntil.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"
#include "ui/manage/CGetID.h"
#include "ui/manage/CTrim.h"
#include "ui/shared/UserPrompts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

class VideoManagementTest : public MainWindowFixture
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = std::make_unique<TempDir>();
        s_video = makeIdLabelWmv(s_sources->file("id123.wmv"), 12, 123);
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    void SetUp() override
    {
        ASSERT_FALSE(s_video.isEmpty());
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        useOwnTrash();
        appSettings().setValue(Language, QStringLiteral("1"));
        appSettings().setValue(IdHistory, QStringLiteral("123,456"));
        for (const QString& name : {P1, P2, P3, Q1, R1, R2})
            put(name);
        ASSERT_EQ(writeVideoTags(path(P3), QStringLiteral("eye memo")), TagWriteResult::Written);
        ASSERT_EQ(writeVideoTags(path(R1), QStringLiteral("b ref")), TagWriteResult::Written);
        ASSERT_EQ(writeVideoTags(path(R2), QStringLiteral("a ref")), TagWriteResult::Written);

        openWindow(QSize(1280, 720));
        reloadLists();
    }

    void put(const QString& name) const
    {
        ASSERT_TRUE(QFile::copy(s_video, path(name))) << name.toStdString();
    }
    bool inTrash(const QString& name) const { return QFileInfo::exists(trash + u'/' + name); }
    void open(QTreeWidget* list, const QString& name) { ASSERT_NO_FATAL_FAILURE(openRow(list, name)); }
    void command(int id) { window->executeCommand(id); }
    QString question(const QString& name) const { return Message(MsgDeleteQuestion).replace("%s", name); }
    QStringList recordNames() const
    {
        QStringList names;
        for (const VideoRecord& r : lists->library())
            names << r.fileName;
        return names;
    }

    static inline std::unique_ptr<TempDir> s_sources;
    static inline QString s_video;
};

} // namespace

TEST_F(VideoManagementTest, DeletingThePlayingVideoAsksThenTrashesItAndOpensTheNextRow)
{
    ASSERT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    open(ids, P2);

    prompts.answers = {false};
    command(CmdDeleteVideo);
    EXPECT_EQ(prompts.questions, QStringList{question(P2)});
    EXPECT_TRUE(QFileInfo::exists(path(P2)));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));

    prompts.answers = {true};
    command(CmdDeleteVideo);
    EXPECT_FALSE(QFileInfo::exists(path(P2)));
    EXPECT_TRUE(inTrash(P2));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P1}));
    EXPECT_FALSE(column(all, AllFileColumn).contains(P2));
    EXPECT_FALSE(recordNames().contains(P2));
    // The former third row is now second and playing.
    EXPECT_EQ(window->state().playbackVideoName, P1);
    EXPECT_EQ(selectedNames(ids, SmallListFileColumn), QStringList{P1});
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(VideoManagementTest, DeletingTheLastReferenceLeavesAnEmptyPicture)
{
    ASSERT_EQ(column(refs, SmallListFileColumn), (QStringList{R2, R1}));
    open(refs, R2);
    command(CmdDeleteVideo);
    EXPECT_EQ(window->state().playbackVideoName, R1);
    command(CmdDeleteVideo);
    EXPECT_EQ(refs->topLevelItemCount(), 0);
    EXPECT_TRUE(window->state().playbackVideoName.isEmpty());
    EXPECT_TRUE(inTrash(R1) && inTrash(R2));
    const FrameCopy picture = window->displayFrame().copy();
    ASSERT_TRUE(picture.valid());
    EXPECT_EQ((std::vector<std::uint8_t>(picture.rgb.begin(), picture.rgb.begin() + 3)),
              (std::vector<std::uint8_t>{200, 200, 255}));
    // The patient's list is untouched.
    EXPECT_EQ(ids->topLevelItemCount(), 3);
}

TEST_F(VideoManagementTest, VanishedFilesAreRemovedWithoutAQuestionOrIgnored)
{
    // The playing video has gone: its rows go without asking.
    open(ids, P3);
    ASSERT_TRUE(QFile::remove(path(P3)));
    command(CmdDeleteVideo);
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P2, P1}));
    EXPECT_FALSE(column(all, AllFileColumn).contains(P3));

    // An all-videos row whose file has gone: nothing at all.
    window->state().allListPendingName = Q1;
    ASSERT_TRUE(QFile::remove(path(Q1)));
    command(CmdDeleteAllListVideo);
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(column(all, AllFileColumn).contains(Q1));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(VideoManagementTest, DeletingFromTheAllVideosListSelectsTheRowThatTakesItsPlace)
{
    window->setWindowMode(ModeListAll);
    ASSERT_EQ(column(all, AllFileColumn), (QStringList{Q1, P3, P2, P1, R1, R2}));
    all->setCurrentItem(all->topLevelItem(2));
    ASSERT_EQ(window->state().allListPendingName, P2);

    prompts.answers = {false, true};
    command(CmdDeleteAllListVideo);
    EXPECT_TRUE(QFileInfo::exists(path(P2)));
    command(CmdDeleteAllListVideo);
    EXPECT_EQ(prompts.questions, (QStringList{question(P2), question(P2)}));
    EXPECT_TRUE(inTrash(P2));
    EXPECT_EQ(column(all, AllFileColumn), (QStringList{Q1, P3, P1, R1, R2}));
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{P1});
    EXPECT_FALSE(column(ids, SmallListFileColumn).contains(P2));

    // The last row: the row before it takes over.
    all->setCurrentItem(all->topLevelItem(4));
    command(CmdDeleteAllListVideo);
    EXPECT_EQ(selectedNames(all, AllFileColumn), QStringList{R1});
    EXPECT_FALSE(column(refs, SmallListFileColumn).contains(R2));
}

TEST_F(VideoManagementTest, AReferenceCopyIsListedOnceAndASecondIsRefused)
{
    const QString copy = QStringLiteral("9900000020240305140709.wmv");
    const QString memoCopy = QStringLiteral("9900000020240307100000.wmv");

    // Outside the library mode nothing happens.
    open(ids, P1);
    window->setWindowMode(ModeLive);
    command(CmdAddToReferenceList);
    EXPECT_FALSE(QFileInfo::exists(path(copy)));

    window->setWindowMode(ModeLibrary);
    command(CmdAddToReferenceList);
    ASSERT_TRUE(QFileInfo::exists(path(copy)));
    EXPECT_EQ(QFileInfo(path(copy)).size() > 0, true);
    // Without a memo it is listed under the name's ID and date.
    EXPECT_EQ(column(refs, SmallListFileColumn), (QStringList{copy, R2, R1}));
    EXPECT_EQ(column(refs, SmallListTextColumn).first(), QStringLiteral("0000012320240305"));
    EXPECT_EQ(selectedNames(refs, SmallListFileColumn), QStringList{copy});
    ASSERT_TRUE(column(all, AllFileColumn).contains(copy));
    EXPECT_EQ(all->topLevelItem(0)->text(AllIdColumn), QStringLiteral("99000000"));
    EXPECT_TRUE(recordNames().contains(copy));
    VideoHeaderReader reader;
    EXPECT_EQ(reader.readDurationAndTitle(path(copy)).memo, QStringLiteral("0000012320240305"));

    // The second time: the message and no change.
    open(ids, P1);
    command(CmdAddToReferenceList);
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Reference file already exists.")});
    EXPECT_EQ(refs->topLevelItemCount(), 3);
    EXPECT_EQ(all->topLevelItemCount(), 7);

    // A video with a memo keeps it in the copy.
    open(ids, P3);
    command(CmdAddToReferenceList);
    EXPECT_EQ(column(refs, SmallListTextColumn),
              (QStringList{QStringLiteral("0000012320240305"), "a ref", "b ref", "eye memo"}));
    EXPECT_EQ(reader.readDurationAndTitle(path(memoCopy)).memo, QStringLiteral("eye memo"));

    // A reference video is its own reference copy: the same message, nothing copied.
    prompts.messages.clear();
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    open(refs, R1);
    command(CmdAddToReferenceList);
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Reference file already exists.")});
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), files);
    EXPECT_EQ(refs->topLevelItemCount(), 4);
}

TEST_F(VideoManagementTest, ChangeIdRefilesUnderTheNewIdWithItBurntIn)
{
    const QString renamed = QStringLiteral("0000077720240307100000.wmv");
    open(ids, P3);

    // The same ID, or a cancelled keypad: nothing changes.
    prompts.videoIds = {123, std::nullopt};
    command(CmdChangeId);
    command(CmdChangeId);
    EXPECT_EQ(prompts.videoIdPresets, (std::vector<int>{123, 123}));
    EXPECT_TRUE(prompts.trimRuns.empty());
    EXPECT_TRUE(QFileInfo::exists(path(P3)));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));

    prompts.videoIds = {777};
    command(CmdChangeId);
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_EQ(prompts.trimRuns[0].newId, 777);
    EXPECT_EQ(prompts.trimRuns[0].rangeStart, 0);
    EXPECT_EQ(prompts.trimRuns[0].rangeEnd, 0);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    ASSERT_TRUE(QFileInfo::exists(path(renamed)));
    EXPECT_FALSE(QFileInfo::exists(path(P3)));
    EXPECT_TRUE(inTrash(P3)); // the original can be had back
    EXPECT_EQ(countDecodedFrames(path(renamed)), 12);
    const double asNew = idLabelDifference(path(renamed), 0, 777);
    const double asOld = idLabelDifference(path(renamed), 0, 123);
    ASSERT_GE(asNew, 0);
    EXPECT_LT(asNew * 2, asOld) << "new " << asNew << ", old " << asOld;
    VideoHeaderReader reader;
    EXPECT_EQ(reader.readDurationAndTitle(path(renamed)).memo, QStringLiteral("eye memo"));

    // Lists, record and window follow the new ID.
    EXPECT_EQ(window->state().playbackVideoName, renamed);
    EXPECT_EQ(window->currentPatientId(), 777);
    EXPECT_EQ(ids->headerItem()->text(0), QStringLiteral("ID:00000777"));
    EXPECT_EQ(column(ids, SmallListFileColumn), QStringList{renamed});
    EXPECT_EQ(selectedNames(ids, SmallListFileColumn), QStringList{renamed});
    EXPECT_FALSE(column(all, AllFileColumn).contains(P3));
    const int row = column(all, AllFileColumn).indexOf(renamed);
    ASSERT_GE(row, 0);
    EXPECT_EQ(all->topLevelItem(row)->text(AllIdColumn), QStringLiteral("00000777"));
    EXPECT_EQ(all->topLevelItem(row)->text(AllMemoColumn), QStringLiteral("eye memo"));
    const VideoRecord* record = findRecord(lists->library(), renamed);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->id, QStringLiteral("00000777"));
    EXPECT_FALSE(recordNames().contains(P3));
}

// A re-encode that cannot end as a whole copy of the original, because the original turns
// unreadable part-way or cannot go to the trash: the original stays, under its name and in the
// lists, no file of the new ID remains, and the user is told why.
TEST_F(VideoManagementTest, ChangeIdKeepsTheOriginalWhenTheCopyFallsShortOrTheTrashRefuses)
{
    const QString renamed = QStringLiteral("0000077720240306090000.wmv");
    ASSERT_TRUE(dir.write(QStringLiteral("not a folder"), "x"));
    struct Case
    {
        const char* what;
        bool damage;
        QString dataHome;
        QString message;
    };
    const Case cases[] = {
        {"the second half is zeros", true, dir.file("xdg"),
         path(P2) + QStringLiteral(" can be read only up to frame %1 of 90; the rest is damaged.\r\n"
                                   "The original video is kept unchanged and no new video was made.")},
        {"the trash cannot be made", false, dir.file("not a folder/share"),
         path(P2) + QStringLiteral(" can't be moved to the trash (%1).\r\nIts ID was not changed.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(QFile::remove(path(P2)));
        ASSERT_FALSE(makeIdLabelWmv(path(P2), 90, 123).isEmpty());
        if (c.damage) {
            ASSERT_TRUE(damageVideo(path(P2), VideoDamage::Zeroed));
        }
        QFile source(path(P2));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        source.close();
        const int readable = countDecodedFrames(path(P2));
        qputenv("XDG_DATA_HOME", QFile::encodeName(c.dataHome));
        prompts.messages.clear();
        open(ids, P2);
        prompts.videoIds = {777};
        command(CmdChangeId);

        ASSERT_EQ(prompts.messages.size(), 1);
        if (c.damage) {
            EXPECT_EQ(prompts.messages[0], c.message.arg(readable));
        } else {
            const QString head = c.message.left(c.message.indexOf(QLatin1String("%1")));
            EXPECT_TRUE(prompts.messages[0].startsWith(head)) << prompts.messages[0].toStdString();
            EXPECT_TRUE(prompts.messages[0].endsWith(QStringLiteral("Its ID was not changed.")));
        }
        QFile after(path(P2));
        ASSERT_TRUE(after.open(QIODevice::ReadOnly));
        EXPECT_EQ(after.readAll(), bytes);
        EXPECT_FALSE(QFileInfo::exists(path(renamed)));
        EXPECT_FALSE(inTrash(P2));
        EXPECT_EQ(window->state().playbackVideoName, P2);
        EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
        EXPECT_TRUE(column(all, AllFileColumn).contains(P2));
        EXPECT_FALSE(column(all, AllFileColumn).contains(renamed));
        EXPECT_TRUE(recordNames().contains(P2));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 6);
    }
}

TEST_F(VideoManagementTest, ChangeIdNeverReplacesAnExistingFile)
{
    const QString taken = QStringLiteral("0000045620240306090000.wmv");
    put(taken);
    const qint64 size = QFileInfo(path(taken)).size();
    open(ids, P2);
    prompts.videoIds = {456};
    command(CmdChangeId);
    EXPECT_EQ(prompts.messages, QStringList{path(taken) + QStringLiteral(" already exists.")});
    EXPECT_TRUE(QFileInfo::exists(path(P2)));
    EXPECT_EQ(QFileInfo(path(taken)).size(), size);
    EXPECT_EQ(window->state().playbackVideoName, P2);
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
}

TEST_F(VideoManagementTest, ChangeIdTakesTheIdTypedOnTheKeypadAndACancelledReEncodeLeavesNothing)
{
    const QString renamed = QStringLiteral("0000004520240306090000.wmv");
    open(ids, P2);
    // The real keypad, typed on: Delete clears the preset 123, U stands for 4, then 5 and Enter.
    prompts.videoIdDialog = [](QWidget* parent, int oldId) {
        QTimer::singleShot(0, [] {
            QWidget* keypad = QApplication::activeModalWidget();
            ASSERT_NE(qobject_cast<CGetID*>(keypad), nullptr);
            for (int key : {Qt::Key_Delete, Qt::Key_U, Qt::Key_5, Qt::Key_Return}) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QCoreApplication::sendEvent(keypad, &press);
            }
        });
        return CGetID::ask(parent, oldId);
    };
    // The re-encode is cancelled as soon as it runs: no file of the new name remains.
    prompts.trimAction = [](CTrim& dialog) {
        EXPECT_TRUE(dialog.reIdMode());
        EXPECT_FALSE(dialog.control(CTrim::IDC_KEEP_ORIGINAL)->isVisible());
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_CANCEL))->click();
    };
    command(CmdChangeId);
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_EQ(prompts.trimRuns[0].target, path(renamed));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    EXPECT_FALSE(QFileInfo::exists(path(renamed)));
    EXPECT_TRUE(QFileInfo::exists(path(P2)));
    EXPECT_EQ(window->state().playbackVideoName, P2);
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 6);

    // Typed again and left to finish: OK does nothing while the re-encode runs, and the dialog
    // closes by itself; refiled under 45.
    prompts.trimAction = [](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
        EXPECT_TRUE(dialog.isVisible());
    };
    command(CmdChangeId);
    ASSERT_EQ(prompts.trimRuns.size(), 2u);
    EXPECT_TRUE(QFileInfo::exists(path(renamed)));
    EXPECT_FALSE(QFileInfo::exists(path(P2)));
    EXPECT_EQ(window->state().playbackVideoName, renamed);
    EXPECT_EQ(window->currentPatientId(), 45);
}

TEST_F(VideoManagementTest, ChangeIdWhileTheListsAreRebuiltRefilesItsOwnVideoOrNothing)
{
    // A background repair ends, and the lists are rebuilt from the folder, while the keypad or the
    // re-encode dialog is open; in the last case the video itself has gone meanwhile.
    enum class During { Keypad, ReEncode };
    const struct
    {
        const char* what;
        QString name;
        int newId;
        During during;
        bool removed;
        QString memo;
        QString cut; // the repaired recording
    } cases[] = {
        {"rebuilt during the keypad", P3, 777, During::Keypad, false, "eye memo",
         "0004711020240105120000.wmv"},
        {"rebuilt during the re-encode", P2, 778, During::ReEncode, false, "second",
         "0004711020240105120100.wmv"},
        {"gone during the keypad", P1, 779, During::Keypad, true, "", "0004711020240105120200.wmv"},
    };
    ASSERT_EQ(writeVideoTags(path(P2), QStringLiteral("second")), TagWriteResult::Written);
    HeldRepair repair(dir.path());
    VideoHeaderReader reader;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(repair.start(*lists, window->tools(), folder, c.cut));
        window->setWindowMode(ModeLibrary);
        window->state().playbackVideoName = c.name;
        prompts.messages.clear();
        const std::size_t runsBefore = prompts.trimRuns.size();
        bool repaired = false;
        auto rebuild = [&] {
            if (c.removed)
                QFile::remove(path(c.name));
            repaired = repair.finish();
        };
        prompts.videoIdDialog = [&](QWidget*, int) -> std::optional<int> {
            if (c.during == During::Keypad)
                rebuild();
            return c.newId;
        };
        prompts.trimAction = [&](CTrim&) {
            if (c.during == During::ReEncode)
                rebuild(); // the dialog closes by itself when the re-encode ends
        };
        command(CmdChangeId);
        ASSERT_TRUE(repaired);
        ASSERT_FALSE(prompts.messages.isEmpty());
        EXPECT_TRUE(prompts.messages[0].contains(c.cut)); // the repair's report

        const QString renamed = formatPatientId(c.newId) + c.name.mid(8);
        const QStringList files = column(all, AllFileColumn);
        if (!c.removed) {
            EXPECT_EQ(prompts.messages.size(), 1) << prompts.messages.join('|').toStdString();
            EXPECT_TRUE(QFileInfo::exists(path(renamed)));
            EXPECT_FALSE(QFileInfo::exists(path(c.name)));
            EXPECT_EQ(reader.readDurationAndTitle(path(renamed)).memo, c.memo);
            EXPECT_EQ(files.count(renamed), 1);
            EXPECT_FALSE(files.contains(c.name));
            const int row = files.indexOf(renamed);
            ASSERT_GE(row, 0);
            EXPECT_EQ(all->topLevelItem(row)->text(AllIdColumn), formatPatientId(c.newId));
            EXPECT_EQ(all->topLevelItem(row)->text(AllMemoColumn), c.memo);
            EXPECT_EQ(column(ids, SmallListFileColumn), QStringList{renamed});
            EXPECT_EQ(window->state().playbackVideoName, renamed);
            EXPECT_EQ(recordNames().count(renamed), 1);
            EXPECT_FALSE(recordNames().contains(c.name));
        } else {
            // The user is told, and nothing is re-encoded or listed.
            ASSERT_EQ(prompts.messages.size(), 2);
            EXPECT_TRUE(prompts.messages[1].contains(c.name)) << prompts.messages[1].toStdString();
            EXPECT_EQ(prompts.trimRuns.size(), runsBefore);
            EXPECT_FALSE(QFileInfo::exists(path(renamed)));
            EXPECT_FALSE(files.contains(renamed));
            EXPECT_FALSE(files.contains(c.name));
        }
    }
}

TEST_F(VideoManagementTest, EmptyVideoFilesAreListedAsUnreadableAndCanBeDeleted)
{
    const QString newest = QStringLiteral("0000012320240308080000.wmv"); // patient 123
    const QString other = QStringLiteral("0000045620240309080000.wmv");  // patient 456
    for (const QString& name : {newest, other})
        ASSERT_TRUE(QFile(path(name)).open(QIODevice::WriteOnly));
    lists->reload();

    // Listed as videos that cannot be read: one second, no memo.
    for (const QString& name : {newest, other}) {
        const int row = column(all, AllFileColumn).indexOf(name);
        ASSERT_GE(row, 0) << name.toStdString();
        EXPECT_EQ(all->topLevelItem(row)->text(AllLengthColumn), QStringLiteral("01s"));
        EXPECT_EQ(all->topLevelItem(row)->text(AllMemoColumn), QString());
    }
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{newest, P3, P2, P1}));

    // Deleted from the patient's list ...
    open(ids, newest);
    command(CmdDeleteVideo);
    EXPECT_EQ(prompts.questions, QStringList{question(newest)});
    EXPECT_TRUE(inTrash(newest));
    EXPECT_FALSE(column(all, AllFileColumn).contains(newest));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));

    // ... and from the all-videos list.
    window->setWindowMode(ModeListAll);
    all->setCurrentItem(all->topLevelItem(column(all, AllFileColumn).indexOf(other)));
    ASSERT_EQ(window->state().allListPendingName, other);
    command(CmdDeleteAllListVideo);
    EXPECT_TRUE(inTrash(other));
    EXPECT_FALSE(QFileInfo::exists(path(other)));
    EXPECT_FALSE(column(all, AllFileColumn).contains(other));
    EXPECT_FALSE(recordNames().contains(other));
}

TEST_F(VideoManagementTest, TheHeadDataFollowsDeleteReferenceCopyAndChangeId)
{
    std::map<QString, QByteArray> head;
    for (const QString& name : {P1, P2, P3}) {
        head[name] = writeTestHeadData(path(name), 12);
        ASSERT_FALSE(head[name].isEmpty());
    }
    const auto headOf = [this](const QString& name) {
        QFile f(path(headDataFileName(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // The scan lists the videos only, never their head data.
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    EXPECT_EQ(all->topLevelItemCount(), 6);

    open(ids, P2);
    prompts.answers = {true};
    command(CmdDeleteVideo);
    EXPECT_TRUE(inTrash(P2));
    EXPECT_TRUE(inTrash(headDataFileName(P2)));
    EXPECT_FALSE(QFileInfo::exists(path(headDataFileName(P2))));

    open(ids, P1);
    command(CmdAddToReferenceList);
    const QString copy = referenceFileName(P1);
    ASSERT_TRUE(QFileInfo::exists(path(copy)));
    EXPECT_EQ(headOf(copy), head[P1]);
    EXPECT_EQ(headOf(P1), head[P1]);

    open(ids, P3);
    prompts.videoIds = {777};
    command(CmdChangeId);
    const QString renamed = replaceVideoId(P3, 777);
    ASSERT_TRUE(QFileInfo::exists(path(renamed)));
    EXPECT_EQ(headOf(renamed), head[P3]); // the same frames, the same rows
    EXPECT_FALSE(QFileInfo::exists(path(headDataFileName(P3))));
    EXPECT_TRUE(inTrash(headDataFileName(P3)));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
}

TEST_F(VideoManagementTest, DamagedHeadDataNeverStopsAVideoFromBeingListedOrPlayed)
{
    QFile damaged(path(headDataFileName(P1)));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(300, '\xff'));
    damaged.close();
    // A folder standing at a head-data name.
    ASSERT_TRUE(QDir().mkpath(path(headDataFileName(P2))));
    reloadLists();
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{P3, P2, P1}));
    for (const QString& name : {P1, P2}) {
        SCOPED_TRACE(name.toStdString());
        window->displayFrame().clear();
        open(ids, name);
        EXPECT_TRUE(waitUntil([this] { return window->displayFrame().ready(); }));
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
}

TEST(CenteredQuestion, TheBoxIsCentredOnThePointAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize box(300, 200);
    struct Case
    {
        QPoint anchor;
        QPoint expected;
    };
    for (const Case& c : {Case{{960, 540}, {810, 440}}, Case{{10, 10}, {0, 0}},
                          Case{{1915, 1075}, {1620, 880}}, Case{{-50, 600}, {0, 500}}}) {
        EXPECT_EQ(centredOnPoint(box, c.anchor, screen), c.expected) << c.anchor.x() << "," << c.anchor.y();
    }
    // A box larger than the screen keeps its top-left corner on it.
    EXPECT_EQ(centredOnPoint(QSize(2000, 1200), QPoint(100, 100), screen), QPoint(0, 0));
}

TEST(TrimFailureMessageTest, EachFailureSaysWhatWentWrong)
{
    const ScopedLanguage english(English);
    const QString source = QStringLiteral("/s/0000012320240305100000.wmv");
    const QString target = QStringLiteral("/s/0000012320240305100005.wmv");
    struct Case
    {
        TrimResult result;
        QString text;
    };
    const Case cases[] = {
        {TrimResult::SourceUnreadable, source + QStringLiteral(" can't be read.")},
        {TrimResult::RangeEmpty,
         QStringLiteral("The marked range of %1 holds no frame.\r\nMove the markers apart and trim again.")
             .arg(source)},
        {TrimResult::TargetExists, target + QStringLiteral(" already exists.")},
        {TrimResult::TargetUnwritable, target + QStringLiteral(" can't be written.")},
        {TrimResult::Done, QString()},
        {TrimResult::Cancelled, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VideoManagement::trimFailureMessage(c.result, source, target), c.text) << int(c.result);
}
