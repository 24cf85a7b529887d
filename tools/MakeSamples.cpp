// Writes sample examination recordings into a folder, through the same stamping, head overlay
// and WMV writer as a real recording: the simulated eye camera, the head brought through a few
// positions, and a memo in the header. Used by `make demo`.
//
// Usage: tolvek_samples FOLDER

#include "core/capture/FrameStamps.h"
#include "core/capture/SimulatedEyeSource.h"
#include "core/media/WmvWriter.h"
#include "core/sensor/HeadOverlay.h"
#include "core/sensor/HeadPose.h"
#include "core/settings/VideoFileName.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>

#include <opencv2/videoio.hpp>

#include <cstdio>

using namespace tolvek;

namespace {

struct Sample
{
    int patientId;
    const char* start; // local time "yyyyMMddhhmmss"
    int seconds;
    int posture;
    std::vector<int> sections; // head positions by hand, one after another
    const char* memo;
};

bool writeSample(const QString& folder, const Sample& s, std::uint32_t seed)
{
    constexpr int W = 640, H = 480, Fps = 30;
    const QDateTime start =
        QDateTime::fromString(QString::fromLatin1(s.start), QStringLiteral("yyyyMMddhhmmss"));
    const QString path = makeSavePath(folder, makeVideoFileName(s.patientId, start));
    media::WmvWriterSettings file;
    file.width = W;
    file.height = H;
    file.fps = Fps;
    file.title = QString::fromUtf8(s.memo);
    media::WmvWriter writer;
    if (!writer.open(path, file))
        return false;
    SimulatedEyeSource::Options o;
    o.width = W;
    o.height = H;
    o.fps = Fps;
    o.seed = seed;
    SimulatedEyeSource eye(o);
    cv::Mat frame;
    const int frames = s.seconds * Fps;
    for (int k = 0; k < frames; ++k) {
        eye.renderFrame(k, frame);
        const std::size_t step = s.sections.empty() ? 0 : std::size_t(k) * s.sections.size() / frames;
        const HeadPose pose =
            s.sections.empty() ? InitialHeadPose : manualPose(s.sections[step]).value_or(InitialHeadPose);
        stampFrame(frame, 0, start.addMSecs(qint64(k) * 1000 / Fps), s.patientId);
        drawHeadOverlay(frame, pose, s.posture);
        if (!writer.write(frame))
            return false;
    }
    return writer.close();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tolvek_samples FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const Sample samples[] = {
        {123, "20250114093012", 8, 1, {5, 4, 6, 5}, "supine, head turned left and right"},
        {123, "20250114094501", 5, 1, {5, 2, 5}, "after Epley manoeuvre"},
        {4567, "20250302151540", 6, 2, {5, 8, 5}, ""},
        {99000000, "20241201101010", 6, 1, {5, 7, 5}, "reference: BPPV right posterior canal"},
    };
    std::uint32_t seed = 7;
    for (const Sample& s : samples) {
        if (!writeSample(folder, s, seed++)) {
            std::fprintf(stderr, "could not write a sample into %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
