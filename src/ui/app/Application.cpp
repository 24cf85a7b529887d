#include "ui/app/Application.h"

#include "TolvekVersion.h"
#include "core/analysis/AnalyseCommand.h"
#include "core/capture/CameraDevices.h"
#include "core/capture/FrameSource.h"
#include "core/i18n/UiTexts.h"
#include "core/media/HeaderJournal.h"
#include "core/media/VideoTags.h"
#include "core/platform/DurableFiles.h"
#include "core/platform/ExternalTools.h"
#include "core/platform/PowerRequest.h"
#include "core/platform/ProfileStore.h"
#include "core/platform/SingleInstance.h"
#include "core/sensor/ComPortList.h"
#include "core/settings/Storage.h"
#include "ui/app/ApplicationIcon.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/app/CommandLine.h"
#include "ui/app/QtUserPrompts.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

#include <cstdio>

namespace tolvek {

Q_LOGGING_CATEGORY(lcStartup, "tolvek.startup", QtWarningMsg)

namespace {

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int runApplication(int argc, char** argv)
{
    // --help, --version and --analyse are answered before the application object exists: they
    // need no display, and neither the configuration nor the data folder is touched.
    const CommandLine early = parseCommandLine(argumentsOf(argc, argv));
    if (early.action == CommandLine::Action::ShowHelp || early.action == CommandLine::Action::ShowVersion) {
        std::fputs(early.output.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (early.action == CommandLine::Action::Analyse)
        return analysis::runAnalyseCommand(early.videos, early.outputFolder, stdout, stderr);
    if (early.action == CommandLine::Action::Fail && early.withoutWindow) {
        std::fputs(early.output.toLocal8Bit().constData(), stderr);
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tolvek"));
    QApplication::setApplicationName(QStringLiteral("Tolvek"));
    QApplication::setApplicationVersion(QStringLiteral(TOLVEK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TOLVEK_APP_ID));
    QApplication::setWindowIcon(applicationIcon(QCoreApplication::applicationDirPath()));
    // Qt has taken its own options (-platform, -style ...) out by now, so what is left unknown is
    // a mistake of the caller.
    const CommandLine commandLine = parseCommandLine(QCoreApplication::arguments());
    if (commandLine.action == CommandLine::Action::Fail) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), stderr);
        return 2;
    }

    // One copy at a time, unless "/restart" appears anywhere on the command line. A second copy
    // raises the first and ends before it reads the configuration.
    platform::SingleInstance instance;
    if (!platform::SingleInstance::hasRestartArgument(QCoreApplication::arguments()) && !instance.acquire()) {
        const bool raised = instance.activateRunning();
        qCInfo(lcStartup) << "another copy is running; raised:" << raised;
        return 0;
    }

    // Working files of a copy that was killed or lost its power go before anything is listed; a
    // header write it had begun is completed first.
    for (const QString& removed : platform::sweepLeftoverWorkingFiles(platform::workingFileJournal(),
                                                                      &media::finishInterruptedHeaderWrite))
        qCInfo(lcStartup) << "removed a working file left behind:" << removed;

    QtUserPrompts prompts;
    const StorageOutcome storage = initStorage(appSettings());
    for (const QString& message : storage.load.messages)
        prompts.message(nullptr, localizedConfigMessage(message, storage.paths.configPath),
                        UserPrompts::Icon::Error);
    if (storage.load.mustExit)
        return 0;

    platform::ProfileStore profile;
    platform::PowerRequest power;
    platform::ExternalTools tools;
    MainWindowServices services;
    services.prompts = &prompts;
    services.profile = &profile;
    services.power = &power;
    services.tools = &tools;
    services.paths = storage.paths;
    // A camera given on the command line (or "sim") becomes the only camera.
    const QString cameraSource = commandLineCameraSource(QCoreApplication::arguments());
    services.countCameras = [cameraSource] { return countCameras(cameraSource); };
    services.cameraNames = [cameraSource] { return enumerateCameras(cameraSource); };
    services.recording.cameraDevicePath = [cameraSource]() -> QString {
        if (!cameraSource.isEmpty())
            return {}; // the simulated camera or a file given on the command line
        const std::vector<CameraDevice> devices = listCaptureDevices();
        const int index = appSettings().getInt(CameraNumber);
        if (index < 0 || index >= int(devices.size()))
            return {};
        return QStringLiteral("/dev/video%1").arg(devices[std::size_t(index)].node);
    };
    services.recording.frameSources = [cameraSource](int index) {
        return makeFrameSource(cameraSource, index, appSettings());
    };
    services.serialPorts = [] { return enumerateComPorts(); };
    services.recording.writeCopyrightTag = [](const QString& path) { writeCopyrightTag(path); };

    CTolvek2Dlg window(services);
    QObject::connect(&instance, &platform::SingleInstance::activationRequested, &window, [&window] {
        qCInfo(lcStartup) << "raising the window for a second copy";
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.show();
        window.raise();
        window.activateWindow();
    });
    window.show();
    return app.exec();
}

} // namespace tolvek
