// Trim to Range on a real main window over a save folder of real WMV files whose frames carry their
// index: the trim button and the pop-up command cut the marked frames into a new, later-named,
// listed video with the memo; the source goes to the (temporary XDG) trash unless kept; a whole
// range, a cancel or an unreadable source leave the folder and the lists as they were.

#include "core/i18n/MenuCaptions.h"
#include "core/media/VideoHeaderReader.h"
#include "core/media/VideoTags.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "support/HeldRepair.h"
#include "support/IndexedVideo.h"
#include "support/LibraryFixtureNames.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestVideos.h"
#include "support/TreeRows.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"
#include "ui/manage/CTrim.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shared/ControlIds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <opencv2/videoio.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tolvek;
using namespace tolvek::test;

namespace {

constexpr int Frames = 300; // ten seconds at 30 fps

std::vector<int> decodedIndices(const QString& path)
{
    std::vector<int> indices;
    cv::VideoCapture cap(path.toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    while (cap.read(frame) && !frame.empty())
        indices.push_back(frameIndexOf(frame));
    return indices;
}

std::vector<int> sequence(int first, int count)
{
    std::vector<int> v;
    for (int i = 0; i < count; ++i)
        v.push_back(first + i);
    return v;
}

class TrimTest : public MainWindowFixture
{
  protected:
    static void SetUpTestSuite()
    {
        s_sources = std::make_unique<TempDir>();
        s_video = s_sources->file("indexed.wmv");
        s_written = writeIndexedWmv(s_video, Frames);
    }
    static void TearDownTestSuite() { s_sources.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_written);
        ASSERT_NO_FATAL_FAILURE(MainWindowFixture::SetUp());
        useOwnTrash();
        appSettings().setValue(Language, QStringLiteral("1"));
        appSettings().setValue(CaptureFps, QStringLiteral("30"));
        for (const QString& name : {P1, P3, Q1, R1})
            ASSERT_TRUE(QFile::copy(s_video, path(name))) << name.toStdString();
        ASSERT_EQ(writeVideoTags(path(P3), QStringLiteral("eye memo")), TagWriteResult::Written);
        ASSERT_EQ(writeVideoTags(path(R1), QStringLiteral("b ref")), TagWriteResult::Written);
        original = folderEntries();

        openWindow(QSize(1280, 720));
        reloadLists();
        lists->refillIdList(123);
        lists->sortList(ids, 0, false);
    }

    QStringList folderEntries() const
    {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    bool inTrash(const QString& name) const { return QFileInfo::exists(trash + u'/' + name); }
    void open(QTreeWidget* list, const QString& name)
    {
        ASSERT_NO_FATAL_FAILURE(openRow(list, name));
        ASSERT_EQ(player().frameCount(), Frames);
    }
    PlaybackController& player() { return window->playback(); }
    int length() { return player().sliderLength(); }
    QString memoOf(QTreeWidget* list, const QString& name, int memoColumn, int fileColumn) const
    {
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(fileColumn) == name)
                return list->topLevelItem(i)->text(memoColumn);
        return QStringLiteral("<no row>");
    }

    static inline std::unique_ptr<TempDir> s_sources;
    static inline QString s_video;
    static inline bool s_written = false;
    QStringList original;
};

} // namespace

TEST_F(TrimTest, TheTrimButtonCutsTheRangeIntoANewVideoAndTrashesTheSource)
{
    open(ids, P3);
    const int start = length() / 2;
    const int end = length() * 3 / 4;
    player().setRange(start, end);
    player().drawSlider(SliderDraw::Current);
    // The frames the markers show: the start marker's first, the end marker's last.
    const MarkedFrames marked = markedFrames(start, end, length(), Frames);
    const int first = marked.first;
    const int count = marked.count();
    // Four whole seconds of frames trimmed off the head move the name's time on by four seconds.
    const QString trimmed = QStringLiteral("0000012320240307100004.wmv");
    ASSERT_EQ(first / 30, 4);

    QString progress;
    prompts.trimAction = [&progress](CTrim& dialog) {
        EXPECT_TRUE(dialog.control(CTrim::IDC_KEEP_ORIGINAL)->isVisible());
        EXPECT_EQ(static_cast<QAbstractButton*>(dialog.control(CTrim::IDC_KEEP_ORIGINAL))->text(),
                  QStringLiteral("Check to keep the original file."));
        QObject::connect(&dialog, &QDialog::finished, [&progress, &dialog] { progress = dialog.statusText; });
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
    };
    static_cast<QPushButton*>(window->control(IDC_TRIM))->click();

    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_EQ(prompts.trimRuns[0].source, path(P3));
    EXPECT_EQ(prompts.trimRuns[0].target, path(trimmed));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    EXPECT_EQ(progress, QString::asprintf("frames : %04d/%04d", count, count));

    // The file: exactly the marked frames, the memo, and the source in the trash.
    EXPECT_EQ(decodedIndices(path(trimmed)), sequence(first, count));
    EXPECT_EQ(VideoHeaderReader().readDurationAndTitle(path(trimmed)).memo, QStringLiteral("eye memo"));
    EXPECT_FALSE(QFileInfo::exists(path(P3)));
    EXPECT_TRUE(inTrash(P3));
    EXPECT_EQ(folderEntries(), (QStringList{P1, trimmed, Q1, R1}));

    // The lists and the player follow the new video.
    EXPECT_EQ(memoOf(all, trimmed, AllMemoColumn, AllFileColumn), QStringLiteral("eye memo"));
    EXPECT_FALSE(column(all, AllFileColumn).contains(P3));
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{trimmed, P1}));
    EXPECT_EQ(selectedNames(ids, SmallListFileColumn), QStringList{trimmed});
    EXPECT_EQ(window->state().playbackVideoName, trimmed);
    EXPECT_EQ(window->currentPatientId(), 123);
    EXPECT_EQ(player().rangeStart(), 0);
    EXPECT_EQ(player().rangeEnd(), length());
    EXPECT_EQ(player().frameCount(), count);
}

TEST_F(TrimTest, ThePopUpTrimsAReferenceVideoAndKeepsTheOriginalWhenTicked)
{
    open(refs, R1);
    player().setRange(length() / 10, length() / 5);
    player().drawSlider(SliderDraw::Current);
    const QStringList idsBefore = column(ids, SmallListFileColumn);
    bool enabled = false;
    lists->setMenuRunner([&enabled](QMenu& menu, QPoint) {
        for (QAction* a : menu.actions())
            if (a->data().toInt() == CmdTrimToRange)
                enabled = a->isEnabled();
        return int(CmdTrimToRange);
    });
    prompts.keepOriginal = true;
    lists->showVideoPopupMenu(VideoMenuSource::ReferenceList, QPoint(10, 10));
    EXPECT_TRUE(enabled);

    const QString trimmed = QStringLiteral("9900000020240101120001.wmv");
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    EXPECT_TRUE(QFileInfo::exists(path(trimmed)));
    EXPECT_TRUE(QFileInfo::exists(path(R1)));
    EXPECT_FALSE(inTrash(R1));
    EXPECT_EQ(memoOf(refs, trimmed, SmallListTextColumn, SmallListFileColumn), QStringLiteral("b ref"));
    EXPECT_EQ(memoOf(refs, R1, SmallListTextColumn, SmallListFileColumn), QStringLiteral("b ref"));
    EXPECT_EQ(selectedNames(refs, SmallListFileColumn), QStringList{trimmed});
    EXPECT_EQ(column(ids, SmallListFileColumn), idsBefore);
    EXPECT_EQ(column(all, AllFileColumn).count(R1), 1);
    EXPECT_EQ(window->state().playbackVideoName, trimmed);
}

TEST_F(TrimTest, OnlyASubRangeIsTrimmedAndTheKeyCommandTrimsToo)
{
    open(ids, P1);
    prompts.trimAction = [](CTrim& dialog) { dialog.reject(); };
    struct Case
    {
        int start, endFromRight;
        bool runs;
    };
    const Case cases[] = {{0, 0, false}, {2, 2, false}, {2, 3, true}, {3, 0, true}};
    size_t runs = 0;
    for (const Case& c : cases) {
        player().setRange(c.start, length() - c.endFromRight);
        window->executeCommand(CmdTrimToRangeKey);
        runs += c.runs ? 1 : 0;
        EXPECT_EQ(prompts.trimRuns.size(), runs) << c.start << ", L-" << c.endFromRight;
    }
    // Cancelled before any frame: nothing changed.
    EXPECT_EQ(folderEntries(), original);
    EXPECT_EQ(window->state().playbackVideoName, P1);
}

TEST_F(TrimTest, ACancelledOrFailedTrimLeavesFilesAndListsAsTheyWere)
{
    open(ids, P3);
    player().setRange(0, length() / 2);
    const QStringList allBefore = column(all, AllFileColumn);
    const QStringList idsBefore = column(ids, SmallListFileColumn);

    // Cancel right after OK: the worker stops and removes what it wrote; the dialog ends at once.
    prompts.trimAction = [](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
        EXPECT_TRUE(dialog.state()->running.load());
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_CANCEL))->click();
        EXPECT_FALSE(dialog.isVisible());
    };
    window->executeCommand(CmdTrimToRange);
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(folderEntries(), original);
    EXPECT_EQ(column(all, AllFileColumn), allBefore);
    EXPECT_EQ(window->state().playbackVideoName, P3);

    // A source that vanished: reported, and neither a row for a missing file nor a deleted source.
    ASSERT_TRUE(QFile::rename(path(P3), dir.file("away.wmv")));
    prompts.trimAction = nullptr;
    window->executeCommand(CmdTrimToRange);
    ASSERT_EQ(prompts.trimRuns.size(), 2u);
    EXPECT_EQ(prompts.messages, QStringList{path(P3) + QStringLiteral(" can't be read.")});
    EXPECT_EQ(column(all, AllFileColumn), allBefore);
    EXPECT_EQ(column(ids, SmallListFileColumn), idsBefore);
    EXPECT_EQ(folderEntries(), (QStringList{P1, Q1, R1}));
    EXPECT_EQ(window->state().playbackVideoName, P3);
}

TEST_F(TrimTest, ATrimEndingWhileTheListsAreRebuiltListsItsVideoOnce)
{
    // A background repair ends, and the lists are rebuilt from the folder, after the trimmed video
    // has taken its name and before the dialog has closed.
    HeldRepair repair(dir.path());
    const QString cut = QStringLiteral("0004711020240105120000.wmv");
    ASSERT_TRUE(repair.start(*lists, window->tools(), folder, cut));
    lists->refillIdList(123);
    open(ids, P3);
    player().setRange(length() / 2, length() * 3 / 4);
    player().drawSlider(SliderDraw::Current);
    const QString trimmed = QStringLiteral("0000012320240307100004.wmv");
    bool repaired = false;
    prompts.trimAction = [&](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
        if (waitUntil([&] { return QFileInfo::exists(path(trimmed)); }))
            repaired = repair.finish();
    };
    static_cast<QPushButton*>(window->control(IDC_TRIM))->click();
    ASSERT_TRUE(repaired);
    ASSERT_EQ(prompts.messages.size(), 1); // the repair's report
    EXPECT_TRUE(prompts.messages[0].contains(cut));

    EXPECT_EQ(column(all, AllFileColumn).count(trimmed), 1);
    EXPECT_EQ(column(ids, SmallListFileColumn), (QStringList{trimmed, P1}));
    EXPECT_EQ(memoOf(all, trimmed, AllMemoColumn, AllFileColumn), QStringLiteral("eye memo"));
    EXPECT_FALSE(column(all, AllFileColumn).contains(P3));
    int records = 0;
    for (const VideoRecord& r : lists->library())
        records += r.fileName == trimmed ? 1 : 0;
    EXPECT_EQ(records, 1);
}

// A source whose second half turned unreadable after it was opened: the trim makes no new video,
// keeps the original listed and in place, and says how far the source could be read.
TEST_F(TrimTest, ADamagedSourceIsNeverTrimmedShort)
{
    open(ids, P3);
    player().setRange(0, length() - 3);
    const int expected = markedFrames(0, length() - 3, length(), Frames).count();
    ASSERT_TRUE(damageVideo(path(P3), VideoDamage::Zeroed));
    const int readable = countDecodedFrames(path(P3));
    ASSERT_LT(readable, Frames * 3 / 4);
    QFile damaged(path(P3));
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    const QByteArray bytes = damaged.readAll();
    damaged.close();
    const QStringList allBefore = column(all, AllFileColumn);
    const QStringList idsBefore = column(ids, SmallListFileColumn);
    prompts.trimAction = [](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
    };

    window->executeCommand(CmdTrimToRange);
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_EQ(prompts.messages,
              QStringList{path(P3) +
                          QStringLiteral(" can be read only up to frame %1 of %2; the rest is damaged.\r\n"
                                         "The original video is kept unchanged and no new video was made.")
                              .arg(readable)
                              .arg(expected)});
    EXPECT_EQ(folderEntries(), original);
    ASSERT_TRUE(damaged.open(QIODevice::ReadOnly));
    EXPECT_EQ(damaged.readAll(), bytes);
    damaged.close();
    EXPECT_FALSE(inTrash(P3));
    EXPECT_EQ(column(all, AllFileColumn), allBefore);
    EXPECT_EQ(column(ids, SmallListFileColumn), idsBefore);
    EXPECT_EQ(window->state().playbackVideoName, P3);
}

// A trimmed original that the trash refuses stays where it was and stays listed beside the new
// video; the user is told.
TEST_F(TrimTest, AnOriginalTheTrashRefusesStaysListed)
{
    open(ids, P1);
    player().setRange(0, length() / 2);
    ASSERT_TRUE(dir.write(QStringLiteral("not a folder"), "x"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.file(QStringLiteral("not a folder/share"))));
    prompts.trimAction = [](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
    };
    window->executeCommand(CmdTrimToRange);
    const QString trimmed = QStringLiteral("0000012320240305140710.wmv");
    ASSERT_EQ(prompts.trimRuns.size(), 1u);
    EXPECT_EQ(prompts.messages, QStringList{path(P1) + QStringLiteral(" can't be deleted.")});
    EXPECT_TRUE(QFileInfo::exists(path(P1)));
    EXPECT_TRUE(QFileInfo::exists(path(trimmed)));
    EXPECT_TRUE(column(all, AllFileColumn).contains(P1));
    EXPECT_TRUE(column(all, AllFileColumn).contains(trimmed));
    EXPECT_TRUE(findRecord(lists->library(), P1) != nullptr);
}

// The original removed by someone else while it was copied: the copy is kept and listed, the
// original's rows go, and the user is told instead of finding the video renamed without a word.
TEST_F(TrimTest, AnOriginalRemovedDuringTheTrimIsReportedAndItsCopyKept)
{
    open(ids, P1);
    player().setRange(0, length() / 2);
    const QString trimmed = QStringLiteral("0000012320240305140710.wmv");
    prompts.trimAction = [&](CTrim& dialog) {
        static_cast<QPushButton*>(dialog.control(CTrim::IDC_OK))->click();
        if (waitUntil([&] { return QFileInfo::exists(path(trimmed)); }))
            QFile::remove(path(P1));
    };
    window->executeCommand(CmdTrimToRange);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(P1) && prompts.messages[0].contains(trimmed))
        << prompts.messages[0].toStdString();
    EXPECT_TRUE(column(all, AllFileColumn).contains(trimmed));
    EXPECT_FALSE(column(all, AllFileColumn).contains(P1));
    EXPECT_EQ(findRecord(lists->library(), P1), nullptr);
}
