#include "ui/analysis/TracePainter.h"

#include "core/i18n/AnalysisTexts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <limits>

namespace tolvek {

namespace {

constexpr int LabelWidth = 70;
constexpr int BandHeight = 18;
constexpr int AxisHeight = 18;

const QColor HorizontalColour(0, 90, 200);
const QColor VerticalColour(0, 140, 60);
const QColor SlowPhaseColour(230, 90, 0);
const QColor CursorColour(220, 0, 0);

// Distinct, light fills for the head-position bands, picked by the label so the same position
// has the same colour everywhere.
QColor bandColour(const QString& label)
{
    static const QColor colours[] = {{200, 220, 255}, {255, 225, 190}, {210, 245, 200}, {245, 210, 240},
                                     {255, 250, 190}, {200, 240, 240}, {230, 220, 255}, {240, 230, 210}};
    if (label == analysis::UnknownHeadPosition)
        return {225, 225, 225};
    return colours[qHash(label) % (sizeof colours / sizeof colours[0])];
}

double niceStep(double seconds, double pixels, double minPixels)
{
    static const double steps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
    for (const double s : steps)
        if (pixels * s / seconds >= minPixels)
            return s;
    return 7200;
}

// Seconds, as the axis is labelled, with a decimal only where the ticks need it.
QString timeLabel(double seconds, double step)
{
    return QString::number(seconds, 'f', step < 1.0 ? 1 : 0);
}

void paintTrace(QPainter& p, const QRect& box, const std::vector<float>& values,
                std::pair<double, double> range, const analysis::TimeWindow& window, const QColor& colour,
                const QString& title, const TraceData& data, const TraceStyle& style, bool horizontalAxis)
{
    p.setPen(QColor(160, 160, 160));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(Qt::black);
    p.drawText(QRect(box.left() - LabelWidth, box.top(), LabelWidth - 4, box.height()),
               Qt::AlignRight | Qt::AlignVCenter | Qt::TextWordWrap, title);
    p.save();
    p.setClipRect(box);
    const double lo = range.first;
    const double span = range.second - range.first;
    // Up on the page is a movement to the right or upwards: the picture's x grows to the right,
    // its y downwards.
    auto yOf = [&](double v) {
        const double share = (v - lo) / span;
        return box.top() + 2 + (box.height() - 4) * (horizontalAxis ? 1.0 - share : share);
    };

    p.setPen(QPen(colour, style.print ? 0.8 : 1.0));
    const double perFrame = 1.0 / window.framesPerPixel();
    if (perFrame > 1.0) {
        // Zoomed in: a straight line from frame to frame, broken where nothing was measured.
        const int first = std::max(0, int(std::floor(window.firstFrame)));
        const int end = std::min(int(values.size()), int(std::ceil(window.lastFrame)) + 1);
        for (int k = first + 1; k < end; ++k) {
            if (std::isnan(values[k - 1]) || std::isnan(values[k]))
                continue;
            p.drawLine(
                QPointF(window.left + (k - 1 + 0.5 - window.firstFrame) * perFrame, yOf(values[k - 1])),
                QPointF(window.left + (k + 0.5 - window.firstFrame) * perFrame, yOf(values[k])));
        }
    }
    const std::vector<analysis::ColumnSpan> columns =
        perFrame > 1.0 ? std::vector<analysis::ColumnSpan>{} : analysis::decimateToColumns(values, window);
    const analysis::ColumnSpan* previous = nullptr;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const analysis::ColumnSpan& s = columns[c];
        const double x = window.left + double(c) + 0.5;
        if (s.empty) {
            previous = nullptr; // a gap: a blink or a lost pupil
            continue;
        }
        if (previous)
            p.drawLine(QPointF(x - 1, yOf(previous->last)), QPointF(x, yOf(s.first)));
        if (s.max > s.min)
            p.drawLine(QPointF(x, yOf(s.min)), QPointF(x, yOf(s.max)));
        else
            p.drawPoint(QPointF(x, yOf(s.min)));
        previous = &s;
    }

    // Slow phases: a thick stroke from the beat's first to its last frame, with its velocity where
    // the beat is wide enough to carry the text.
    const double from = window.firstFrame / data.fps;
    const double to = window.lastFrame / data.fps;
    const auto [first, last] = analysis::visibleIntervals(data.beatSpans, from, to);
    const double perPixel = window.framesPerPixel();
    const QFontMetrics metrics(p.font());
    const int minLabelWidth = metrics.horizontalAdvance(QStringLiteral("00.0 px/s")) + 4;
    p.setPen(QPen(SlowPhaseColour, style.print ? 1.5 : 2.5, Qt::SolidLine, Qt::RoundCap));
    // Seen from far, thousands of beats share a column: one stroke per column shows them all.
    double lastDrawnColumn = -1.0;
    for (std::size_t i = first; i < last; ++i) {
        const analysis::Beat& b = data.beats[i];
        if (b.direction == analysis::BeatDirection::None)
            continue;
        const bool ownAxis = (b.direction == analysis::BeatDirection::Left ||
                              b.direction == analysis::BeatDirection::Right) == horizontalAxis;
        if (!ownAxis)
            continue;
        const int f0 = std::clamp(b.firstFrame, 0, int(values.size()) - 1);
        const int f1 = std::clamp(b.lastFrame, 0, int(values.size()) - 1);
        if (std::isnan(values[f0]) || std::isnan(values[f1]))
            continue;
        const double x0 = window.left + (f0 + 0.5 - window.firstFrame) / perPixel;
        const double x1 = window.left + (f1 + 0.5 - window.firstFrame) / perPixel;
        if (std::floor(x1) <= lastDrawnColumn)
            continue;
        lastDrawnColumn = std::floor(x1);
        p.drawLine(QPointF(x0, yOf(values[f0])), QPointF(x1, yOf(values[f1])));
        if (x1 - x0 < minLabelWidth)
            continue;
        const QString text = velocityText(horizontalAxis ? b.spv.x : b.spv.y, style.pixelsPerDegree);
        if (x1 - x0 > metrics.horizontalAdvance(text) + 4) {
            const QPen line = p.pen();
            p.setPen(SlowPhaseColour.darker(130));
            p.drawText(QPointF(x0 + 2, box.top() + metrics.ascent() + 2), text);
            p.setPen(line);
        }
    }
    p.restore();
}

} // namespace

std::shared_ptr<const TraceData> TraceData::from(const analysis::VideoAnalysis& analysis)
{
    auto data = std::make_shared<TraceData>();
    data->fps = analysis.fps > 0 ? analysis.fps : 30.0;
    data->frameCount = int(analysis.samples.size());
    data->xs.reserve(analysis.samples.size());
    data->ys.reserve(analysis.samples.size());
    const float missing = std::numeric_limits<float>::quiet_NaN();
    const double minConfidence = analysis::NystagmusOptions{}.minConfidence;
    for (const analysis::PupilSample& s : analysis.samples) {
        const bool measured = s.found && s.confidence >= minConfidence;
        data->xs.push_back(measured ? float(s.x) : missing);
        data->ys.push_back(measured ? float(s.y) : missing);
    }
    data->xRange = analysis::valueRange(data->xs);
    data->yRange = analysis::valueRange(data->ys);
    data->beats = analysis.nystagmus.beats;
    for (const analysis::Beat& b : data->beats)
        data->beatSpans.emplace_back(b.start, b.end);
    data->segments = analysis.nystagmus.segments;
    for (const analysis::HeadSegment& s : data->segments)
        data->segmentSpans.emplace_back(s.start, s.end);
    return data;
}

QString velocityText(double pixelsPerSecond, double pixelsPerDegree)
{
    if (pixelsPerDegree > 0)
        return QStringLiteral("%1 °/s").arg(pixelsPerSecond / pixelsPerDegree, 0, 'f', 1);
    return QStringLiteral("%1 px/s").arg(pixelsPerSecond, 0, 'f', 1);
}

TraceLayout traceLayout(const QRect& area)
{
    TraceLayout l;
    l.plotLeft = area.left() + LabelWidth;
    l.plotWidth = std::max(area.width() - LabelWidth - 4, 0);
    const int traces = std::max(area.height() - BandHeight - AxisHeight - 8, 20);
    l.bands = QRect(l.plotLeft, area.top(), l.plotWidth, BandHeight);
    l.horizontal = QRect(l.plotLeft, l.bands.bottom() + 3, l.plotWidth, traces / 2);
    l.vertical = QRect(l.plotLeft, l.horizontal.bottom() + 3, l.plotWidth, traces - traces / 2);
    l.axis = QRect(l.plotLeft, l.vertical.bottom() + 1, l.plotWidth, AxisHeight);
    return l;
}

void paintTraces(QPainter& p, const QRect& area, const TraceData& data, const analysis::TimeWindow& shown,
                 std::optional<int> cursorFrame, const TraceStyle& style)
{
    const TraceLayout l = traceLayout(area);
    analysis::TimeWindow window = shown;
    window.left = l.plotLeft;
    window.width = l.plotWidth;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const double perPixel = window.framesPerPixel();
    if (perPixel <= 0) {
        p.restore();
        return;
    }

    // Head-position bands.
    const double from = window.firstFrame / data.fps;
    const double to = window.lastFrame / data.fps;
    const auto [firstBand, lastBand] = analysis::visibleIntervals(data.segmentSpans, from, to);
    for (std::size_t i = firstBand; i < lastBand; ++i) {
        const analysis::HeadSegment& s = data.segments[i];
        const double x0 =
            std::max(double(l.plotLeft), l.plotLeft + (s.start * data.fps - window.firstFrame) / perPixel);
        const double x1 = std::min(double(l.plotLeft + l.plotWidth),
                                   l.plotLeft + (s.end * data.fps - window.firstFrame) / perPixel);
        const QRectF band(x0, l.bands.top(), std::max(x1 - x0, 1.0), l.bands.height());
        p.fillRect(band, bandColour(s.headPosition));
        p.setPen(QColor(90, 90, 90));
        p.drawRect(band);
        p.drawText(band.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(p.font()).elidedText(headPositionText(style.language, s.headPosition),
                                                     Qt::ElideRight, int(band.width()) - 6));
    }

    paintTrace(p, l.horizontal, data.xs, data.xRange, window, HorizontalColour,
               analysisText(style.language, AnalysisText::Horizontal), data, style, true);
    paintTrace(p, l.vertical, data.ys, data.yRange, window, VerticalColour,
               analysisText(style.language, AnalysisText::Vertical), data, style, false);

    // Time scale.
    p.setPen(Qt::black);
    const double seconds = to - from;
    const double step = niceStep(seconds, l.plotWidth, 70);
    const QFontMetricsF metrics(p.font());
    for (double t = std::ceil(from / step) * step; t <= to; t += step) {
        const double x = l.plotLeft + (t * data.fps - window.firstFrame) / perPixel;
        p.drawLine(QPointF(x, l.axis.top()), QPointF(x, l.axis.top() + 4));
        // Centred under its tick but kept above the plot, so that the labels at its ends neither
        // run into the axis caption on the left nor out of the picture on the right.
        const QString label = timeLabel(t, step);
        const double width = metrics.horizontalAdvance(label);
        const double left =
            std::max(double(l.plotLeft), std::min(x - width / 2, l.plotLeft + l.plotWidth - width));
        p.drawText(QRectF(left, l.axis.top() + 3, width + 1, l.axis.height()), Qt::AlignLeft | Qt::AlignTop,
                   label);
    }
    p.drawText(QRect(area.left(), l.axis.top(), l.plotLeft - area.left() - 4, l.axis.height()),
               Qt::AlignRight | Qt::AlignTop, analysisText(style.language, AnalysisText::TimeAxis));

    if (cursorFrame) {
        if (const auto x = analysis::xOfFrame(window, *cursorFrame)) {
            p.setPen(QPen(CursorColour, 1));
            p.drawLine(*x, l.bands.top(), *x, l.vertical.bottom());
        }
    }
    p.restore();
}

} // namespace tolvek
