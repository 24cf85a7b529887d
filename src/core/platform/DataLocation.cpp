#include "core/platform/DataLocation.h"

#include <QStandardPaths>

namespace tolvek::platform {

QString dataFolder()
{
    QString dir = qEnvironmentVariable("TOLVEK_DATA_DIR");
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (dir.isEmpty())
            dir = QStringLiteral("/tmp");
        dir += QStringLiteral("/Tolvek");
    }
    if (!dir.endsWith(u'/'))
        dir += u'/';
    return dir;
}

} // namespace tolvek::platform
