#pragma once
// Replaces a video's header in place, when the new header has exactly the old one's size, under a
// journal that makes the change all or nothing: the new header is first written, with checksums,
// to a hidden journal beside the video and flushed; only then is it written over the old one, and
// the journal goes once that is on the disk. A program killed at any moment leaves a journal that
// finishInterruptedHeaderWrite completes at the next start (or drops, if the video was never
// touched), so the video ends up with the old or the new header, byte for byte.
// Thread-safe for different videos; failures are returned, never thrown.

#include "core/platform/DurableFiles.h"

#include <QByteArray>
#include <QString>

namespace tolvek::media {

enum class InPlaceResult {
    Written,
    Changed, // the video's first bytes are no longer the old header: nothing written
    Failed,  // the journal or the video could not be written; the video keeps its old header
};

// The hidden journal beside `videoPath`.
QString headerJournalPath(const QString& videoPath);
bool isHeaderJournalName(const QString& fileName);

// The first step alone: the journal for replacing oldHeader by newHeader at the start of the
// video, whole and on the disk, the video untouched. Not created() when it could not be written
// (error() says why). Let go without keep(), it is removed with its note.
platform::WorkingFile writeHeaderJournal(const QString& videoPath, qint64 videoSize,
                                         const QByteArray& oldHeader, const QByteArray& newHeader);

// Writes newHeader over oldHeader at the start of the video (same size). `error` says why not.
InPlaceResult writeHeaderInPlace(const QString& videoPath, const QByteArray& oldHeader,
                                 const QByteArray& newHeader, QString* error = nullptr);

// For a journal left by a program that was cut off: completes the header write it records when the
// journal is whole and its video is the one it was written for, then removes the journal. Does
// nothing for a path that is not a header journal. True when the video was written.
bool finishInterruptedHeaderWrite(const QString& journalPath);

} // namespace tolvek::media
