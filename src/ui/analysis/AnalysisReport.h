#pragma once
// The one-page report of an eye examination: patient ID and recording time (from the video's
// name), the video analysed, the per-head-position table, the traces of the whole video and one
// still picture per head position. Painted on any QPainter device, written as PDF (never half a
// file: it is written beside its name and renamed into place) and printed through the same code.
// UI thread only. Failures are returned with the system's reason.

#include "core/analysis/VideoAnalysis.h"
#include "ui/analysis/TracePainter.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace tolvek {

// The per-head-position table: one row per segment, columns position, duration (s), beat
// direction, beats/s and mean slow-phase velocity along the beat's axis (degrees per second when
// pixelsPerDegree > 0), in language.
std::vector<QStringList> summaryRows(const std::vector<analysis::HeadSegment>& segments,
                                     double pixelsPerDegree, int language);
QStringList summaryHeader(int language);

struct ReportStill
{
    QString headPosition;
    QImage picture;
};

// One picture per head position: the middle frame of that position's longest segment, read
// through FrameReader. Positions whose frame cannot be read are left out.
std::vector<ReportStill> reportStills(const QString& videoPath,
                                      const std::vector<analysis::HeadSegment>& segments);

struct ReportInput
{
    QString videoPath;
    std::shared_ptr<const analysis::VideoAnalysis> analysis;
    std::shared_ptr<const TraceData> traces;
    std::vector<ReportStill> stills;
    double pixelsPerDegree = 0.0;
    int language = 0;
    QDateTime created;
};

// Paints the page on device (a PDF writer or a printer), already set up for the page.
void paintReport(QPagedPaintDevice& device, QPainter& painter, const ReportInput& input);

// Writes the report as an A4 PDF at path, replacing what is there.
bool writeReportPdf(const QString& path, const ReportInput& input, QString& error);

// NAME.report.pdf beside the video.
QString defaultReportPath(const QString& videoPath);

} // namespace tolvek
