#pragma once
// Measures a whole eye video: every frame is decoded through FrameReader (so a recording reads as
// it does in the player), its pupil tracked with the burnt-in areas masked, and the position trace
// analysed for nystagmus. Frames are streamed and let go one by one, so memory does not grow with
// the video's length beyond one small sample per frame. The head position of every frame comes
// from the video's head data when the caller gives none; a video without head data, or with
// damaged head data, is still analysed (its frames without a readable row are "unknown").
// Any thread, one call per video. Failures come back in `error`; nothing throws.

#include "core/analysis/NystagmusAnalysis.h"
#include "core/analysis/PupilTracker.h"
#include "core/media/HeadTrack.h"

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
    // The head data the labels came from: Missing when the video has none (or the caller gave the
    // labels), Damaged with the reason in headDataProblem.
    media::HeadTrackRead::Status headData = media::HeadTrackRead::Status::Missing;
    QString headDataProblem;
    std::vector<PupilSample> samples; // one per decoded frame
    NystagmusResult nystagmus;
};

// headPositions: one label per frame, as analyseNystagmus takes them (empty: the labels of the
// video's head data, "unknown" where there is none).
// keepGoing: when given and cleared, reading stops and the result is a failure.
// progress: when given, called after every frame with the frames done and the frames the file
// holds (0 when unknown), on the calling thread.
VideoAnalysis analyseVideo(const QString& path, const std::vector<QString>& headPositions = {},
                           const NystagmusOptions& options = {}, const std::atomic<bool>* keepGoing = nullptr,
                           const std::function<void(int done, int total)>& progress = {});

} // namespace tolvek::analysis
