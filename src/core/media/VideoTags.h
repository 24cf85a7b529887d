#pragma once
// Writes the memo ("Title") and the product mark ("Copyright" = "Tolvek") into a video's WMV header.
// A write replaces the file atomically: a complete new copy is made beside it in a working file
// created new for it, flushed to disk and renamed over it, so at any moment the file is either the
// old or the new one. Thread-safe for different files; on any failure the file keeps its bytes and
// the result says why.

#include "core/media/HeaderTags.h"

#include <QString>

namespace tolvek {

enum class TagWriteResult {
    Written,     // the file now carries the tags (also when it already did and was left alone)
    MemoTooLong, // memo needs more than MaxTitleBytes; nothing touched
    CannotOpen,  // missing, not a regular file, or not readable
    NotWritable, // the file or its folder does not allow replacing it
    NotAsf,      // not a well-formed ASF file, or one whose header cannot be rewritten safely
    WriteFailed, // the new copy could not be written, flushed or renamed (disk full, I/O error)
};

// The hidden working file a tag write of path makes beside it before renaming it over path.
QString tagWorkingPath(const QString& path);

// WriteVideoTags: "Title" = memo (up to its first U+0000), then "Copyright" = "Tolvek", saved.
TagWriteResult writeVideoTags(const QString& path, const QString& memo);
// WriteCopyrightTag: only "Copyright" = "Tolvek"; the memo is kept.
TagWriteResult writeCopyrightTag(const QString& path);

} // namespace tolvek
