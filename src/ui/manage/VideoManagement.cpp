#include "ui/manage/VideoManagement.h"

#include "core/i18n/MenuCaptions.h"
#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"
#include "core/manage/TrimWorker.h"
#include "core/media/HeadTrack.h"
#include "core/media/VideoTags.h"
#include "core/platform/PowerRequest.h"
#include "core/platform/Trash.h"
#include "core/playback/SliderMath.h"
#include "core/settings/Settings.h"
#include "core/settings/VideoFileName.h"
#include "ui/library/VideoLists.h"
#include "ui/manage/CTrim.h"
#include "ui/manage/ExportMp4.h"
#include "ui/playback/PlaybackController.h"
#include "ui/shared/ControlIds.h"
#include "ui/shared/UserPrompts.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tolvek {

namespace {

QString bareName(const QString& name)
{
    const qsizetype cut = std::max(name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'));
    return cut >= 0 ? name.mid(cut + 1) : name;
}

// The selected row a delete started from: the focused one when selected, else the first
// selected, else 0.
int selectedRowIndex(QTreeWidget* list)
{
    if (QTreeWidgetItem* current = list->currentItem(); current && current->isSelected())
        return list->indexOfTopLevelItem(current);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected())
            return i;
    return 0;
}

} // namespace

VideoManagement::VideoManagement(ManageWindow window, VideoLists& lists, PlaybackController& player,
                                 UserPrompts* prompts, QObject* parent)
    : QObject(parent), m_window(window), m_lists(lists), m_player(player), m_prompts(prompts)
{
}

void VideoManagement::run(int command)
{
    switch (command) {
    case CmdDeleteVideo:
        deleteCurrentVideo();
        break;
    case CmdDeleteAllListVideo:
        deleteSelectedVideo();
        break;
    case CmdAddToReferenceList:
        addToReferenceList();
        break;
    case CmdChangeId:
        changeVideoId();
        break;
    case CmdTrimToRange:
    case CmdTrimToRangeKey:
    case IDC_TRIM:
        trimToRange();
        break;
    case CmdSaveAsFile:
        exportMp4(&m_window.widget, m_window.state, m_window.tools, m_prompts);
        break;
    default:
        break;
    }
}

QString VideoManagement::savePath(const QString& name) const
{
    return makeSavePath(appSettings().value(SaveFolder), name);
}

void VideoManagement::message(const QString& text)
{
    if (m_prompts)
        m_prompts->message(&m_window.widget, text);
}

bool VideoManagement::askDelete(const QString& name)
{
    if (!m_prompts)
        return false;
    const QString text = Message(MsgDeleteQuestion).replace(QStringLiteral("%s"), name);
    return m_prompts->questionAt(&m_window.widget, text, Message(MsgConfirmation), true, QCursor::pos());
}

void VideoManagement::deleteCurrentVideo()
{
    const QString name = m_window.state.playbackVideoName;
    if (name.isEmpty())
        return;
    if (!QFileInfo::exists(savePath(name))) {
        m_lists.removeVideo(name);
        return;
    }
    if (!askDelete(name))
        return;

    QTreeWidget* list =
        name.startsWith(QLatin1String(ReferenceIdText)) ? m_lists.referenceList() : m_lists.idList();
    const int remembered = selectedRowIndex(list);
    m_window.video.stopPlayback();
    if (!m_lists.removeVideo(name))
        return; // kept, and the user told why

    const int rows = list->topLevelItemCount();
    if (rows == 0) {
        m_window.state.playbackVideoName.clear();
        m_window.video.showNoVideo();
        return;
    }
    const QString next = list->topLevelItem(std::clamp(remembered, 0, rows - 1))->text(SmallListFileColumn);
    // Set first, so that selecting the row does not open the video a second time.
    m_window.state.playbackVideoName = next;
    m_lists.selectRowByName(list, next, false);
    list->setFocus();
    m_window.video.openVideo(next);
}

void VideoManagement::deleteSelectedVideo()
{
    const QString name = bareName(m_window.state.allListPendingName);
    if (name.isEmpty() || !QFileInfo::exists(savePath(name)))
        return;
    if (!askDelete(name))
        return;

    QTreeWidget* all = m_lists.allList();
    const int remembered = selectedRowIndex(all);
    m_window.video.stopPlayback();
    if (!m_lists.removeVideo(name))
        return; // kept, and the user told why
    m_window.state.allListPendingName.clear();
    // The player must not keep a file that is gone.
    if (m_window.state.playbackVideoName == name) {
        m_window.state.playbackVideoName.clear();
        m_window.video.showNoVideo();
    }

    const int rows = all->topLevelItemCount();
    if (rows == 0)
        return;
    QTreeWidgetItem* row = all->topLevelItem(std::clamp(remembered, 0, rows - 1));
    all->setCurrentItem(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    all->scrollToItem(row);
    all->setFocus();
}

void VideoManagement::addToReferenceList()
{
    if (m_window.state.windowMode() != ModeLibrary)
        return;
    const QString name = m_window.state.playbackVideoName;
    if (!isVideoFileName(name))
        return;
    // A reference video is its own reference copy: that copy exists already.
    if (isReferenceVideoName(name)) {
        message(uiText(TxtReferenceExists));
        return;
    }
    const QString newName = referenceFileName(name);
    const QString target = savePath(newName);
    switch (copyVideoFile(savePath(name), target)) {
    case CopyResult::Copied:
        break;
    case CopyResult::TargetExists:
        message(uiText(TxtReferenceExists));
        return;
    case CopyResult::SourceMissing:
        message(deleteFailureMessage(DeleteResult::NotFound, savePath(name)));
        return;
    case CopyResult::Failed:
        message(uiText(TxtCannotCopy).arg(target));
        return;
    }

    QTreeWidget* refs = m_lists.referenceList();
    QString memo = m_lists.memoOf(name).value_or(QString());
    if (memo.isEmpty())
        memo = name.left(16);
    QTreeWidgetItem* item = m_lists.findRow(refs, newName);
    if (!item) {
        item = new QTreeWidgetItem;
        item->setText(SmallListFileColumn, newName);
        refs->addTopLevelItem(item);
    }
    item->setText(SmallListTextColumn, memo);
    m_lists.addVideo(newName, memo);
    writeVideoTags(target, memo);
    m_lists.sortList(refs, SmallListTextColumn, true);
    m_lists.selectRowByName(refs, newName, false);
}

void VideoManagement::changeVideoId()
{
    const QString name = m_window.state.playbackVideoName;
    if (!isVideoFileName(name) || !QFileInfo::exists(savePath(name)))
        return;
    m_window.video.stopPlayback();

    const int oldId = name.left(8).toInt();
    const std::optional<int> entered =
        m_prompts ? m_prompts->askVideoId(&m_window.widget, oldId) : std::nullopt;
    if (!entered || *entered == oldId)
        return;
    const int newId = *entered;

    // Only the name is held across the keypad and the re-encode: the lists may be rebuilt while
    // either is open, so the video is looked up again after each.
    const QString oldName = name;
    const QString newName = replaceVideoId(oldName, newId);
    const QString source = savePath(oldName);
    const QString target = savePath(newName);
    const std::optional<QString> memoBefore = m_lists.memoOf(oldName);
    if (!memoBefore || !QFileInfo::exists(source)) {
        message(uiText(TxtVideoGoneIdKept).arg(oldName));
        return;
    }

    CTrim dialog(&m_window.widget);
    dialog.sourcePath = source;
    dialog.targetPath = target;
    dialog.newId = newId;
    dialog.memo = *memoBefore;
    dialog.sliderLength = m_player.sliderLength();
    const bool accepted = m_prompts->runTrimDialog(dialog) == QDialog::Accepted;
    dialog.finishWorker(); // the worker's files are settled from here on
    const TrimResult result = dialog.result();
    if (!accepted) {
        // A re-encode that completed just as Cancel was pressed: the user asked for no new file.
        if (result == TrimResult::Done) {
            QFile::remove(target);
            media::removeHeadTrack(target);
        } else if (result != TrimResult::Cancelled && result != TrimResult::NotRun)
            message(failureOf(dialog, source, target));
        return;
    }

    if (!m_lists.memoOf(oldName) || !QFileInfo::exists(source)) {
        // The original went while it was re-encoded; the complete copy is kept for the user.
        message(uiText(TxtVideoGoneCopyKept).arg(oldName, newName));
        return;
    }
    // The original goes to the trash, as a deleted video does, so a refile can be undone. If the
    // trash refuses it, the refile is undone instead: the original stays as it was and the new
    // file goes, so that no video is listed twice under two IDs.
    const platform::TrashResult trashed = platform::moveToTrash(source);
    if (!trashed) {
        QFile::remove(target);
        media::removeHeadTrack(target);
        message(uiText(TxtCannotTrashIdKept).arg(source, trashed.error));
        return;
    }
    QString headError;
    if (!media::trashHeadTrack(source, &headError))
        qWarning("Head data of %s not moved to the trash: %s", qPrintable(source), qPrintable(headError));
    m_lists.renameVideo(oldName, newName);
    m_window.state.playbackVideoName = newName;
    m_window.state.flags.currentPatientId = newId;
    m_lists.refillIdList(newId);
    m_lists.sortList(m_lists.idList(), 0, false);
    m_lists.selectRowByName(m_lists.idList(), newName, false);
    m_window.video.openVideo(newName);
}

QString VideoManagement::failureOf(const CTrim& dialog, const QString& source, const QString& target)
{
    const std::shared_ptr<TrimWorkerState>& state = dialog.state();
    return trimFailureMessage(dialog.result(), source, target, state ? state->framesDone.load() : 0,
                              state ? state->expectedFrames() : 0);
}

QString VideoManagement::trimFailureMessage(TrimResult result, const QString& source, const QString& target,
                                            int framesDone, int framesExpected)
{
    switch (result) {
    case TrimResult::SourceCutShort:
        return uiText(TxtSourceCutShort).arg(source).arg(framesDone).arg(framesExpected);
    case TrimResult::SourceUnreadable:
        return uiText(TxtCannotRead).arg(source);
    case TrimResult::RangeEmpty:
        return uiText(TxtRangeEmpty).arg(source);
    case TrimResult::TargetExists:
        return uiText(TxtAlreadyExists).arg(target);
    case TrimResult::TargetUnwritable:
        return uiText(TxtCannotWrite).arg(target);
    case TrimResult::NotRun:
    case TrimResult::Done:
    case TrimResult::Cancelled:
        break;
    }
    return {};
}

void VideoManagement::trimToRange()
{
    const QString name = m_window.state.playbackVideoName;
    const int sliderLength = m_player.sliderLength();
    if (!name.contains(QLatin1String(".wmv")) || !m_player.subRangeMarked())
        return;
    const int rangeStart = m_player.rangeStart();
    const int rangeEnd = std::min(m_player.rangeEnd(), sliderLength);

    const QString memo = m_lists.memoOf(name).value_or(QString()).left(199);

    const QString source = savePath(name);
    const std::optional<QString> target = makeTrimmedFileName(source, rangeStart, m_player.frameCount(),
                                                              sliderLength, appSettings().getInt(CaptureFps));
    if (!target) {
        message(uiText(TxtNoRecordingTime).arg(name));
        return;
    }
    const QString newName = QFileInfo(*target).fileName();
    m_window.state.flags.currentPatientId = name.left(8).toInt();

    // Awake while the worker runs; a request that was held already is left as it was.
    platform::PowerRequest& power = m_window.power;
    const bool wasAwake = power.active();
    power.acquire(uiText(TxtPowerTrimming));
    CTrim dialog(&m_window.widget);
    dialog.sourcePath = source;
    dialog.targetPath = *target;
    dialog.rangeStart = rangeStart;
    dialog.rangeEnd = rangeEnd;
    dialog.sliderLength = sliderLength;
    dialog.memo = memo;
    const bool accepted = m_prompts && m_prompts->runTrimDialog(dialog) == QDialog::Accepted;
    dialog.finishWorker(); // the worker's files are settled from here on
    if (!wasAwake)
        power.release();
    const TrimResult result = dialog.result();
    if (!accepted) {
        // A worker that completed just as Cancel was pressed: the user asked for no new file.
        if (result == TrimResult::Done) {
            QFile::remove(*target);
            media::removeHeadTrack(*target);
        } else if (result != TrimResult::Cancelled && result != TrimResult::NotRun)
            message(failureOf(dialog, source, *target));
        return;
    }

    // Someone may have removed the original while it was copied (another program, a file manager).
    const bool sourceGone = !QFileInfo::exists(source);
    m_window.video.stopPlayback();
    // A rebuild of the lists while the dialog was open may have listed the new file already.
    m_lists.addVideo(newName, memo);
    if (!dialog.keepOriginal)
        m_lists.removeVideo(name); // its rows, its record, and the file to the trash
    Q_EMIT folderPanelRefreshRequested();

    m_window.state.playbackVideoName = newName;
    const bool reference = isReferenceVideoName(newName);
    QTreeWidget* list = reference ? m_lists.referenceList() : m_lists.idList();
    m_lists.refillIdList(list, newName);
    m_lists.sortList(list, SmallListTextColumn, reference);
    m_lists.selectRowByName(list, newName, false);
    m_window.video.openVideo(newName);
    list->setFocus();
    if (sourceGone)
        message(uiText(TxtTrimSourceRemoved).arg(name, newName));
}

} // namespace tolvek
