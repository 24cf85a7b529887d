#pragma once
// The state of the main window that its controllers share: the mode and the capture flags, whether
// Close is allowed, and the names of the played, recorded and pending videos. One object, owned by
// the window and handed by reference to the controllers that read or change it. UI thread only,
// except the flags, which are atomics the capture and player threads read.

#include "core/capture/CaptureFlags.h"

#include <QString>

namespace tolvek {

struct WindowState
{
    CaptureFlags flags;         // WindowMode, currentPatientId, CameraCount and the capture flags
    int closeAllowed = 1;       // 0 while a recording runs: the system Close is refused
    QString playbackVideoName;  // the video open in the player; empty when none
    QString currentVideoName;   // the recording being written
    QString allListPendingName; // the row becoming selected in the all-videos list
    bool toolTipsActive = true; // the ShowToolTips setting as the window applies it

    int windowMode() const { return flags.windowMode.load(); }
    int currentPatientId() const { return flags.currentPatientId.load(); }
};

} // namespace tolvek
