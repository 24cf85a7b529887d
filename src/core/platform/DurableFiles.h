#pragma once
// The file-system calls that make a write survive a crash or power cut: flushing a file's data and
// a folder's entries to the disk, and a rename that never replaces an existing file. Everything
// here is plain system calls on paths; safe from any thread. Failures are returned, never thrown.

#include <QString>

namespace tolvek::platform {

// Flushes the file's data to the disk. False when it cannot be opened or the flush fails (a full
// or removed drive shows up here at the latest).
bool syncFileToDisk(const QString& path);
// Flushes a folder's entries, so that a rename or a new file in it survives a power cut.
bool syncFolderToDisk(const QString& folder);
// Same for the folder holding filePath.
bool syncFolderOf(const QString& filePath);

enum class RenameResult { Renamed, TargetExists, Failed };
// Renames without ever replacing an existing target, atomically where the file system allows
// (renameat2, else link and unlink); file systems without hard links get a check right before
// the rename, the best they allow. On failure `error` holds the system's reason.
RenameResult renameNoReplace(const QString& from, const QString& to, QString& error);

}  // namespace tolvek::platform
