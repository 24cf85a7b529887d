#pragma once
// "Save as a file": exports the chosen WMV video to an MP4 file picked by the user, converted by
// ffmpeg on a worker thread while a small blinking window says so; the main window stays usable.
// UI thread only; the worker reports back through a queued call. Failures (ffmpeg missing or
// failing, unwritable folder) are told to the user and leave no file under the chosen name.

#include "core/manage/Mp4Export.h"
#include "ui/backup/CProgressDlg.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace tolvek {

class CTolvek2Dlg;
class UserPrompts;

inline constexpr char ConvertingVideoTitle[] = "Converting Video";
inline constexpr char Mp4SaveFilter[] = "movie (*.mp4)";
inline constexpr int ProgressCloseDelayMs = 1500;

// One export from the save dialog to the result. Owned by its owner widget; deletes itself once
// the result has been shown.
class ExportMp4 : public QObject {
    Q_OBJECT
public:
    // Asks for the target of fileName (a name in saveFolder) and starts the export. Nothing when the
    // name has no ".wmv"/".WMV", prompts is null or the dialog is cancelled; otherwise the running
    // export. The program comes from ffmpegProgram().
    static ExportMp4* start(QWidget* owner, UserPrompts* prompts, const QString& saveFolder,
                            const QString& fileName);

    CProgressDlg* progressWindow() const { return m_progress; }
    const Mp4ExportJob& job() const { return m_worker->job(); }

Q_SIGNALS:
    // After the user has been told the result.
    void finished(const tolvek::Mp4ExportResult& result);

private:
    ExportMp4(QWidget* owner, UserPrompts* prompts, Mp4ExportJob job);
    void onWorkerFinished(const Mp4ExportResult& result);

    QWidget* m_owner;
    UserPrompts* m_prompts;
    Mp4ExportWorker* m_worker;
    QPointer<CProgressDlg> m_progress;
};

// The command ExportMp4 (32773) of the main window: the row pending in the all-videos list in
// ListAll mode, otherwise the video open in the player.
ExportMp4* exportMp4(CTolvek2Dlg& window, UserPrompts* prompts);

} // namespace tolvek
