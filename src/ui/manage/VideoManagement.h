#pragma once
// The file commands of the video lists: delete the open video (32772) or the all-videos row (32927),
// copy it into the reference list (32790), refile it under another patient ID (32933, re-encoded so
// the burnt-in ID changes too) and cut the marked range into a new video (1028, 32929, 32921).
// UI thread only; re-encode and trim run in a worker behind the CTrim dialog. Every failure is
// reported to the user and leaves the original file and the lists as they were.

#include "core/manage/TrimWorker.h"
#include "core/manage/VideoFiles.h"
#include "ui/shared/WindowPorts.h"
#include "ui/shared/WindowState.h"

#include <QObject>
#include <QString>

class QTreeWidget;
class QWidget;

namespace tolvek {

class CTrim;
class PlaybackController;
class UserPrompts;
class VideoLists;
namespace platform {
class ExternalTools;
class PowerRequest;
} // namespace platform

// What the file commands use of the main window, handed in by the composition.
struct ManageWindow
{
    QWidget& widget; // parent of the dialogs
    WindowState& state;
    PlayedVideoPort& video;
    platform::PowerRequest& power;
    const platform::ExternalTools& tools; // ffmpeg for the MP4 export
};

class VideoManagement : public QObject
{
    Q_OBJECT
  public:
    VideoManagement(ManageWindow window, VideoLists& lists, PlaybackController& player, UserPrompts* prompts,
                    QObject* parent = nullptr);

    // Runs one of the file commands (and Save as MP4) by its ID; other IDs are ignored.
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

  Q_SIGNALS:
    // A video has gone or come: the folder panel's count changes.
    void folderPanelRefreshRequested();

  private:
    // trimFailureMessage for the worker of a dialog that has ended.
    static QString failureOf(const CTrim& dialog, const QString& source, const QString& target);
    bool askDelete(const QString& name);
    QString savePath(const QString& name) const;
    void message(const QString& text);

    ManageWindow m_window;
    VideoLists& m_lists;
    PlaybackController& m_player;
    UserPrompts* m_prompts;
};

} // namespace tolvek
