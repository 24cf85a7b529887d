#pragma once
// Starts the record_until_killed helper in a folder, lets it record until its recording time
// reaches a given mark, then kills it with SIGKILL: a recording cut off as a crash or power cut
// would cut it. Every wait is bounded; failures give ok() == false, never an exception.

#include <QString>

namespace tolvek::test {

struct KilledRecording
{
    QString path;        // the recording file, as the recorder announced it
    int elapsedMs = -1;  // the last recording time the recorder reported before the kill
    int framesDrawn = 0; // frames it had drawn (and so handed to the writer) by then
    bool ok() const { return !path.isEmpty() && elapsedMs >= 0; }
};

// Records at width x height (virtual clock, as fast as encoding goes) and kills the recorder once
// it reports at least `killAtMs` of recording; killAtMs < 0 kills as soon as the file is open.
KilledRecording recordAndKill(const QString& folder, int killAtMs, int width = 640, int height = 480,
                              unsigned seed = 1);

} // namespace tolvek::test
