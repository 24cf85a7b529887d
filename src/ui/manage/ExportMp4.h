#pragma once
// "Save as a file": exports the chosen WMV video to an MP4 file picked by the user, converted by
// ffmpeg on a worker thread while a small blinking window says so; the main window stays usable.
// UI thread only; the worker reports back through a queued call. Failures (ffmpeg missing or
// failing, unwritable folder) are told to the user and leave no file under the chosen name. A
// target that is the video itself or poses as a video in the save folder is refused, and an
// existing file is replaced only when the user agreed for exactly the name that is written.

#include "core/manage/Mp4Export.h"
#include "ui/shared/CProgressDlg.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

namespace tolvek {

struct WindowState;
class UserPrompts;

inline constexpr int ProgressCloseDelayMs = 1500;

// One export from the save dialog to the result. Owned by its owner widget; deletes itself once
// the result has been shown.
class ExportMp4 : public QObject
{
    Q_OBJECT
  public:
    // Asks for the target of fileName (a name in saveFolder) and starts the export. Nothing when the
    // name has no ".wmv"/".WMV", prompts is null, the dialog is cancelled, the target is refused
    // (the user is told) or the user does not want an existing file replaced; otherwise the
    // running export. The program comes from tools.
    static ExportMp4* start(QWidget* owner, UserPrompts* prompts, const platform::ExternalTools& tools,
                            const QString& saveFolder, const QString& fileName);
    // The exports of owner whose conversion has not ended yet.
    static QList<ExportMp4*> runningExports(const QObject* owner);

    CProgressDlg* progressWindow() const { return m_progress; }
    const Mp4ExportJob& job() const { return m_job; }
    bool running() const { return m_worker != nullptr; }
    // Stops a running conversion now (ffmpeg is ended, its working file removed, the target left as
    // it was), closes the progress window and deletes this export later. No result is shown.
    void stop();

  Q_SIGNALS:
    // After the user has been told the result.
    void finished(const tolvek::Mp4ExportResult& result);

  private:
    ExportMp4(QWidget* owner, UserPrompts* prompts, Mp4ExportJob job);
    void onWorkerFinished(const Mp4ExportResult& result);

    QWidget* m_owner;
    UserPrompts* m_prompts;
    Mp4ExportJob m_job;
    Mp4ExportWorker* m_worker; // null once the conversion has ended or was stopped
    QPointer<CProgressDlg> m_progress;
};

// The command ExportMp4 (32773) of the main window: the row pending in the all-videos list in
// ListAll mode, otherwise the video open in the player.
ExportMp4* exportMp4(QWidget* window, const WindowState& state, const platform::ExternalTools& tools,
                     UserPrompts* prompts);

} // namespace tolvek
