#include "core/analysis/AnalysisFiles.h"

#include "core/platform/DurableFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace tolvek::analysis {

namespace {

QByteArray number(double value, int decimals)
{
    // QByteArray::number ignores the locale: always a point, never a thousands separator.
    QByteArray text = QByteArray::number(value, 'f', decimals);
    if (text == "-0" || (text.startsWith("-0.") && text.count('0') == text.size() - 2))
        text.remove(0, 1); // no "-0.000" for a value that rounds to zero
    return text;
}

// A label as one CSV field: quoted when it holds a comma, quote or line break.
QByteArray field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        bytes.replace("\"", "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

} // namespace

QByteArray eyeCsv(const std::vector<PupilSample>& samples, double fps)
{
    QByteArray out = QByteArray(EyeCsvHeader) + '\n';
    out.reserve(int(samples.size()) * 40 + out.size());
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const PupilSample& s = samples[k];
        out += QByteArray::number(qulonglong(k)) + ',' + number(fps > 0 ? double(k) / fps : 0.0, 4) + ',';
        if (s.found)
            out += number(s.x, 3) + ',' + number(s.y, 3) + ',' + number(s.radius, 3);
        else
            out += ",,";
        out += ',' + number(s.confidence, 3) + '\n';
    }
    return out;
}

QByteArray beatsCsv(const std::vector<Beat>& beats)
{
    QByteArray out = QByteArray(BeatsCsvHeader) + '\n';
    for (const Beat& b : beats) {
        out += number(b.start, 4) + ',' + number(b.end, 4) + ',' + beatDirectionName(b.direction).toLatin1() +
               ',' + number(b.spv.x, 2) + ',' + number(b.spv.y, 2) + '\n';
    }
    return out;
}

QByteArray summaryCsv(const std::vector<HeadSegment>& segments)
{
    QByteArray out = QByteArray(SummaryCsvHeader) + '\n';
    for (const HeadSegment& s : segments) {
        out += number(s.start, 4) + ',' + number(s.end, 4) + ',' + field(s.headPosition) + ',' +
               beatDirectionName(s.direction).toLatin1() + ',' + QByteArray::number(s.beats) + ',' +
               number(s.beatsPerSecond, 3) + ',';
        // Without nystagmus there is no slow-phase velocity to report.
        if (s.direction != BeatDirection::None)
            out += number(s.meanSpv.x, 2) + ',' + number(s.meanSpv.y, 2);
        else
            out += ',';
        out += '\n';
    }
    return out;
}

QStringList analysisFilePaths(const QString& folder, const QString& videoPath)
{
    const QString base = QDir(folder).filePath(QFileInfo(videoPath).completeBaseName());
    return {base + QStringLiteral(".eye.csv"), base + QStringLiteral(".beats.csv"),
            base + QStringLiteral(".summary.csv")};
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    // The rename into place survives a power cut only once the folder's entry is on the disk.
    platform::syncFolderOf(path);
    return true;
}

} // namespace tolvek::analysis
