#include "ui/analysis/AnalysisRunner.h"

#include "core/analysis/AnalysisCache.h"
#include "core/media/HeadTrack.h"

#include <QFileInfo>
#include <QThread>

#include <mutex>

#include <sys/resource.h>
#include <unistd.h>

namespace tolvek {

namespace {

constexpr auto StopWait = std::chrono::milliseconds(3000);

// The analysis must never take time from a recording: the idle scheduling class where the
// system has it, and the weakest nice value of this thread in any case.
void lowerThisThreadsPriority()
{
    QThread::currentThread()->setPriority(QThread::IdlePriority);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

} // namespace

AnalysisRunner::AnalysisRunner(QObject* parent)
    : QObject(parent), m_worker(QStringLiteral("EyeAnalysis"), StopWait)
{
    qRegisterMetaType<std::shared_ptr<const analysis::VideoAnalysis>>();
}

AnalysisRunner::~AnalysisRunner()
{
    cancel();
    m_worker.stop(StopWait);
}

bool AnalysisRunner::start(const QString& videoPath, bool force)
{
    if (m_worker.isRunning())
        return false;
    m_worker.wait(StopWait); // the thread of a finished run
    auto keepGoing = std::make_shared<std::atomic<bool>>(true);
    m_keepGoing = keepGoing;
    const quint64 id = ++m_run;
    const HeadPositionReader headPositions = m_headPositions;
    return m_worker.start([this, videoPath, force, keepGoing, headPositions, id](platform::WorkerRun& run) {
        lowerThisThreadsPriority();
        std::stop_callback onStop(run.stopToken(), [keepGoing] { *keepGoing = false; });
        // Delivered on the UI thread, and only while this is still the latest run: a report
        // already queued when the caller moved on to another video is dropped there.
        auto report = [this, &run, id](auto emitIt) {
            std::lock_guard owned(run);
            if (!run.abandoned())
                QMetaObject::invokeMethod(
                    this,
                    [this, id, emitIt] {
                        if (id == m_run)
                            emitIt();
                    },
                    Qt::QueuedConnection);
        };
        HeadPositionTrack track = headPositions ? headPositions(videoPath) : HeadPositionTrack{};
        // Without a reader of its own the analysis reads the video's head data itself: a newer
        // head-data file makes the cache stale as a newer video does.
        if (!headPositions && QFileInfo::exists(media::headTrackPath(videoPath)))
            track.sourceFiles << media::headTrackPath(videoPath);
        if (!force && analysis::analysisCacheIsFresh(videoPath, track.sourceFiles)) {
            if (auto cached = analysis::readAnalysisCache(videoPath)) {
                auto result = std::make_shared<const analysis::VideoAnalysis>(std::move(*cached));
                report([this, result] { Q_EMIT finished(result, true, QString()); });
                return;
            }
        }
        int lastPercent = -1;
        auto progressed = [&](int done, int total) {
            const int percent = total > 0 ? std::min(99, done * 100 / total) : 0;
            if (percent != lastPercent) {
                lastPercent = percent;
                report([this, percent] { Q_EMIT progress(percent); });
            }
        };
        analysis::VideoAnalysis measured =
            analysis::analyseVideo(videoPath, track.labels, {}, keepGoing.get(), progressed);
        if (!*keepGoing) {
            report([this] { Q_EMIT cancelled(); });
            return;
        }
        if (!measured.ok) {
            report([this, error = measured.error] { Q_EMIT failed(error); });
            return;
        }
        QString cacheError;
        analysis::writeAnalysisCache(videoPath, measured, cacheError);
        auto result = std::make_shared<const analysis::VideoAnalysis>(std::move(measured));
        report([this, result, cacheError] { Q_EMIT finished(result, false, cacheError); });
    });
}

void AnalysisRunner::cancel()
{
    if (m_keepGoing)
        *m_keepGoing = false;
    m_worker.requestStop();
}

void AnalysisRunner::discard()
{
    cancel();
    ++m_run;
}

bool AnalysisRunner::isRunning() const
{
    return m_worker.isRunning();
}

bool AnalysisRunner::wait(int ms)
{
    return m_worker.wait(std::chrono::milliseconds(ms));
}

} // namespace tolvek
