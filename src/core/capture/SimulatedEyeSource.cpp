#include "core/capture/SimulatedEyeSource.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <thread>

namespace tolvek {

namespace {

constexpr double Pi = 3.14159265358979323846;

// Grey levels of an infrared eye picture: skin, sclera, iris, pupil, eyelid rim, reflection.
constexpr int SkinLevel = 118;
constexpr int ScleraLevel = 172;
constexpr int IrisLevel = 76;
constexpr int RimLevel = 62;
constexpr int GlintLevel = 250;

constexpr int SubPixelBits = 4;
constexpr double SubPixelScale = 1 << SubPixelBits;

cv::Point fixedPoint(cv::Point2d p)
{
    return {int(std::lround(p.x * SubPixelScale)), int(std::lround(p.y * SubPixelScale))};
}

int fixedLength(double v)
{
    return int(std::lround(v * SubPixelScale));
}

std::uint64_t mixSeed(std::uint32_t seed, std::int64_t frameIndex)
{
    // SplitMix64 step: neighbouring frames and seeds get unrelated noise.
    std::uint64_t z = (std::uint64_t(seed) << 32) ^ std::uint64_t(frameIndex) ^ 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return z ? z : 1;
}

} // namespace

SimulatedEyeSource::SimulatedEyeSource(Options options) : m_options(options)
{
    m_options.width = std::max(m_options.width, 16);
    m_options.height = std::max(m_options.height, 16);
    if (!(m_options.fps > 0.0 && m_options.fps <= 1000.0))
        m_options.fps = 30.0;
    cv::RNG rng(mixSeed(m_options.seed, -1));
    m_beatHz = 2.5 + rng.uniform(0.0, 1.0);
    m_beatPhase = rng.uniform(0.0, 1.0);
    m_slowDirection = rng.uniform(0, 2) == 0 ? -1 : 1;
    if (m_options.beatHz > 0.0 && m_options.beatHz <= m_options.fps / 2)
        m_beatHz = m_options.beatHz;
    m_options.pupilShare = std::clamp(m_options.pupilShare, 0.05, 0.95);
    m_options.pupilLevel = std::clamp(m_options.pupilLevel, 0, 255);
    m_options.blurSigma = std::max(m_options.blurSigma, 0.0);
    m_options.noiseSigma = std::max(m_options.noiseSigma, 0.0);
    m_options.blinkDuration = std::max(m_options.blinkDuration, 0.0);
    if (m_options.blinkInterval > 0.0)
        m_options.blinkDuration = std::min(m_options.blinkDuration, m_options.blinkInterval);
    m_options.lidCover = std::clamp(m_options.lidCover, 0.0, 1.0);
    m_options.amplitude = std::clamp(m_options.amplitude, 0.0, 0.3);
}

bool SimulatedEyeSource::open()
{
    m_open = true;
    m_frameIndex = 0;
    m_start = std::chrono::steady_clock::now();
    if (m_options.virtualClock)
        m_clockBase = m_options.virtualClock->now();
    return true;
}

bool SimulatedEyeSource::read(cv::Mat& bgr)
{
    if (!m_open)
        return false;
    const std::int64_t k = m_frameIndex++;
    renderFrame(k, bgr);
    if (m_options.virtualClock) {
        m_options.virtualClock->set(m_clockBase + std::llround(double(k) * 1000.0 / m_options.fps));
        return true;
    }
    using namespace std::chrono;
    const auto period = duration<double>(1.0 / m_options.fps);
    auto due = m_start + duration_cast<steady_clock::duration>(period * double(k));
    const auto now = steady_clock::now();
    if (now - due > duration_cast<steady_clock::duration>(period * 2.0)) {
        // Fell behind (a slow consumer): keep the rate from here instead of delivering a burst.
        m_start = now - duration_cast<steady_clock::duration>(period * double(k));
        due = now;
    }
    std::this_thread::sleep_until(due);
    return true;
}

cv::Point2d SimulatedEyeSource::pupilCentre(std::int64_t frameIndex) const
{
    return pupilCentreAt(double(frameIndex) / m_options.fps);
}

cv::Point2d SimulatedEyeSource::pupilCentreAt(double t) const
{
    const double w = m_options.width;
    const double h = m_options.height;
    const double amplitude = m_options.amplitude * w;
    const double sway = 0.12 * amplitude * std::sin(2.0 * Pi * 0.4 * t);
    if (m_options.beat == Beat::None)
        return {w / 2.0, h / 2.0 + sway};

    const double u = t * m_beatHz + m_beatPhase;
    const double phase = u - std::floor(u);
    double offset; // -1 .. +1 along the slow-phase direction
    if (phase < 1.0 - FastPhaseShare)
        offset = 2.0 * phase / (1.0 - FastPhaseShare) - 1.0;
    else
        offset = 1.0 - 2.0 * (phase - (1.0 - FastPhaseShare)) / FastPhaseShare;

    const double along = m_slowDirection * amplitude * offset;
    switch (m_options.beat) {
    case Beat::Vertical:
        return {w / 2.0 + sway, h / 2.0 + along};
    case Beat::Oblique:
        return {w / 2.0 + 0.8 * along, h / 2.0 + 0.6 * along};
    default:
        return {w / 2.0 + along, h / 2.0 + sway};
    }
}

cv::Point2d SimulatedEyeSource::slowPhaseVelocity() const
{
    const double speed = 2.0 * m_options.amplitude * m_options.width * m_beatHz / (1.0 - FastPhaseShare);
    const double v = m_slowDirection * speed;
    switch (m_options.beat) {
    case Beat::None:
        return {0.0, 0.0};
    case Beat::Vertical:
        return {0.0, v};
    case Beat::Oblique:
        return {0.8 * v, 0.6 * v};
    default:
        return {v, 0.0};
    }
}

double SimulatedEyeSource::pupilRadius(std::int64_t frameIndex) const
{
    const double t = double(frameIndex) / m_options.fps;
    const double irisRadius = 0.17 * std::min(m_options.width, m_options.height);
    return m_options.pupilShare * irisRadius * (1.0 + 0.04 * std::sin(2.0 * Pi * 0.3 * t));
}

double SimulatedEyeSource::lidClosure(std::int64_t frameIndex) const
{
    double blink = 0.0;
    const double interval = m_options.blinkInterval;
    if (interval > 0.0 && m_options.blinkDuration > 0.0) {
        const double since = double(frameIndex) / m_options.fps - 0.5 * interval;
        if (since >= 0.0) {
            const double into = std::fmod(since, interval);
            if (into < m_options.blinkDuration)
                blink = std::sin(Pi * into / m_options.blinkDuration);
        }
    }
    return std::max(m_options.lidCover, blink);
}

bool SimulatedEyeSource::blinking(std::int64_t frameIndex) const
{
    return lidClosure(frameIndex) > m_options.lidCover;
}

double SimulatedEyeSource::visiblePupilShare(std::int64_t frameIndex) const
{
    const double r = pupilRadius(frameIndex);
    const double halfOpening = 0.21 * m_options.height;
    const double lidEdge = m_options.height / 2.0 - halfOpening + 2.0 * halfOpening * lidClosure(frameIndex);
    // The part of the pupil's disc below the lid's edge: a circular segment.
    const double d = std::clamp(lidEdge - pupilCentre(frameIndex).y, -r, r);
    return (r * r * std::acos(d / r) - d * std::sqrt(r * r - d * d)) / (Pi * r * r);
}

void SimulatedEyeSource::renderFrame(std::int64_t frameIndex, cv::Mat& bgr) const
{
    const int w = m_options.width;
    const int h = m_options.height;
    const double size = std::min(w, h);
    const cv::Point2d eyeCentre(w / 2.0, h / 2.0);
    const cv::Point2d pupil = pupilCentre(frameIndex);
    const double irisRadius = 0.17 * size;
    const double pupilRadius = this->pupilRadius(frameIndex);
    const cv::Size eyeAxes(fixedLength(0.40 * w), fixedLength(0.21 * h));
    const int rimThickness = std::max(2, int(size / 160));

    cv::Mat grey(h, w, CV_8UC1, cv::Scalar(SkinLevel));
    // The iris is seen only through the eye opening, so it is drawn into a mask of the opening.
    cv::Mat opening(h, w, CV_8UC1, cv::Scalar(0));
    cv::ellipse(opening, fixedPoint(eyeCentre), eyeAxes, 0, 0, 360, cv::Scalar(255), cv::FILLED, cv::LINE_AA,
                SubPixelBits);
    // The upper lid hides the opening down to its edge.
    const double closure = lidClosure(frameIndex);
    const double lidEdge = eyeCentre.y - 0.21 * h + 2.0 * 0.21 * h * closure;
    if (closure > 0.0)
        cv::rectangle(opening, cv::Point(0, 0), cv::Point(w - 1, int(std::lround(lidEdge))), cv::Scalar(0),
                      cv::FILLED);
    cv::Mat eye(h, w, CV_8UC1, cv::Scalar(ScleraLevel));
    cv::circle(eye, fixedPoint(pupil), fixedLength(irisRadius), cv::Scalar(IrisLevel), cv::FILLED,
               cv::LINE_AA, SubPixelBits);
    cv::circle(eye, fixedPoint(pupil), fixedLength(pupilRadius), cv::Scalar(m_options.pupilLevel), cv::FILLED,
               cv::LINE_AA, SubPixelBits);
    eye.copyTo(grey, opening);
    cv::ellipse(grey, fixedPoint(eyeCentre), eyeAxes, 0, 0, 360, cv::Scalar(RimLevel), rimThickness,
                cv::LINE_AA, SubPixelBits);
    if (closure > 0.0) {
        // The lid's dark lash line across the opening.
        const double across = (lidEdge - eyeCentre.y) / (0.21 * h);
        const double halfChord = 0.40 * w * std::sqrt(std::max(0.0, 1.0 - across * across));
        cv::line(grey, fixedPoint({eyeCentre.x - halfChord, lidEdge}),
                 fixedPoint({eyeCentre.x + halfChord, lidEdge}), cv::Scalar(RimLevel), rimThickness,
                 cv::LINE_AA, SubPixelBits);
    }

    // The reflection of the illuminator follows the cornea only part of the way.
    const cv::Point2d glint = eyeCentre + m_options.glintFollow * (pupil - eyeCentre) +
                              cv::Point2d(m_options.glintX, m_options.glintY) * irisRadius;
    if (closure == 0.0 || glint.y > lidEdge)
        cv::circle(grey, fixedPoint(glint), fixedLength(std::max(2.0, 0.015 * size)), cv::Scalar(GlintLevel),
                   cv::FILLED, cv::LINE_AA, SubPixelBits);

    if (m_options.blurSigma > 0.0)
        cv::GaussianBlur(grey, grey, cv::Size(), m_options.blurSigma);

    cv::Mat noisy = grey;
    if (m_options.noiseSigma > 0.0) {
        cv::Mat noise(h, w, CV_16SC1);
        cv::RNG rng(mixSeed(m_options.seed, frameIndex));
        rng.fill(noise, cv::RNG::NORMAL, 0.0, m_options.noiseSigma);
        cv::add(grey, noise, noisy, cv::noArray(), CV_8U);
    }
    cv::cvtColor(noisy, bgr, cv::COLOR_GRAY2BGR);
}

} // namespace tolvek
