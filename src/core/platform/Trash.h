#pragma once
// Deleting a video moves it to the user's trash (the freedesktop.org layout that file managers
// show), so that a mistaken delete can be undone. The home trash ($XDG_DATA_HOME/Trash, by default
// ~/.local/share/Trash) is created when missing; a file on another drive goes to that drive's own
// trash folder. A move counts only once the file is found in the trash; otherwise it stays where it
// was and the reason is returned. Thread-safe for different files.

#include <QString>

namespace tolvek::platform {

// The user's home trash folder, $XDG_DATA_HOME/Trash or ~/.local/share/Trash, whether it exists
// or not.
QString homeTrashFolder();

struct TrashResult
{
    bool moved = false;
    QString trashedPath; // where the file is now, when moved
    QString error;       // why it was not moved
    explicit operator bool() const { return moved; }
};

// The one way this program deletes a video.
TrashResult moveToTrash(const QString& path);

} // namespace tolvek::platform
