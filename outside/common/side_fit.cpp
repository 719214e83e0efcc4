#include "outside/common/side_fit.h"

#include <array>

namespace outside {

namespace {

// Of two parallel edges along a side (a card's edge and, a few pixels out, the next card's band across a
// narrow gap, or a shadow's rim), the sheet's own is the inner one: refits to the innermost well-supported
// edge. But where the strip between the outermost edge and the inner one is paper, brighter than what lies
// beyond and either more like the sheet than like that or brighter than the face just inside (a playing
// card's white border round its darker back), the inner edge is print running close to the rim (a title
// line) or the face's border, and the outermost edge is the rim. `inside` points from the line into the
// region; `strip_level(from, to)` is the mean grey level between those offsets from the fitted line,
// `sheet_level()` the region's.
Line InnermostEdge(const std::vector<cv::Point2f>& near, const Line& fitted, cv::Point2d inside,
                   const std::function<double(double, double)>& strip_level,
                   const std::function<double()>& sheet_level) {
    constexpr int kBins = 24;        // offsets -12..+12 pixels, one pixel a bin
    constexpr double kRimStep = 20;  // grey levels by which light paper stands out from the desk beyond
    std::array<int, kBins> count{};
    std::vector<double> offsets;
    for (const auto& p : near) {
        double offset = (cv::Point2d(p) - fitted.point).dot(inside);
        offsets.push_back(offset);
        int bin = static_cast<int>(std::floor(offset)) + kBins / 2;
        if (bin >= 0 && bin < kBins) ++count[static_cast<size_t>(bin)];
    }
    const int strongest = *std::max_element(count.begin(), count.end());
    auto peak = [&](int bin) {
        int here = count[static_cast<size_t>(bin)];
        int above = bin + 1 < kBins ? count[static_cast<size_t>(bin + 1)] : 0,
            below = bin > 0 ? count[static_cast<size_t>(bin - 1)] : 0;
        return here >= above && here >= below && here + std::max(above, below) >= 0.5 * strongest;
    };
    auto refit_at = [&](double centre) {
        if (std::abs(centre) < 1.5) return fitted;  // the fitted line is that edge already
        std::vector<cv::Point2f> chosen;
        for (size_t i = 0; i < near.size(); ++i)
            if (std::abs(offsets[i] - centre) <= 1.5) chosen.push_back(near[i]);
        if (chosen.size() < 8) return fitted;
        return FitLineRobustly(chosen);
    };
    auto centre_of = [](int bin) { return bin - kBins / 2 + 0.5; };
    // Peaks (with their neighbours) from the inside outwards; the first with a fair share of the points.
    for (int bin = kBins - 1; bin >= 0; --bin) {
        if (!peak(bin)) continue;
        const double inner = centre_of(bin);
        int outer_bin = 0;
        while (outer_bin < bin && !peak(outer_bin)) ++outer_bin;
        const double outer = centre_of(outer_bin);
        if (inner - outer >= 4) {
            const double strip = strip_level(outer + 1.5, inner - 1.5),
                         beyond = strip_level(outer - 4, outer - 2);
            if (strip >= beyond + kRimStep && (std::abs(strip - sheet_level()) < 0.5 * (strip - beyond) ||
                                               strip >= strip_level(inner + 1.5, inner + 4) + kRimStep))
                return refit_at(outer);
        }
        return refit_at(inner);
    }
    return fitted;
}

}  // namespace

SideEdges EdgesAlongSide(const EdgeGrid& grid, cv::Point2d a, cv::Point2d b, cv::Point2d centre) {
    SideEdges side{a, b, centre, {}, 0};
    cv::Point2d along = b - a;
    double length = std::hypot(along.x, along.y);
    const cv::Point2d direction = along / std::max(length, 1e-9), normal(-direction.y, direction.x);
    // Within a band that grows with the side, but stays narrow beside the sheet's breadth: along a long,
    // narrow slip a wide band reaches the edges of stains and print well inside it.
    const double half_breadth = std::abs((centre - a).dot(normal));
    double band = std::max(4.0, std::min(0.015 * length, 0.08 * half_breadth));
    // The side counts as seen within the band its length allows: a slip's long side bows off its line by
    // more than the narrow band, its rim still showing along it.
    const double seen_band = std::max(band, 0.015 * length);
    std::vector<bool> covered(static_cast<size_t>(std::max(1.0, length)) + 1, false);
    for (size_t cell : grid.CellsAlong(a, b, seen_band + 1))
        for (const cv::Point& p : grid.cells[cell]) {
            cv::Point2d d = cv::Point2d(p) - a;
            double t = d.dot(direction);
            if (t < 0.08 * length || t > 0.92 * length) continue;
            const double off = std::abs(d.dot(normal));
            if (off > seen_band) continue;
            covered[static_cast<size_t>(t)] = true;
            if (off <= band) side.near.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        }
    size_t span = static_cast<size_t>(0.84 * length);
    side.coverage =
        span == 0
            ? 0
            : std::min(1.0, static_cast<double>(std::count(covered.begin(), covered.end(), true)) / span);
    return side;
}

Line FitSide(const SideEdges& side, const cv::Mat& grey, const std::function<double()>& sheet_level) {
    const cv::Point2d a = side.a, centre = side.centre, along = side.b - side.a;
    const double length = std::hypot(along.x, along.y);
    const std::vector<cv::Point2f>& near = side.near;
    if (near.size() < 8) return Line{a, along / std::max(length, 1e-9)};
    const Line line = FitLineRobustly(near);
    cv::Point2d inside(-line.direction.y, line.direction.x);
    if ((centre - line.point).dot(inside) < 0) inside = -inside;
    auto strip_level = [&](double from, double to) {
        double sum = 0;
        int samples = 0;
        const int steps = std::max(2, static_cast<int>(length / 2));
        for (int i = 0; i <= steps; ++i) {
            cv::Point2d on = a + along * (0.08 + 0.84 * i / steps);
            on = line.point + (on - line.point).dot(line.direction) * line.direction;
            for (double offset = from; offset <= to + 1e-9; offset += 1) {
                cv::Point p(cvRound(on.x + offset * inside.x), cvRound(on.y + offset * inside.y));
                if (p.x < 0 || p.y < 0 || p.x >= grey.cols || p.y >= grey.rows) continue;
                sum += grey.at<uchar>(p);
                ++samples;
            }
        }
        return samples > 0 ? sum / samples : 0.0;
    };
    return InnermostEdge(near, line, inside, strip_level, sheet_level);
}

}  // namespace outside
