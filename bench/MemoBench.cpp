// A memo edit on a large video: in place within the header's reserve (videos the program writes
// now) against the copy of the whole file (videos from before the reserve), side by side. The
// videos are short recordings padded behind their data to the given size, which the copy must
// carry like any other bytes. Goal: the edit in place costs at most 100 ms on a 1 GiB video.
// Usage: bench_Memo [MiB, default 1024] [rounds, default 5]

#include "Median.h"
#include "core/media/VideoTags.h"
#include "core/media/WmvWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tolvek;
using tolvek::bench::median;

namespace {

bool makeVideo(const QString& path, bool reserve, qint64 bytes)
{
    media::WmvWriterSettings s;
    s.width = 320;
    s.height = 240;
    s.headerReserve = reserve;
    media::WmvWriter w;
    if (!w.open(path, s))
        return false;
    cv::Mat f(240, 320, CV_8UC3, cv::Scalar(90, 90, 90));
    for (int i = 0; i < 30; ++i)
        if (!w.write(f))
            return false;
    if (!w.close())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return false;
    const QByteArray block(1 << 20, '\x11');
    while (file.size() < bytes)
        if (file.write(block) != block.size())
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const qint64 mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1024;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QTemporaryDir dir(QStringLiteral("/var/tmp/bench_memo-XXXXXX"));
    const QString inPlace = dir.filePath(QStringLiteral("0000471120260105090000.wmv"));
    const QString copied = dir.filePath(QStringLiteral("0000471120260105090001.wmv"));
    if (!makeVideo(inPlace, true, mib << 20) || !makeVideo(copied, false, mib << 20)) {
        std::fprintf(stderr, "bench_Memo: the videos could not be made\n");
        return 2;
    }
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        const QString memo = QStringLiteral("Lagerung %1, Nystagmus nach rechts").arg(r);
        QElapsedTimer t;
        t.start();
        const bool ok1 = writeVideoTags(inPlace, memo) == TagWriteResult::Written;
        a.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        const bool ok2 = writeVideoTags(copied, memo) == TagWriteResult::Written;
        b.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok1 || !ok2) {
            std::fprintf(stderr, "bench_Memo: a memo could not be written\n");
            return 2;
        }
    }
    std::printf("Memo edit on a %lld MiB video, median of %d (ms, wall clock):\n",
                static_cast<long long>(mib), rounds);
    std::printf("  in place (header reserve): %10.1f\n  whole-file copy:           %10.1f\n  ratio copy / in "
                "place:     %10.1f\n",
                median(a), median(b), median(b) / std::max(median(a), 0.001));
    const bool met = median(a) <= 100.0;
    std::printf("\nGOAL memo edit in place <= 100 ms on %lld MiB: %s\n", static_cast<long long>(mib),
                met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
