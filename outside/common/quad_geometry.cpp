#include "outside/common/quad_geometry.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace outside {

cv::Scalar MeanColourWithin(const cv::Mat& image, const std::vector<cv::Point>& outer,
                            const std::vector<cv::Point>& inner) {
    cv::Rect box = cv::boundingRect(outer) & cv::Rect(0, 0, image.cols, image.rows);
    if (box.empty()) return cv::Scalar::all(0);
    cv::Mat mask = cv::Mat::zeros(box.size(), CV_8U);
    auto shifted = [&](const std::vector<cv::Point>& polygon) {
        std::vector<cv::Point> moved;
        for (const auto& p : polygon) moved.push_back(p - box.tl());
        return moved;
    };
    cv::fillConvexPoly(mask, shifted(outer), cv::Scalar(255));
    if (!inner.empty()) cv::fillConvexPoly(mask, shifted(inner), cv::Scalar(0));
    const int count = cv::countNonZero(mask);
    if (count == 0) return cv::Scalar::all(0);
    if (image.type() != CV_8UC1) return cv::mean(image(box), mask);
    // A grey picture's mean is summed with the mask laid over it, to the same exact integer sum as cv::mean's
    // masked sum, which looks at each pixel's mask one by one and takes several times as long (this is
    // called for every outline found).
    cv::bitwise_and(image(box), mask, mask);
    return cv::Scalar(cv::sum(mask)[0] * (1. / count));
}

double MeanWithin(const cv::Mat& grey, const std::vector<cv::Point>& outer,
                  const std::vector<cv::Point>& inner) {
    return MeanColourWithin(grey, outer, inner)[0];
}

bool CornersReasonable(const std::array<cv::Point2d, 4>& c) {
    for (int i = 0; i < 4; ++i) {
        cv::Point2d u = c[(i + 3) % 4] - c[i], v = c[(i + 1) % 4] - c[i];
        double cosine = u.dot(v) / std::max(1e-9, std::hypot(u.x, u.y) * std::hypot(v.x, v.y));
        if (std::abs(cosine) > 0.6)
            return false;  // corner further than 37 degrees from square (a steep phone view)
    }
    return true;
}

std::array<cv::Point2d, 4> OrderCorners(std::array<cv::Point2d, 4> corners) {
    cv::Point2d centre(0, 0);
    for (const auto& c : corners) centre += c * 0.25;
    // Clockwise on screen (angle grows clockwise because y points down).
    std::sort(corners.begin(), corners.end(), [&](const cv::Point2d& p, const cv::Point2d& q) {
        return std::atan2(p.y - centre.y, p.x - centre.x) < std::atan2(q.y - centre.y, q.x - centre.x);
    });
    // The top-left corner starts the edge that points most nearly along +x.
    int best = 0;
    double best_dx = -2;
    for (int i = 0; i < 4; ++i) {
        cv::Point2d edge = corners[(i + 1) % 4] - corners[i];
        double dx = edge.x / std::max(1e-9, std::hypot(edge.x, edge.y));
        if (dx > best_dx) {
            best_dx = dx;
            best = i;
        }
    }
    std::rotate(corners.begin(), corners.begin() + best, corners.end());
    return corners;
}

double QuadArea(const Quad& quad) {
    double twice = 0;
    for (int i = 0; i < 4; ++i) {
        const auto& p = quad.corners[i];
        const auto& q = quad.corners[(i + 1) % 4];
        twice += p.x * q.y - q.x * p.y;
    }
    return std::abs(twice) / 2;
}

double QuadAngleDegrees(const Quad& quad) {
    cv::Point2d top = quad.corners[1] - quad.corners[0];
    return std::atan2(top.y, top.x) * 180.0 / CV_PI;
}

cv::Size QuadSize(const Quad& quad) {
    auto length = [&](int i, int j) { return cv::norm(quad.corners[j] - quad.corners[i]); };
    double width = (length(0, 1) + length(3, 2)) / 2;
    double height = (length(0, 3) + length(1, 2)) / 2;
    return {std::max(1, static_cast<int>(std::lround(width))),
            std::max(1, static_cast<int>(std::lround(height)))};
}

double LongToShortSide(const Quad& quad) {
    const cv::Size size = QuadSize(quad);
    return static_cast<double>(std::max(size.width, size.height)) /
           std::max(1, std::min(size.width, size.height));
}

cv::Mat StraightenQuad(const cv::Mat& bgr, const Quad& quad, double inset) {
    cv::Size outline = QuadSize(quad);
    cv::Size size(std::max(1, static_cast<int>(std::lround(outline.width - 2 * inset))),
                  std::max(1, static_cast<int>(std::lround(outline.height - 2 * inset))));
    // Corners lie on the outline, half a pixel outside the outermost pixel centres; an inset moves the
    // outline that far outside the cut.
    const auto lo = static_cast<float>(-0.5 - inset);
    const auto w = static_cast<float>(size.width - 0.5 + inset),
               h = static_cast<float>(size.height - 0.5 + inset);
    std::array<cv::Point2f, 4> to = {cv::Point2f(lo, lo), cv::Point2f(w, lo), cv::Point2f(w, h),
                                     cv::Point2f(lo, h)};
    std::array<cv::Point2f, 4> from;
    for (int i = 0; i < 4; ++i) from[i] = cv::Point2f(quad.corners[i]);
    cv::Mat transform = cv::getPerspectiveTransform(from.data(), to.data());
    cv::Mat out;
    cv::warpPerspective(bgr, out, transform, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

double QuadAreaOf(const std::array<cv::Point2d, 4>& c) {
    double twice = 0;
    for (size_t i = 0; i < 4; ++i) twice += c[i].x * c[(i + 1) % 4].y - c[(i + 1) % 4].x * c[i].y;
    return std::abs(twice) / 2;
}

int SharedSides(const Quad& outer, const Quad& inner) {
    int shared = 0;
    for (int i = 0; i < 4; ++i) {
        cv::Point2d u = inner.corners[i], v = inner.corners[(i + 1) % 4];
        for (int k = 0; k < 4; ++k) {
            cv::Point2d p = outer.corners[k], q = outer.corners[(k + 1) % 4];
            double length = cv::norm(q - p);
            cv::Point2d direction = (q - p) / std::max(1e-9, length), normal(-direction.y, direction.x);
            double tolerance = std::max(3.0, 0.015 * length);
            if (std::abs((u - p).dot(normal)) < tolerance && std::abs((v - p).dot(normal)) < tolerance) {
                ++shared;
                break;
            }
        }
    }
    return shared;
}

double CommonArea(const Quad& a, const Quad& b) {
    std::vector<cv::Point2f> pa, pb, shared;
    for (const auto& c : a.corners) pa.emplace_back(cv::Point2f(c));
    for (const auto& c : b.corners) pb.emplace_back(cv::Point2f(c));
    return cv::intersectConvexConvex(pa, pb, shared);
}

bool QuadContains(const Quad& outer, const Quad& inner) {
    if (QuadArea(inner) > 0.9 * QuadArea(outer)) return false;
    std::vector<cv::Point2f> outline;
    for (const auto& corner : outer.corners) outline.emplace_back(cv::Point2f(corner));
    return std::all_of(inner.corners.begin(), inner.corners.end(), [&](const cv::Point2d& corner) {
        return cv::pointPolygonTest(outline, cv::Point2f(corner), false) >= 0;
    });
}

bool LiesWithin(const Quad& outer, const Quad& inner) {
    std::vector<cv::Point2f> outline;
    for (const auto& corner : outer.corners) outline.emplace_back(cv::Point2f(corner));
    cv::Size size = QuadSize(outer);
    double tolerance = std::max(2.0, 0.01 * std::min(size.width, size.height));
    return std::all_of(inner.corners.begin(), inner.corners.end(), [&](const cv::Point2d& corner) {
        return cv::pointPolygonTest(outline, cv::Point2f(corner), true) >= -tolerance;
    });
}

bool BrighterThanSurroundings(const Quad& outer, const Quad& inner) {
    double outer_area = QuadArea(outer), inner_area = QuadArea(inner);
    double ring = (outer.brightness * outer_area - inner.brightness * inner_area) /
                  std::max(1.0, outer_area - inner_area);
    return inner.brightness > ring;
}

}  // namespace outside
