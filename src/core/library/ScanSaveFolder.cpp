#include "core/library/ScanSaveFolder.h"

#include "core/media/VideoHeaderReader.h"
#include "core/settings/VideoFileName.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace tolvek {

namespace {

struct WorkerResult
{
    int readerReopens = 0;
    std::vector<int> unreadable;
    std::vector<int> withoutLength;
};

// One scan worker: takes record positions from the shared counter until none is left. The reader
// is reused for all files of this worker and starts afresh by itself after many files or a run of
// failures.
void scanWorker(std::atomic<int>& next, VideoLibrary& library, const QString& folder, WorkerResult& result)
{
    VideoHeaderReader reader;
    const int count = int(library.size());
    for (;;) {
        const int i = next.fetch_add(1);
        if (i >= count)
            break;
        VideoRecord& r = library[i];
        const VideoHeaderInfo info = reader.readDurationAndTitle(makeSavePath(folder, r.fileName));
        r.lengthText = formatLengthText(info.seconds);
        r.memo = info.memo;
        if (!info.ok())
            result.unreadable.push_back(i);
        else if (!(info.seconds > 0.0f))
            result.withoutLength.push_back(i);
    }
    result.readerReopens = reader.reopenCount();
}

} // namespace

int scanWorkerCount(int requested, unsigned hardwareThreads, int records)
{
    int n = requested > 0 ? requested : (hardwareThreads == 0 ? 8 : int(std::min(hardwareThreads, 1024u)));
    return std::max(0, std::min(n, records));
}

QStringList listVideoFiles(const QString& folder, ScanStatus* status)
{
    auto report = [status](ScanStatus s) {
        if (status)
            *status = s;
    };
    if (folder.size() > MaxScanFolderLength) {
        report(ScanStatus::PathTooLong);
        return {};
    }
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable()) {
        report(ScanStatus::FolderMissing);
        return {};
    }
    report(ScanStatus::Ok);
    QStringList names;
    QDirIterator it(folder, {QStringLiteral("*.wmv")}, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (isVideoFileName(name))
            names << name;
    }
    std::sort(names.begin(), names.end());
    return names;
}

ScanOutcome readVideoHeaders(const QString& folder, VideoLibrary& library, const ScanOptions& options)
{
    ScanOutcome outcome;
    const int records = int(library.size());
    const int wanted = scanWorkerCount(options.workerCount, std::thread::hardware_concurrency(), records);
    if (wanted == 0)
        return outcome;

    std::atomic<int> next{0};
    std::vector<WorkerResult> results(wanted);
    std::vector<std::thread> workers;
    workers.reserve(wanted);
    for (int k = 0; k < wanted; ++k) {
        try {
            workers.emplace_back(scanWorker, std::ref(next), std::ref(library), std::cref(folder),
                                 std::ref(results[k]));
        } catch (const std::system_error&) {
            break; // the started workers take all records between them
        }
    }
    outcome.workersStarted = int(workers.size());
    if (workers.empty())
        scanWorker(next, library, folder, results[0]); // no thread to be had: read here
    for (std::thread& t : workers)
        t.join();

    std::vector<int> unreadable, withoutLength;
    for (const WorkerResult& r : results) {
        outcome.readerReopens += r.readerReopens;
        unreadable.insert(unreadable.end(), r.unreadable.begin(), r.unreadable.end());
        withoutLength.insert(withoutLength.end(), r.withoutLength.begin(), r.withoutLength.end());
    }
    std::sort(unreadable.begin(), unreadable.end());
    std::sort(withoutLength.begin(), withoutLength.end());
    for (int i : unreadable)
        outcome.unreadableFiles << library[i].fileName;
    for (int i : withoutLength)
        outcome.filesWithoutLength << library[i].fileName;
    return outcome;
}

ScanOutcome scanSaveFolder(const QString& folder, VideoLibrary& library, const ScanOptions& options)
{
    library.clear();
    ScanStatus status = ScanStatus::Ok;
    const QStringList names = listVideoFiles(folder, &status);
    library.reserve(names.size());
    QStringList empty;
    for (const QString& name : names) {
        // A 0-byte file is listed like any unreadable video, so that the user can delete it.
        if (QFileInfo(makeSavePath(folder, name)).size() == 0)
            empty << name;
        library.push_back(recordFromFileName(name));
    }
    ScanOutcome outcome = readVideoHeaders(folder, library, options);
    outcome.status = status;
    outcome.emptyFiles = empty;
    // Reported once, as empty.
    outcome.unreadableFiles.removeIf([&empty](const QString& name) { return empty.contains(name); });
    return outcome;
}

} // namespace tolvek
