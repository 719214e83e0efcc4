#pragma once
// Four-sided regions of a picture (pages, cards) as the detectors measure them: their corners, area, size
// and angle, how two of them lie to each other, the grey inside an outline, and cutting one out
// straightened. Plain OpenCV.

#include <array>
#include <opencv2/core.hpp>
#include <vector>

namespace outside {

// Corners in picture pixel coordinates (pixel centres at integers), in the order top-left,
// top-right, bottom-right, bottom-left of the region turned back upright by the smallest turn.
struct Quad {
    std::array<cv::Point2d, 4> corners;
    double confidence = 0;  // 0..1: how much of the outline the picture's edges support
    double brightness = 0;  // mean grey level inside, 0..255
    double surround = 0;    // mean grey level of a narrow ring just outside
};

// Mean level of each channel inside the outer polygon and outside the inner one (none: the whole outer
// one), over the outer polygon's bounding box only.
cv::Scalar MeanColourWithin(const cv::Mat& image, const std::vector<cv::Point>& outer,
                            const std::vector<cv::Point>& inner = {});

// Mean grey level, as above.
double MeanWithin(const cv::Mat& grey, const std::vector<cv::Point>& outer,
                  const std::vector<cv::Point>& inner = {});

// Whether every corner of the outline is within 37 degrees of square (a page seen from a steep phone angle
// is not).
bool CornersReasonable(const std::array<cv::Point2d, 4>& c);

// Puts four corners in the Quad order (see above).
std::array<cv::Point2d, 4> OrderCorners(std::array<cv::Point2d, 4> corners);

// The area enclosed, in square pixels.
double QuadArea(const Quad& quad);

// Turn of the top edge in degrees, positive clockwise on screen (y grows downwards).
double QuadAngleDegrees(const Quad& quad);

// Width from the top and bottom edges, height from the left and right edges (averaged, rounded).
cv::Size QuadSize(const Quad& quad);

// The long side over the short side, from QuadSize.
double LongToShortSide(const Quad& quad);

// Cuts the region out as an upright rectangle of QuadSize, correcting perspective; with an inset the cut
// lies that many pixels inside the outline on every side (and the rectangle is smaller by twice that).
cv::Mat StraightenQuad(const cv::Mat& bgr, const Quad& quad, double inset = 0);

// The area enclosed by four corners in order, in square pixels.
double QuadAreaOf(const std::array<cv::Point2d, 4>& c);

// How many sides of inner lie on side lines of outer: a band or a picture running to a card's or page's
// edge shares them, a sheet lying on a mat shares none.
int SharedSides(const Quad& outer, const Quad& inner);

// Area two convex outlines cover in common.
double CommonArea(const Quad& a, const Quad& b);

// Whether inner lies within outer (every corner) and is clearly smaller.
bool QuadContains(const Quad& outer, const Quad& inner);

// Whether inner lies within outer, up to a pixel or so (regions sharing a side meet on it), whatever their
// sizes.
bool LiesWithin(const Quad& outer, const Quad& inner);

// Whether inner is brighter than the part of outer around it: paper lying on a mat or a base plate
// rather than a picture or a box printed on the paper.
bool BrighterThanSurroundings(const Quad& outer, const Quad& inner);

// The detectors' cut lies this far (pixels of the picture) inside the found outline: the outline's own
// pixels blend sheet and desk.
constexpr double kCropInset = 1.5;

}  // namespace outside
