#pragma once
// The player's state shared by the UI thread and the player thread: pause, seek request, frame
// numbers, the range markers and the picture size. The main window's playback controller owns
// one; each player gets a pointer. Every member is atomic; the seek request is taken with an
// exchange so that it is consumed once.

#include <atomic>

namespace tolvek {

struct PlaybackState
{
    std::atomic<bool> paused{false};        // PlayerPaused: show requestedFrame as a still
    std::atomic<bool> seekRequested{false}; // SeekRequested: jump to requestedFrame when playing
    std::atomic<int> requestedFrame{0};     // RequestedFrame
    std::atomic<int> currentFrame{0};       // CurrentFrame: index of the frame last decoded
    std::atomic<int> frameCount{1000};      // FrameCount of the open video
    std::atomic<int> rangeStart{0};         // RangeStart, slider pixels
    std::atomic<int> rangeEnd{0};           // RangeEnd, slider pixels
    std::atomic<int> sliderLength{0};       // SliderLength = width of the picture
    std::atomic<int> viewWidth{0};          // LiveViewRect size, for the size of the pause mark
    std::atomic<int> viewHeight{0};
};

} // namespace tolvek
