#include "core/settings/Storage.h"

#include "core/platform/DataLocation.h"

#include <QDir>

namespace tolvek {

QString locateDataFolder()
{
    return platform::dataFolder();
}

StoragePaths storagePathsFor(const QString& dataFolder)
{
    StoragePaths p;
    p.dataFolder = dataFolder.endsWith(u'/') ? dataFolder : dataFolder + u'/';
    p.configPath = p.dataFolder + QString::fromLatin1(ConfigFileName);
    p.defaultSaveFolder = p.dataFolder + QStringLiteral("gazou");
    return p;
}

StorageOutcome initStorage(Settings& settings, const QString& dataFolder)
{
    StorageOutcome out;
    out.paths = storagePathsFor(dataFolder);
    // Parents are created too: on a fresh account the generic data location may not exist yet.
    QDir().mkpath(out.paths.dataFolder);
    out.load = loadSettings(settings, out.paths.configPath);
    if (out.load.mustExit)
        return out;
    QDir().mkdir(out.paths.defaultSaveFolder);
    if (settings.value(SaveFolder).isEmpty())
        settings.setValue(SaveFolder, out.paths.defaultSaveFolder);
    return out;
}

} // namespace tolvek
