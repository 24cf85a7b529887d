#pragma once
// The file commands of the video lists: delete the open video (32772) or the all-videos row
// (32927), copy the open video into the reference list (32790), refile it under another patient
// ID (32933, re-encoded so the burnt-in ID changes too) and cut the marked range into a new video
// (TrimToRange: button 1028, commands 32929 and 32921). UI thread only; the re-encode runs in a
// worker thread behind a progress dialog. Every failure is reported to the user and leaves the
// original file and the lists as they were.

#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"

#include <QObject>
#include <QString>

#include <functional>

class QTreeWidget;
class QWidget;

namespace tolvek {

class CTolvek2Dlg;
class UserPrompts;
class VideoLists;

class VideoManagement : public QObject
{
    Q_OBJECT
  public:
    // Re-encodes source into target under newId; the default shows the progress dialog with
    // "frames : %04d/%04d" and a Cancel button while a worker thread runs reburnVideoId.
    using ReIdRunner = std::function<ReIdResult(const QString& source, const QString& target, int newId)>;

    VideoManagement(CTolvek2Dlg& window, VideoLists& lists, UserPrompts* prompts, QObject* parent = nullptr);

    // Runs one of the four commands by its ID; other IDs are ignored.
    void run(int command);

    void deleteCurrentVideo();  // 32772
    void deleteSelectedVideo(); // 32927
    void addToReferenceList();  // 32790
    void changeVideoId();       // 32933
    void trimToRange();         // 1028, 32929, 32921

    void setReIdRunner(ReIdRunner runner);

    // The progress dialog and worker of the default runner; returns when the worker has ended.
    static ReIdResult runReIdWithProgress(QWidget* parent, const QString& source, const QString& target, int newId,
                                          double fallbackFps);

    // The message for a trim or re-ID worker that could not write its output; empty otherwise.
    static QString trimFailureMessage(TrimResult result, const QString& source, const QString& target);

  private:
    bool askDelete(const QString& name);
    QString savePath(const QString& name) const;
    void message(const QString& text);
    void showEmptyPicture();

    CTolvek2Dlg& m_window;
    VideoLists& m_lists;
    UserPrompts* m_prompts;
    ReIdRunner m_reIdRunner;
};

} // namespace tolvek
