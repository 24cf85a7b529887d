#pragma once
// The head position of every frame of a video, kept beside it as a small CSV file named after it
// ("NAME.wmv" -> "NAME.head.csv"): one row per written frame with its index, its time in the
// video, the head pose quaternion, where the pose came from and the keypad preset when one was
// chosen. The file goes wherever its video goes (copies, trims, exports, backups, the trash);
// a video without one is simply a video without head data.
// Free functions are thread-safe for different files. HeadTrackWriter is driven by one thread and
// writes through a thread of its own, so the recording never waits for the disk. Failures are
// returned with the system's reason, never thrown.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace tolvek::platform {
class WorkerThread;
}

namespace tolvek::media {

// Where a frame's head pose came from.
enum class HeadSource {
    None,   // nothing set the pose yet: the initial forward picture
    Serial, // the gyro board on a serial port
    Phone,  // a phone sending its orientation over UDP
    Keypad, // a preset chosen by hand (keypad key or a click into the picture)
};

// "none", "serial", "phone", "keypad".
const char* headSourceName(HeadSource source);

// The pose as the frame showed it.
struct HeadSample
{
    HeadSource source = HeadSource::None;
    float w = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    int preset = 0; // keypad section 1..9 of a hand-chosen preset, 0 for none
};

struct HeadTrackRow
{
    std::int64_t frame = 0; // index of the frame in its video, from 0
    double timeSeconds = 0; // the frame's time in its video
    HeadSample sample;
};

// The first line of every head-data file.
inline constexpr char HeadTrackHeader[] = "frame,time_s,w,x,y,z,source,preset";

// The head-data file of a video path: same folder, headDataFileName of its name.
QString headTrackPath(const QString& videoPath);

// One row as written, ending in "\n". Numbers use a point whatever the locale; the time has three
// decimals, the pose's components the shortest text that reads back as the same float.
QByteArray formatHeadTrackRow(const HeadTrackRow& row);
// The header line and the rows.
QByteArray formatHeadTrack(const std::vector<HeadTrackRow>& rows);

struct HeadTrackRead
{
    enum class Status {
        Missing, // no head-data file: a video from before head data was kept, or a copy without it
        Ok,
        Damaged, // unreadable, not head data, or some rows that cannot be read (those are left out)
    };
    Status status = Status::Missing;
    std::vector<HeadTrackRow> rows; // the readable rows, in file order
    int badRows = 0;
    // A last row without its line end: a recording cut off by a crash or power cut. Left out; not
    // counted as damage, since everything before it is whole.
    bool cutShort = false;
    QString problem; // why it counts as damaged, for the user
};

HeadTrackRead parseHeadTrack(const QByteArray& bytes);
// Reads the head data of a video (headTrackPath of videoPath).
HeadTrackRead readHeadTrack(const QString& videoPath);

// The rows of frames first .. first + count - 1, renumbered from 0 and with their times counted
// from the first of them.
std::vector<HeadTrackRow> headTrackRange(const std::vector<HeadTrackRow>& rows, std::int64_t first,
                                         std::int64_t count);

struct HeadTrackCopy
{
    enum class Status {
        Copied,
        NoSource,     // the source video has no head data: nothing to copy, nothing made
        TargetExists, // a head-data file of the target's name exists and was kept
        Failed,       // unreadable source or a write that failed; nothing left under the name
    };
    Status status = Status::NoSource;
    QString problem; // for Failed and TargetExists, and for a damaged source that was copied
    bool ok() const { return status == Status::Copied || status == Status::NoSource; }
};

// Copies the head data of sourceVideo to the name of targetVideo (which may be in another folder,
// with another extension). Written to a hidden working file first, flushed to the disk and then
// renamed without replacing anything (unless replaceExisting), so the target's name never holds
// half a file. When both names lead to one file there is nothing to copy: Copied.
HeadTrackCopy copyHeadTrack(const QString& sourceVideo, const QString& targetVideo,
                            bool replaceExisting = false);
// The same for the rows of frames first .. first + count - 1 (headTrackRange). The source's
// unreadable rows are left out; its problem is passed on.
HeadTrackCopy copyHeadTrackRange(const QString& sourceVideo, const QString& targetVideo, std::int64_t first,
                                 std::int64_t count);

// Moves the head data of videoPath to the trash, after its video. True when there was none or it
// went; otherwise `error` says why it stayed.
bool trashHeadTrack(const QString& videoPath, QString* error = nullptr);
// Removes the head data of videoPath (a copy that is given up); true when none is left.
bool removeHeadTrack(const QString& videoPath);

// Writes the head data of a recording as its frames are written. append() only adds to a buffer;
// a thread of the writer's own writes the buffer out and flushes it to the disk about once a
// second, like the video. A write error stops the head data, never the recording: failed() turns
// true and error() says why. After a crash the file holds whole rows up to the last flush and
// at most one cut row behind them.
class HeadTrackWriter
{
  public:
    // How long close() waits for the last write and flush.
    static constexpr int CloseWaitMs = 5000;

    HeadTrackWriter();
    ~HeadTrackWriter(); // close()
    HeadTrackWriter(const HeadTrackWriter&) = delete;
    HeadTrackWriter& operator=(const HeadTrackWriter&) = delete;

    // Creates the file new (an existing file or link at the name is never written through) and
    // writes the header line. False with error() set when either fails; no file is left then.
    bool open(const QString& path);
    void append(const HeadTrackRow& row);
    // Writes the rest, flushes it to the disk and closes; false when any write failed.
    bool close();

    bool isOpen() const { return m_open; }
    bool failed() const;
    QString error() const;
    const QString& path() const { return m_path; }

  private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<platform::WorkerThread> m_flusher;
    QString m_path;
    bool m_open = false;
};

} // namespace tolvek::media
