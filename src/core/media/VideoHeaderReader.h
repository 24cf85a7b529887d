#pragma once
// Reads a video's play length and memo ("Title") from its WMV header, for the library scan.
// One reader per scan worker, reused for many files; not thread-safe itself, but readers on
// different threads share nothing. Unreadable files give a failure result, never an exception.

#include <QByteArray>
#include <QString>

namespace tolvek {

struct VideoHeaderInfo
{
    enum class Result {
        Memo,   // header read, "Title" present (possibly empty)
        NoMemo, // header read, the file has no "Title"
        Failed, // missing, unreadable or not an ASF file
    };
    Result result = Result::Failed;
    float seconds = 0.0f; // play length without the preroll; 0 when unknown
    QString memo;         // "Title" up to its first zero, at most MemoMaxUnits UTF-16 units
    bool ok() const { return result != Result::Failed; }
};

class VideoHeaderReader
{
  public:
    static constexpr int MemoMaxUnits = 255;
    // The reader starts afresh (counts cleared, buffer back to its initial size) after this many
    // opened files and after this many failures in a row, so that one damaged or huge header does
    // not keep its memory for the rest of a long scan.
    static constexpr int ReopenAfterFiles = 2000;
    static constexpr int ReopenAfterFailures = 3;
    static constexpr qsizetype InitialBufferSize = 1024;

    VideoHeaderReader();

    // ReadDurationAndTitle: the length and memo of the file at `path` (full path).
    VideoHeaderInfo readDurationAndTitle(const QString& path);

    int openedCount() const { return m_openedCount; }
    int failureCount() const { return m_failureCount; }
    int reopenCount() const { return m_reopenCount; }

  private:
    void reopen();
    VideoHeaderInfo fail();

    QByteArray m_buffer;
    int m_openedCount = 0;
    int m_failureCount = 0;
    int m_reopenCount = 0;
};

} // namespace tolvek
