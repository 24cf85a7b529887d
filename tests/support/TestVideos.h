#pragma once
// Small real WMV files for tests, written by the program's own writer (as plain files: no tags and
// no header reserve, as the recordings made before both existed) or by the ffmpeg program, and a
// frame counter that decodes a file through OpenCV.
// Thread-safe for different paths. Failures return an empty path or -1; they never throw.

#include <QByteArray>
#include <QString>

namespace tolvek::test {

// Writes `frames` frames of w x h at `fps` with the program's WmvWriter.
// Each frame differs (a moving bar and a changing grey level), so every frame carries real data.
// Returns `path`, or an empty string when the writer could not be opened.
QString makeTestWmv(const QString& path, int frames, int w = 64, int h = 48, int fps = 30);

// Runs `ffmpeg -f lavfi -i testsrc=... -frames:v N -c:v wmv2 [-metadata title=T] path` (an argument
// list, no shell). A null `title` writes no title; an empty one writes an empty title.
// Returns `path`, or an empty string when ffmpeg is missing or fails.
QString makeFfmpegWmv(const QString& path, int frames, const QString& title = QString(), int w = 64,
                      int h = 48, int fps = 30);

// A video as the program writes it now, through WmvWriter: `frames` frames of w x h at 30 fps,
// "Title" = title (none when null), the product mark and, unless `headerReserve` is false (as in
// the recordings made before it existed), the header reserve for memo edits in place. Returns
// `path`, or an empty string when it could not be written.
QString makeProgramWmv(const QString& path, int frames, int w, int h, const QString& title = QString(),
                       bool headerReserve = true);
// Head data beside the video at videoPath as a recording leaves it: one row per frame at `fps`, a
// serial sensor's pose whose x is the frame's index, so a copied row can be traced to its frame.
// Returns the bytes written; empty when the file could not be written.
QByteArray writeTestHeadData(const QString& videoPath, int frames, int fps = 30);

// SHA-256 of a file's bytes; empty when it cannot be read.
QByteArray digestOf(const QString& path);
// The number of frames cv::VideoCapture decodes from `path` by reading to the end; -1 when it
// cannot open the file.
int countDecodedFrames(const QString& path);

// The Copyright field of a video's ASF header through TagLib; "<not an ASF file>" when TagLib
// cannot read the header.
QString copyrightOf(const QString& path);

// Ways a video turns unreadable part-way, as a failing disk or a cut copy leaves it: the file ends
// there, everything from there on is zeros, or a quarter of the file from there on is noise (the
// same noise every time).
enum class VideoDamage { CutOff, Zeroed, Noise };
// Damages the file at `path` from `from` (a share of its size) on. False when it cannot be changed.
bool damageVideo(const QString& path, VideoDamage how, double from = 0.5);

} // namespace tolvek::test
