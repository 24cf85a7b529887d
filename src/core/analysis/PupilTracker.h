#pragma once
// Finds the pupil in one infrared eye picture: its centre to a fraction of a pixel, its radius and
// a confidence in 0..1. The burnt-in date-time and ID boxes and the head picture are masked out;
// the corneal reflection, a lid over part of the pupil, noise and compression blocks are tolerated.
// A closed or mostly covered eye gives a low confidence (and no position), not a wrong position.
// Each frame is measured on its own, so a bad frame never spoils the next one.
// One object per thread (it keeps its work buffers between frames). Nothing throws.

#include <opencv2/core.hpp>

#include <vector>

namespace tolvek::analysis {

struct PupilSample
{
    bool found = false; // false: no pupil (closed eye, no eye in the picture); x, y, radius are 0
    double x = 0.0;     // centre in frame pixels, x to the right, y downwards
    double y = 0.0;
    double radius = 0.0;
    double confidence = 0.0;
};

// The areas of a recorded frame of this size that the recorder draws over: the head picture at
// the top left and the two text boxes along the bottom, each widened by a margin for the blur of
// compression. Clipped to the frame.
std::vector<cv::Rect> burntInAreas(cv::Size frame);

class PupilTracker
{
  public:
    // Below this confidence a measurement is not reported as a position.
    static constexpr double MinimumConfidence = 0.2;

    // masks: areas never searched, in frame pixels; burntInAreas(size) for a recorded video.
    explicit PupilTracker(std::vector<cv::Rect> masks = {});

    // frame: 8-bit BGR or grey. An empty or other frame gives found = false.
    PupilSample track(const cv::Mat& frame);

  private:
    struct Blob
    {
        cv::Point2d centre;
        double radius = 0.0;
        bool valid = false;
    };
    struct Fit
    {
        cv::Point2d centre;
        double radius = 0.0;
        int inliers = 0;
        int rays = 0;
        bool valid = false;
    };

    Blob coarseBlob();
    Fit fitEdge(cv::Point2d centre, double radius, double inner, double outer);
    bool edgeLevels(cv::Point2d centre, double radius);

    std::vector<cv::Rect> m_masks;
    cv::Mat m_grey;   // the frame in grey with the masked areas white
    cv::Mat m_small;  // reduced, reflections removed
    cv::Mat m_smooth; // m_small averaged, for the darkest spot
    cv::Mat m_roi;    // full-resolution float window round the pupil, smoothed
    cv::Rect m_roiRect;
    int m_scale = 1;
    double m_pupilLevel = 0.0;
    double m_outerLevel = 0.0;
    double m_edgeLevel = 0.0;
    double m_glintLevel = 255.0;
    std::vector<int> m_visited;
    std::vector<std::vector<int>> m_buckets;
    std::vector<cv::Point2d> m_edges;
};

} // namespace tolvek::analysis
