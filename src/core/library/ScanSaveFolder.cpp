#include "core/library/ScanSaveFolder.h"

#include "core/media/VideoHeaderReader.h"
#include "core/platform/WorkerThread.h"
#include "core/settings/VideoFileName.h"

#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace tolvek {

namespace {

// A scan that reads no header for this long gives up on the workers still reading (a file that
// hangs a read, on a failing disk or a dead network share); their records count as unreadable.
constexpr auto ScanStallBound = std::chrono::seconds(30);
constexpr auto ScanWaitSlice = std::chrono::milliseconds(100);

// What the scan workers share with the caller, so that a worker given up on reaches nothing the
// caller owns: the names, one result per record, and the counters.
struct HeaderScan
{
    enum class Kind { Read, Unreadable, WithoutLength };
    struct Result
    {
        QString lengthText;
        QString memo;
        Kind kind = Kind::Unreadable;
    };

    HeaderScan(QString folder, std::vector<QString> names)
        : folder(std::move(folder)), names(std::move(names)), results(this->names.size()),
          done(this->names.size())
    {
    }

    const QString folder;
    const std::vector<QString> names;
    std::atomic<int> next{0};
    // results[i] is written by the one worker that took i, before done[i] is set.
    std::vector<Result> results;
    std::vector<std::atomic<bool>> done;
    std::atomic<int> recordsRead{0};
    std::atomic<int> readerReopens{0};
};

// One scan worker: takes record positions from the shared counter until none is left or a stop is
// asked for. The reader is reused for all files of this worker and starts afresh by itself after
// many files or a run of failures.
void scanWorker(HeaderScan& scan, const std::stop_token& stop)
{
    VideoHeaderReader reader;
    const int count = int(scan.names.size());
    while (!stop.stop_requested()) {
        const int i = scan.next.fetch_add(1);
        if (i >= count)
            break;
        HeaderScan::Result& r = scan.results[i];
        const VideoHeaderInfo info = reader.readDurationAndTitle(makeSavePath(scan.folder, scan.names[i]));
        r.lengthText = formatLengthText(info.seconds);
        r.memo = info.memo;
        if (!info.ok())
            r.kind = HeaderScan::Kind::Unreadable;
        else if (!(info.seconds > 0.0f))
            r.kind = HeaderScan::Kind::WithoutLength;
        else
            r.kind = HeaderScan::Kind::Read;
        scan.done[i].store(true, std::memory_order_release);
        ++scan.recordsRead;
    }
    scan.readerReopens += reader.reopenCount();
}

// Waits for every worker while the scan makes progress; gives up on those still running once no
// header was read for ScanStallBound.
void waitForWorkers(std::vector<std::unique_ptr<platform::WorkerThread>>& workers, const HeaderScan& scan)
{
    using Clock = std::chrono::steady_clock;
    int seen = scan.recordsRead.load();
    Clock::time_point lastProgress = Clock::now();
    for (auto& worker : workers) {
        while (!worker->wait(ScanWaitSlice)) {
            if (const int read = scan.recordsRead.load(); read != seen) {
                seen = read;
                lastProgress = Clock::now();
            } else if (Clock::now() - lastProgress > ScanStallBound) {
                for (auto& stuck : workers) {
                    stuck->requestStop();
                    stuck->abandon();
                }
                return;
            }
        }
    }
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

    std::vector<QString> names;
    names.reserve(library.size());
    for (const VideoRecord& r : library)
        names.push_back(r.fileName);
    const auto scan = std::make_shared<HeaderScan>(folder, std::move(names));
    std::vector<std::unique_ptr<platform::WorkerThread>> workers;
    workers.reserve(wanted);
    for (int k = 0; k < wanted; ++k) {
        auto worker = std::make_unique<platform::WorkerThread>(QStringLiteral("ScanWorker"),
                                                               std::chrono::milliseconds(0));
        if (!worker->start([scan](platform::WorkerRun& run) { scanWorker(*scan, run.stopToken()); }))
            break; // the started workers take all records between them
        workers.push_back(std::move(worker));
    }
    outcome.workersStarted = int(workers.size());
    if (workers.empty())
        scanWorker(*scan, {}); // no thread to be had: read here
    waitForWorkers(workers, *scan);
    outcome.readerReopens = scan->readerReopens.load();

    for (int i = 0; i < records; ++i) {
        VideoRecord& r = library[i];
        if (!scan->done[i].load(std::memory_order_acquire)) {
            r.lengthText = formatLengthText(0.0f); // given up on: listed as unreadable
            r.memo.clear();
            outcome.unreadableFiles << r.fileName;
            continue;
        }
        const HeaderScan::Result& result = scan->results[i];
        r.lengthText = result.lengthText;
        r.memo = result.memo;
        if (result.kind == HeaderScan::Kind::Unreadable)
            outcome.unreadableFiles << r.fileName;
        else if (result.kind == HeaderScan::Kind::WithoutLength)
            outcome.filesWithoutLength << r.fileName;
    }
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
