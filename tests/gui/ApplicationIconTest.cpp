// The window icon is found in the source tree and in an installed layout under any prefix.
#include "ui/app/ApplicationIcon.h"
#include "TolvekVersion.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tolvek;
using tolvek::test::TempDir;

namespace {

const QString SourceIcons =
    QDir::cleanPath(QStringLiteral(TOLVEK_TEST_DATA_DIR "/../../resources/icons/hicolor"));
const QString IconFile = QStringLiteral("/apps/" TOLVEK_APP_ID ".png");

QList<int> widths(const QIcon& icon)
{
    QList<int> out;
    for (const QSize& size : icon.availableSizes())
        out << size.width();
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(ApplicationIcon, FromTheSourceTreeBesideABuildFolder)
{
    // The build folder need not exist for the path to resolve.
    const QIcon icon =
        applicationIconBesideExecutable(QStringLiteral(TOLVEK_TEST_DATA_DIR "/../../build-any"));
    EXPECT_EQ(widths(icon), (QList<int>{16, 22, 24, 32, 48, 64, 128, 256, 512}));
    EXPECT_EQ(icon.pixmap(48).size(), QSize(48, 48));
}

TEST(ApplicationIcon, FromAnInstalledLayoutUnderAnyPrefix)
{
    TempDir prefix;
    QDir().mkpath(prefix.file("bin"));
    for (const char* size : {"16x16", "48x48"}) {
        const QString to =
            prefix.file(QStringLiteral("share/icons/hicolor/") + QLatin1String(size) + IconFile);
        QDir().mkpath(QFileInfo(to).path());
        ASSERT_TRUE(QFile::copy(SourceIcons + u'/' + QLatin1String(size) + IconFile, to));
    }
    EXPECT_EQ(widths(applicationIconBesideExecutable(prefix.file("bin"))), (QList<int>{16, 48}));
    // Neither layout there: no icon, and no failure.
    EXPECT_TRUE(applicationIconBesideExecutable(prefix.file("share/icons")).isNull());
}
