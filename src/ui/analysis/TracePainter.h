#pragma once
// Draws the eye-position traces of an analysed video into a rectangle: horizontal and vertical
// position over time (one min/max stroke per pixel column, gaps where no pupil was measured),
// slow phases marked in colour with their velocity where there is room, head-position bands
// along the time axis, a time scale and the player's frame as a cursor. Used by the analysis
// window and by the report, so both show the same picture. UI thread (any QPainter device).

#include "core/analysis/TraceDecimation.h"
#include "core/analysis/VideoAnalysis.h"

#include <QRect>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

namespace tolvek {

// What the traces are drawn from, prepared once per analysis.
struct TraceData
{
    double fps = 30.0;
    int frameCount = 0;
    std::vector<float> xs; // pupil x per frame, NaN where not measured
    std::vector<float> ys;
    std::pair<double, double> xRange{0, 1};
    std::pair<double, double> yRange{0, 1};
    std::vector<analysis::Beat> beats;                // sorted by start
    std::vector<std::pair<double, double>> beatSpans; // their start and end, seconds
    std::vector<analysis::HeadSegment> segments;      // in time order
    std::vector<std::pair<double, double>> segmentSpans;

    static std::shared_ptr<const TraceData> from(const analysis::VideoAnalysis& analysis);
};

struct TraceStyle
{
    int language = 0;
    double pixelsPerDegree = 0.0; // velocities in degrees per second when > 0
    bool print = false;           // thinner lines and no cursor shading for paper
};

// The parts of the drawing area, for hit tests.
struct TraceLayout
{
    QRect bands;      // head positions
    QRect horizontal; // horizontal trace
    QRect vertical;   // vertical trace
    QRect axis;       // time scale
    int plotLeft = 0;
    int plotWidth = 0;
};
TraceLayout traceLayout(const QRect& area);

// window: the frames shown, its left and width set to the plot's columns.
void paintTraces(QPainter& painter, const QRect& area, const TraceData& data,
                 const analysis::TimeWindow& window, std::optional<int> cursorFrame, const TraceStyle& style);

// A velocity as the table and the marks show it: degrees per second when calibrated.
QString velocityText(double pixelsPerSecond, double pixelsPerDegree);

} // namespace tolvek
