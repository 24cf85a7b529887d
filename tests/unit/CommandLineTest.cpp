// The command line: what runs the program, what only prints, and what is refused.
#include "ui/app/CommandLine.h"
#include "TolvekVersion.h"

#include <gtest/gtest.h>

using namespace tolvek;
using Action = CommandLine::Action;

TEST(CommandLine, ActionsForTheArguments)
{
    const struct
    {
        QStringList arguments;
        Action action;
    } cases[] = {
        {{"tolvek"}, Action::Run},
        {{"tolvek", "/restart"}, Action::Run},
        {{"tolvek", "--camera", "sim", "/restart"}, Action::Run},
        {{"tolvek", "/restart", "--camera=rtsp://10.0.0.5/eye"}, Action::Run},
        {{"tolvek", "--camera", "/restart"}, Action::Run}, // "/restart" as the camera's value
        {{"tolvek", "x/restarty"}, Action::Run},
        {{"tolvek", "--help"}, Action::ShowHelp},
        {{"tolvek", "-h"}, Action::ShowHelp},
        {{"tolvek", "--no-such-option", "--help"}, Action::ShowHelp},
        {{"tolvek", "/restart", "--version"}, Action::ShowVersion},
        {{"tolvek", "-v"}, Action::ShowVersion},
        {{"tolvek", "--no-such-option"}, Action::Fail},
        {{"tolvek", "--camera"}, Action::Fail}, // no value
        {{"tolvek", "--analyse", "a.wmv"}, Action::Analyse},
        {{"tolvek", "--analyze", "a.wmv", "--output", "out"}, Action::Analyse},
        {{"tolvek", "--analyse"}, Action::Fail},       // no video
        {{"tolvek", "--output", "out"}, Action::Fail}, // nothing to analyse
        {{"tolvek", "--analyse", "a.wmv", "--help"}, Action::ShowHelp},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        EXPECT_EQ(parseCommandLine(c.arguments).action, c.action);
    }
}

TEST(CommandLine, TextsNameTheProgramItsOptionsAndVersion)
{
    const QString help = parseCommandLine({"/usr/bin/tolvek", "--help"}).output;
    EXPECT_TRUE(help.startsWith(QStringLiteral("Usage: tolvek [options] [/restart]"))) << help.toStdString();
    for (const char* part :
         {"--camera <SOURCE>", "--version", "TOLVEK_CAMERA", "TOLVEK_DATA_DIR", "system.conf"})
        EXPECT_TRUE(help.contains(QLatin1String(part))) << part;

    EXPECT_EQ(parseCommandLine({"tolvek", "--version"}).output,
              QStringLiteral("Tolvek " TOLVEK_VERSION "\n"));

    const QString error = parseCommandLine({"tolvek", "--bogus"}).output;
    EXPECT_TRUE(error.contains(QStringLiteral("bogus"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("tolvek --help"))) << error.toStdString();
}

TEST(CommandLine, AnalyseTakesEveryVideoAndTheOutputFolder)
{
    const CommandLine c = parseCommandLine(
        {"tolvek", "--analyse", "a.wmv", "b c.wmv", "--output", "/tmp/r", "/restart", "d.wmv"});
    EXPECT_EQ(c.action, Action::Analyse);
    EXPECT_EQ(c.videos, QStringList({"a.wmv", "b c.wmv", "d.wmv"}));
    EXPECT_EQ(c.outputFolder, QStringLiteral("/tmp/r"));

    // Mistakes on an analysis command line are reported without a window; others as before.
    EXPECT_TRUE(parseCommandLine({"tolvek", "--analyse"}).withoutWindow);
    EXPECT_TRUE(parseCommandLine({"tolvek", "--output", "x"}).withoutWindow);
    EXPECT_FALSE(parseCommandLine({"tolvek", "--bogus"}).withoutWindow);

    const QString help = parseCommandLine({"tolvek", "--help"}).output;
    for (const char* part : {"--analyse, --analyze <FILE>", "--output <DIR>", ".summary.csv"})
        EXPECT_TRUE(help.contains(QLatin1String(part))) << part;
}
