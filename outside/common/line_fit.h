#pragma once
// Straight lines through edge points: the sides of pages and cards.

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

namespace outside {

struct Line {
    cv::Point2d point, direction;  // direction is a unit vector
};

// Where two lines cross; none when they run parallel.
std::optional<cv::Point2d> Intersect(const Line& a, const Line& b);

// The line through `points` that a few far ones (print near a rim, a neighbour's edge, a shadow's) pull
// little: Huber's weights on each point's distance. The points must be two or more.
Line FitLineRobustly(const std::vector<cv::Point2f>& points);

}  // namespace outside
