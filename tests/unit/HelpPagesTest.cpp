// The help pages are found from the executable's folder in the installed and the build layout,
// in the current language or else in English; and every link and picture of the shipped pages
// leads to a file that is there.
#include "core/platform/HelpPages.h"
#include "support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

#include <vector>

using namespace tolvek::platform;
using tolvek::test::TempDir;

namespace {

const QString SourceHelp = QDir::cleanPath(QStringLiteral(TOLVEK_TEST_DATA_DIR "/../../resources/help"));

struct LayoutCase
{
    const char* what;
    std::vector<const char*> pages; // files made under the temporary root
    const char* executableFolder;   // relative to the root
    const char* language;
    const char* expected; // the page found, relative to the root; "" when none
};

} // namespace

TEST(HelpPages, FoundInTheLanguageElseInEnglishInEitherLayout)
{
    const std::vector<LayoutCase> cases{
        {"installed, language present",
         {"usr/share/tolvek/help/en/tolvek.html", "usr/share/tolvek/help/ja/tolvek.html"},
         "usr/bin",
         "ja",
         "usr/share/tolvek/help/ja/tolvek.html"},
        {"installed, language absent",
         {"usr/share/tolvek/help/en/tolvek.html", "usr/share/tolvek/help/ja/tolvek.html"},
         "usr/bin",
         "fr",
         "usr/share/tolvek/help/en/tolvek.html"},
        {"a language folder without its entry page",
         {"usr/share/tolvek/help/en/tolvek.html", "usr/share/tolvek/help/de/other.html"},
         "usr/bin",
         "de",
         "usr/share/tolvek/help/en/tolvek.html"},
        {"build folder", {"build/help/en/tolvek.html"}, "build", "zh-Hans", "build/help/en/tolvek.html"},
        {"build folder, language present",
         {"build/help/en/tolvek.html", "build/help/zh-Hans/tolvek.html"},
         "build",
         "zh-Hans",
         "build/help/zh-Hans/tolvek.html"},
        {"both layouts: the installed one first",
         {"opt/share/tolvek/help/en/tolvek.html", "opt/bin/help/ja/tolvek.html"},
         "opt/bin",
         "ja",
         "opt/share/tolvek/help/en/tolvek.html"},
        {"pages of another prefix do not count",
         {"usr/share/tolvek/help/en/tolvek.html"},
         "opt/bin",
         "en",
         ""},
        {"nothing at all", {}, "usr/bin", "ja", ""},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir root;
        for (const char* page : c.pages) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(root.file(QLatin1String(page))).path()));
            ASSERT_TRUE(root.write(QLatin1String(page), "<html></html>"));
        }
        QDir().mkpath(root.file(QLatin1String(c.executableFolder)));
        const HelpPageLookup found =
            findHelpPage(root.file(QLatin1String(c.executableFolder)), QLatin1String(c.language));
        EXPECT_EQ(found.page, *c.expected ? root.file(QLatin1String(c.expected)) : QString());
    }
}

TEST(HelpPages, NamesThePageInTheLanguageWhenNoneIsFound)
{
    // The executable's folder need not exist for its neighbours to be named.
    const HelpPageLookup none = findHelpPage(QStringLiteral("/nowhere/bin"), QStringLiteral("ko"),
                                             [](const QString&) { return false; });
    EXPECT_TRUE(none.page.isEmpty());
    EXPECT_EQ(none.expected, QStringLiteral("/nowhere/share/tolvek/help/ko/tolvek.html"));

    // A folder named like the page is not a page.
    TempDir root;
    ASSERT_TRUE(QDir().mkpath(root.file(QStringLiteral("bin/help/en/tolvek.html"))));
    EXPECT_TRUE(findHelpPage(root.file(QStringLiteral("bin")), QStringLiteral("en")).page.isEmpty());
}

TEST(HelpPages, EveryLinkAndPictureOfTheShippedPagesResolves)
{
    ASSERT_TRUE(QFileInfo(SourceHelp + QStringLiteral("/en/") + QLatin1String(HelpPageFileName)).isFile());
    // href="..." and src="..." in the pages, url(...) in the style sheets.
    const QRegularExpression reference(
        QStringLiteral(R"((?:\b(?:href|src)\s*=\s*["']([^"']*)["'])|(?:url\(\s*["']?([^"')]*)["']?\s*\)))"));
    const QRegularExpression anchor(QStringLiteral(R"(\bid\s*=\s*["']([^"']+)["'])"));
    int checked = 0;
    QDirIterator it(SourceHelp, {QStringLiteral("*.html"), QStringLiteral("*.css")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = reference.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            const QString target = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
            const QUrl url(target);
            if (target.isEmpty() || !url.scheme().isEmpty()) // a web address or mail link
                continue;
            const QString path =
                url.path().isEmpty() ? file : QDir::cleanPath(QFileInfo(file).path() + u'/' + url.path());
            SCOPED_TRACE((file + QStringLiteral(" -> ") + target).toStdString());
            ASSERT_TRUE(QFileInfo(path).isFile());
            EXPECT_TRUE(path.startsWith(SourceHelp + u'/')); // installed with the pages
            if (url.hasFragment()) {
                QFile page(path);
                ASSERT_TRUE(page.open(QIODevice::ReadOnly));
                QStringList ids;
                for (auto a = anchor.globalMatch(QString::fromUtf8(page.readAll())); a.hasNext();)
                    ids << a.next().captured(1);
                EXPECT_TRUE(ids.contains(url.fragment()));
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}
