#pragma once
// The command line: --help, --version, --camera SOURCE and --analyse FILE... [--output DIR]
// through QCommandLineParser. Words that are not options, such as "/restart" (which may stand
// anywhere), are accepted and left to their readers; after --analyse they are more videos.
// Parsing needs no application object, so --help, --version and --analyse run before any window
// or display exists, and none of them touches the configuration. Pure; any thread.

#include <QString>
#include <QStringList>

namespace tolvek {

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Analyse, Fail };
    Action action = Action::Run;
    QString output; // the help or version text for stdout, or the error for stderr
    // Analyse: the videos and the folder for the results (empty: beside each video).
    QStringList videos;
    QString outputFolder;
    // Fail on an --analyse command line: reported without a window, as the analysis would run.
    bool withoutWindow = false;
};

// arguments: the program's name first, as QCoreApplication::arguments() gives them.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace tolvek
