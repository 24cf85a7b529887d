#pragma once
// Reading and writing "Tolvek_config.ini". The functions never show anything themselves: they
// return the texts the caller must show, so the same rules serve the window and the tests.
// Failure modes: an unusable file ends the program (LoadOutcome::mustExit); a failed save keeps
// the previous file, because the new one is written beside it and renamed over it.

#include "core/settings/Settings.h"

#include <QString>
#include <QStringList>

namespace tolvek {

inline constexpr char ConfigFileName[] = "Tolvek_config.ini";

struct LoadOutcome
{
    QStringList messages;   // message boxes to show, in order
    bool mustExit = false;  // the configuration failed its check: end with exit code 0
    bool created = false;   // the file was missing and was created with the defaults
    bool rewritten = false; // the file was not UTF-8 and was rewritten as UTF-8
};

// LoadSettings: fills settings from configPath, creating or re-encoding the file as needed.
LoadOutcome loadSettings(Settings& settings, const QString& configPath);

// SaveSettings: stores the list's five column widths (when given) and writes the file.
// Returns the messages to show (empty on success).
QStringList saveSettings(Settings& settings, const QString& configPath, const QList<int>& columnWidths = {});

// "LoadCon ..." / "SaveConfig ..." texts with the path in both places.
QString configDestroyedMessage(const QString& prefix, const QString& configPath);
inline constexpr char ConfigLoadStage[] = "LoadCon";
inline constexpr char ConfigSaveStage[] = "SaveConfig";
// The other messages, as returned.
inline constexpr char ConfigNotCreatedText[] = "Failed to create config file.";
inline constexpr char ConfigCannotWriteText[] = "Cannot open config file for writing.";
inline constexpr char ConfigNotSavedText[] = "Failed to save config (UTF-8).";

} // namespace tolvek
