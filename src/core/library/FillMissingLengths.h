#pragma once
// The Length cell of a row added without a scan: such rows carry the mark "0" until the all-videos
// list is shown, when the length is measured by opening the file with OpenCV (frame count / rate).
// Pure functions apart from the file open; thread-safe; an unopenable file gives one second.

#include <QString>

namespace tolvek {

// The Length text of a row added without a scan.
inline constexpr char MissingLengthMark[] = "0";

// True only for the exact mark.
bool isMissingLength(const QString& cell);

// " %02ds" below 60 s (with its leading blank), "%dm%02ds" from 60 s on; a frame rate of 0 or
// less, or no frames, counts as one second.
QString lengthTextFromFrames(double frames, double fps);

// Opens path with OpenCV and gives lengthTextFromFrames of its frame count and rate.
QString measureLengthText(const QString& path);

} // namespace tolvek
