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
constexpr int PupilLevel = 18;
constexpr int RimLevel = 62;
constexpr int GlintLevel = 250;
constexpr double NoiseSigma = 4.0;

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
    const double w = m_options.width;
    const double h = m_options.height;
    const double t = double(frameIndex) / m_options.fps;
    const double amplitude = 0.07 * w;

    const double u = t * m_beatHz + m_beatPhase;
    const double phase = u - std::floor(u);
    double offset; // -1 .. +1 along the slow-phase direction
    if (phase < 1.0 - FastPhaseShare)
        offset = 2.0 * phase / (1.0 - FastPhaseShare) - 1.0;
    else
        offset = 1.0 - 2.0 * (phase - (1.0 - FastPhaseShare)) / FastPhaseShare;

    const double x = w / 2.0 + m_slowDirection * amplitude * offset;
    const double y = h / 2.0 + 0.12 * amplitude * std::sin(2.0 * Pi * 0.4 * t);
    return {x, y};
}

void SimulatedEyeSource::renderFrame(std::int64_t frameIndex, cv::Mat& bgr) const
{
    const int w = m_options.width;
    const int h = m_options.height;
    const double size = std::min(w, h);
    const double t = double(frameIndex) / m_options.fps;
    const cv::Point2d eyeCentre(w / 2.0, h / 2.0);
    const cv::Point2d pupil = pupilCentre(frameIndex);
    const double irisRadius = 0.17 * size;
    const double pupilRadius = 0.42 * irisRadius * (1.0 + 0.04 * std::sin(2.0 * Pi * 0.3 * t));
    const cv::Size eyeAxes(fixedLength(0.40 * w), fixedLength(0.21 * h));

    cv::Mat grey(h, w, CV_8UC1, cv::Scalar(SkinLevel));
    // The iris is seen only through the eye opening, so it is drawn into a mask of the opening.
    cv::Mat opening(h, w, CV_8UC1, cv::Scalar(0));
    cv::ellipse(opening, fixedPoint(eyeCentre), eyeAxes, 0, 0, 360, cv::Scalar(255), cv::FILLED, cv::LINE_AA,
                SubPixelBits);
    cv::Mat eye(h, w, CV_8UC1, cv::Scalar(ScleraLevel));
    cv::circle(eye, fixedPoint(pupil), fixedLength(irisRadius), cv::Scalar(IrisLevel), cv::FILLED,
               cv::LINE_AA, SubPixelBits);
    cv::circle(eye, fixedPoint(pupil), fixedLength(pupilRadius), cv::Scalar(PupilLevel), cv::FILLED,
               cv::LINE_AA, SubPixelBits);
    eye.copyTo(grey, opening);
    cv::ellipse(grey, fixedPoint(eyeCentre), eyeAxes, 0, 0, 360, cv::Scalar(RimLevel),
                std::max(2, int(size / 160)), cv::LINE_AA, SubPixelBits);

    // The reflection of the illuminator follows the cornea only part of the way.
    const cv::Point2d glint = eyeCentre + 0.45 * (pupil - eyeCentre) + cv::Point2d(0.25, -0.25) * irisRadius;
    cv::circle(grey, fixedPoint(glint), fixedLength(std::max(2.0, 0.015 * size)), cv::Scalar(GlintLevel),
               cv::FILLED, cv::LINE_AA, SubPixelBits);

    cv::Mat noise(h, w, CV_16SC1);
    cv::RNG rng(mixSeed(m_options.seed, frameIndex));
    rng.fill(noise, cv::RNG::NORMAL, 0.0, NoiseSigma);
    cv::Mat noisy;
    cv::add(grey, noise, noisy, cv::noArray(), CV_8U);
    cv::cvtColor(noisy, bgr, cv::COLOR_GRAY2BGR);
}

} // namespace tolvek
