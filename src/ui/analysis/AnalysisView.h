#pragma once
// The eye-movement analysis of the played video in a window of its own beside the main window:
// the measurement runs in the background (or comes from the cache beside the video) with its
// progress and a Cancel button; then the traces follow the player's frame and a click on them
// moves the player there, and the per-head-position table sits beside them. While shown, it
// follows the player's video: another video brings that video's analysis, no video an empty
// window, so traces are never shown under another video's name. A pixels-per-degree
// value turns velocities into degrees per second. The report is saved as PDF beside the video
// (never over an existing file without asking) or printed. UI thread only.

#include "ui/analysis/AnalysisReport.h"
#include "ui/analysis/AnalysisRunner.h"
#include "ui/analysis/TracePainter.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tolvek {

class TraceWidget;
class UserPrompts;

// What the view uses of the player and the window, handed in by the composition.
struct AnalysisPlayer
{
    std::function<int()> currentFrame;    // the frame the player shows
    std::function<void(int frame)> seek;  // paused seek, as a slider click
    std::function<bool()> recording;      // a recording runs now
    std::function<QString()> playedVideo; // the path of the video open in the player
};

class AnalysisView : public QWidget
{
    Q_OBJECT
  public:
    AnalysisView(AnalysisPlayer player, UserPrompts* prompts, QWidget* parent = nullptr);
    ~AnalysisView() override;

    // Shows videoPath: its cached analysis, or a new one started in the background. Refused while
    // a recording runs (the user is told).
    void open(const QString& videoPath, bool force = false);
    const QString& videoPath() const { return m_video; }
    // The window mode changed: entering the recording mode cancels a running analysis.
    void onWindowMode(int mode);
    // The player may have opened another video: shows that one's analysis (cached or run as on
    // open), or the empty state when no video is played. During a recording it waits for its end.
    // Called by the window when it opens a video, and on every tick while this window is shown.
    void followPlayedVideo();

    // Saves the report: NAME.report.pdf beside the video, or a file the user picks when that one
    // exists and is not to be replaced. The path written, or empty when nothing was.
    QString saveReport();
    void printReport();

    AnalysisRunner& runner() { return m_runner; }
    TraceWidget& traces() { return *m_traces; }
    QTableWidget& table() { return *m_table; }
    bool hasResult() const { return m_result != nullptr; }
    bool lastResultFromCache() const { return m_fromCache; }
    void setPixelsPerDegree(double value);

  Q_SIGNALS:
    // The analysis has been shown (from the cache or measured), failed or been cancelled.
    void analysisSettled();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // What the report shows of the analysed video, the PDF and the printout alike.
    ReportInput reportInput() const;
    void onFinished(std::shared_ptr<const analysis::VideoAnalysis> result, bool fromCache,
                    const QString& cacheError);
    void setRunning(bool running);
    // Nothing shown: no traces, no table, the status and title of no video.
    void clearResult();
    void showNoVideo();
    void fillTable();
    void followPlayer();
    bool showsPlayedVideo() const;
    void applyTexts();

    AnalysisPlayer m_player;
    UserPrompts* m_prompts;
    AnalysisRunner m_runner;
    QString m_video;
    std::shared_ptr<const analysis::VideoAnalysis> m_result;
    std::shared_ptr<const TraceData> m_data;
    bool m_fromCache = false;
    QLabel* m_status;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
    TraceWidget* m_traces;
    QTableWidget* m_table;
    QLabel* m_ppdLabel;
    QDoubleSpinBox* m_ppd;
    QPushButton* m_again;
    QPushButton* m_save;
    QPushButton* m_print;
    QTimer m_follow;
};

} // namespace tolvek
