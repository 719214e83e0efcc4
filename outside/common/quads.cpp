#include "outside/common/quads.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

namespace outside {
namespace {

// Detection works on a copy no longer than this on its long side; fitting lines to many edge pixels
// keeps the corners well under a pixel of that copy.
constexpr int kWorkingSize = 1000;

struct Line {
    cv::Point2d point, direction;  // direction is a unit vector
};

std::optional<cv::Point2d> Intersect(const Line& a, const Line& b) {
    double cross = a.direction.x * b.direction.y - a.direction.y * b.direction.x;
    if (std::abs(cross) < 1e-9) return std::nullopt;
    cv::Point2d d = b.point - a.point;
    double t = (d.x * b.direction.y - d.y * b.direction.x) / cross;
    return a.point + t * a.direction;
}

// Fits a line to the edge pixels lying along the side from a to b (away from its ends), and tells
// how much of the side they cover.
Line FitSide(const std::vector<cv::Point>& edge_points, cv::Point2d a, cv::Point2d b, double* coverage) {
    cv::Point2d along = b - a;
    double length = std::hypot(along.x, along.y);
    Line coarse{a, along / std::max(length, 1e-9)};
    cv::Point2d normal(-coarse.direction.y, coarse.direction.x);
    double band = std::max(2.5, 0.01 * length);
    std::vector<cv::Point2f> near;
    std::vector<bool> covered(static_cast<size_t>(std::max(1.0, length)) + 1, false);
    for (const cv::Point& p : edge_points) {
        cv::Point2d d = cv::Point2d(p) - a;
        double t = d.dot(coarse.direction);
        if (t < 0.08 * length || t > 0.92 * length) continue;
        if (std::abs(d.dot(normal)) > band) continue;
        near.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        covered[static_cast<size_t>(t)] = true;
    }
    size_t span = static_cast<size_t>(0.84 * length);
    *coverage = span == 0 ? 0 : std::min(1.0, static_cast<double>(std::count(covered.begin(), covered.end(), true)) / span);
    if (near.size() < 8) return coarse;
    cv::Vec4f fitted;
    cv::fitLine(near, fitted, cv::DIST_HUBER, 0, 0.01, 0.01);
    return Line{cv::Point2d(fitted[2], fitted[3]), cv::Point2d(fitted[0], fitted[1])};
}

// Two outlines of one region (the outer and inner rims of one thick edge) give corners this close. Their
// corners are compared as sets: near 45 degrees the two may be numbered from different corners.
bool SameRegion(const Quad& a, const Quad& b) {
    cv::Size size = QuadSize(a);
    double tolerance = std::max(3.0, 0.03 * std::min(size.width, size.height));
    return std::all_of(a.corners.begin(), a.corners.end(), [&](const cv::Point2d& corner) {
        return std::any_of(b.corners.begin(), b.corners.end(),
                           [&](const cv::Point2d& other) { return cv::norm(corner - other) <= tolerance; });
    });
}

double MeanInside(const cv::Mat& grey, const std::vector<cv::Point>& polygon) {
    cv::Mat mask = cv::Mat::zeros(grey.size(), CV_8U);
    cv::fillConvexPoly(mask, polygon, cv::Scalar(255));
    return cv::mean(grey, mask)[0];
}

bool CornersReasonable(const std::array<cv::Point2d, 4>& c) {
    for (int i = 0; i < 4; ++i) {
        cv::Point2d u = c[(i + 3) % 4] - c[i], v = c[(i + 1) % 4] - c[i];
        double cosine = u.dot(v) / std::max(1e-9, std::hypot(u.x, u.y) * std::hypot(v.x, v.y));
        if (std::abs(cosine) > 0.5) return false;  // corner further than 30 degrees from square
    }
    return true;
}

}  // namespace

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
    return {std::max(1, static_cast<int>(std::lround(width))), std::max(1, static_cast<int>(std::lround(height)))};
}

cv::Mat StraightenQuad(const cv::Mat& bgr, const Quad& quad) {
    cv::Size size = QuadSize(quad);
    // Corners lie on the outline, half a pixel outside the outermost pixel centres.
    double w = size.width - 0.5, h = size.height - 0.5;
    std::array<cv::Point2f, 4> to = {cv::Point2f(-0.5f, -0.5f), cv::Point2f(static_cast<float>(w), -0.5f),
                                     cv::Point2f(static_cast<float>(w), static_cast<float>(h)),
                                     cv::Point2f(-0.5f, static_cast<float>(h))};
    std::array<cv::Point2f, 4> from;
    for (int i = 0; i < 4; ++i) from[i] = cv::Point2f(quad.corners[i]);
    cv::Mat transform = cv::getPerspectiveTransform(from.data(), to.data());
    cv::Mat out;
    cv::warpPerspective(bgr, out, transform, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

std::vector<Quad> FindQuads(const cv::Mat& bgr, const QuadSearch& search) {
    std::vector<Quad> found;
    if (bgr.empty() || bgr.type() != CV_8UC3) return found;
    double scale = std::min(1.0, static_cast<double>(kWorkingSize) / std::max(bgr.cols, bgr.rows));
    cv::Mat small, grey;
    if (scale < 1.0)
        cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    else
        small = bgr;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    // Closing wipes out dark print on light paper, so the paper's own outline is what remains.
    if (search.print_size > 1) {
        cv::Size print(search.print_size, search.print_size);
        cv::morphologyEx(grey, grey, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, print));
    }
    cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0);
    cv::Mat edges, joined;
    cv::Canny(grey, edges, 20, 60, 3, true);
    // Outlines are found on thickened edges (small gaps closed), lines fitted to the thin ones.
    cv::dilate(edges, joined, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    std::vector<std::vector<cv::Point>> contours;
    // Nested outlines too: a sheet on a mat, or sheets so close that one outline runs round them all.
    cv::findContours(joined, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    std::vector<cv::Point> edge_points;
    cv::findNonZero(edges, edge_points);

    const double picture_area = static_cast<double>(small.cols) * small.rows;
    const double border = 3;
    for (const auto& contour : contours) {
        std::vector<cv::Point> hull, polygon;
        cv::convexHull(contour, hull);
        double hull_area = cv::contourArea(hull);
        if (hull_area < search.min_area_fraction * picture_area || hull_area > search.max_area_fraction * picture_area)
            continue;
        cv::approxPolyDP(hull, polygon, 0.02 * cv::arcLength(hull, true), true);
        if (polygon.size() != 4 || !cv::isContourConvex(polygon)) continue;
        bool touches_border = std::any_of(hull.begin(), hull.end(), [&](const cv::Point& p) {
            return p.x < border || p.y < border || p.x > small.cols - 1 - border || p.y > small.rows - 1 - border;
        });
        if (touches_border) continue;

        std::array<cv::Point2d, 4> coarse;
        for (int i = 0; i < 4; ++i) coarse[i] = cv::Point2d(polygon[i]);
        std::array<Line, 4> sides;
        double coverage_sum = 0;
        for (int i = 0; i < 4; ++i) {
            double coverage = 0;
            sides[i] = FitSide(edge_points, coarse[i], coarse[(i + 1) % 4], &coverage);
            coverage_sum += coverage;
        }
        std::array<cv::Point2d, 4> corners;
        bool ok = true;
        for (int i = 0; i < 4 && ok; ++i) {
            auto corner = Intersect(sides[(i + 3) % 4], sides[i]);
            ok = corner.has_value();
            if (ok) corners[i] = *corner;
        }
        if (!ok || !CornersReasonable(corners)) continue;
        Quad quad;
        quad.confidence = coverage_sum / 4;
        if (quad.confidence < search.min_confidence) continue;
        std::vector<cv::Point> outline;
        for (const auto& corner : corners) outline.emplace_back(cvRound(corner.x), cvRound(corner.y));
        quad.brightness = MeanInside(grey, outline);
        for (int i = 0; i < 4; ++i) quad.corners[i] = (corners[i] + cv::Point2d(0.5, 0.5)) / scale - cv::Point2d(0.5, 0.5);
        quad.corners = OrderCorners(quad.corners);
        auto twin = std::find_if(found.begin(), found.end(), [&](const Quad& q) { return SameRegion(q, quad); });
        if (twin == found.end()) found.push_back(quad);
        else if (quad.confidence > twin->confidence) *twin = quad;
    }
    std::sort(found.begin(), found.end(), [](const Quad& a, const Quad& b) { return QuadArea(a) > QuadArea(b); });
    return found;
}

bool QuadContains(const Quad& outer, const Quad& inner) {
    if (QuadArea(inner) > 0.9 * QuadArea(outer)) return false;
    std::vector<cv::Point2f> outline;
    for (const auto& corner : outer.corners) outline.emplace_back(cv::Point2f(corner));
    return std::all_of(inner.corners.begin(), inner.corners.end(), [&](const cv::Point2d& corner) {
        return cv::pointPolygonTest(outline, cv::Point2f(corner), false) >= 0;
    });
}

bool BrighterThanSurroundings(const Quad& outer, const Quad& inner) {
    double outer_area = QuadArea(outer), inner_area = QuadArea(inner);
    double ring = (outer.brightness * outer_area - inner.brightness * inner_area) / std::max(1.0, outer_area - inner_area);
    return inner.brightness > ring;
}

}  // namespace outside
