#include "core/platform/DataLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <optional>

namespace tolvek::platform {

Q_LOGGING_CATEGORY(lcDataLocation, "tolvek.datalocation", QtWarningMsg)

namespace {

// "DataFolder = /srv/tolvek" in a plain "key = value" file; blank lines, "#" and ";" comments and
// "[section]" lines are skipped. Read by hand rather than through QSettings, whose INI format
// would split a folder name at a comma and unescape its backslashes. No value when the file
// cannot be read or has no such line.
std::optional<QString> readDataFolderLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qCWarning(lcDataLocation) << "cannot read" << path << ":" << file.errorString();
        return std::nullopt;
    }
    std::optional<QString> value;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';') || line.startsWith(u'['))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed() == QLatin1String("DataFolder"))
            value = line.mid(eq + 1).trimmed(); // the last one counts, as in other config files
    }
    return value;
}

QStringList systemConfigFolders()
{
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    QStringList folders = dirs.split(u':', Qt::SkipEmptyParts);
    if (folders.isEmpty())
        folders << QStringLiteral("/etc/xdg");
    return folders;
}

} // namespace

QString systemDataFolder()
{
    for (const QString& folder : systemConfigFolders()) {
        const QString path = folder + QStringLiteral("/Tolvek/system.conf");
        if (!QFileInfo::exists(path))
            continue;
        // The first file with a DataFolder line decides, as the first folder of $XDG_CONFIG_DIRS
        // ranks highest; an empty value there means "each user's own folder".
        const std::optional<QString> value = readDataFolderLine(path);
        if (!value)
            continue;
        if (value->isEmpty())
            return {};
        if (!QDir::isAbsolutePath(*value)) {
            qCWarning(lcDataLocation) << path << "names a relative DataFolder, which is ignored:" << *value;
            return {};
        }
        return QDir::cleanPath(*value);
    }
    return {};
}

QString dataFolder()
{
    QString dir = qEnvironmentVariable("TOLVEK_DATA_DIR");
    if (dir.isEmpty())
        dir = systemDataFolder();
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
