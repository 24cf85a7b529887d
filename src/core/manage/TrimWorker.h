#pragma once
// TrimWorker copies the marked frames into a new WMV2 video, ReburnIdWorker re-encodes a video with
// another ID burnt in; each on its own thread, sharing only the atomics of a TrimWorkerState. The
// output appears only when complete; cancel or failure removes it, and nothing is ever replaced.
// The head data follows the copied frames once the video holds its name.

#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace tolvek {

enum class TrimResult {
    NotRun,           // the worker has not ended yet
    Done,             // the target is complete under its name
    Cancelled,        // stopped on request; nothing left behind
    SourceUnreadable, // the source does not open or holds no frame
    RangeEmpty,       // the marked range holds no frame of the source; nothing written
    TargetExists,     // a file of the target name exists; nothing written
    TargetUnwritable, // the output could not be written; nothing left behind
    SourceCutShort,   // the source stopped being readable before its end; nothing written
};

// Whether a copy of framesDone frames holds the framesExpected the source announced. The count a
// container announces is its play length times its frame rate, exact for every video this program
// writes; the margin (2 frames, or 1 % of long videos) only absorbs rounding, while a copy that
// stopped at an unreadable frame part-way falls far below it.
bool copyIsComplete(int framesDone, int framesExpected);

// Shared by the dialog and its worker; whichever lets go last frees it. The plain fields are
// written before the worker starts and only read afterwards.
struct TrimWorkerState
{
    // Set before the worker starts; cleared by the watcher to ask for a stop, and by the worker
    // once both files are closed and its result is stored.
    std::atomic<bool> running{false};
    std::atomic<int> framesDone{0};
    // The source's frame count once opened, never negative: the demuxer's count, or the play
    // length in the file's own header times the frame rate when the demuxer gives none.
    std::atomic<int> framesTotal{0};
    std::atomic<TrimResult> result{TrimResult::NotRun};
    // Set last by the worker, after its output is renamed or removed: the files are settled.
    std::atomic<bool> ended{false};

    int rangeStart = 0; // slider positions; both 0 in re-ID mode
    int rangeEnd = 0;
    int newId = 0; // re-ID mode only
    // The configured capture size. The workers write at the source's own size, which is this size
    // for every video recorded since it was configured, so a changed setting cannot spoil a copy.
    int frameWidth = 0;
    int frameHeight = 0;
    int fps = 0; // CaptureFps, used when the source reports no usable frame rate
    int sliderLength = 1;
    QString sourcePath;
    QString targetPath;
    // The memo written into the copy's header (with the product mark) before it takes its name, so
    // the target never exists without it; none leaves the header as the encoder made it.
    std::optional<QString> memo;
    // Written by the worker before `ended`: why the copy's head data is missing or incomplete
    // although its source had some. Empty when it was copied whole or the source had none.
    QString headDataProblem;

    bool reIdMode() const { return rangeStart == rangeEnd; }
    // What the progress text counts towards: the source's frames in re-ID mode, the range's share
    // of them in range mode.
    int expectedFrames() const;
};

// MakeTrimmedFileName: the source's folder and a name of the same patient whose time is the
// source's plus (the start marker's frame) / fps seconds, at least one, stepped on
// one second at a time while a file of that name exists. Nothing when the source's name carries
// no valid ID, date and time.
std::optional<QString> makeTrimmedFileName(const QString& sourcePath, int rangeStart, int frameCount,
                                           int sliderLength, int fps);

// The worker procedures; each returns 0 after it has stored its result and cleared running.
int TrimWorker(std::shared_ptr<TrimWorkerState> state);
int ReburnIdWorker(std::shared_ptr<TrimWorkerState> state);

} // namespace tolvek
