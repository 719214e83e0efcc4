#include "outside/common/line_fit.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace outside {

std::optional<cv::Point2d> Intersect(const Line& a, const Line& b) {
    const double cross = a.direction.x * b.direction.y - a.direction.y * b.direction.x;
    if (std::abs(cross) < 1e-9) return std::nullopt;
    const cv::Point2d d = b.point - a.point;
    return a.point + (d.x * b.direction.y - d.y * b.direction.x) / cross * a.direction;
}

Line FitLineRobustly(const std::vector<cv::Point2f>& points) {
    // OpenCV's Huber fit restarts from twenty small random draws of the points and keeps the line nearest
    // to most of them: refitted from least squares alone, a side with a neighbour's edge or a shadow's
    // rim beside it settled between the two, and cards were lost or counted twice on real photographs.
    cv::Vec4f fitted;
    cv::fitLine(points, fitted, cv::DIST_HUBER, 0, 0.01, 0.01);
    return {cv::Point2d(fitted[2], fitted[3]), cv::Point2d(fitted[0], fitted[1])};
}

}  // namespace outside
