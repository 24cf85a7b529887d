#pragma once
// The three list views of the video library on the main window: the all-videos list (1034), the
// current patient's list (1032) and the reference list (1033). Fills them from the library, sorts
// them, keeps the two small lists as one selection, opens and plays videos through signals to the
// player, shows their pop-up menus and edits memos. UI thread only; failures (missing files,
// unwritable headers) are reported to the user and never end the program.

#include "core/library/RecordingRecovery.h"
#include "core/library/ScanSaveFolder.h"
#include "core/library/VideoRecord.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/WindowPorts.h"
#include "ui/shared/WindowState.h"

#include <QObject>
#include <QPoint>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QItemSelection;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace tolvek {

class UserPrompts;

// What the lists use of the main window, handed in by the composition.
struct ListsWindow
{
    QWidget& widget; // the three lists (1034, 1032, 1033); parent of dialogs and menus
    WindowState& state;
    ModePort& modes;
    PlayedVideoPort& video;
};

// Where a VideoPopupMenu is opened; decides which items it loses.
enum class VideoMenuSource { IdList, ReferenceList, Picture };

// Columns of the lists.
enum AllListColumn : int { AllIdColumn = 0, AllDateColumn, AllLengthColumn, AllMemoColumn, AllFileColumn };
inline constexpr int SmallListTextColumn = 0; // date (ID list) or memo (reference list)
inline constexpr int SmallListFileColumn = 1; // the hidden file name

class VideoLists : public QObject
{
    Q_OBJECT
  public:
    // Shows the memo dialog (prompt, current memo, screen point); the edited text or nothing.
    using MemoDialog =
        std::function<std::optional<QString>(const QString& prompt, const QString& memo, QPoint at)>;
    // Runs a pop-up menu at a screen point; the chosen command or 0.
    using MenuRunner = std::function<int(QMenu& menu, QPoint at)>;
    // Moves a video file to the trash and reports failures itself.
    // Moves the file at path away and reports any problem itself; true once the file is gone.
    using FileDeleter = std::function<bool(const QString& path)>;

    // Takes the three lists of the window. The window hands it its commands (onCommand: 32908 List
    // All, 32771 Edit Video Tags, buttons 1040 and 1043) and key actions (onKeyAction: the row
    // selection keys of mode 3).
    VideoLists(ListsWindow window, UserPrompts* prompts, QObject* parent = nullptr);

    QTreeWidget* allList() const { return m_all; }
    QTreeWidget* idList() const { return m_ids; }
    QTreeWidget* referenceList() const { return m_refs; }
    VideoLibrary& library() { return m_library; }
    const VideoLibrary& library() const { return m_library; }

    // ScanSaveFolder of the SaveFolder setting, then FillLists. A folder path too long to be
    // searched is reported to the user. Recordings left unfinished by a crash, and 0-byte files,
    // go to a background repair; when it ends the lists are refilled and the user is told. The
    // file being recorded is never listed by a scan.
    ScanOutcome reload();
    // The background repair started by reload (tests wait on it).
    RecordingRecovery& recovery() { return m_recovery; }
    // FillLists: the three lists from AllIndex, ReferenceIndex and IdIndex of the library.
    void fillLists();

    // RefillIdList by ID number: the ID list for patientId in all-videos order, header "ID:%08d".
    void refillIdList(int patientId);
    // RefillIdList by file name: target (ID or reference list) for the ID of fileName, reversed.
    void refillIdList(QTreeWidget* target, const QString& fileName);
    // SelectRowByName: selects, focuses and scrolls to the row of name (exact ignoring case, else
    // containing it, else row 0); with sort, first sorts column 0 newest first.
    void selectRowByName(QTreeWidget* list, const QString& name, bool sort);
    // FindRowByName: the first row whose file-name cell contains name; the row count when none.
    int findRowByName(QTreeWidget* list, const QString& name) const;
    // RemoveVideoRows: the row of name in each list (the reference list only for reference names).
    void removeVideoRows(const QString& name);
    // AddVideoRow: a new first row for a file written without a scan; its length reads "0" until
    // List All measures it. A file that has a row already keeps that row, which takes the memo:
    // a rescan may have listed the file before its command got round to it.
    void addVideoRow(QTreeWidget* list, const QString& fileName, const QString& memo);
    // A file written without a scan into the all-videos list and the library, once.
    void addVideo(const QString& fileName, const QString& memo);
    // The row of a video whose file has been renamed (Change ID) follows it, in the all-videos list
    // and the library: ID, date and file name. Where the new name is listed already, that row and
    // record take the memo and the old ones go.
    void renameVideo(const QString& from, const QString& to);
    // The all-videos row whose file name is name, or null. Rows live only until the lists are
    // rebuilt, which any dialog or event-loop turn may do: never keep one across those; keep the
    // name and look the row up again.
    QTreeWidgetItem* findRow(QTreeWidget* list, const QString& name) const; // file cell equals
    // The memo the all-videos list shows for a video; nothing when the video is not listed.
    std::optional<QString> memoOf(const QString& fileName) const;
    // RemoveVideo: the file of fileName to the trash, then its rows and record. A file the trash
    // refuses stays listed (the user has been told); false then.
    bool removeVideo(const QString& fileName);
    // DeselectAll: no selected or focused row in list.
    void deselectAll(QTreeWidget* list);
    // Sorts list by column with CompareRowText.
    void sortList(QTreeWidget* list, int column, bool ascending);
    // A header click on the all-videos list: flips that column's flag and sorts by it. The list
    // keeps that order through later changes (a video added, renamed or given a memo) until it is
    // rebuilt, which lists newest first again.
    void sortAllList(int column);
    // FillMissingLengths: measures the Length cells still marked "0".
    void fillMissingLengths();

    // After a recording has stopped: its row and record, the ID list refilled for the current
    // patient, sorted newest first, with the new video selected.
    void addRecordedVideo(const QString& name);

    void listAll(); // List All (button 1040, command 32908)
    void toTop();   // TOTOP (button 1043)
    bool listAllFromLive() const { return m_listAllFromLive; }
    void setListAllFromLive(bool set) { m_listAllFromLive = set; } // recording start sets it

    // EditVideoTags (command 32771). The video is found again by its name after the memo dialog;
    // when it has gone meanwhile the user is told and nothing is written.
    void editVideoTags();

    // VideoPopupMenu for the current video as opened from source; the caller owns it.
    QMenu* buildVideoPopupMenu(VideoMenuSource source, QWidget* parent);
    // Shows it at a screen point and runs the chosen command on the main window. The window calls
    // this for a right click on the video picture once its own checks have passed.
    void showVideoPopupMenu(VideoMenuSource source, QPoint globalPos);

    bool selectionGuard() const { return m_selectionGuard; }
    bool columnSortAscending(int column) const;

    // Hooks to the player and the dialogs; each has a working default.
    void setSubRangeMarked(std::function<bool()> marked); // default: whole video marked
    void setPlayerBusy(std::function<bool()> busy);       // default: no player running
    void setMemoDialog(MemoDialog dialog);                // default: none (the memo stays)
    void setMenuRunner(MenuRunner runner);                // default: QMenu::exec
    void setFileDeleter(FileDeleter deleter);             // default: trash, "%s can't be deleted."
    // The file the recorder has opened and not yet handed to the lists; default: none.
    void setFileBeingRecorded(std::function<QString()> name) { m_fileBeingRecorded = std::move(name); }

  public Q_SLOTS:
    void onCommand(int command);
    void onKeyAction(KeyAction keyAction);

  Q_SIGNALS:
    // A row of a small list opened another video: stop the player, reset the range and slider,
    // blank the picture, pause, and show frame 0 of name.
    void showVideo(const QString& name);
    // A double click: play name from its start (range reset, not paused).
    void playVideo(const QString& name);
    // Stop the player; with resetRange also RangeStart = CurrentFrame = 0, RangeEnd = SliderLength.
    void stopPlayer(bool resetRange);
    // TOTOP: show frame 0 of name again, draw the slider and the time.
    void redisplayVideo(const QString& name);
    // List All and the removal of a video change what the folder panel shows.
    void folderPanelRefreshRequested();
    // A command chosen from a pop-up menu of a list or the picture, for the window to run.
    void commandChosen(int command);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class GuardScope;

    QTreeWidget* otherSmallList(QTreeWidget* list) const;
    int fileColumn(const QTreeWidget* list) const;
    QString saveFolder() const;
    QTreeWidget* listForVideo(const QString& name) const;
    void sortRows(QTreeWidget* list, const std::function<int(QTreeWidgetItem*, QTreeWidgetItem*)>& compare);
    void selectRow(QTreeWidget* list, QTreeWidgetItem* item);

    void onSmallListSelection(QTreeWidget* list, const QItemSelection& selected);
    void onAllListSelection(const QItemSelection& selected);
    void onSmallListDoubleClick(QTreeWidget* list);
    void onAllListDoubleClick(QTreeWidgetItem* item);
    void onAllListMenu(QPoint pos);
    void onSmallListMenu(QTreeWidget* list, QPoint pos);
    void runMenu(QMenu* menu, QPoint at);
    void selectAdjacentAllListRow(int step);
    void startRecovery(const QString& folder, const ScanOutcome& outcome);
    void onRecoveryFinished(const RecoveryReport& report);
    // ScanSaveFolder without the file being recorded, which its stop lists once it is finished.
    ScanOutcome scanFolder(const QString& folder);
    // The file the recorder has opened and not yet handed to the lists; empty when none.
    QString fileBeingRecorded() const;
    // After a rebuild: the open video's row selected again, without opening anything.
    void reselectAfterRebuild();

    ListsWindow m_window;
    UserPrompts* m_prompts;
    QTreeWidget* m_all;
    QTreeWidget* m_ids;
    QTreeWidget* m_refs;
    VideoLibrary m_library;
    RecordingRecovery m_recovery;
    QString m_recoveryFolder;
    QSet<QString> m_recoveryReported;            // failed or empty files already reported in this session
    bool m_selectionGuard = false;               // SelectionGuard
    bool m_listAllFromLive = false;              // ListAllFromLive
    std::array<bool, 5> m_columnSortAscending{}; // ColumnSortAscending
    // The order chosen by the last header click on the all-videos list; none while the list is as
    // built (newest first, a video added since at the top, where its user sees it).
    struct AllListOrder
    {
        int column = AllDateColumn;
        bool ascending = false;
    };
    std::optional<AllListOrder> m_allListOrder;
    // Puts a changed row of the all-videos list back into the list's order.
    void keepAllListOrder();

    std::function<bool()> m_subRangeMarked;
    std::function<bool()> m_playerBusy;
    MemoDialog m_memoDialog;
    MenuRunner m_menuRunner;
    FileDeleter m_fileDeleter;
    std::function<QString()> m_fileBeingRecorded;
};

} // namespace tolvek
