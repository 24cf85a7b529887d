#pragma once
// The file-system calls that make a write survive a crash or power cut: flushing a file's data and
// a folder's entries to the disk, a rename that never replaces an existing file, and the working
// files a write goes to before it takes its name. Everything here is plain system calls on paths;
// safe from any thread. Failures are returned, never thrown.

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>

namespace tolvek::platform {

// Flushes the file's data to the disk. False when it cannot be opened or the flush fails (a full
// or removed drive shows up here at the latest).
bool syncFileToDisk(const QString& path);
// The same for a file open on fd.
bool syncHandleToDisk(int fd);
// Flushes the file's data (not its times) to the disk; errno tells why it failed.
bool syncDataToDisk(int fd);

enum class ReserveResult { Reserved, DiskFull, NotSupported };
// Allocates length bytes of the file open on fd from offset on without changing its size, so
// later writes there cannot meet a full disk. DiskFull (errno set: ENOSPC, EFBIG, EDQUOT) when the
// disk or a limit has no room; NotSupported on file systems that cannot allocate ahead.
ReserveResult reserveSpace(int fd, qint64 offset, qint64 length);
// Gives back what reserveSpace allocated beyond the file's end.
void releaseSpaceBeyondEnd(int fd, qint64 reservedEnd);

// Flushes a folder's entries, so that a rename or a new file in it survives a power cut.
bool syncFolderToDisk(const QString& folder);
// Same for the folder holding filePath.
bool syncFolderOf(const QString& filePath);

enum class RenameResult { Renamed, TargetExists, Failed };
// Renames without ever replacing an existing target, atomically where the file system allows
// (renameat2, else link and unlink); file systems without hard links get a check right before
// the rename, the best they allow. On failure `error` holds the system's reason.
RenameResult renameNoReplace(const QString& from, const QString& to, QString& error);

// True when both paths lead to one file (same device and inode, links followed), however they are
// spelt. False when either does not exist.
bool isSameFile(const QString& a, const QString& b);

// The file a write goes to before it is renamed into place. create() makes it new and empty,
// exclusively and without following a link (O_CREAT | O_EXCL | O_NOFOLLOW), so a link or file
// planted at the name is never written through. A leftover at the name is removed first only when
// it is a regular file of this user (an earlier run cut off); a link, a folder or another user's
// file stays where it is and creation fails. The descriptor closes with the object.
//
// While a working file exists a note of its path lies in the journal folder, so that one left
// behind by a program that was killed or lost its power is found at the next start wherever it
// was written (a backup folder, an export's folder). The object removes its note when it goes;
// the working file itself is removed too unless it was renamed into place or handed on.
class WorkingFile
{
  public:
    static WorkingFile create(const QString& path);

    WorkingFile() = default;
    WorkingFile(WorkingFile&& other) noexcept;
    WorkingFile& operator=(WorkingFile&& other) noexcept;
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;
    ~WorkingFile();

    bool created() const { return m_created; }
    const QString& path() const { return m_path; }
    const QString& error() const { return m_error; } // why create() failed
    // The descriptor, open for writing, or -1 once closed or handed on.
    int handle() const { return m_fd; }
    // Hands the descriptor to the caller, who closes it from then on.
    int takeHandle();
    void closeHandle();
    // Whether the name still leads to the file created here, not to a link or a file put there
    // since (for writers that open the name themselves, such as a child process).
    bool stillOurs() const;
    // Removes the name when it still leads to the file created here.
    void remove();
    // Leaves the file and its note in place when the object goes: the next start's sweep hands
    // it to its finisher (an interrupted write that must be completed, not dropped).
    void keep();
    // After this program itself replaced the working file by a rename (a tag write on it), the
    // regular file of this user now at the name becomes the working file. False when there is none.
    bool acceptReplacement();

  private:
    void forgetNote();

    QString m_path;
    QString m_note;
    QString m_error;
    int m_fd = -1;
    bool m_created = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

// The folder of working-file notes: "working/" in the data folder.
QString workingFileJournal();
// Removes the working files that programs no longer running left behind, and their notes; run at
// start, before any write. A noted file is removed only when it is a regular file of this user
// whose name begins with "." (every working name does), so a damaged note can never remove a
// video. Each such file is first given to `finish`, which may complete the write it belonged to.
// Notes of a program still running are kept. Returns the paths removed.
QStringList sweepLeftoverWorkingFiles(const QString& journal = workingFileJournal(),
                                      const std::function<void(const QString& path)>& finish = {});

} // namespace tolvek::platform
