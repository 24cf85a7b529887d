#pragma once
// A built-in infrared eye camera for tests, demos and anyone without hardware: a dark iris and
// pupil with a corneal reflection on a grey background with sensor noise, the pupil beating in
// a jerk nystagmus (slow drift, quick reset, a few beats per second). Frame k depends only on
// the seed and k. Paced by sleeping to its frame rate, or by moving a ManualTickClock instead.
// One thread only. Failure modes: none once constructed; read() fails only when not open.

#include "core/capture/FrameSource.h"
#include "core/capture/TickClock.h"

#include <chrono>
#include <cstdint>

namespace tolvek {

class SimulatedEyeSource : public FrameSource
{
  public:
    struct Options
    {
        int width = 640;
        int height = 480;
        double fps = 30.0;
        std::uint32_t seed = 1;
        // When set, read() does not sleep: it sets this clock to the frame's time (the time at
        // open plus k frame periods), so a test drives capture time without waiting.
        ManualTickClock* virtualClock = nullptr;
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
    // Nystagmus beats per second and the slow phase's horizontal direction (+1 right, -1 left).
    double beatFrequency() const { return m_beatHz; }
    int slowPhaseDirection() const { return m_slowDirection; }

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
