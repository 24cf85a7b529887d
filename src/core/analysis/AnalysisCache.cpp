#include "core/analysis/AnalysisCache.h"

#include "core/analysis/AnalysisFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace tolvek::analysis {

namespace {

std::optional<QStringList> readLines(const QString& path, const char* header)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty() || lines.takeFirst().trimmed() != QLatin1String(header))
        return std::nullopt;
    return lines;
}

// A number field; an empty one is `empty` when allowed.
bool toNumber(const QString& text, double& value, bool allowEmpty = false, double empty = 0.0)
{
    if (text.isEmpty()) {
        value = empty;
        return allowEmpty;
    }
    bool ok = false;
    value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

std::optional<BeatDirection> directionOf(const QString& name)
{
    for (BeatDirection d : {BeatDirection::None, BeatDirection::Left, BeatDirection::Right, BeatDirection::Up,
                            BeatDirection::Down})
        if (beatDirectionName(d) == name)
            return d;
    return std::nullopt;
}

} // namespace

QStringList splitCsvLine(const QString& line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
    }
    fields << field;
    return fields;
}

bool analysisCacheIsFresh(const QString& videoPath, const QStringList& otherSources)
{
    const QFileInfo video(videoPath);
    if (!video.exists())
        return false;
    QDateTime newestSource = video.lastModified();
    for (const QString& source : otherSources) {
        const QFileInfo info(source);
        if (info.exists() && info.lastModified() > newestSource)
            newestSource = info.lastModified();
    }
    for (const QString& path : analysisFilePaths(video.absolutePath(), videoPath)) {
        const QFileInfo cached(path);
        if (!cached.exists() || cached.lastModified() < newestSource)
            return false;
    }
    return true;
}

std::optional<VideoAnalysis> readAnalysisCache(const QString& videoPath)
{
    const QStringList paths = analysisFilePaths(QFileInfo(videoPath).absolutePath(), videoPath);
    const auto eye = readLines(paths[0], EyeCsvHeader);
    const auto beats = readLines(paths[1], BeatsCsvHeader);
    const auto summary = readLines(paths[2], SummaryCsvHeader);
    if (!eye || !beats || !summary || eye->isEmpty())
        return std::nullopt;

    VideoAnalysis result;
    result.samples.reserve(std::size_t(eye->size()));
    double lastTime = 0.0;
    for (const QString& line : *eye) {
        const QStringList f = line.split(u',');
        double frame = 0, time = 0, x = 0, y = 0, radius = 0, confidence = 0;
        if (f.size() != 6 || !toNumber(f[0], frame) || frame != double(result.samples.size()) ||
            !toNumber(f[1], time) || !toNumber(f[2], x, true) || !toNumber(f[3], y, true) ||
            !toNumber(f[4], radius, true) || !toNumber(f[5], confidence))
            return std::nullopt;
        PupilSample s;
        s.found = !f[2].isEmpty() && !f[3].isEmpty();
        if (s.found) {
            s.x = x;
            s.y = y;
            s.radius = radius;
        }
        s.confidence = confidence;
        result.samples.push_back(s);
        lastTime = time;
    }
    // The frame rate is not a column of its own: frame k lies at k / fps seconds.
    const double frames = double(result.samples.size() - 1);
    result.fps = frames > 0 && lastTime > 0 ? frames / lastTime : 30.0;

    for (const QString& line : *beats) {
        const QStringList f = line.split(u',');
        Beat b;
        double spvX = 0, spvY = 0;
        const auto direction = f.size() == 5 ? directionOf(f[2]) : std::nullopt;
        if (!direction || !toNumber(f[0], b.start) || !toNumber(f[1], b.end) || !toNumber(f[3], spvX) ||
            !toNumber(f[4], spvY))
            return std::nullopt;
        b.direction = *direction;
        b.spv = {spvX, spvY};
        b.firstFrame = int(std::lround(b.start * result.fps));
        b.lastFrame = int(std::lround(b.end * result.fps));
        result.nystagmus.beats.push_back(b);
    }

    for (const QString& line : *summary) {
        const QStringList f = splitCsvLine(line);
        HeadSegment s;
        double beatCount = 0, spvX = 0, spvY = 0;
        const auto direction = f.size() == 8 ? directionOf(f[3]) : std::nullopt;
        if (!direction || !toNumber(f[0], s.start) || !toNumber(f[1], s.end) || !toNumber(f[4], beatCount) ||
            !toNumber(f[5], s.beatsPerSecond) || !toNumber(f[6], spvX, true) || !toNumber(f[7], spvY, true))
            return std::nullopt;
        s.headPosition = f[2];
        s.direction = *direction;
        s.beats = int(beatCount);
        s.meanSpv = {spvX, spvY};
        s.firstFrame = int(std::lround(s.start * result.fps));
        s.lastFrame = std::max(s.firstFrame, int(std::lround(s.end * result.fps)) - 1);
        result.nystagmus.segments.push_back(s);
    }
    result.ok = true;
    return result;
}

bool writeAnalysisCache(const QString& videoPath, const VideoAnalysis& analysis, QString& error)
{
    const QStringList paths = analysisFilePaths(QFileInfo(videoPath).absolutePath(), videoPath);
    const QByteArray contents[] = {eyeCsv(analysis.samples, analysis.fps), beatsCsv(analysis.nystagmus.beats),
                                   summaryCsv(analysis.nystagmus.segments)};
    for (int i = 0; i < paths.size(); ++i) {
        if (!writeFileAtomically(paths[i], contents[i], error)) {
            for (int k = 0; k < i; ++k)
                QFile::remove(paths[k]);
            return false;
        }
    }
    return true;
}

} // namespace tolvek::analysis
