#include "ui/app/CommandLine.h"

#include "TolvekVersion.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>

namespace tolvek {

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Records and reviews the infrared eye videos of nystagmus examinations, with the head\n"
        "position burnt into every frame.\n\n"
        "Environment:\n"
        "  TOLVEK_CAMERA    the camera source when --camera is not given\n"
        "  TOLVEK_DATA_DIR  the data folder (settings, default video folder); else the folder\n"
        "                   named in /etc/xdg/Tolvek/system.conf, else ~/.local/share/Tolvek"));
    // Not addHelpOption(): its --help-all lists Qt's own options, which only a program with an open
    // display can name.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption({QStringLiteral("camera"),
                      QStringLiteral("Use SOURCE as the only camera: \"sim\" for the built-in simulated eye "
                                     "camera, or a video file, stream URL or GStreamer pipeline."),
                      QStringLiteral("SOURCE")});
    const QCommandLineOption analyse(
        {QStringLiteral("analyse"), QStringLiteral("analyze")},
        QStringLiteral(
            "Measure the pupil and the nystagmus in each video FILE (more files may follow) and write\n"
            "NAME.eye.csv, NAME.beats.csv and NAME.summary.csv beside it, then exit."),
        QStringLiteral("FILE"));
    parser.addOption(analyse);
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("With --analyse: write the files into DIR instead."),
                                    QStringLiteral("DIR"));
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("/restart"),
                                 QStringLiteral("Start even while another copy is running."),
                                 QStringLiteral("[/restart]"));

    CommandLine result;
    const bool parsed = parser.parse(arguments);
    // Asked for help or the version, the user gets it even beside a mistake in other arguments.
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::ShowHelp;
        // The usage line names the program as these arguments do: Qt would take the name from
        // the application object, which does not exist yet (or, in a test, is another program).
        const QString program =
            arguments.isEmpty() ? QStringLiteral("tolvek") : QFileInfo(arguments.first()).fileName();
        result.output = parser.helpText();
        result.output.replace(0, result.output.indexOf(u'\n'),
                              QStringLiteral("Usage: %1 [options] [/restart]").arg(program));
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::ShowVersion;
        result.output = QStringLiteral("Tolvek " TOLVEK_VERSION "\n");
        return result;
    }
    const bool analysing =
        parser.isSet(analyse) || std::any_of(arguments.begin() + std::min<qsizetype>(1, arguments.size()),
                                             arguments.end(), [](const QString& a) {
                                                 return a.startsWith(QLatin1String("--analyse")) ||
                                                        a.startsWith(QLatin1String("--analyze"));
                                             });
    if (!parsed) {
        result.action = CommandLine::Action::Fail;
        result.output = parser.errorText() + QStringLiteral("\nSee 'tolvek --help'.\n");
        result.withoutWindow = analysing;
        return result;
    }
    if (parser.isSet(analyse)) {
        result.action = CommandLine::Action::Analyse;
        result.videos = parser.values(analyse);
        for (const QString& word : parser.positionalArguments()) {
            if (word != QLatin1String("/restart"))
                result.videos << word;
        }
        result.outputFolder = parser.value(output);
    } else if (parser.isSet(output)) {
        result.action = CommandLine::Action::Fail;
        result.output = QStringLiteral("--output is used only with --analyse.\nSee 'tolvek --help'.\n");
        result.withoutWindow = true;
    }
    return result;
}

} // namespace tolvek
