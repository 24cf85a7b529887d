#pragma once
// Where the help pages of a language are, found from the executable's folder: the installed
// layout (<prefix>/bin/tolvek beside <prefix>/share/tolvek/help) and a "help" folder next to the
// executable (the build folder, into which the build copies the pages, or a portable copy).
// Each folder gives the page in the language, else the English one. Pure apart from the
// existence test it is handed; thread-safe.

#include <QString>
#include <QStringList>

#include <functional>

namespace tolvek::platform {

inline constexpr char HelpPageFileName[] = "tolvek.html";
inline constexpr char FallbackHelpLanguage[] = "en";

using FileExists = std::function<bool(const QString& path)>;

// True when path is an existing file (not a folder).
bool isExistingFile(const QString& path);

// The help folders looked in, in order, for an executable in executableFolder.
QStringList helpFolders(const QString& executableFolder);

struct HelpPageLookup
{
    QString page;     // the page to open; empty when none was found
    QString expected; // the page in the language in the first folder: named when none is found
};

// The entry page for languageCode ("ja", "en", "zh-Hans", ...): in the first help folder that has
// it in that language or, failing that, in English.
HelpPageLookup findHelpPage(const QString& executableFolder, const QString& languageCode,
                            const FileExists& exists = isExistingFile);

} // namespace tolvek::platform
