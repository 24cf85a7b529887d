#pragma once
// A recording of the simulated eye camera made as the recorder makes one: every frame of the
// simulated eye gets the burnt-in time and ID stamps and the head picture, then goes through
// WmvWriter. For the tests of the eye analysis. Thread-safe for different paths; a failure gives
// an empty path, nothing throws.

#include "core/sensor/HeadPose.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace tolvek {
class SimulatedEyeSource;
}

namespace tolvek::test {

struct SimulatedEyeVideo
{
    QDateTime start{QDate(2026, 3, 2), QTime(10, 15)}; // the time stamped into the first frame
    int patientId = 12345678;                          // the ID stamped into every frame
    // The head picture's pose in frame k; the forward preset when not given.
    std::function<HeadPose(int frame)> headPose;
};

// Writes `frames` frames of `eye` to path. Returns path, or an empty string when the writer could
// not be opened or a frame not written.
QString recordSimulatedEye(const QString& path, const SimulatedEyeSource& eye, int frames,
                           const SimulatedEyeVideo& video = {});

} // namespace tolvek::test
