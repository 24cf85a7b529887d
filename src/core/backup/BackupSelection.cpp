#include "core/backup/BackupSelection.h"

#include "core/settings/VideoFileName.h"

#include <QDir>

namespace tolvek {

namespace {
constexpr int IdLength = 8;
}

QString backupDatePrefix(int dateValue)
{
    return QString::number(dateValue);
}

QStringList selectBackupNames(const QStringList& names, const QString& prefix)
{
    QStringList chosen;
    if (prefix.isEmpty())
        return chosen;
    for (const QString& name : names) {
        if (name.size() != VideoFileNameLength || !isVideoFileName(name))
            continue;
        if (QStringView(name).mid(IdLength).startsWith(prefix))
            chosen << name;
    }
    return chosen;
}

QStringList findBackupFiles(const QString& saveFolder, const QString& prefix)
{
    if (saveFolder.isEmpty())
        return {};
    // Hidden entries too: a name starting with a digit is never hidden, and the rule above decides.
    const QStringList names =
        QDir(saveFolder).entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden, QDir::Name);
    return selectBackupNames(names, prefix);
}

} // namespace tolvek
