#pragma once
// "Save as a file": exports the chosen WMV video to an MP4 file picked by the user, converted by
// ffmpeg on a worker thread while a small blinking window says so; the main window stays usable.
// UI thread only; the worker reports back through a queued call. Failures (ffmpeg missing or
// failing, unwritable folder) are told to the user and leave no file under the chosen name.

#include "core/manage/Mp4Export.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;

namespace tolvek {

class CTolvek2Dlg;
class UserPrompts;

inline constexpr char ConvertingVideoTitle[] = "Converting Video";
inline constexpr char Mp4SaveFilter[] = "movie (*.mp4)";
inline constexpr int ProgressTextId = 1046;
inline constexpr int ProgressBlinkMs = 500;
inline constexpr int ProgressCloseDelayMs = 1500;

// The small modeless progress window: one centred text that, while blinking, shows and hides
// every 500 ms. Deletes itself when closed.
class ExportProgressWindow : public QDialog {
    Q_OBJECT
public:
    ExportProgressWindow(const QString& message, QWidget* parent);

    void setBlinking(bool on);
    bool blinking() const { return m_blinking; }
    void setMessage(const QString& message); // shows it at once
    QString message() const { return m_message; }
    QString shownText() const;               // what the static shows now (empty in the off phase)

private:
    void tick();

    QLabel* m_text;
    QTimer m_timer;
    QString m_message;
    bool m_blinking = true;
    bool m_phaseOn = true;
};

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

    ExportProgressWindow* progressWindow() const { return m_progress; }
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
    QPointer<ExportProgressWindow> m_progress;
};

// The command ExportMp4 (32773) of the main window: the row pending in the all-videos list in
// ListAll mode, otherwise the video open in the player.
ExportMp4* exportMp4(CTolvek2Dlg& window, UserPrompts* prompts);

} // namespace tolvek
