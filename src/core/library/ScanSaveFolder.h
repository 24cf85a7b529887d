#pragma once
// ScanSaveFolder: builds the video library from the save folder. The caller's thread lists the
// folder and waits while one worker per hardware thread reads the headers; records are handed out
// one at a time through an atomic counter, each worker writes only the results of the records it
// took, and the caller copies them into the library. The wait lasts while headers keep being read:
// once none was read for 30 s (a read that hangs), the records still out count as unreadable.
// Unreadable files stay listed ("01s", no memo), 0-byte files (left by a crash) too, and are also
// reported; a missing folder gives an empty library.

#include "core/library/VideoRecord.h"

#include <QString>
#include <QStringList>

namespace tolvek {

// The folder is searched with the pattern "<folder>/*.wmv" in a buffer of 260 UTF-16 units, so
// the folder itself may have at most this many units. Longer folders are refused, not cut.
inline constexpr int MaxScanFolderLength = 260 - 7;

enum class ScanStatus {
    Ok,            // the folder was listed (it may hold no videos)
    FolderMissing, // empty path, not a folder, or not readable: empty library
    PathTooLong,   // longer than MaxScanFolderLength: empty library
};

struct ScanOptions
{
    int workerCount = 0; // 0: one per hardware thread (8 when the platform does not say)
};

struct ScanOutcome
{
    ScanStatus status = ScanStatus::Ok;
    int workersStarted = 0; // threads started; 0 when there was nothing to read
    int readerReopens = 0;  // header readers started afresh, summed over the workers
    // Files for a later repair pass: headers that could not be read, and readable headers that
    // give no play length (for example a recording whose header was never finished).
    QStringList unreadableFiles;
    QStringList filesWithoutLength;
    // 0-byte files with a video name: in the library as unreadable videos (and only here, not
    // among unreadableFiles), so that they can be deleted.
    QStringList emptyFiles;
};

// The accepted video names in the folder (not directories, isVideoFileName), sorted by name so
// that every scan of the same folder gives the same order.
QStringList listVideoFiles(const QString& folder, ScanStatus* status = nullptr);

// Clears library and fills it from folder: names, then lengths and memos from the headers.
ScanOutcome scanSaveFolder(const QString& folder, VideoLibrary& library, const ScanOptions& options = {});

// The header pass alone: fills lengthText and memo of every record in library.
ScanOutcome readVideoHeaders(const QString& folder, VideoLibrary& library, const ScanOptions& options = {});

// Workers for a scan: requested when positive, else hardwareThreads (8 when 0), never more than
// the number of records.
int scanWorkerCount(int requested, unsigned hardwareThreads, int records);

} // namespace tolvek
