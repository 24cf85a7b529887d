#pragma once
// Where Tolvek keeps its files: the data folder, the configuration path and the default save
// folder. Paths join with "/"; the data folder always ends with "/".
// Failure modes: folders that cannot be created are ignored here; the configuration load then
// reports the unusable file and the caller ends the program.

#include "core/settings/ConfigFile.h"

#include <QString>

namespace tolvek {

struct StoragePaths
{
    QString dataFolder;        // DataFolder, with a trailing "/"
    QString configPath;        // ConfigPath
    QString defaultSaveFolder; // DataFolder + "gazou", no trailing "/"
};

// $TOLVEK_DATA_DIR when set, else the administrator's system-wide folder (system.conf), else the
// generic data location + "/Tolvek/" (platform::dataFolder).
QString locateDataFolder();
StoragePaths storagePathsFor(const QString& dataFolder);

struct StorageOutcome
{
    StoragePaths paths;
    LoadOutcome load;
};

// InitStorage: creates the data folder, loads the configuration, creates "gazou" and fills an
// empty SaveFolder with it.
StorageOutcome initStorage(Settings& settings, const QString& dataFolder = locateDataFolder());

} // namespace tolvek
