#include "core/platform/Trash.h"

#include <QFile>

namespace tolvek::platform {

bool moveToTrash(const QString& path)
{
    return QFile::moveToTrash(path);
}

}  // namespace tolvek::platform
