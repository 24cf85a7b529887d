#pragma once
// File operations on recorded videos: the names a video is refiled or copied under, deleting to
// the trash, copying into the reference list, and re-encoding a video under a new patient ID.
// Pure naming functions; the file operations are thread-safe for different files, report their
// outcome as a result and never throw. The original of a re-ID is never touched, and the new name
// appears only once the re-encoded file is complete.

#include <QString>

#include <atomic>

namespace tolvek {

// The name with its first 8 characters (the patient ID) replaced by "%08d" of id; the timestamp
// and extension stay.
QString replaceVideoId(const QString& name, int id);
// The name a copy is filed under in the reference list: the ID replaced by "99000000".
QString referenceFileName(const QString& name);

enum class DeleteResult { Deleted, NotFound, Failed };
// DeleteVideoFile without its messages: moves the file to the trash.
DeleteResult deleteVideoFile(const QString& path);
// "%s can't be found." / "%s can't be deleted." with the path; empty for Deleted.
QString deleteFailureMessage(DeleteResult result, const QString& path);

enum class CopyResult { Copied, TargetExists, SourceMissing, Failed };
// Copies source to target; refuses to replace an existing target. A failed copy leaves no target.
CopyResult copyVideoFile(const QString& source, const QString& target);

// Shared between the re-ID worker and the thread that watches it. All fields are atomic.
struct ReIdProgress {
    std::atomic<bool> cancelRequested{false}; // set by the watcher; the worker stops at the next frame
    std::atomic<int> framesDone{0};
    std::atomic<int> framesTotal{0};          // the source's frame count, 0 when it gives none
};

enum class ReIdResult {
    Done,             // target complete under its name
    Cancelled,        // stopped on request; no target written
    SourceUnreadable, // the source cannot be opened or holds no frame
    TargetExists,     // a file of the target name exists; nothing written
    TargetUnwritable, // the output could not be written; no target left behind
};

// ReburnIdWorker: reads every frame of source, burns the ID label of newId over the old one and
// writes it as WMV2 at the source's own size and frame rate (fallbackFps when the source gives
// none). The output is written under a hidden working name beside target and renamed to target
// only when complete; on cancel or failure the working file is removed. Source is only read.
// Runs on the calling thread.
ReIdResult reburnVideoId(const QString& source, const QString& target, int newId, double fallbackFps,
                         ReIdProgress& progress);

} // namespace tolvek
