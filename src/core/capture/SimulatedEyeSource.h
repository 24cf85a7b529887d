#pragma once
// A built-in infrared eye camera for tests, demos and anyone without hardware: a dark iris and
// pupil with a corneal reflection on a grey background with sensor noise, the pupil beating in
// a jerk nystagmus (slow drift, quick reset, a few beats per second). Frame k depends only on
// the options and k. Paced by sleeping to its frame rate, or by moving a ManualTickClock instead.
// The picture knobs (pupil, blur, noise, reflection, lids, beat pattern) serve the tracker's tests
// and benchmark; their defaults give the picture the recorder has always been tested with.
// One thread only. Failure modes: none once constructed; read() fails only when not open.

#include "core/capture/FrameSource.h"
#include "core/capture/TickClock.h"

#include <chrono>
#include <cstdint>

namespace tolvek {

class SimulatedEyeSource : public FrameSource
{
  public:
    // The way the pupil moves: a jerk nystagmus beating horizontally, vertically or obliquely
    // (horizontal and vertical at once, the horizontal part larger), or none (steady fixation).
    enum class Beat { Horizontal, Vertical, Oblique, None };

    struct Options
    {
        int width = 640;
        int height = 480;
        double fps = 30.0;
        std::uint32_t seed = 1;
        // When set, read() does not sleep: it sets this clock to the frame's time (the time at
        // open plus k frame periods), so a test drives capture time without waiting.
        ManualTickClock* virtualClock = nullptr;

        // The picture: pupil radius as a share of the iris radius, the pupil's grey level (the
        // iris is 76, so a higher level means less contrast), a Gaussian blur of the optics in
        // pixels (0 none), the sensor noise in grey levels.
        double pupilShare = 0.42;
        int pupilLevel = 18;
        double blurSigma = 0.0;
        double noiseSigma = 4.0;
        // The corneal reflection: its offset from the followed point in iris radii, and the share
        // of the pupil's movement away from the eye's centre it follows.
        double glintX = 0.25;
        double glintY = -0.25;
        double glintFollow = 0.45;
        // Lids: a blink every blinkInterval seconds (0 none) taking blinkDuration seconds, the
        // first one half an interval in; lidCover is the share of the eye opening the upper lid
        // always covers, from the top.
        double blinkInterval = 0.0;
        double blinkDuration = 0.3;
        double lidCover = 0.0;
        // The movement: the beat's axis, its amplitude as a share of the picture's width (half the
        // sweep of one slow phase), and its beats per second (0: drawn from the seed, 2.5..3.5).
        Beat beat = Beat::Horizontal;
        double amplitude = 0.07;
        double beatHz = 0.0;
    };

    explicit SimulatedEyeSource(Options options);

    bool open() override;
    bool isOpened() const override { return m_open; }
    bool read(cv::Mat& bgr) override;
    void release() override { m_open = false; }
    cv::Size frameSize() const override { return {m_options.width, m_options.height}; }
    double nominalFps() const override { return m_options.fps; }

    // The picture of frame k, 8-bit BGR (grey in all three channels, as an IR camera gives).
    void renderFrame(std::int64_t frameIndex, cv::Mat& bgr) const;
    // Where the model puts the pupil centre in frame k, in pixels.
    cv::Point2d pupilCentre(std::int64_t frameIndex) const;
    // The same at any time in seconds from frame 0.
    cv::Point2d pupilCentreAt(double seconds) const;
    // The pupil's radius in frame k, in pixels.
    double pupilRadius(std::int64_t frameIndex) const;
    // The share of the eye opening the upper lid covers in frame k (0 open, 1 closed), and
    // whether a blink is under way then.
    double lidClosure(std::int64_t frameIndex) const;
    bool blinking(std::int64_t frameIndex) const;
    // The share of the pupil's area the lid leaves visible in frame k.
    double visiblePupilShare(std::int64_t frameIndex) const;
    // Nystagmus beats per second and the slow phase's direction along the beat's axis (+1 right
    // or down, -1 left or up). With Beat::None there are no beats.
    double beatFrequency() const { return m_beatHz; }
    int slowPhaseDirection() const { return m_slowDirection; }
    const Options& options() const { return m_options; }
    // The slow phase's steady velocity in pixels per second (the slow sway across the beat's
    // axis, whose mean is zero, left out); zero with Beat::None.
    cv::Point2d slowPhaseVelocity() const;

    // Share of each beat taken by the quick reset.
    static constexpr double FastPhaseShare = 0.12;

  private:
    Options m_options;
    bool m_open = false;
    std::int64_t m_frameIndex = 0;
    std::int64_t m_clockBase = 0;
    std::chrono::steady_clock::time_point m_start;
    double m_beatHz = 3.0;
    double m_beatPhase = 0.0;
    int m_slowDirection = -1;
};

} // namespace tolvek
