#include "ui/app/CommandLine.h"

#include "TolvekVersion.h"

#include <QCommandLineParser>
#include <QFileInfo>

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
    if (!parsed) {
        result.action = CommandLine::Action::Fail;
        result.output = parser.errorText() + QStringLiteral("\nSee 'tolvek --help'.\n");
    }
    return result;
}

} // namespace tolvek
