#pragma once
// The command line: --help, --version and --camera SOURCE through QCommandLineParser. Words that
// are not options, such as "/restart" (which may stand anywhere), are accepted and left to their
// readers. Parsing needs no application object, so --help and --version are answered before any
// window, display or file is touched. Pure; any thread.

#include <QString>
#include <QStringList>

namespace tolvek {

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, Fail };
    Action action = Action::Run;
    QString output; // the help or version text for stdout, or the error for stderr
};

// arguments: the program's name first, as QCoreApplication::arguments() gives them.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace tolvek
