#pragma once
// The sides of a coarse outline fitted to the edge pixels along them. Detection works on a smaller copy
// (QuadSearch::working_size); fitting lines to many edge pixels keeps the corners well under a pixel of
// that copy.

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "outside/common/line_fit.h"

namespace outside {

// Edge pixels bucketed in square cells, so that a side visits only the cells along it.
struct EdgeGrid {
    static constexpr int kCell = 16;
    int columns = 0, rows = 0;
    std::vector<std::vector<cv::Point>> cells;

    EdgeGrid(const std::vector<cv::Point>& points, cv::Size size)
        : columns(size.width / kCell + 1),
          rows(size.height / kCell + 1),
          cells(static_cast<size_t>(columns) * rows) {
        for (const cv::Point& p : points)
            cells[static_cast<size_t>(p.y / kCell) * columns + p.x / kCell].push_back(p);
    }

    // Indices of the cells within `reach` pixels of the segment a-b.
    std::vector<size_t> CellsAlong(cv::Point2d a, cv::Point2d b, double reach) const {
        std::vector<size_t> found;
        double length = cv::norm(b - a);
        int steps = static_cast<int>(length / (kCell / 2)) + 1;
        int spread = static_cast<int>(std::ceil(reach / kCell));
        for (int i = 0; i <= steps; ++i) {
            cv::Point2d p = a + (b - a) * (static_cast<double>(i) / steps);
            int cx = static_cast<int>(std::floor(p.x / kCell)),
                cy = static_cast<int>(std::floor(p.y / kCell));
            for (int y = cy - spread; y <= cy + spread; ++y)
                for (int x = cx - spread; x <= cx + spread; ++x)
                    if (x >= 0 && y >= 0 && x < columns && y < rows)
                        found.push_back(static_cast<size_t>(y) * columns + x);
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }
};

// The edge pixels of `grid` lying along the side from a to b (away from its ends), and how much of the side
// they cover (0 to 1). `centre` lies inside the outline.
struct SideEdges {
    cv::Point2d a, b, centre;
    std::vector<cv::Point2f> near;  // within the band the line is fitted in
    double coverage = 0;
};
SideEdges EdgesAlongSide(const EdgeGrid& grid, cv::Point2d a, cv::Point2d b, cv::Point2d centre);

// Fits a line to a side's edge pixels, the innermost of two parallel edges where the strip between them is
// no paper. `sheet_level()` is the grey inside the outline.
Line FitSide(const SideEdges& side, const cv::Mat& grey, const std::function<double()>& sheet_level);

}  // namespace outside
