// The library scan against the I/O floor: a folder of 10,000 small WMV files (made once and kept
// under the build folder) is scanned in full, and compared with reading the first 16 KiB of every
// file one after the other. Goal: the scan takes at most 3 x the floor on a warm cache. Then the
// main window is built and its lists filled from the same folder; goal: within 1 s.
// Usage: bench_LibraryScan [file count]

#include "core/library/ScanSaveFolder.h"
#include "core/media/VideoTags.h"
#include "core/media/WmvWriter.h"
#include "core/settings/Settings.h"
#include "core/settings/Storage.h"
#include "core/settings/VideoFileName.h"
#include "ui/app/CTolvek2Dlg.h"
#include "ui/library/VideoLists.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tolvek;

namespace {

bool makeSource(const QString& path)
{
    media::WmvWriter writer;
    if (!writer.open(path,
                     {.width = 64, .height = 48, .fps = 30.0, .productMark = false, .headerReserve = false}))
        return false;
    cv::Mat frame(48, 64, CV_8UC3);
    for (int i = 0; i < 45; ++i) {
        frame.setTo(cv::Scalar(i * 5, 128, 255 - i * 5));
        if (!writer.write(frame))
            return false;
    }
    return writer.close();
}

// The folder of `count` videos, made on the first run only.
QString prepareFolder(int count)
{
    const QString folder = QStringLiteral(TOLVEK_BENCH_DATA_DIR "/library-%1").arg(count);
    const QString done = folder + QStringLiteral("/.complete");
    if (QFile::exists(done))
        return folder;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString source = folder + QStringLiteral("/.source.wmv");
    if (!makeSource(source))
        return {};
    const QDateTime start(QDate(2020, 1, 1), QTime(8, 0, 0));
    for (int i = 0; i < count; ++i) {
        const QString name =
            makeVideoFileName(i % 10 == 0 ? ReferenceId : 1000 + i % 300, start.addSecs(i * 97));
        const QString path = makeSavePath(folder, name);
        if (!QFile::copy(source, path))
            return {};
        if (i % 4 == 0)
            writeVideoTags(path, QStringLiteral("memo %1").arg(i));
    }
    QFile::remove(source);
    QFile marker(done);
    marker.open(QIODevice::WriteOnly);
    return folder;
}

double bestOf(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;

    std::printf("library scan: preparing %d files...\n", count);
    const QString folder = prepareFolder(count);
    if (folder.isEmpty()) {
        std::printf("library scan: could not make the test folder\n");
        return 1;
    }
    const QStringList names = listVideoFiles(folder);

    QByteArray buffer(16 * 1024, '\0');
    qint64 bytes = 0;
    auto readHeads = [&] {
        bytes = 0;
        for (const QString& name : names) {
            QFile f(makeSavePath(folder, name));
            if (f.open(QIODevice::ReadOnly))
                bytes += f.read(buffer.data(), buffer.size());
        }
    };
    readHeads(); // warm the cache
    const double floorMs = bestOf(3, readHeads);

    VideoLibrary library;
    ScanOutcome outcome;
    const double scanMs = bestOf(3, [&] { outcome = scanSaveFolder(folder, library); });
    const double sequentialMs = bestOf(1, [&] { scanSaveFolder(folder, library, ScanOptions{1}); });

    std::printf("library scan: %d videos, %d workers, %d unreadable\n", int(library.size()),
                outcome.workersStarted, int(outcome.unreadableFiles.size()));
    std::printf("  floor (first 16 KiB of each file, one after the other): %8.1f ms\n", floorMs);
    std::printf(
        "  scan, parallel:                                          %8.1f ms  = %.2f x floor (goal <= 3)\n",
        scanMs, scanMs / floorMs);
    std::printf("  scan, one worker:                                        %8.1f ms  = %.2f x floor\n",
                sequentialMs, sequentialMs / floorMs);

    QTemporaryDir data;
    appSettings().resetToDefaults();
    const StorageOutcome storage = initStorage(appSettings(), data.path() + QStringLiteral("/"));
    appSettings().setValue(SaveFolder, folder);
    MainWindowServices services;
    services.paths = storage.paths;
    services.countCameras = [] { return 0; };
    QElapsedTimer t;
    t.start();
    CTolvek2Dlg window(services);
    VideoLists lists(window, nullptr);
    lists.reload();
    window.show();
    QCoreApplication::processEvents();
    const double windowMs = t.nsecsElapsed() / 1e6;
    std::printf("  window built, scanned, lists filled and shown:           %8.1f ms  (goal < 1000)\n",
                windowMs);
    return 0;
}
