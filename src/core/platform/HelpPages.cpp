#include "core/platform/HelpPages.h"

#include <QDir>
#include <QFileInfo>

namespace tolvek::platform {

bool isExistingFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

QStringList helpFolders(const QString& executableFolder)
{
    // Cleaned: the kernel would need every folder before a ".." to exist.
    return {QDir::cleanPath(executableFolder + QStringLiteral("/../share/tolvek/help")),
            QDir::cleanPath(executableFolder + QStringLiteral("/help"))};
}

HelpPageLookup findHelpPage(const QString& executableFolder, const QString& languageCode,
                            const FileExists& exists)
{
    const auto page = [](const QString& folder, const QString& code) {
        return QStringLiteral("%1/%2/%3").arg(folder, code, QLatin1String(HelpPageFileName));
    };
    const QString fallback = QString::fromLatin1(FallbackHelpLanguage);
    const QStringList folders = helpFolders(executableFolder);
    HelpPageLookup result;
    result.expected = page(folders.first(), languageCode);
    for (const QString& folder : folders)
        for (const QString& code : {languageCode, fallback})
            if (exists(page(folder, code))) {
                result.page = page(folder, code);
                return result;
            }
    return result;
}

} // namespace tolvek::platform
