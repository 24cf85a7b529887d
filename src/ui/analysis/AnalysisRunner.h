#pragma once
// Runs the eye measurement of one video in the background: a worker thread at the lowest
// priority reads the cache beside the video when it is newer than the video, else analyses every
// frame (reporting its progress) and writes the cache. The result, a failure or a cancel comes
// back as a queued signal; the worker never touches a widget. A cancelled run writes nothing.
// Only the latest run is heard: what an earlier run reports after a later start() or a discard()
// is dropped, so a result never arrives for a video the caller has left.
// UI thread only (start, cancel, destruction); the destructor stops the worker within a bound.

#include "core/analysis/VideoAnalysis.h"
#include "core/platform/WorkerThread.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace tolvek {

// The head position of every frame of a video and the files it was read from, for the labels of
// the per-position summary. Empty labels: the whole video is one "unknown" segment.
struct HeadPositionTrack
{
    std::vector<QString> labels;
    QStringList sourceFiles;
};
// Called on the worker thread with the video's path.
using HeadPositionReader = std::function<HeadPositionTrack(const QString& videoPath)>;

class AnalysisRunner : public QObject
{
    Q_OBJECT
  public:
    explicit AnalysisRunner(QObject* parent = nullptr);
    ~AnalysisRunner() override;

    void setHeadPositionReader(HeadPositionReader reader) { m_headPositions = std::move(reader); }

    // Starts on videoPath; with force the cache is ignored and written anew. False when a run is
    // still going.
    bool start(const QString& videoPath, bool force = false);
    // Asks the run to stop; cancelled() follows once it has.
    void cancel();
    // Asks the run to stop and drops everything it still reports, cancelled() included.
    void discard();
    bool isRunning() const;
    // Waits up to ms for the run to end (tests, shutdown).
    bool wait(int ms);

  Q_SIGNALS:
    void progress(int percent);
    // fromCache: read from the files beside the video without measuring again. cacheError: why
    // the results could not be kept beside the video (empty when they were).
    void finished(std::shared_ptr<const tolvek::analysis::VideoAnalysis> result, bool fromCache,
                  const QString& cacheError);
    void failed(const QString& reason);
    void cancelled();

  private:
    platform::WorkerThread m_worker;
    HeadPositionReader m_headPositions;
    std::shared_ptr<std::atomic<bool>> m_keepGoing;
    quint64 m_run = 0; // the run whose reports are delivered; UI thread only
};

} // namespace tolvek
