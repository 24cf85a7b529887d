#pragma once
// The file commands of the video lists: delete the open video (32772) or the all-videos row (32927),
// copy it into the reference list (32790), refile it under another patient ID (32933, re-encoded so
// the burnt-in ID changes too) and cut the marked range into a new video (1028, 32929, 32921).
// UI thread only; re-encode and trim run in a worker behind the CTrim dialog. Every failure is
// reported to the user and leaves the original file and the lists as they were.

#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"

#include <QObject>
#include <QString>

class QTreeWidget;
class QWidget;

namespace tolvek {

class CTolvek2Dlg;
class CTrim;
class UserPrompts;
class VideoLists;

class VideoManagement : public QObject
{
    Q_OBJECT
  public:
    VideoManagement(CTolvek2Dlg& window, VideoLists& lists, UserPrompts* prompts, QObject* parent = nullptr);

    // Runs one of the four commands by its ID; other IDs are ignored.
    void run(int command);

    void deleteCurrentVideo();  // 32772
    void deleteSelectedVideo(); // 32927
    void addToReferenceList();  // 32790
    void changeVideoId();       // 32933
    void trimToRange();         // 1028, 32929, 32921

    // The message for a trim or re-ID worker that could not write its output; empty otherwise.
    // framesDone and framesExpected are the worker's counts, told when the source was cut short.
    static QString trimFailureMessage(TrimResult result, const QString& source, const QString& target,
                                      int framesDone = 0, int framesExpected = 0);

  private:
    // trimFailureMessage for the worker of a dialog that has ended.
    static QString failureOf(const CTrim& dialog, const QString& source, const QString& target);
    bool askDelete(const QString& name);
    QString savePath(const QString& name) const;
    void message(const QString& text);
    void showEmptyPicture();

    CTolvek2Dlg& m_window;
    VideoLists& m_lists;
    UserPrompts* m_prompts;
};

} // namespace tolvek
