#include "core/analysis/AnalyseCommand.h"

#include "core/analysis/AnalysisFiles.h"
#include "core/analysis/VideoAnalysis.h"

#include <QDir>
#include <QFileInfo>

namespace tolvek::analysis {

namespace {

void printLine(std::FILE* stream, const QString& line)
{
    std::fputs((line + u'\n').toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int runAnalyseCommand(const QStringList& videos, const QString& outputFolder, std::FILE* out, std::FILE* err)
{
    int status = 0;
    if (videos.isEmpty()) {
        printLine(err, QStringLiteral("tolvek: --analyse needs at least one video file"));
        return 1;
    }
    for (const QString& video : videos) {
        // The video is read before any folder is made, so a mistyped name creates nothing.
        const VideoAnalysis analysis = analyseVideo(video);
        if (!analysis.ok) {
            printLine(err, QStringLiteral("tolvek: %1: cannot be read: %2").arg(video, analysis.error));
            status = 1;
            continue;
        }
        if (analysis.headData == media::HeadTrackRead::Status::Damaged)
            printLine(err, QStringLiteral("tolvek: %1: head data %2 is damaged (%3); frames without "
                                          "readable head data count as \"unknown\"")
                               .arg(video, media::headTrackPath(video), analysis.headDataProblem));
        const QString folder = outputFolder.isEmpty() ? QFileInfo(video).absolutePath() : outputFolder;
        if (!QDir().mkpath(folder)) {
            printLine(err,
                      QStringLiteral("tolvek: %1: cannot create the output folder %2").arg(video, folder));
            status = 1;
            continue;
        }
        const QStringList paths = analysisFilePaths(folder, video);
        const QByteArray contents[] = {eyeCsv(analysis.samples, analysis.fps),
                                       beatsCsv(analysis.nystagmus.beats),
                                       summaryCsv(analysis.nystagmus.segments)};
        bool written = true;
        for (int i = 0; i < paths.size() && written; ++i) {
            QString error;
            if (!writeFileAtomically(paths[i], contents[i], error)) {
                printLine(err, QStringLiteral("tolvek: %1: cannot write %2: %3").arg(video, paths[i], error));
                written = false;
            }
        }
        if (!written) {
            status = 1;
            continue;
        }
        int tracked = 0;
        for (const PupilSample& s : analysis.samples)
            tracked += s.found && s.confidence >= NystagmusOptions{}.minConfidence;
        printLine(out, QStringLiteral("%1: %2 frames, pupil found in %3, %4 beats -> %5")
                           .arg(video)
                           .arg(analysis.samples.size())
                           .arg(tracked)
                           .arg(analysis.nystagmus.beats.size())
                           .arg(paths.first().chopped(int(qstrlen(".eye.csv")))));
    }
    return status;
}

} // namespace tolvek::analysis
