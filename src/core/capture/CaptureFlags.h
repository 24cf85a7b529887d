#pragma once
// The flags and values the UI thread and the capture thread share to steer a recording. The
// main window owns one instance; the capture thread gets a reference. Every member is atomic.

#include <atomic>

namespace tolvek {

enum WindowModeValue : int { ModeRecording = 0, ModeLive = 1, ModeLibrary = 2, ModeListAll = 3 };

struct CaptureFlags
{
    std::atomic<bool> captureRunning{false};   // the loop continues while set
    std::atomic<bool> recordRequested{false};  // open a new file at the next frame
    std::atomic<bool> recording{false};        // a recording file is open
    std::atomic<bool> restartRequested{false}; // close the current file now; the window discards it
    std::atomic<bool> closeRequested{false};   // close the current file now and keep it (the stop)
    std::atomic<bool> liveViewPaused{false};   // skip showing and recording frames
    std::atomic<bool> cameraOpened{false};     // the camera came up at least once
    std::atomic<int> recordingElapsedMs{0};    // since the current file was opened
    std::atomic<int> currentPatientId{0};      // burnt into frames and used in file names
    std::atomic<int> windowMode{ModeLive};     // WindowMode, written by the UI thread
    std::atomic<int> cameraCount{0};           // CameraCount; 0 after a read failure outside recording
};

} // namespace tolvek
