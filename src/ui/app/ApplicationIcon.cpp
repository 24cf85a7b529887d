#include "ui/app/ApplicationIcon.h"

#include "TolvekVersion.h"

#include <QDir>
#include <QFileInfo>

namespace tolvek {

QIcon applicationIcon(const QString& executableFolder)
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral(TOLVEK_APP_ID));
    if (!themed.isNull())
        return themed;
    return applicationIconBesideExecutable(executableFolder);
}

QIcon applicationIconBesideExecutable(const QString& executableFolder)
{
    for (const char* themeFolder : {"/../share/icons/hicolor", "/../resources/icons/hicolor"}) {
        // Cleaned first: the kernel would need every folder before a ".." to exist.
        const QDir hicolor(QDir::cleanPath(executableFolder + QLatin1String(themeFolder)));
        QIcon icon;
        // The PNG sizes only: reading the scalable one would need Qt's SVG plugin.
        for (const QString& size : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            const QString png = hicolor.filePath(size + QStringLiteral("/apps/" TOLVEK_APP_ID ".png"));
            if (QFileInfo::exists(png))
                icon.addFile(png);
        }
        if (!icon.isNull())
            return icon;
    }
    return {};
}

} // namespace tolvek
