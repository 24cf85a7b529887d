#pragma once
// File operations on recorded videos: the names a video is refiled or copied under, deleting to
// the trash and copying into the reference list (the re-encode under a new ID is ReburnIdWorker).
// Each operation takes the video's head data along; a head-data file that cannot follow is
// logged and never fails the operation on the video.
// Pure naming functions; the file operations are thread-safe for different files, report their
// outcome as a result and never throw.

#include <QString>

namespace tolvek {

// The name with its first 8 characters (the patient ID) replaced by "%08d" of id; the timestamp
// and extension stay.
QString replaceVideoId(const QString& name, int id);
// The name a copy is filed under in the reference list: the ID replaced by "99000000".
QString referenceFileName(const QString& name);

enum class DeleteResult { Deleted, NotFound, Failed };
// DeleteVideoFile without its messages: moves the file to the trash, then its head data.
DeleteResult deleteVideoFile(const QString& path);
// "%s can't be found." / "%s can't be deleted." with the path; empty for Deleted.
QString deleteFailureMessage(DeleteResult result, const QString& path);

enum class CopyResult { Copied, TargetExists, SourceMissing, Failed };
// Copies source to target, then its head data; refuses to replace an existing target. A failed
// copy leaves no target. headDataProblem, when given, receives why the head data was not copied
// whole (empty when it was, or when the source has none).
CopyResult copyVideoFile(const QString& source, const QString& target, QString* headDataProblem = nullptr);

} // namespace tolvek
