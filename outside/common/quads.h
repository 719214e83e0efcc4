#pragma once
// Finding convex four-sided regions that stand out from their background (pages, cards), measuring
// them and cutting them out straightened. Plain OpenCV, no files: the detectors' decision logic.

#include <opencv2/core.hpp>

#include <array>
#include <vector>

namespace outside {

// Corners in picture pixel coordinates (pixel centres at integers), in the order top-left,
// top-right, bottom-right, bottom-left of the region turned back upright by the smallest turn.
struct Quad {
    std::array<cv::Point2d, 4> corners;
    double confidence = 0;  // 0..1: how much of the outline the picture's edges support
};

struct QuadSearch {
    double min_area_fraction = 0.05;  // of the picture
    double max_area_fraction = 0.95;
    double min_confidence = 0.6;
};

// Every outermost convex four-sided outline found, largest area first. Regions touching the picture's
// border are left out (they are cut off, or they are the desk itself).
std::vector<Quad> FindQuads(const cv::Mat& bgr, const QuadSearch& search);

double QuadArea(const Quad& quad);
// Turn of the top edge in degrees, positive clockwise on screen (y grows downwards).
double QuadAngleDegrees(const Quad& quad);
// Width from the top and bottom edges, height from the left and right edges (averaged, rounded).
cv::Size QuadSize(const Quad& quad);

// Cuts the region out as an upright rectangle of QuadSize, correcting perspective.
cv::Mat StraightenQuad(const cv::Mat& bgr, const Quad& quad);

// Puts four corners in the Quad order (see above).
std::array<cv::Point2d, 4> OrderCorners(std::array<cv::Point2d, 4> corners);

}  // namespace outside
