#include "core/analysis/PupilTracker.h"

#include "core/capture/FrameStamps.h"
#include "core/sensor/HeadOverlay.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace tolvek::analysis {

namespace {

constexpr double Pi = 3.14159265358979323846;

// Margin round the burnt-in areas: compression smears their sharp edges a few pixels wide.
constexpr int MaskMargin = 4;
// The reduced picture the pupil is first looked for in is about this many pixels high.
constexpr int CoarseHeight = 120;
// Grey levels between pupil and iris below which no pupil is reported.
constexpr double MinimumContrast = 6.0;
// Rays cast from the centre to find the pupil's edge.
constexpr int RayCount = 64;
constexpr double RayStep = 0.5;

struct Circle
{
    cv::Point2d centre;
    double radius = 0.0;
    bool valid = false;
};

Circle circleThrough(cv::Point2d a, cv::Point2d b, cv::Point2d c)
{
    const double d = 2.0 * (a.x * (b.y - c.y) + b.x * (c.y - a.y) + c.x * (a.y - b.y));
    if (std::abs(d) < 1e-9)
        return {};
    const double a2 = a.dot(a), b2 = b.dot(b), c2 = c.dot(c);
    const cv::Point2d centre((a2 * (b.y - c.y) + b2 * (c.y - a.y) + c2 * (a.y - b.y)) / d,
                             (a2 * (c.x - b.x) + b2 * (a.x - c.x) + c2 * (b.x - a.x)) / d);
    return {centre, cv::norm(a - centre), true};
}

// Least-squares circle through the points (geometric distance), started from `start`.
Circle refineCircle(const std::vector<cv::Point2d>& points, Circle start)
{
    Circle c = start;
    for (int iteration = 0; iteration < 5; ++iteration) {
        cv::Matx33d jtj = cv::Matx33d::zeros();
        cv::Vec3d jtr(0, 0, 0);
        for (const cv::Point2d& p : points) {
            const cv::Point2d d = p - c.centre;
            const double dist = std::max(cv::norm(d), 1e-9);
            const cv::Vec3d j(-d.x / dist, -d.y / dist, -1.0);
            const double r = dist - c.radius;
            jtj += j * j.t();
            jtr += j * r;
        }
        cv::Vec3d step;
        if (!cv::solve(jtj, -jtr, step, cv::DECOMP_CHOLESKY))
            return start;
        c.centre += cv::Point2d(step[0], step[1]);
        c.radius += step[2];
        if (std::abs(step[0]) + std::abs(step[1]) + std::abs(step[2]) < 1e-4)
            break;
    }
    if (!(c.radius > 0) || !std::isfinite(c.centre.x) || !std::isfinite(c.centre.y))
        return start;
    return c;
}

int countInliers(const std::vector<cv::Point2d>& points, const Circle& c, double tolerance,
                 std::vector<cv::Point2d>* inliers = nullptr)
{
    int n = 0;
    if (inliers)
        inliers->clear();
    for (const cv::Point2d& p : points) {
        if (std::abs(cv::norm(p - c.centre) - c.radius) <= tolerance) {
            ++n;
            if (inliers)
                inliers->push_back(p);
        }
    }
    return n;
}

// The value below which `share` of the 8-bit values a histogram counts lie; -1 for an empty one.
double histogramQuantile(const std::array<int, 256>& histogram, int total, double share)
{
    if (total <= 0)
        return -1;
    int seen = 0;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[v];
        if (seen >= share * total)
            return v;
    }
    return 255;
}

} // namespace

std::vector<cv::Rect> burntInAreas(cv::Size frame)
{
    const cv::Rect whole(cv::Point(0, 0), frame);
    const cv::Rect areas[] = {cv::Rect(0, 0, HeadOverlaySize, HeadOverlaySize), dateTimeBox(frame),
                              idBox(frame)};
    std::vector<cv::Rect> result;
    for (const cv::Rect& area : areas) {
        const cv::Rect widened(area.x - MaskMargin, area.y - MaskMargin, area.width + 2 * MaskMargin,
                               area.height + 2 * MaskMargin);
        const cv::Rect clipped = widened & whole;
        if (!clipped.empty())
            result.push_back(clipped);
    }
    return result;
}

PupilTracker::PupilTracker(std::vector<cv::Rect> masks) : m_masks(std::move(masks)), m_buckets(256) {}

PupilSample PupilTracker::track(const cv::Mat& frame)
{
    if (frame.empty() || frame.depth() != CV_8U || frame.cols < 16 || frame.rows < 16)
        return {};
    switch (frame.channels()) {
    case 1:
        frame.copyTo(m_grey);
        break;
    case 3:
        cv::cvtColor(frame, m_grey, cv::COLOR_BGR2GRAY);
        break;
    case 4:
        cv::cvtColor(frame, m_grey, cv::COLOR_BGRA2GRAY);
        break;
    default:
        return {};
    }
    // Masked areas turn white: never dark enough for a pupil, and a ray that meets them is
    // dropped as it would be at a reflection.
    const cv::Rect whole(0, 0, m_grey.cols, m_grey.rows);
    for (const cv::Rect& mask : m_masks) {
        const cv::Rect area = mask & whole;
        if (!area.empty())
            m_grey(area).setTo(255);
    }

    m_scale = std::max(1, std::min(m_grey.cols, m_grey.rows) / CoarseHeight);
    cv::resize(m_grey, m_small, cv::Size(m_grey.cols / m_scale, m_grey.rows / m_scale), 0, 0, cv::INTER_AREA);
    // A grey opening removes the small bright reflections (the corneal glint), so that they cut
    // no hole into the dark pupil found next.
    const int k = m_scale >= 3 ? 5 : 3;
    cv::morphologyEx(m_small, m_small, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, {k, k}));
    cv::blur(m_small, m_smooth, cv::Size(3, 3));

    const Blob blob = coarseBlob();
    if (!blob.valid || !edgeLevels(blob.centre, blob.radius))
        return {};
    Fit fit = fitEdge(blob.centre, blob.radius, 0.3, 1.8);
    if (!fit.valid)
        return {};
    // Rays from the measured centre meet the edge squarely; a narrower search band then keeps
    // out most of what lies beyond the edge.
    if (edgeLevels(fit.centre, fit.radius)) {
        const Fit second = fitEdge(fit.centre, fit.radius, 0.55, 1.45);
        if (second.valid)
            fit = second;
    }
    const double contrast = m_outerLevel - m_pupilLevel;
    const double support = double(fit.inliers) / RayCount;
    const double confidence = std::clamp((support - 0.3) / 0.4, 0.0, 1.0) *
                              std::clamp((contrast - MinimumContrast) / 14.0, 0.0, 1.0);
    if (confidence < MinimumConfidence)
        return {false, 0, 0, 0, confidence};
    return {true, fit.centre.x, fit.centre.y, fit.radius, confidence};
}

// The darkest compact blob of the reduced picture. A flood from its darkest spot takes in
// pixels in the order of their grey level, so the region at every threshold comes out of one
// pass: the pupil is the first threshold range over which the region hardly grows, before it
// spills over into the iris.
PupilTracker::Blob PupilTracker::coarseBlob()
{
    const int w = m_smooth.cols, h = m_smooth.rows;
    double minValue = 0;
    cv::Point seed;
    cv::minMaxLoc(m_smooth, &minValue, nullptr, &seed);
    if (minValue >= 250)
        return {};

    if (m_visited.size() != std::size_t(w) * h)
        m_visited.assign(std::size_t(w) * h, 0);
    else
        std::fill(m_visited.begin(), m_visited.end(), 0);
    for (auto& bucket : m_buckets)
        bucket.clear();

    struct Level
    {
        double n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    };
    std::array<Level, 256> levels{};
    int touchLevel = 256; // from this level on the region reaches the picture's edge or a mask
    const int maxArea = w * h / 8;

    const uchar* pixels = m_smooth.ptr<uchar>(0);
    const std::size_t stride = m_smooth.step;
    auto value = [&](int index) { return int(pixels[std::size_t(index / w) * stride + index % w]); };
    const int start = seed.y * w + seed.x;
    m_visited[start] = 1;
    m_buckets[value(start)].push_back(start);
    int lowest = value(start);
    int running = lowest;
    int popped = 0;
    while (popped < maxArea) {
        while (lowest < 256 && m_buckets[lowest].empty())
            ++lowest;
        if (lowest >= 256)
            break;
        const int index = m_buckets[lowest].back();
        m_buckets[lowest].pop_back();
        ++popped;
        running = std::max(running, lowest);
        const int x = index % w, y = index / w;
        Level& l = levels[running];
        l.n += 1;
        l.sx += x;
        l.sy += y;
        l.sxx += double(x) * x;
        l.syy += double(y) * y;
        l.sxy += double(x) * y;
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1 || lowest >= 255)
            touchLevel = std::min(touchLevel, running);
        const int neighbours[4] = {x > 0 ? index - 1 : -1, x < w - 1 ? index + 1 : -1, y > 0 ? index - w : -1,
                                   y < h - 1 ? index + w : -1};
        for (int n : neighbours) {
            if (n < 0 || m_visited[n])
                continue;
            m_visited[n] = 1;
            const int v = value(n);
            m_buckets[v].push_back(n);
            lowest = std::min(lowest, v);
        }
    }
    // Levels below `running` are complete: every pixel of their region has been taken.
    const int first = int(minValue);
    const int last = std::min(running - 1, touchLevel - 1);
    if (last <= first)
        return {};
    std::array<Level, 256> cumulative{};
    Level sum;
    for (int t = first; t <= last; ++t) {
        sum.n += levels[t].n;
        sum.sx += levels[t].sx;
        sum.sy += levels[t].sy;
        sum.sxx += levels[t].sxx;
        sum.syy += levels[t].syy;
        sum.sxy += levels[t].sxy;
        cumulative[t] = sum;
    }

    // Relative growth of the region over +-Spread grey levels; small on a plateau.
    constexpr int Spread = 4;
    constexpr double PlateauGrowth = 1.0;
    constexpr int MinimumRun = 3;
    const double minArea = 4.0;
    // The first run of at least MinimumRun levels over which the region hardly grows; within it
    // the level where it grows least.
    int best = -1, runStart = -1;
    double bestGrowth = 0;
    for (int t = first + Spread; t + Spread <= last + 1; ++t) {
        bool plateau = false;
        double growth = 0;
        if (t + Spread <= last) {
            const double area = cumulative[t].n;
            growth = (cumulative[t + Spread].n - cumulative[t - Spread].n) / std::max(area, 1.0);
            plateau = area >= minArea && growth <= PlateauGrowth;
        }
        if (plateau) {
            if (runStart < 0 || growth < bestGrowth) {
                best = t;
                bestGrowth = growth;
            }
            if (runStart < 0)
                runStart = t;
        } else if (runStart >= 0) {
            if (t - runStart >= MinimumRun)
                break;
            runStart = -1;
            best = -1;
        }
    }
    if (best < 0)
        return {};

    const Level& r = cumulative[best];
    const double mx = r.sx / r.n, my = r.sy / r.n;
    const double cxx = r.sxx / r.n - mx * mx, cyy = r.syy / r.n - my * my, cxy = r.sxy / r.n - mx * my;
    // A pupil is round or a moderate ellipse; a lash line or a lid's shadow is long and thin.
    const double trace = cxx + cyy, det = cxx * cyy - cxy * cxy;
    const double gap = std::sqrt(std::max(0.0, trace * trace / 4 - det));
    const double major = trace / 2 + gap, minor = trace / 2 - gap;
    if (major <= 0 || minor / major < 0.2)
        return {};
    Blob blob;
    blob.centre = {(mx + 0.5) * m_scale - 0.5, (my + 0.5) * m_scale - 0.5};
    blob.radius = std::sqrt(r.n / Pi) * m_scale;
    blob.valid = blob.radius >= 2.0;
    return blob;
}

// Grey levels of the pupil and of what surrounds it, measured at full resolution round a
// centre and radius, and the smoothed window the rays are cast in.
bool PupilTracker::edgeLevels(cv::Point2d centre, double radius)
{
    const cv::Rect whole(0, 0, m_grey.cols, m_grey.rows);
    const int half = int(std::ceil(1.9 * radius)) + 6;
    m_roiRect = cv::Rect(int(std::floor(centre.x)) - half, int(std::floor(centre.y)) - half, 2 * half + 1,
                         2 * half + 1) &
                whole;
    if (m_roiRect.width < 8 || m_roiRect.height < 8)
        return false;

    std::array<int, 256> inside{}, around{};
    int insideCount = 0, aroundCount = 0;
    const double inner2 = (0.6 * radius) * (0.6 * radius);
    // The surround is measured in a ring just outside the edge, on its darker side: a large pupil
    // leaves only a narrow iris round it, with the bright sclera beyond.
    const double ringFrom2 = (1.15 * radius) * (1.15 * radius), ringTo2 = (1.5 * radius) * (1.5 * radius);
    for (int y = m_roiRect.y; y < m_roiRect.br().y; ++y) {
        const uchar* row = m_grey.ptr<uchar>(y);
        const double dy2 = (y - centre.y) * (y - centre.y);
        for (int x = m_roiRect.x; x < m_roiRect.br().x; ++x) {
            const double d2 = (x - centre.x) * (x - centre.x) + dy2;
            if (d2 <= inner2) {
                ++inside[row[x]];
                ++insideCount;
            } else if (d2 >= ringFrom2 && d2 <= ringTo2 && row[x] < 255) {
                ++around[row[x]];
                ++aroundCount;
            }
        }
    }
    m_pupilLevel = histogramQuantile(inside, insideCount, 0.5);
    m_outerLevel = histogramQuantile(around, aroundCount, 0.3);
    if (m_pupilLevel < 0 || m_outerLevel < 0 || m_outerLevel - m_pupilLevel < MinimumContrast)
        return false;
    m_edgeLevel = (m_pupilLevel + m_outerLevel) / 2;
    m_glintLevel = m_outerLevel + 0.6 * (255.0 - m_outerLevel);

    m_grey(m_roiRect).convertTo(m_roi, CV_32F);
    cv::GaussianBlur(m_roi, m_roi, cv::Size(5, 5), 1.0);
    return true;
}

// Casts rays from `centre` and takes on each the first rise through the middle grey level between
// pupil and surround (linearly interpolated, so to a fraction of a pixel) between inner and outer
// times the radius; a rise into a reflection or a masked area is no edge. A circle is then fitted
// to the edge points by consensus, so that points on a lid, a reflection's rim or a lash line
// are left out.
PupilTracker::Fit PupilTracker::fitEdge(cv::Point2d centre, double radius, double inner, double outer)
{
    const float* base = m_roi.ptr<float>(0);
    const std::size_t stride = m_roi.step1();
    const double maxX = m_roi.cols - 1.001, maxY = m_roi.rows - 1.001;
    const double ox = centre.x - m_roiRect.x, oy = centre.y - m_roiRect.y;
    auto sample = [&](double x, double y, double& v) {
        if (x < 0 || y < 0 || x > maxX || y > maxY)
            return false;
        const int ix = int(x), iy = int(y);
        const double fx = x - ix, fy = y - iy;
        const float* p = base + std::size_t(iy) * stride + ix;
        v = (1 - fy) * ((1 - fx) * p[0] + fx * p[1]) + fy * ((1 - fx) * p[stride] + fx * p[stride + 1]);
        return true;
    };
    const double level = m_edgeLevel;
    const double beyond = std::max(3.0, 0.2 * radius);

    m_edges.clear();
    for (int i = 0; i < RayCount; ++i) {
        const double angle = 2.0 * Pi * i / RayCount;
        const double dx = std::cos(angle), dy = std::sin(angle);
        double r = inner * radius;
        double previous;
        if (!sample(ox + r * dx, oy + r * dy, previous))
            continue;
        while (r <= outer * radius) {
            const double next = r + RayStep;
            double v;
            if (!sample(ox + next * dx, oy + next * dy, v))
                break;
            if (previous < level && v >= level) {
                // Look a little further: the surround stays above the level and is not a
                // reflection; a short bright or noisy bump is passed over.
                bool stays = true, bright = v >= m_glintLevel;
                for (double s = next + RayStep; s <= next + beyond && stays && !bright; s += RayStep) {
                    double u;
                    if (!sample(ox + s * dx, oy + s * dy, u))
                        stays = false;
                    else if (u >= m_glintLevel)
                        bright = true;
                    else if (u < level)
                        stays = false;
                }
                // A rise into a reflection (or a mask) is passed over: behind a reflection inside
                // the pupil the edge comes later; a reflection on the edge leaves the ray without one.
                if (stays && !bright) {
                    const double edge = r + (level - previous) / (v - previous) * RayStep;
                    m_edges.emplace_back(centre.x + edge * dx, centre.y + edge * dy);
                    break;
                }
            }
            previous = v;
            r = next;
        }
    }

    Fit fit;
    fit.rays = RayCount;
    const int n = int(m_edges.size());
    if (n < 6)
        return fit;
    const double tolerance = std::max(1.0, 0.05 * radius);
    Circle best;
    int bestInliers = 0;
    // A fixed sequence of triples keeps the result a function of the frame alone.
    std::uint32_t state = 12345u;
    auto next = [&](int bound) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % std::uint32_t(bound));
    };
    for (int iteration = 0; iteration < 48; ++iteration) {
        const int a = next(n), b = next(n), c = next(n);
        if (a == b || b == c || a == c)
            continue;
        const Circle candidate = circleThrough(m_edges[a], m_edges[b], m_edges[c]);
        if (!candidate.valid || candidate.radius < 0.4 * radius || candidate.radius > 2.0 * radius ||
            cv::norm(candidate.centre - centre) > radius)
            continue;
        const int inliers = countInliers(m_edges, candidate, tolerance);
        if (inliers > bestInliers) {
            bestInliers = inliers;
            best = candidate;
        }
    }
    if (bestInliers < 6)
        return fit;
    std::vector<cv::Point2d> inliers;
    for (int round = 0; round < 2; ++round) {
        countInliers(m_edges, best, tolerance, &inliers);
        if (inliers.size() < 6)
            return fit;
        best = refineCircle(inliers, best);
    }
    fit.inliers = countInliers(m_edges, best, tolerance);
    fit.centre = best.centre;
    fit.radius = best.radius;
    fit.valid =
        fit.inliers >= 6 && best.radius >= 1.5 && best.radius < 0.5 * std::min(m_grey.cols, m_grey.rows);
    return fit;
}

} // namespace tolvek::analysis
