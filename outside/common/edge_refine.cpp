#include "outside/common/edge_refine.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <vector>

namespace outside {
namespace {

constexpr double kStep = 0.5;  // sampling step across a side, in picture pixels
constexpr int kSamplesPerSide = 160;

// The picture's three channels at a sub-pixel point; false outside the picture.
bool Sample(const cv::Mat& bgr, cv::Point2d p, cv::Vec3d& value) {
    int x = static_cast<int>(std::floor(p.x)), y = static_cast<int>(std::floor(p.y));
    if (x < 0 || y < 0 || x + 1 >= bgr.cols || y + 1 >= bgr.rows) return false;
    double fx = p.x - x, fy = p.y - y;
    const auto* r0 = bgr.ptr<cv::Vec3b>(y) + x;
    const auto* r1 = bgr.ptr<cv::Vec3b>(y + 1) + x;
    for (int c = 0; c < 3; ++c)
        value[c] =
            (1 - fy) * ((1 - fx) * r0[0][c] + fx * r0[1][c]) + fy * ((1 - fx) * r1[0][c] + fx * r1[1][c]);
    return true;
}

struct Side {
    cv::Point2d point, direction;
};

std::optional<cv::Point2d> Meet(const Side& a, const Side& b) {
    double cross = a.direction.x * b.direction.y - a.direction.y * b.direction.x;
    if (std::abs(cross) < 1e-9) return std::nullopt;
    cv::Point2d d = b.point - a.point;
    return a.point + (d.x * b.direction.y - d.y * b.direction.x) / cross * a.direction;
}

// The side from a to b refitted to the steepest step across it; nothing when too little of it shows one.
std::optional<Side> RefineSide(const cv::Mat& bgr, cv::Point2d a, cv::Point2d b, double reach) {
    const cv::Point2d along = b - a;
    const double length = cv::norm(along);
    if (length < 20) return std::nullopt;
    const cv::Point2d direction = along / length, normal(-direction.y, direction.x);
    const int half = static_cast<int>(std::ceil(reach / kStep));
    std::vector<cv::Vec3d> profile(static_cast<size_t>(2 * half + 3));
    std::vector<double> step(profile.size(), 0);
    std::vector<cv::Point2f> points;
    for (int i = 0; i < kSamplesPerSide; ++i) {
        // Away from the corners, where the neighbouring side's step would compete.
        cv::Point2d base = a + along * (0.1 + 0.8 * i / (kSamplesPerSide - 1));
        bool inside_picture = true;
        for (size_t k = 0; k < profile.size() && inside_picture; ++k)
            inside_picture =
                Sample(bgr, base + normal * ((static_cast<int>(k) - half - 1) * kStep), profile[k]);
        if (!inside_picture) continue;
        // Steepest step across the side, the channels' steps added (a blue band on a brown desk differs in
        // colour, hardly in grey), placed to a fraction of a step by a parabola through its neighbours.
        for (size_t k = 1; k + 1 < profile.size(); ++k)
            step[k] = cv::norm(profile[k + 1] - profile[k - 1], cv::NORM_L1);
        int best = -1;
        double strongest = 0;
        for (size_t k = 2; k + 2 < profile.size(); ++k)
            if (step[k] > strongest) {
                strongest = step[k];
                best = static_cast<int>(k);
            }
        // A clear step (three channels together, over a pixel) that is no end of the searched stretch.
        if (best < 0 || strongest < 24 || step[best] < step[best - 1] || step[best] < step[best + 1])
            continue;
        double l = step[static_cast<size_t>(best - 1)], c = step[static_cast<size_t>(best)],
               r = step[static_cast<size_t>(best + 1)];
        double denominator = l - 2 * c + r;
        double offset = std::abs(denominator) > 1e-9 ? 0.5 * (l - r) / denominator : 0;
        cv::Point2d found = base + normal * ((best + offset - half - 1) * kStep);
        points.emplace_back(static_cast<float>(found.x), static_cast<float>(found.y));
    }
    if (points.size() < kSamplesPerSide / 2) return std::nullopt;
    cv::Vec4f line;
    cv::fitLine(points, line, cv::DIST_HUBER, 0, 0.01, 0.01);
    Side side{cv::Point2d(line[2], line[3]), cv::Point2d(line[0], line[1])};
    // The refit must stay with the side it refines: near in place and in direction.
    if (std::abs(side.direction.dot(normal)) > std::sin(1.0 * CV_PI / 180)) return std::nullopt;
    for (cv::Point2d end : {a, b})
        if (std::abs((end - side.point).dot(normal)) > reach) return std::nullopt;
    return side;
}

}  // namespace

Quad RefineEdges(const cv::Mat& bgr, const Quad& quad, double reach) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return quad;
    std::array<Side, 4> sides;
    for (int i = 0; i < 4; ++i) {
        cv::Point2d a = quad.corners[static_cast<size_t>(i)],
                    b = quad.corners[static_cast<size_t>((i + 1) % 4)];
        cv::Point2d along = b - a;
        sides[static_cast<size_t>(i)] =
            RefineSide(bgr, a, b, reach).value_or(Side{a, along / std::max(1e-9, cv::norm(along))});
    }
    Quad refined = quad;
    for (int i = 0; i < 4; ++i) {
        auto corner = Meet(sides[static_cast<size_t>((i + 3) % 4)], sides[static_cast<size_t>(i)]);
        if (!corner || cv::norm(*corner - quad.corners[static_cast<size_t>(i)]) > 2 * reach) return quad;
        refined.corners[static_cast<size_t>(i)] = *corner;
    }
    return refined;
}

}  // namespace outside
