#pragma once
// Deleting a video moves it to the desktop's trash so that a mistaken delete can be undone.
// Thread-safe. Returns false when the file could not be moved (it is then left in place).

#include <QString>

namespace tolvek::platform {

bool moveToTrash(const QString& path);

}  // namespace tolvek::platform
