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
    double brightness = 0;  // mean grey level inside, 0..255
};

struct QuadSearch {
    double min_area_fraction = 0.05;  // of the picture
    double max_area_fraction = 0.95;
    double min_confidence = 0.6;
    // Print darker than the paper and narrower than this (in pixels of a 1000-pixel working copy) is
    // wiped out before outlines are sought; gaps between sheets narrower than it close too.
    int print_size = 7;
};

// Every convex four-sided outline found, nested ones included (a page on a mat gives both), largest
// area first; outlines of the same region found twice are given once. Regions touching the picture's
// border are left out (they are cut off, or they are the desk itself).
std::vector<Quad> FindQuads(const cv::Mat& bgr, const QuadSearch& search);

// Whether inner lies within outer (every corner) and is clearly smaller.
bool QuadContains(const Quad& outer, const Quad& inner);

// Whether inner is brighter than the part of outer around it: paper lying on a mat or a base plate
// rather than a picture or a box printed on the paper.
bool BrighterThanSurroundings(const Quad& outer, const Quad& inner);

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
