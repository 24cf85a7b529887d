#include "core/analysis/VideoAnalysis.h"

#include "core/analysis/HeadPositionLabel.h"
#include "core/media/FrameReader.h"

#include <QFileInfo>

#include <cmath>

namespace tolvek::analysis {

namespace {

// Frames are read one after the other and never revisited: a small cache is enough.
constexpr std::size_t ReaderCacheBytes = std::size_t(4) << 20;

} // namespace

VideoAnalysis analyseVideo(const QString& path, const std::vector<QString>& headPositions,
                           const NystagmusOptions& options, const std::atomic<bool>* keepGoing,
                           const std::function<void(int done, int total)>& progress)
{
    VideoAnalysis result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.error = QStringLiteral("no such file");
        return result;
    }
    if (!info.isFile() || !info.isReadable()) {
        result.error = QStringLiteral("not a readable file");
        return result;
    }
    FrameReader reader(ReaderCacheBytes);
    if (!reader.open(path.toStdString())) {
        result.error = QStringLiteral("not a video that can be read");
        return result;
    }
    reader.setKeepGoing(keepGoing);
    result.fps = reader.fpsProperty();
    if (!(result.fps > 0) || !std::isfinite(result.fps)) {
        result.error = QStringLiteral("the video has no frame rate");
        return result;
    }
    if (reader.indexedFrames() > 0)
        result.samples.reserve(std::size_t(reader.indexedFrames()));

    PupilTracker tracker;
    cv::Size trackedSize;
    for (;;) {
        const cv::Mat frame = reader.readNext();
        if (frame.empty())
            break;
        if (frame.size() != trackedSize) {
            trackedSize = frame.size();
            tracker = PupilTracker(burntInAreas(trackedSize));
        }
        result.samples.push_back(tracker.track(frame));
        if (progress)
            progress(int(result.samples.size()), reader.indexedFrames());
    }
    if (keepGoing && !keepGoing->load()) {
        result.error = QStringLiteral("stopped");
        return result;
    }
    if (result.samples.empty()) {
        result.error = QStringLiteral("no frame could be decoded");
        return result;
    }
    if (!headPositions.empty()) {
        result.nystagmus = analyseNystagmus(result.samples, result.fps, headPositions, options);
    } else {
        const media::HeadTrackRead head = media::readHeadTrack(path);
        result.headData = head.status;
        result.headDataProblem = head.problem;
        result.nystagmus = analyseNystagmus(result.samples, result.fps,
                                            headPositionLabels(head.rows, result.samples.size()), options);
    }
    result.ok = true;
    return result;
}

} // namespace tolvek::analysis
