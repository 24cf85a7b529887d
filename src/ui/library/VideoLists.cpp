#include "ui/library/VideoLists.h"

#include "core/i18n/AnalysisTexts.h"
#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/library/FillMissingLengths.h"
#include "core/library/ListSort.h"
#include "core/manage/MemoText.h"
#include "core/manage/VideoFiles.h"
#include "core/media/VideoTags.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/BackgroundWork.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/KeyCommands.h"
#include "ui/shared/MainMenu.h"
#include "ui/shared/UserPrompts.h"

#include <QCursor>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <algorithm>

namespace tolvek {

// Sets SelectionGuard for its lifetime and restores the previous value, so nested scopes work.
class VideoLists::GuardScope
{
  public:
    explicit GuardScope(VideoLists& lists) : m_lists(lists), m_previous(lists.m_selectionGuard)
    {
        lists.m_selectionGuard = true;
    }
    ~GuardScope() { m_lists.m_selectionGuard = m_previous; }
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

  private:
    VideoLists& m_lists;
    bool m_previous;
};

namespace {

// Draws each cell in its text's own direction. In a right-to-left window a file name, a date or
// an English memo would otherwise be laid out right to left ("wmv.0000012320240305140709"); the
// cells keep to the window's side, as the column titles do.
class NaturalDirectionDelegate : public QStyledItemDelegate
{
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->direction != Qt::RightToLeft)
            return;
        option->direction = option->text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
        option->displayAlignment = Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter;
    }
};

QTreeWidget* treeOf(const QWidget& window, int id)
{
    return qobject_cast<QTreeWidget*>(windowControl(window, id));
}

// A memo is cut off by its column; the whole memo shows as the row's tooltip in every column. A
// row without a memo has none, so the list's own tooltip shows there.
void setMemoTip(QTreeWidgetItem* item, const QString& memo)
{
    for (int c = 0; c < item->columnCount(); ++c)
        item->setData(c, Qt::ToolTipRole, memo.isEmpty() ? QVariant() : QVariant(memo));
}

QTreeWidgetItem* makeAllListRow(const QString& id, const QString& date, const QString& length,
                                const QString& memo, const QString& fileName)
{
    auto* item = new QTreeWidgetItem;
    item->setText(AllIdColumn, id);
    item->setText(AllDateColumn, date);
    item->setText(AllLengthColumn, length);
    item->setTextAlignment(AllLengthColumn, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(AllMemoColumn, memo);
    item->setText(AllFileColumn, fileName);
    setMemoTip(item, memo);
    return item;
}

QTreeWidgetItem* makeSmallListRow(const QString& text, const QString& fileName, const QString& memo)
{
    auto* item = new QTreeWidgetItem;
    item->setText(SmallListTextColumn, text);
    item->setText(SmallListFileColumn, fileName);
    setMemoTip(item, memo);
    return item;
}

// The name without any folder part in front of it.
QString bareName(const QString& name)
{
    const qsizetype cut = std::max(name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'));
    return cut >= 0 ? name.mid(cut + 1) : name;
}

QString escapeMnemonics(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

VideoLists::VideoLists(ListsWindow window, UserPrompts* prompts, QObject* parent)
    : QObject(parent), m_window(window), m_prompts(prompts), m_all(treeOf(window.widget, IDC_ALL_LIST)),
      m_ids(treeOf(window.widget, IDC_ID_LIST)), m_refs(treeOf(window.widget, IDC_REFERENCE_LIST))
{
    Q_ASSERT(m_all && m_ids && m_refs);
    // Emitted on the repair's worker thread, so delivered queued on this one.
    connect(&m_recovery, &RecordingRecovery::finished, this, &VideoLists::onRecoveryFinished);

    m_all->setSelectionMode(QAbstractItemView::SingleSelection);
    m_ids->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_refs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (QTreeWidget* list : {m_all, m_ids, m_refs}) {
        list->setSortingEnabled(false);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setExpandsOnDoubleClick(false);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        list->setItemDelegate(new NaturalDirectionDelegate(list));
    }
    // The ID list shows its selection only while it has the focus.
    QPalette palette = m_ids->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Inactive, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Inactive, QPalette::Text));
    m_ids->setPalette(palette);

    m_all->header()->setSectionsClickable(true);
    connect(m_all->header(), &QHeaderView::sectionClicked, this, &VideoLists::sortAllList);

    connect(m_all->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) { onAllListSelection(selected); });
    connect(m_all, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { onAllListDoubleClick(item); });
    connect(m_all, &QWidget::customContextMenuRequested, this, [this](QPoint pos) { onAllListMenu(pos); });
    for (QTreeWidget* list : {m_ids, m_refs}) {
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, list](const QItemSelection& selected) { onSmallListSelection(list, selected); });
        connect(list, &QTreeWidget::itemDoubleClicked, this, [this, list] { onSmallListDoubleClick(list); });
        connect(list, &QWidget::customContextMenuRequested, this,
                [this, list](QPoint pos) { onSmallListMenu(list, pos); });
        list->viewport()->installEventFilter(this);
        list->header()->viewport()->installEventFilter(this);
    }

    m_subRangeMarked = [] { return false; };
    m_playerBusy = [] { return false; };
    m_memoDialog = [](const QString&, const QString&, QPoint) { return std::optional<QString>(); };
    m_menuRunner = [](QMenu& menu, QPoint at) {
        QAction* chosen = menu.exec(at);
        return chosen ? chosen->data().toInt() : 0;
    };
    m_fileDeleter = [this](const QString& path) {
        // DeleteVideoFile: to the trash, problems reported here.
        const DeleteResult result = deleteVideoFile(path);
        if (result != DeleteResult::Deleted && m_prompts)
            m_prompts->message(&m_window.widget, deleteFailureMessage(result, path));
        return result != DeleteResult::Failed;
    };
}

void VideoLists::setSubRangeMarked(std::function<bool()> marked)
{
    if (marked)
        m_subRangeMarked = std::move(marked);
}

void VideoLists::setPlayerBusy(std::function<bool()> busy)
{
    if (busy)
        m_playerBusy = std::move(busy);
}

void VideoLists::setMemoDialog(MemoDialog dialog)
{
    if (dialog)
        m_memoDialog = std::move(dialog);
}

void VideoLists::setMenuRunner(MenuRunner runner)
{
    if (runner)
        m_menuRunner = std::move(runner);
}

void VideoLists::setFileDeleter(FileDeleter deleter)
{
    if (deleter)
        m_fileDeleter = std::move(deleter);
}

bool VideoLists::columnSortAscending(int column) const
{
    return column >= 0 && column < int(m_columnSortAscending.size()) && m_columnSortAscending[column];
}

QString VideoLists::saveFolder() const
{
    return appSettings().value(SaveFolder);
}

QTreeWidget* VideoLists::otherSmallList(QTreeWidget* list) const
{
    return list == m_ids ? m_refs : m_ids;
}

int VideoLists::fileColumn(const QTreeWidget* list) const
{
    return list == m_all ? AllFileColumn : SmallListFileColumn;
}

QTreeWidget* VideoLists::listForVideo(const QString& name) const
{
    return isReferenceVideoName(name) ? m_refs : m_ids;
}

QTreeWidgetItem* VideoLists::findRow(QTreeWidget* list, const QString& name) const
{
    const int column = fileColumn(list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(column) == name)
            return list->topLevelItem(i);
    return nullptr;
}

// ---- filling ----------------------------------------------------------------------------------

ScanOutcome VideoLists::reload()
{
    const QString folder = saveFolder();
    const ScanOutcome outcome = scanFolder(folder);
    if (outcome.status == ScanStatus::PathTooLong && m_prompts)
        m_prompts->message(&m_window.widget, uiText(TxtSaveFolderTooLong).arg(folder),
                           UserPrompts::Icon::Warning);
    fillLists();
    startRecovery(folder, outcome);
    return outcome;
}

void VideoLists::startRecovery(const QString& folder, const ScanOutcome& outcome)
{
    QStringList candidates;
    for (const QString& name : outcome.filesWithoutLength + outcome.emptyFiles)
        if (!m_recoveryReported.contains(name))
            candidates << name;
    if (candidates.isEmpty() || m_recovery.isRunning())
        return;
    // The file being recorded has the same unfinished header; it is not a crash's leftover.
    QStringList skip;
    if (const QString recording = fileBeingRecorded(); !recording.isEmpty())
        skip << recording;
    m_recoveryFolder = folder;
    m_recovery.start(folder, candidates, skip);
}

void VideoLists::onRecoveryFinished(const RecoveryReport& report)
{
    for (const QString& name : report.failed + report.emptyFiles)
        m_recoveryReported.insert(name);
    if (!report.repaired.isEmpty() && saveFolder() == m_recoveryFolder) {
        // Every row is made anew: commands hold video names, never rows, across a dialog.
        scanFolder(m_recoveryFolder);
        fillLists();
        reselectAfterRebuild();
    }
    if (report.anything() && m_prompts)
        m_prompts->message(&m_window.widget, recoveryMessage(report), UserPrompts::Icon::Information);
}

ScanOutcome VideoLists::scanFolder(const QString& folder)
{
    const ScanOutcome outcome = scanSaveFolder(folder, m_library);
    // A recording in progress is listed by its stop, once it is finished; listing it here too
    // would give it two rows.
    if (const QString recording = fileBeingRecorded(); !recording.isEmpty())
        while (removeRecord(m_library, recording)) {
        }
    return outcome;
}

QString VideoLists::fileBeingRecorded() const
{
    return m_fileBeingRecorded ? m_fileBeingRecorded() : QString();
}

void VideoLists::reselectAfterRebuild()
{
    const QString& open = m_window.state.playbackVideoName;
    QTreeWidget* list = listForVideo(open);
    if (QTreeWidgetItem* row = open.isEmpty() ? nullptr : findRow(list, open)) {
        GuardScope guard(*this);
        selectRow(list, row);
    }
}

void VideoLists::fillLists()
{
    GuardScope guard(*this);
    m_all->clear();
    m_ids->clear();
    m_refs->clear();
    m_allListOrder.reset();

    QList<QTreeWidgetItem*> rows;
    for (int i : allIndex(m_library)) {
        const VideoRecord& r = m_library[i];
        rows << makeAllListRow(r.id, r.dateText, r.lengthText, r.memo, r.fileName);
    }
    m_all->addTopLevelItems(rows);

    rows.clear();
    for (int i : referenceIndex(m_library))
        rows << makeSmallListRow(m_library[i].memo, m_library[i].fileName, m_library[i].memo);
    m_refs->addTopLevelItems(rows);

    rows.clear();
    for (int i : idIndex(m_library, m_window.state.currentPatientId()))
        rows << makeSmallListRow(m_library[i].dateText, m_library[i].fileName, m_library[i].memo);
    m_ids->addTopLevelItems(rows);
}

void VideoLists::refillIdList(int patientId)
{
    const QString idText = formatPatientId(patientId);
    m_ids->headerItem()->setText(SmallListTextColumn, QStringLiteral("ID:") + idText);

    GuardScope guard(*this);
    m_ids->setUpdatesEnabled(false);
    m_ids->clear();
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < m_all->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_all->topLevelItem(i);
        if (row->text(AllIdColumn).contains(idText))
            rows << makeSmallListRow(row->text(AllDateColumn), row->text(AllFileColumn),
                                     row->text(AllMemoColumn));
    }
    m_ids->addTopLevelItems(rows);
    m_ids->setUpdatesEnabled(true);
    m_ids->viewport()->update();
}

void VideoLists::refillIdList(QTreeWidget* target, const QString& fileName)
{
    if (target != m_ids && target != m_refs)
        return;
    const QString id = videoIdText(fileName);
    const bool reference = isReferenceVideoName(fileName);
    GuardScope guard(*this);
    target->clear();
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < m_all->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_all->topLevelItem(i);
        if (row->text(AllIdColumn) == id)
            rows.prepend(makeSmallListRow(row->text(reference ? AllMemoColumn : AllDateColumn),
                                          row->text(AllFileColumn), row->text(AllMemoColumn)));
    }
    target->addTopLevelItems(rows);
}

void VideoLists::addVideoRow(QTreeWidget* list, const QString& fileName, const QString& memo)
{
    if (QTreeWidgetItem* row = findRow(list, fileName)) {
        row->setText(AllMemoColumn, memo);
        setMemoTip(row, memo);
        return;
    }
    list->insertTopLevelItem(0, makeAllListRow(videoIdText(fileName), videoDateText(fileName),
                                               QString::fromLatin1(MissingLengthMark), memo, fileName));
}

void VideoLists::addVideo(const QString& fileName, const QString& memo)
{
    addVideoRow(m_all, fileName, memo);
    keepAllListOrder();
    if (VideoRecord* record = findRecord(m_library, fileName))
        record->memo = memo;
    else
        m_library.push_back(recordFromFileName(fileName, memo));
}

void VideoLists::renameVideo(const QString& from, const QString& to)
{
    if (from == to)
        return;
    {
        GuardScope guard(*this);
        QTreeWidgetItem* row = findRow(m_all, from);
        if (QTreeWidgetItem* listed = findRow(m_all, to)) {
            if (row) {
                listed->setText(AllMemoColumn, row->text(AllMemoColumn));
                setMemoTip(listed, row->text(AllMemoColumn));
            }
            delete row;
        } else if (row) {
            row->setText(AllIdColumn, videoIdText(to));
            row->setText(AllDateColumn, videoDateText(to));
            row->setText(AllFileColumn, to);
        }
        keepAllListOrder();
    }
    if (VideoRecord* listed = findRecord(m_library, to)) {
        if (const VideoRecord* record = findRecord(m_library, from))
            listed->memo = record->memo;
        removeRecord(m_library, from);
    } else if (VideoRecord* record = findRecord(m_library, from)) {
        const VideoRecord renamed = recordFromFileName(to, record->memo);
        record->fileName = renamed.fileName;
        record->id = renamed.id;
        record->dateText = renamed.dateText;
    }
}

std::optional<QString> VideoLists::memoOf(const QString& fileName) const
{
    if (const QTreeWidgetItem* row = findRow(m_all, fileName))
        return row->text(AllMemoColumn);
    return std::nullopt;
}

void VideoLists::addRecordedVideo(const QString& name)
{
    addVideo(name, QString());
    refillIdList(m_window.state.currentPatientId());
    selectRowByName(m_ids, name, true);
}

void VideoLists::fillMissingLengths()
{
    const QString folder = saveFolder();
    for (int i = 0; i < m_all->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_all->topLevelItem(i);
        if (isMissingLength(row->text(AllLengthColumn)))
            row->setText(AllLengthColumn, measureLengthText(makeSavePath(folder, row->text(AllFileColumn))));
    }
}

// ---- rows ---------------------------------------------------------------------------------------

int VideoLists::findRowByName(QTreeWidget* list, const QString& name) const
{
    const int column = fileColumn(list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(column).contains(name))
            return i;
    return list->topLevelItemCount();
}

void VideoLists::removeVideoRows(const QString& name)
{
    GuardScope guard(*this);
    delete findRow(m_all, name);
    delete findRow(m_ids, name);
    if (name.startsWith(QLatin1String(ReferenceIdText)))
        delete findRow(m_refs, name);
}

bool VideoLists::removeVideo(const QString& fileName)
{
    // The file first: a row disappears only with its file, never before the trash has taken it.
    const QString path = makeSavePath(saveFolder(), fileName);
    if (QFileInfo::exists(path) && !m_fileDeleter(path))
        return false;
    {
        GuardScope guard(*this);
        delete findRow(m_all, fileName);
        delete findRow(m_ids, fileName);
        delete findRow(m_refs, fileName);
    }
    removeRecord(m_library, fileName);
    Q_EMIT folderPanelRefreshRequested();
    return true;
}

void VideoLists::deselectAll(QTreeWidget* list)
{
    GuardScope guard(*this);
    list->clearSelection();
    list->selectionModel()->clearCurrentIndex();
}

void VideoLists::selectRow(QTreeWidget* list, QTreeWidgetItem* item)
{
    list->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->scrollToItem(item);
}

void VideoLists::selectRowByName(QTreeWidget* list, const QString& name, bool sort)
{
    std::optional<GuardScope> guard;
    if (sort) {
        guard.emplace(*this);
        list->setUpdatesEnabled(false);
    }
    if (list->topLevelItemCount() == 0) {
        if (sort)
            list->setUpdatesEnabled(true);
        return;
    }
    list->clearSelection();
    list->selectionModel()->clearCurrentIndex();

    QTreeWidgetItem* target = nullptr;
    if (!name.isEmpty()) {
        if (sort)
            sortList(list, 0, false);
        const int column = fileColumn(list);
        for (int i = 0; i < list->topLevelItemCount() && !target; ++i)
            if (list->topLevelItem(i)->text(column).compare(name, Qt::CaseInsensitive) == 0)
                target = list->topLevelItem(i);
        for (int i = 0; i < list->topLevelItemCount() && !target; ++i)
            if (list->topLevelItem(i)->text(column).contains(name))
                target = list->topLevelItem(i);
    }
    if (!target)
        target = list->topLevelItem(0);
    selectRow(list, target);
    if (sort) {
        list->setUpdatesEnabled(true);
        list->viewport()->update();
    } else {
        list->setFocus();
    }
}

// ---- sorting ------------------------------------------------------------------------------------

void VideoLists::sortRows(QTreeWidget* list,
                          const std::function<int(QTreeWidgetItem*, QTreeWidgetItem*)>& compare)
{
    // The rows are taken out and put back in order; selection and focus stay with their rows.
    GuardScope guard(*this);
    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    QTreeWidgetItem* current = list->currentItem();
    QList<QTreeWidgetItem*> rows = list->invisibleRootItem()->takeChildren();
    std::stable_sort(rows.begin(), rows.end(),
                     [&](QTreeWidgetItem* a, QTreeWidgetItem* b) { return compare(a, b) < 0; });
    list->addTopLevelItems(rows);
    if (current)
        list->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (QTreeWidgetItem* row : selected)
        row->setSelected(true);
    list->setUpdatesEnabled(updates);
}

void VideoLists::sortList(QTreeWidget* list, int column, bool ascending)
{
    sortRows(list, [column, ascending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return compareRowText(a->text(column), b->text(column), ascending);
    });
}

void VideoLists::sortAllList(int column)
{
    if (column < 0 || column >= int(m_columnSortAscending.size()))
        return;
    const bool ascending = m_columnSortAscending[column] = !m_columnSortAscending[column];
    m_allListOrder = AllListOrder{column, ascending};
    keepAllListOrder();
}

void VideoLists::keepAllListOrder()
{
    if (!m_allListOrder)
        return;
    const auto [column, ascending] = *m_allListOrder;
    sortRows(m_all, [column, ascending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return compareAllListCells(column, a->text(column), b->text(column), ascending);
    });
}

// ---- selection and clicks -----------------------------------------------------------------------

void VideoLists::onSmallListSelection(QTreeWidget* list, const QItemSelection& selected)
{
    if (selected.isEmpty())
        return;
    // The row the user acted on: the focused one when it is among the new rows.
    const QModelIndex current = list->currentIndex();
    const int row =
        current.isValid() && selected.contains(current) ? current.row() : selected.indexes().first().row();
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (!item)
        return;

    if (!m_selectionGuard && m_window.state.windowMode() != ModeRecording) {
        GuardScope guard(*this);
        const QString name = item->text(SmallListFileColumn);
        const QString previous = m_window.state.playbackVideoName;
        m_window.state.playbackVideoName = name;
        if (previous != name) {
            m_window.modes.setWindowMode(ModeLibrary);
            m_window.state.flags.cameraOpened = false;
            m_window.modes.runTimer1(false);
            Q_EMIT showVideo(name);
        }
    }
    // The two small lists behave as one selection.
    deselectAll(otherSmallList(list));
}

void VideoLists::onAllListSelection(const QItemSelection& selected)
{
    if (selected.isEmpty())
        return;
    if (QTreeWidgetItem* item = m_all->topLevelItem(selected.indexes().first().row())) {
        m_window.state.allListPendingName = item->text(AllFileColumn);
        Q_EMIT stopPlayer(true);
    }
}

void VideoLists::onSmallListDoubleClick(QTreeWidget* list)
{
    Q_UNUSED(list);
    if (m_playerBusy() || m_window.state.windowMode() != ModeLibrary ||
        m_window.state.playbackVideoName.isEmpty())
        return;
    Q_EMIT playVideo(m_window.state.playbackVideoName);
}

void VideoLists::onAllListDoubleClick(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString name = item->text(AllFileColumn);
    m_window.state.allListPendingName = name;
    if (!QFileInfo::exists(makeSavePath(saveFolder(), name)))
        return;
    m_window.state.playbackVideoName = name;
    if (!isReferenceVideoName(name)) {
        m_window.state.flags.currentPatientId = videoIdText(name).toInt();
        refillIdList(m_window.state.currentPatientId());
    }
    m_window.modes.setWindowMode(ModeLibrary);
    // Nothing of the video shown before stays on screen should this one not open.
    m_window.video.blankPicture();
    Q_EMIT playVideo(name);
    QTreeWidget* list = listForVideo(name);
    list->setFocus();
    selectRowByName(list, name, true);
}

bool VideoLists::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return QObject::eventFilter(watched, event);
    // The list that does not hold the open video hands the focus to the one that does.
    QTreeWidget* watchedList = isReferenceVideoName(m_window.state.playbackVideoName) ? m_ids : m_refs;
    for (QTreeWidget* list : {m_ids, m_refs}) {
        if (watched == list->viewport()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (list->itemAt(mouse->position().toPoint()))
                return false;
            // A click on empty space takes the focus to the list that holds the open video, and
            // never clears the selection: the open video's row stays marked.
            (list == watchedList ? otherSmallList(list) : list)->setFocus();
            return true;
        }
        if (watched == list->header()->viewport() && list == watchedList) {
            otherSmallList(list)->setFocus();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void VideoLists::onKeyAction(KeyAction keyAction)
{
    switch (keyAction) {
    case KeyAction::SelectPreviousRow:
        selectAdjacentAllListRow(-1);
        break;
    case KeyAction::SelectNextRow:
        selectAdjacentAllListRow(1);
        break;
    default:
        break;
    }
}

void VideoLists::selectAdjacentAllListRow(int step)
{
    const int rows = m_all->topLevelItemCount();
    if (rows <= 1)
        return;
    QTreeWidgetItem* current = m_all->currentItem();
    const int index = current && current->isSelected() ? m_all->indexOfTopLevelItem(current) : -1;
    const int target = index + step;
    if (target < 0 || target >= rows)
        return;
    selectRow(m_all, m_all->topLevelItem(target));
    m_all->setFocus();
}

// ---- commands -----------------------------------------------------------------------------------

void VideoLists::onCommand(int command)
{
    switch (command) {
    case CmdListAll:
    case IDC_LISTVIEW:
        listAll();
        break;
    case IDC_TOTOP:
        toTop();
        break;
    case CmdEditVideoTags:
        editVideoTags();
        break;
    default:
        break;
    }
}

void VideoLists::listAll()
{
    const int mode = m_window.state.windowMode();
    if (mode == ModeRecording)
        return;
    Q_EMIT stopPlayer(false);
    m_window.state.flags.cameraOpened = false; // leaving for the all-videos mode stops timer 1
    m_listAllFromLive = mode == ModeLive;
    if (m_listAllFromLive)
        m_window.modes.setWindowMode(ModeLibrary);
    m_window.modes.setWindowMode(ModeListAll);
    fillMissingLengths();
    Q_EMIT folderPanelRefreshRequested();
}

void VideoLists::toTop()
{
    if (m_window.state.windowMode() != ModeListAll)
        return;
    if (m_listAllFromLive) {
        m_window.modes.setWindowMode(ModeLive);
        return;
    }
    m_window.modes.setWindowMode(ModeLibrary);
    listForVideo(m_window.state.playbackVideoName)->setFocus();
    Q_EMIT redisplayVideo(m_window.state.playbackVideoName);
}

void VideoLists::editVideoTags()
{
    const QString name =
        bareName(m_window.state.windowMode() == ModeLibrary ? m_window.state.playbackVideoName
                                                            : m_window.state.allListPendingName);
    const std::optional<QString> current = name.isEmpty() ? std::nullopt : memoOf(name);
    if (!current)
        return;
    const std::optional<QString> edited =
        m_memoDialog(uiText(TxtMemoPrompt).arg(name), *current, QCursor::pos());
    if (!edited)
        return;
    // The lists may have been rebuilt, and the file removed, while the dialog was open.
    const QString path = makeSavePath(saveFolder(), name);
    if (!memoOf(name) || !QFileInfo::exists(path)) {
        if (m_prompts)
            m_prompts->message(&m_window.widget, uiText(TxtMemoVideoGone).arg(name),
                               UserPrompts::Icon::Warning);
        return;
    }
    const QString memo = cleanMemoText(*edited);
    if (!memoLengthAccepted(memo)) {
        if (m_prompts)
            m_prompts->message(&m_window.widget, uiText(TxtMemoTooLong));
        return;
    }
    // In place this takes milliseconds; a video from before the header reserve is copied whole,
    // which for a long recording takes seconds and must not freeze the window.
    const TagWriteResult saved = BackgroundWork::run<TagWriteResult>(
        &m_window.widget, uiText(TxtVideoTagsTitle), uiText(TxtSavingMemo),
        [path, memo] { return writeVideoTags(path, memo); });
    if (saved != TagWriteResult::Written) {
        // The lists keep the memo the file really holds.
        if (m_prompts)
            m_prompts->message(&m_window.widget, uiText(TxtMemoNotWritten).arg(path),
                               UserPrompts::Icon::Warning);
        return;
    }
    if (QTreeWidgetItem* row = findRow(m_all, name)) {
        row->setText(AllMemoColumn, memo);
        setMemoTip(row, memo);
        keepAllListOrder();
    }
    if (VideoRecord* record = findRecord(m_library, name))
        record->memo = memo;
    if (QTreeWidgetItem* listed = findRow(m_ids, name))
        setMemoTip(listed, memo);
    if (QTreeWidgetItem* reference = findRow(m_refs, name)) {
        reference->setText(SmallListTextColumn, memo);
        setMemoTip(reference, memo);
        sortList(m_refs, SmallListTextColumn, true);
    }
}

// ---- pop-up menus -------------------------------------------------------------------------------

QMenu* VideoLists::buildVideoPopupMenu(VideoMenuSource source, QWidget* parent)
{
    const QString& playing = m_window.state.playbackVideoName;
    QString memo = memoOf(bareName(playing)).value_or(QString());
    if (memo.isEmpty())
        memo = uiText(TxtNoMemo);

    QMenu* menu = buildMenu(MenuKind::VideoPopupMenu, currentLanguage(), parent);
    const QList<QAction*> items = menu->actions();
    items[0]->setText(QStringLiteral("%1 : %2").arg(items[0]->text(), escapeMnemonics(memo)));
    // Trimming needs a range narrower than the whole video.
    if (!m_subRangeMarked())
        items[1]->setEnabled(false);

    bool withoutRefile = false;
    switch (source) {
    case VideoMenuSource::IdList:
        withoutRefile = playing.size() < 5;
        break;
    case VideoMenuSource::ReferenceList:
        withoutRefile = playing.size() < 5 || isReferenceVideoName(playing);
        break;
    case VideoMenuSource::Picture:
        withoutRefile = isReferenceVideoName(playing);
        break;
    }
    if (withoutRefile) {
        menu->removeAction(items[3]); // "Change ID"
        menu->removeAction(items[2]); // "Add to Reference List"
    }
    // The picture's menu also opens the eye-movement analysis of the video it shows.
    if (source == VideoMenuSource::Picture) {
        menu->addSeparator();
        menu->addAction(analysisText(AnalysisText::MenuItem) + QStringLiteral("\tA"))
            ->setData(int(CmdEyeAnalysis));
    }
    return menu;
}

void VideoLists::runMenu(QMenu* menu, QPoint at)
{
    const int command = m_menuRunner(*menu, at);
    delete menu;
    if (command)
        Q_EMIT commandChosen(command);
}

void VideoLists::showVideoPopupMenu(VideoMenuSource source, QPoint globalPos)
{
    m_window.widget.activateWindow();
    runMenu(buildVideoPopupMenu(source, &m_window.widget), globalPos);
}

void VideoLists::onAllListMenu(QPoint pos)
{
    if (!m_all->itemAt(pos))
        return;
    runMenu(buildMenu(MenuKind::AllListPopupMenu, currentLanguage(), &m_window.widget),
            m_all->viewport()->mapToGlobal(pos));
}

void VideoLists::onSmallListMenu(QTreeWidget* list, QPoint pos)
{
    if (m_window.state.windowMode() == ModeRecording || !list->itemAt(pos))
        return;
    listForVideo(m_window.state.playbackVideoName)->setFocus();
    showVideoPopupMenu(list == m_ids ? VideoMenuSource::IdList : VideoMenuSource::ReferenceList,
                       list->viewport()->mapToGlobal(pos));
}

} // namespace tolvek
