#pragma once
// Measures a whole eye video: every frame is decoded through FrameReader (so a recording reads as
// it does in the player), its pupil tracked with the burnt-in areas masked, and the position trace
// analysed for nystagmus. Frames are streamed and let go one by one, so memory does not grow with
// the video's length beyond one small sample per frame.
// Any thread, one call per video. Failures come back in `error`; nothing throws.

#include "core/analysis/NystagmusAnalysis.h"
#include "core/analysis/PupilTracker.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace tolvek::analysis {

struct VideoAnalysis
{
    bool ok = false;
    QString error; // why the video could not be analysed, for the user
    double fps = 0.0;
    std::vector<PupilSample> samples; // one per decoded frame
    NystagmusResult nystagmus;
};

// headPositions: one label per frame, as analyseNystagmus takes them (empty: "unknown").
// keepGoing: when given and cleared, reading stops and the result is a failure.
// progress: when given, called after every frame with the frames done and the frames the file
// holds (0 when unknown), on the calling thread.
VideoAnalysis analyseVideo(const QString& path, const std::vector<QString>& headPositions = {},
                           const NystagmusOptions& options = {}, const std::atomic<bool>* keepGoing = nullptr,
                           const std::function<void(int done, int total)>& progress = {});

} // namespace tolvek::analysis
