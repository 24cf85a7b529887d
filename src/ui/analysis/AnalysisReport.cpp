#include "ui/analysis/AnalysisReport.h"

#include "core/i18n/AnalysisTexts.h"
#include "core/media/FrameReader.h"
#include "core/settings/VideoFileName.h"
#include "ui/shared/Fonts.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <map>

namespace tolvek {

namespace {

double alongBeatAxis(const analysis::HeadSegment& s)
{
    const bool horizontal =
        s.direction == analysis::BeatDirection::Left || s.direction == analysis::BeatDirection::Right;
    return std::abs(horizontal ? s.meanSpv.x : s.meanSpv.y);
}

QImage toImage(const cv::Mat& bgr)
{
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    return QImage(rgb.data, rgb.cols, rgb.rows, int(rgb.step), QImage::Format_RGB888).copy();
}

} // namespace

QStringList summaryHeader(int language)
{
    return {analysisText(language, AnalysisText::ColumnPosition),
            analysisText(language, AnalysisText::ColumnDuration),
            analysisText(language, AnalysisText::ColumnDirection),
            analysisText(language, AnalysisText::ColumnBeatsPerSecond),
            analysisText(language, AnalysisText::ColumnMeanSpv)};
}

std::vector<QStringList> summaryRows(const std::vector<analysis::HeadSegment>& segments,
                                     double pixelsPerDegree, int language)
{
    std::vector<QStringList> rows;
    for (const analysis::HeadSegment& s : segments) {
        const bool nystagmus = s.direction != analysis::BeatDirection::None;
        rows.push_back({headPositionText(language, s.headPosition), QString::number(s.end - s.start, 'f', 1),
                        beatDirectionText(language, analysis::beatDirectionName(s.direction)),
                        nystagmus ? QString::number(s.beatsPerSecond, 'f', 2) : QStringLiteral("–"),
                        nystagmus ? velocityText(alongBeatAxis(s), pixelsPerDegree) : QStringLiteral("–")});
    }
    return rows;
}

std::vector<ReportStill> reportStills(const QString& videoPath,
                                      const std::vector<analysis::HeadSegment>& segments)
{
    std::map<QString, const analysis::HeadSegment*> longest;
    std::vector<QString> order;
    for (const analysis::HeadSegment& s : segments) {
        auto [it, inserted] = longest.emplace(s.headPosition, &s);
        if (inserted)
            order.push_back(s.headPosition);
        else if (s.lastFrame - s.firstFrame > it->second->lastFrame - it->second->firstFrame)
            it->second = &s;
    }
    std::vector<ReportStill> stills;
    FrameReader reader(std::size_t(16) << 20);
    if (!reader.open(videoPath.toStdString()))
        return stills;
    for (const QString& position : order) {
        const analysis::HeadSegment& s = *longest[position];
        const cv::Mat frame = reader.frameAt((s.firstFrame + s.lastFrame) / 2);
        if (!frame.empty())
            stills.push_back({position, toImage(frame)});
    }
    return stills;
}

QString defaultReportPath(const QString& videoPath)
{
    const QFileInfo info(videoPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".report.pdf"));
}

void paintReport(QPagedPaintDevice& device, QPainter& p, const ReportInput& in)
{
    const int lang = in.language;
    // Everything is laid out in a virtual page 1000 units wide, whatever the device's resolution.
    const QRectF paper = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const double scale = paper.width() / 1000.0;
    p.save();
    p.scale(scale, scale);
    const int width = 1000;
    const int height = int(paper.height() / scale);
    QFont font = gothicFont(9.0, 72);
    font.setPixelSize(12);
    p.setFont(font);
    QFont bold = font;
    bold.setBold(true);

    int y = 0;
    QFont title = bold;
    title.setPixelSize(22);
    p.setFont(title);
    p.drawText(QRect(0, y, width, 30), Qt::AlignLeft | Qt::AlignVCenter,
               analysisText(lang, AnalysisText::ReportTitle));
    y += 40;

    const QString name = QFileInfo(in.videoPath).fileName();
    const VideoNameFields fields = parseVideoFileName(name);
    const QString when = fields.ok && fields.timeValid()
                             ? fields.localTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : QStringLiteral("–");
    const QString patient = fields.ok ? formatPatientId(fields.patientId) : QStringLiteral("–");
    const std::pair<AnalysisText, QString> facts[] = {
        {AnalysisText::PatientId, patient},
        {AnalysisText::Recorded, when},
        {AnalysisText::VideoFile, QDir::toNativeSeparators(in.videoPath)},
        {AnalysisText::Created, in.created.toString(QStringLiteral("yyyy-MM-dd HH:mm"))},
        {AnalysisText::PixelsPerDegree, in.pixelsPerDegree > 0
                                            ? QString::number(in.pixelsPerDegree, 'f', 1)
                                            : analysisText(lang, AnalysisText::NotCalibrated)}};
    for (const auto& [label, value] : facts) {
        p.setFont(bold);
        p.drawText(QRect(0, y, 170, 18), Qt::AlignLeft | Qt::AlignVCenter, analysisText(lang, label));
        p.setFont(font);
        p.drawText(QRect(175, y, width - 175, 18), Qt::AlignLeft | Qt::AlignVCenter, value);
        y += 18;
    }
    y += 12;

    // The per-position table.
    const int columns[] = {0, 260, 400, 620, 760, 1000};
    auto row = [&](const QStringList& cells, bool header) {
        p.setFont(header ? bold : font);
        if (header)
            p.fillRect(QRect(0, y, width, 20), QColor(230, 230, 230));
        for (int c = 0; c < cells.size() && c < 5; ++c)
            p.drawText(QRect(columns[c] + 4, y, columns[c + 1] - columns[c] - 8, 20),
                       Qt::AlignLeft | Qt::AlignVCenter, cells[c]);
        p.setPen(QColor(180, 180, 180));
        p.drawLine(0, y + 20, width, y + 20);
        p.setPen(Qt::black);
        y += 20;
    };
    row(summaryHeader(lang), true);
    const std::vector<QStringList> rows =
        summaryRows(in.analysis->nystagmus.segments, in.pixelsPerDegree, lang);
    // A page holds about twenty positions; an examination has rarely more than a dozen.
    const std::size_t shown = std::min<std::size_t>(rows.size(), 20);
    for (std::size_t i = 0; i < shown; ++i)
        row(rows[i], false);
    if (rows.size() > shown)
        row({QStringLiteral("… +%1").arg(rows.size() - shown)}, false);
    y += 16;

    // The traces of the whole video.
    p.setFont(font);
    const int tracesHeight = 300;
    if (in.traces && in.traces->frameCount > 0) {
        TraceStyle style;
        style.language = lang;
        style.pixelsPerDegree = in.pixelsPerDegree;
        style.print = true;
        const QRect area(0, y, width, tracesHeight);
        const TraceLayout l = traceLayout(area);
        paintTraces(p, area, *in.traces, analysis::wholeVideo(in.traces->frameCount, l.plotLeft, l.plotWidth),
                    std::nullopt, style);
    }
    y += tracesHeight + 16;

    // One still per head position, in rows of up to four.
    if (!in.stills.empty()) {
        p.setFont(bold);
        p.drawText(QRect(0, y, width, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   analysisText(lang, AnalysisText::StillFrames));
        y += 24;
        p.setFont(font);
        const int perRow = 4;
        const int cell = (width - (perRow - 1) * 10) / perRow;
        for (std::size_t i = 0; i < in.stills.size(); ++i) {
            const int col = int(i) % perRow;
            if (col == 0 && i > 0)
                y += cell * 3 / 4 + 30;
            const QImage& picture = in.stills[i].picture;
            const QSize fitted = picture.size().scaled(cell, cell * 3 / 4, Qt::KeepAspectRatio);
            if (y + fitted.height() + 20 > height)
                break;
            const QRect target(col * (cell + 10), y, fitted.width(), fitted.height());
            p.drawImage(target, picture);
            p.drawText(QRect(target.left(), target.bottom() + 2, cell, 18), Qt::AlignLeft | Qt::AlignVCenter,
                       headPositionText(lang, in.stills[i].headPosition));
        }
    }
    p.restore();
}

bool writeReportPdf(const QString& path, const ReportInput& input, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(analysisText(input.language, AnalysisText::ReportTitle));
        writer.setCreator(QStringLiteral("Tolvek"));
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("cannot draw the PDF");
            file.cancelWriting();
            return false;
        }
        paintReport(writer, painter, input);
        painter.end();
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace tolvek
