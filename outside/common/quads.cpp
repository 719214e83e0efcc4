#include "outside/common/quads.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <optional>

#include "outside/common/line_fit.h"

namespace outside {
namespace {

// Detection works on a smaller copy (QuadSearch::working_size); fitting lines to many edge pixels keeps
// the corners well under a pixel of that copy.

// Fits a line to the edge pixels lying along the side from a to b (away from its ends), and tells
// how much of the side they cover.
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

Line FitSide(const EdgeGrid& grid, const cv::Mat& grey, cv::Point2d a, cv::Point2d b, cv::Point2d centre,
             const std::function<double()>& sheet_level, double* coverage) {
    cv::Point2d along = b - a;
    double length = std::hypot(along.x, along.y);
    Line coarse{a, along / std::max(length, 1e-9)};
    const cv::Point2d normal(-coarse.direction.y, coarse.direction.x);
    // Within a band that grows with the side, but stays narrow beside the sheet's breadth: along a long,
    // narrow slip a wide band reaches the edges of stains and print well inside it.
    const double half_breadth = std::abs((centre - a).dot(normal));
    double band = std::max(4.0, std::min(0.015 * length, 0.08 * half_breadth));
    // The side counts as seen within the band its length allows: a slip's long side bows off its line by
    // more than the narrow band, its rim still showing along it.
    const double seen_band = std::max(band, 0.015 * length);
    std::vector<cv::Point2f> near;
    std::vector<bool> covered(static_cast<size_t>(std::max(1.0, length)) + 1, false);
    for (size_t cell : grid.CellsAlong(a, b, seen_band + 1))
        for (const cv::Point& p : grid.cells[cell]) {
            cv::Point2d d = cv::Point2d(p) - a;
            double t = d.dot(coarse.direction);
            if (t < 0.08 * length || t > 0.92 * length) continue;
            const double off = std::abs(d.dot(normal));
            if (off > seen_band) continue;
            covered[static_cast<size_t>(t)] = true;
            if (off <= band) near.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        }
    size_t span = static_cast<size_t>(0.84 * length);
    *coverage =
        span == 0
            ? 0
            : std::min(1.0, static_cast<double>(std::count(covered.begin(), covered.end(), true)) / span);
    if (near.size() < 8) return coarse;
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

// Mean level of each channel inside the outer polygon and outside the inner one (none: the whole outer
// one), over the outer polygon's bounding box only.
cv::Scalar MeanColourWithin(const cv::Mat& image, const std::vector<cv::Point>& outer,
                            const std::vector<cv::Point>& inner = {}) {
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
    if (cv::countNonZero(mask) == 0) return cv::Scalar::all(0);
    return cv::mean(image(box), mask);
}

// Mean grey level, as above.
double MeanWithin(const cv::Mat& grey, const std::vector<cv::Point>& outer,
                  const std::vector<cv::Point>& inner = {}) {
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

namespace {

// The outline's four longest sides in outline order, meeting where the corners would be, when they make
// up most of it: a folded or cut corner is a short extra side.
std::optional<std::array<cv::Point2d, 4>> FourLongSides(const std::vector<cv::Point>& polygon) {
    const size_t n = polygon.size();
    if (n == 4) {
        std::array<cv::Point2d, 4> corners;
        for (size_t i = 0; i < 4; ++i) corners[i] = cv::Point2d(polygon[i]);
        return corners;
    }
    if (n < 5 || n > 6) return std::nullopt;
    std::vector<std::pair<double, size_t>> sides;
    double perimeter = 0;
    for (size_t i = 0; i < n; ++i) {
        double length = cv::norm(polygon[(i + 1) % n] - polygon[i]);
        sides.emplace_back(length, i);
        perimeter += length;
    }
    std::sort(sides.begin(), sides.end(), std::greater<>());
    double kept = 0;
    std::vector<size_t> chosen;
    for (size_t i = 0; i < 4; ++i) {
        kept += sides[i].first;
        chosen.push_back(sides[i].second);
    }
    if (kept < 0.85 * perimeter) return std::nullopt;
    std::sort(chosen.begin(), chosen.end());
    std::array<cv::Point2d, 4> corners;
    for (size_t i = 0; i < 4; ++i) {
        size_t a = chosen[(i + 3) % 4], b = chosen[i];
        Line first{cv::Point2d(polygon[a]), cv::Point2d(polygon[(a + 1) % n] - polygon[a])};
        Line second{cv::Point2d(polygon[b]), cv::Point2d(polygon[(b + 1) % n] - polygon[b])};
        first.direction /= cv::norm(first.direction);
        second.direction /= cv::norm(second.direction);
        auto corner = Intersect(first, second);
        if (!corner) return std::nullopt;
        corners[i] = *corner;
    }
    return corners;
}

double QuadAreaOf(const std::array<cv::Point2d, 4>& c) {
    double twice = 0;
    for (size_t i = 0; i < 4; ++i) twice += c[i].x * c[(i + 1) % 4].y - c[(i + 1) % 4].x * c[i].y;
    return std::abs(twice) / 2;
}

// Every convex, nearly right-angled four-sided region bounded by four of the outline's long sides (taken
// in outline order).
std::vector<std::array<cv::Point2d, 4>> QuadsFromSides(const std::vector<cv::Point>& outline) {
    const size_t n = outline.size();
    std::vector<std::array<cv::Point2d, 4>> quads;
    if (n < 5 || n > 16) return quads;
    double perimeter = 0;
    std::vector<double> lengths(n);
    for (size_t i = 0; i < n; ++i) perimeter += lengths[i] = cv::norm(outline[(i + 1) % n] - outline[i]);
    std::vector<size_t> sides;
    for (size_t i = 0; i < n; ++i)
        if (lengths[i] >= 0.05 * perimeter) sides.push_back(i);
    if (sides.size() < 4 || sides.size() > 10) return quads;
    auto line_of = [&](size_t i) {
        cv::Point2d a(outline[i]), b(outline[(i + 1) % n]);
        return Line{a, (b - a) / cv::norm(b - a)};
    };
    const size_t m = sides.size();
    for (size_t a = 0; a < m; ++a)
        for (size_t b = a + 1; b < m; ++b)
            for (size_t c = b + 1; c < m; ++c)
                for (size_t d = c + 1; d < m; ++d) {
                    const std::array<size_t, 4> pick = {sides[a], sides[b], sides[c], sides[d]};
                    std::array<cv::Point2d, 4> corners;
                    bool ok = true;
                    for (size_t k = 0; k < 4 && ok; ++k) {
                        auto corner = Intersect(line_of(pick[(k + 3) % 4]), line_of(pick[k]));
                        ok = corner.has_value();
                        if (ok) corners[k] = *corner;
                    }
                    // Each side must show over a fair part of its length (the lower sheet's hidden stretches
                    // aside).
                    for (size_t k = 0; k < 4 && ok; ++k)
                        ok = lengths[pick[k]] >= 0.3 * cv::norm(corners[(k + 1) % 4] - corners[k]);
                    if (ok && CornersReasonable(corners)) quads.push_back(corners);
                }
    return quads;
}

// Mean grey level of a ring just outside the outline (a twentieth of its size wide).
double MeanAround(const cv::Mat& grey, const std::array<cv::Point2d, 4>& corners) {
    cv::Point2d centre = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25;
    std::vector<cv::Point> inner, outer;
    for (const auto& c : corners) {
        inner.emplace_back(cvRound(c.x), cvRound(c.y));
        cv::Point2d out = centre + 1.05 * (c - centre);
        outer.emplace_back(cvRound(out.x), cvRound(out.y));
    }
    return MeanWithin(grey, outer, inner);
}

struct Finder {
    const QuadSearch& search;
    cv::Mat grey;
    std::optional<EdgeGrid> grid;

    // Fits the four sides to the edges near the coarse outline; nothing when they do not make a
    // reasonable, well supported region.
    // A coarse outline off the sheet's edge by more than the band (an inner rim, a rounded corner's
    // chord) sees too little of it; the sides fitted from there see it all. Outlines guessed from parts
    // (overlapping sheets, joined pieces) are not refitted: from a part, the refit finds the neighbour's
    // edges. Nor is a refit that moves off the region.
    std::optional<Quad> Fit(const std::array<cv::Point2d, 4>& coarse, bool refit = false) const {
        auto quad = FitOnce(coarse);
        if (refit && quad && quad->confidence < 0.95)
            if (auto refitted = FitOnce(quad->corners);
                refitted && refitted->confidence > quad->confidence && SameRegion(*quad, *refitted))
                quad = refitted;
        if (!quad || quad->confidence < search.min_confidence) return std::nullopt;
        return quad;
    }

    std::optional<Quad> FitOnce(const std::array<cv::Point2d, 4>& coarse) const {
        std::vector<cv::Point> check;
        for (const auto& c : coarse) check.emplace_back(cvRound(c.x), cvRound(c.y));
        if (!cv::isContourConvex(check)) return std::nullopt;
        std::array<Line, 4> sides;
        const cv::Point2d centre = (coarse[0] + coarse[1] + coarse[2] + coarse[3]) * 0.25;
        double coverage_sum = 0;
        std::optional<double> sheet;  // measured only when a side offers two edges
        auto sheet_level = [&] {
            if (!sheet) sheet = MeanWithin(grey, check);
            return *sheet;
        };
        for (int i = 0; i < 4; ++i) {
            double coverage = 0;
            sides[i] = FitSide(*grid, grey, coarse[i], coarse[(i + 1) % 4], centre, sheet_level, &coverage);
            coverage_sum += coverage;
        }
        Quad quad;
        for (int i = 0; i < 4; ++i) {
            auto corner = Intersect(sides[(i + 3) % 4], sides[i]);
            if (!corner) return std::nullopt;
            quad.corners[i] = *corner;
        }
        if (!CornersReasonable(quad.corners)) return std::nullopt;
        quad.confidence = coverage_sum / 4;
        std::vector<cv::Point> outline;
        for (const auto& corner : quad.corners) outline.emplace_back(cvRound(corner.x), cvRound(corner.y));
        quad.brightness = MeanWithin(grey, outline);
        quad.surround = MeanAround(grey, quad.corners);
        quad.corners = OrderCorners(quad.corners);
        return quad;
    }
};

void AddUnlessTwin(std::vector<Quad>& found, const Quad& quad) {
    auto twin = std::find_if(found.begin(), found.end(), [&](const Quad& q) { return SameRegion(q, quad); });
    if (twin == found.end())
        found.push_back(quad);
    else if (quad.confidence > twin->confidence)
        *twin = quad;
}

// Whether two outlines share a pair of opposite side lines (within a few pixels and a degree or two).
bool ShareOppositeSides(const Quad& a, const Quad& b) {
    for (int side = 0; side < 2; ++side) {
        int matched = 0;
        for (int k : {side, side + 2}) {
            cv::Point2d p = a.corners[k], q = a.corners[(k + 1) % 4];
            cv::Point2d direction = (q - p) / std::max(1e-9, cv::norm(q - p));
            cv::Point2d normal(-direction.y, direction.x);
            for (int j = 0; j < 4; ++j) {
                cv::Point2d u = b.corners[j], v = b.corners[(j + 1) % 4];
                double tolerance = std::max(2.0, 0.01 * cv::norm(q - p));
                if (std::abs((u - p).dot(normal)) < tolerance && std::abs((v - p).dot(normal)) < tolerance) {
                    ++matched;
                    break;
                }
            }
        }
        if (matched == 2) return true;
    }
    return false;
}

// Whether a side of a and a side of b lie on one line, end to end: pieces of one sheet meet along a
// shadow's or a band's edge; separate sheets leave a gap.
bool Touch(const Quad& a, const Quad& b) {
    for (int i = 0; i < 4; ++i) {
        cv::Point2d p = a.corners[i], q = a.corners[(i + 1) % 4];
        cv::Point2d direction = (q - p) / std::max(1e-9, cv::norm(q - p)), normal(-direction.y, direction.x);
        for (int j = 0; j < 4; ++j) {
            cv::Point2d u = b.corners[j], v = b.corners[(j + 1) % 4];
            if (std::abs((u - p).dot(normal)) >= 1.2 || std::abs((v - p).dot(normal)) >= 1.2) continue;
            // Facing sides run side by side; sides of pieces stacked along a line only meet at their ends.
            double a0 = 0, a1 = cv::norm(q - p), b0 = (u - p).dot(direction), b1 = (v - p).dot(direction);
            double overlap = std::min(a1, std::max(b0, b1)) - std::max(a0, std::min(b0, b1));
            if (overlap >= 0.5 * std::min(a1, std::abs(b1 - b0))) return true;
        }
    }
    return false;
}

// A straight edge: the line through pieces of edge lying on it, and the stretches of it they cover
// (positions along the line).
struct EdgeLine {
    Line line;
    std::vector<std::pair<double, double>> spans;
    double seen = 0;  // total length covered
};

double AngleBetween(const cv::Point2d& u, const cv::Point2d& v) {
    return std::acos(std::min(1.0, std::abs(u.dot(v)))) * 180.0 / CV_PI;  // 0..90 degrees
}

// Straight pieces of edge joined into lines: pieces within two degrees and three pixels of a line are
// parts of it (one rim broken by a finger or a shadow). Lines whose pieces run to the picture's edge are
// left out: they belong to the desk, to a sheet the picture cuts, or to the rows of border pixels
// repeated around a photograph. Longest seen first.
std::vector<EdgeLine> StraightEdges(const cv::Mat& edges, double border) {
    const double shorter = std::min(edges.cols, edges.rows);
    std::vector<cv::Vec4i> pieces;
    cv::HoughLinesP(edges, pieces, 1, CV_PI / 360, 20, 0.04 * shorter, 8);
    std::sort(pieces.begin(), pieces.end(), [](const cv::Vec4i& a, const cv::Vec4i& b) {
        return std::hypot(a[2] - a[0], a[3] - a[1]) > std::hypot(b[2] - b[0], b[3] - b[1]);
    });
    std::vector<EdgeLine> lines;
    for (const auto& piece : pieces) {
        cv::Point2d a(piece[0], piece[1]), b(piece[2], piece[3]);
        cv::Point2d direction = (b - a) / std::max(1e-9, cv::norm(b - a));
        auto joined = std::find_if(lines.begin(), lines.end(), [&](const EdgeLine& l) {
            cv::Point2d normal(-l.line.direction.y, l.line.direction.x);
            return AngleBetween(direction, l.line.direction) < 2 &&
                   std::abs((a - l.line.point).dot(normal)) < 3 &&
                   std::abs((b - l.line.point).dot(normal)) < 3;
        });
        if (joined == lines.end()) {
            lines.push_back(EdgeLine{Line{(a + b) * 0.5, direction}, {}, 0});
            joined = lines.end() - 1;
        }
        double ta = (a - joined->line.point).dot(joined->line.direction),
               tb = (b - joined->line.point).dot(joined->line.direction);
        joined->spans.emplace_back(std::min(ta, tb), std::max(ta, tb));
    }
    auto at_edge = [&](const EdgeLine& l) {
        for (const auto& [from, to] : l.spans)
            for (double t : {from, to}) {
                cv::Point2d p = l.line.point + t * l.line.direction;
                if (p.x < 2 * border || p.y < 2 * border || p.x > edges.cols - 1 - 2 * border ||
                    p.y > edges.rows - 1 - 2 * border)
                    return true;
            }
        return false;
    };
    lines.erase(std::remove_if(lines.begin(), lines.end(), at_edge), lines.end());
    for (auto& l : lines) {
        std::sort(l.spans.begin(), l.spans.end());
        double reach = -1e18;
        for (const auto& [from, to] : l.spans) {
            l.seen += std::max(0.0, to - std::max(from, reach));
            reach = std::max(reach, to);
        }
    }
    std::sort(lines.begin(), lines.end(),
              [](const EdgeLine& a, const EdgeLine& b) { return a.seen > b.seen; });
    return lines;
}

// Share of the stretch of `l` between p and q (away from its ends) that its pieces cover.
double CoveredShare(const EdgeLine& l, cv::Point2d p, cv::Point2d q) {
    double tp = (p - l.line.point).dot(l.line.direction), tq = (q - l.line.point).dot(l.line.direction);
    double from = std::min(tp, tq), to = std::max(tp, tq), margin = 0.05 * (to - from);
    from += margin;
    to -= margin;
    if (to <= from) return 0;
    double covered = 0, reach = from;
    for (const auto& [a, b] : l.spans) {
        double lo = std::max(a, reach), hi = std::min(b, to);
        if (hi > lo) covered += hi - lo;
        reach = std::max(reach, std::min(b, to));
    }
    return covered / (to - from);
}

// An outline of four edge lines: how well its sides are seen in all, its corners, and its lines' places.
struct LineOutline {
    double sum = 0;
    std::array<cv::Point2d, 4> corners;
    std::array<size_t, 4> side;
};

// For an outline grown across a band: a rim broken into pieces that bend a little off one line (by the
// band, by a lens bowing a long edge) is seen along all of them, nearby pieces of a like direction
// counting for the line too. Not for ranking outlines: lines of print joined so would outrank rims.
std::vector<EdgeLine> JoinedWithNearbyPieces(const std::vector<EdgeLine>& lines,
                                             const std::vector<EdgeLine>& all, double shorter) {
    std::vector<EdgeLine> joined = lines;
    for (auto& line : joined) {
        const cv::Point2d normal(-line.line.direction.y, line.line.direction.x);
        std::vector<std::pair<double, double>> extra;
        for (const auto& other : all) {
            if (AngleBetween(line.line.direction, other.line.direction) > 3) continue;
            for (const auto& [from, to] : other.spans) {
                const cv::Point2d a = other.line.point + from * other.line.direction,
                                  b = other.line.point + to * other.line.direction;
                if (std::abs((a - line.line.point).dot(normal)) > 0.007 * shorter ||
                    std::abs((b - line.line.point).dot(normal)) > 0.007 * shorter)
                    continue;
                const double ta = (a - line.line.point).dot(line.line.direction),
                             tb = (b - line.line.point).dot(line.line.direction);
                extra.emplace_back(std::min(ta, tb), std::max(ta, tb));
            }
        }
        line.spans.insert(line.spans.end(), extra.begin(), extra.end());
        std::sort(line.spans.begin(), line.spans.end());
    }
    return joined;
}

// Whether `grown` is `piece` grown across a band of the desk's tone printed over a card: seen along half of
// every side (pieces near a line counting for it, in `joined`), three side lines in common with the piece
// and the fourth further out, the band's edge stopping at the piece's corners, and the band looking like
// what lies round the grown outline rather than like the piece.
bool GrownAcrossBand(const LineOutline& piece, const LineOutline& grown, const std::vector<EdgeLine>& lines,
                     const std::vector<EdgeLine>& joined, const cv::Mat& bgr, double shorter) {
    auto polygon = [](const std::array<cv::Point2d, 4>& corners) {
        std::vector<cv::Point> points;
        for (const auto& c : corners) points.emplace_back(cvRound(c.x), cvRound(c.y));
        return points;
    };
    double least = 1;
    for (size_t k = 0; k < 4; ++k)
        least = std::min(least,
                         CoveredShare(joined[grown.side[k]], grown.corners[k], grown.corners[(k + 1) % 4]));
    if (least < 0.5) return false;
    // Three side lines in common, the fourth further out: the piece lies within the grown outline.
    std::vector<size_t> cut;  // the piece's side at the band
    for (size_t k = 0; k < 4; ++k)
        if (std::find(grown.side.begin(), grown.side.end(), piece.side[k]) == grown.side.end())
            cut.push_back(k);
    if (cut.size() != 1) return false;
    std::vector<cv::Point2f> outline;
    for (const auto& c : grown.corners) outline.emplace_back(cv::Point2f(c));
    if (!std::all_of(piece.corners.begin(), piece.corners.end(), [&](const cv::Point2d& c) {
            return cv::pointPolygonTest(outline, cv::Point2f(c), true) >= -2;
        }))
        return false;
    // The band's edge runs between the piece's corners at either end; beyond them it must stop.
    const size_t k = cut[0];
    const EdgeLine& band = lines[piece.side[k]];
    const cv::Point2d p = piece.corners[k], q = piece.corners[(k + 1) % 4];
    const cv::Point2d reach = (q - p) * 0.15;
    if (CoveredShare(band, p - reach, p) >= 0.25 || CoveredShare(band, q, q + reach) >= 0.25) return false;
    // The card's rim is lost across the band because the band has the desk's tone: the piece stands
    // out from what lies round the grown outline, and just beyond the cut the band looks more like
    // that than like the piece. A line of print across a card with more card beyond it does not; nor
    // does an outline within a card, with more card round it.
    const cv::Point2d centre =
        (piece.corners[0] + piece.corners[1] + piece.corners[2] + piece.corners[3]) * 0.25;
    cv::Point2d outward(-(q - p).y, (q - p).x);
    outward /= std::max(1e-9, cv::norm(outward));
    if ((p - centre).dot(outward) < 0) outward = -outward;
    size_t added = 0;  // the grown outline's side beyond the band
    for (size_t g : grown.side)
        if (std::find(piece.side.begin(), piece.side.end(), g) == piece.side.end()) added = g;
    const Line& end = lines[added].line;
    const double gap =
        std::abs(((p + q) * 0.5 - end.point).dot(cv::Point2d(-end.direction.y, end.direction.x)));
    if (gap < 0.03 * shorter) return false;  // the two rims of one edge, no band between
    const cv::Point2d near = outward * 2.0, depth = outward * (2.0 + 0.25 * gap);
    const auto strip = MeanColourWithin(bgr, polygon({p + near, q + near, q + depth, p + depth}));
    const auto inside = MeanColourWithin(bgr, polygon(piece.corners));
    std::array<cv::Point2d, 4> ring;
    const cv::Point2d grown_centre =
        (grown.corners[0] + grown.corners[1] + grown.corners[2] + grown.corners[3]) * 0.25;
    for (size_t c = 0; c < 4; ++c) ring[c] = grown_centre + 1.1 * (grown.corners[c] - grown_centre);
    const auto around = MeanColourWithin(bgr, polygon(ring), polygon(grown.corners));
    return cv::norm(inside - around) >= 30 && cv::norm(strip - around) < cv::norm(strip - inside);
}

// Four-sided outlines bounded by two pairs of roughly opposite straight edges, the best covered few: each
// side must be seen along a fifth of its length or more. A band of the desk's tone printed across a card
// cuts its outline there, and the best covered outlines stop at the band's edge; so each of those is offered
// grown across the band too, to a line beyond it that closes an outline seen along half of every side, when
// the band's edge stops at the grown outline's sides (an edge running on beyond them belongs to something
// lying across the card, a shadow or a cable, and the card may well end there) and the band looks like the
// desk rather than like the piece.
std::vector<std::array<cv::Point2d, 4>> OutlinesFromLines(const std::vector<EdgeLine>& all,
                                                          const cv::Mat& bgr, double border,
                                                          const std::function<bool(double)>& area_fits) {
    const cv::Size size = bgr.size();
    constexpr size_t kLines = 24, kOutlines = 6;
    const std::vector<EdgeLine> lines(
        all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(kLines, all.size())));
    const double shorter = std::min(size.width, size.height);
    const std::vector<EdgeLine> joined = JoinedWithNearbyPieces(lines, all, shorter);
    std::vector<std::pair<size_t, size_t>> opposite;
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t j = i + 1; j < lines.size(); ++j) {
            if (AngleBetween(lines[i].line.direction, lines[j].line.direction) > 25) continue;
            cv::Point2d normal(-lines[i].line.direction.y, lines[i].line.direction.x);
            if (std::abs((lines[j].line.point - lines[i].line.point).dot(normal)) < 0.08 * shorter) continue;
            opposite.emplace_back(i, j);
        }
    std::vector<LineOutline> scored;
    for (size_t m = 0; m < opposite.size(); ++m)
        for (size_t n = m + 1; n < opposite.size(); ++n) {
            const auto [a, b] = opposite[m];
            const auto [c, d] = opposite[n];
            if (a == c || a == d || b == c || b == d) continue;
            if (AngleBetween(lines[a].line.direction, lines[c].line.direction) < 45) continue;
            const std::array<size_t, 4> side = {a, c, b, d};  // in outline order
            std::array<cv::Point2d, 4> corners;
            bool ok = true;
            for (size_t k = 0; k < 4 && ok; ++k) {
                auto corner = Intersect(lines[side[(k + 3) % 4]].line, lines[side[k]].line);
                ok = corner && corner->x >= border && corner->y >= border &&
                     corner->x <= size.width - 1 - border && corner->y <= size.height - 1 - border;
                if (ok) corners[k] = *corner;
            }
            if (!ok || !CornersReasonable(corners) || !area_fits(QuadAreaOf(corners))) continue;
            std::vector<cv::Point> check;
            for (const auto& p : corners) check.emplace_back(cvRound(p.x), cvRound(p.y));
            if (!cv::isContourConvex(check)) continue;
            double least = 1, sum = 0;
            for (size_t k = 0; k < 4; ++k) {
                double share = CoveredShare(lines[side[k]], corners[k], corners[(k + 1) % 4]);
                least = std::min(least, share);
                sum += share;
            }
            if (least >= 0.2) scored.push_back({sum, corners, side});
        }
    std::sort(scored.begin(), scored.end(), [](const auto& x, const auto& y) { return x.sum > y.sum; });
    const size_t best = std::min(kOutlines, scored.size());
    std::vector<std::array<cv::Point2d, 4>> outlines;
    for (size_t i = 0; i < best; ++i) outlines.push_back(scored[i].corners);
    for (size_t i = 0; i < best; ++i) {
        // One grown outline per piece, the largest: a band's own far edge closes a smaller one.
        std::optional<std::array<cv::Point2d, 4>> largest;
        for (size_t j = best; j < scored.size(); ++j) {
            if (!GrownAcrossBand(scored[i], scored[j], lines, joined, bgr, shorter)) continue;
            const LineOutline& grown = scored[j];
            if (!largest || QuadAreaOf(grown.corners) > QuadAreaOf(*largest)) largest = grown.corners;
        }
        if (largest && std::find(outlines.begin(), outlines.end(), *largest) == outlines.end())
            outlines.push_back(*largest);
    }
    return outlines;
}

}  // namespace

std::vector<Quad> FindQuads(const cv::Mat& bgr, const QuadSearch& search) {
    std::vector<Quad> found;
    if (bgr.empty() || bgr.type() != CV_8UC3) return found;
    double scale = std::min(1.0, static_cast<double>(search.working_size) / std::max(bgr.cols, bgr.rows));
    cv::Mat small;
    if (scale < 1.0)
        cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    else
        small = bgr;
    Finder finder{search, {}, {}};
    cv::Mat& grey = finder.grey;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    // Closing wipes out dark print on light paper, so the paper's own outline is what remains.
    if (search.print_size > 1) {
        cv::Size print(search.print_size, search.print_size);
        cv::morphologyEx(grey, grey, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, print));
    }
    cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0);
    cv::Mat edges, joined;
    cv::Canny(grey, edges, 20, 60, 3, true);
    if (search.colour_edge_gain > 0) {
        // Blue against brown or red has little contrast in grey: edges of the blue-minus-red difference too.
        std::vector<cv::Mat> channels;
        cv::split(small, channels);
        cv::Mat chroma, chroma_edges;
        cv::addWeighted(channels[0], search.colour_edge_gain, channels[2], -search.colour_edge_gain, 128,
                        chroma);
        cv::GaussianBlur(chroma, chroma, cv::Size(5, 5), 0);
        cv::Canny(chroma, chroma_edges, 20, 60, 3, true);
        edges |= chroma_edges;
    }
    // Outlines are found on thickened edges (small gaps closed), lines fitted to the thin ones.
    cv::dilate(edges, joined, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
    std::vector<std::vector<cv::Point>> contours;
    // Nested outlines too: a sheet on a mat, or sheets so close that one outline runs round them all.
    cv::findContours(joined, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    std::vector<cv::Point> edge_points;
    cv::findNonZero(edges, edge_points);
    finder.grid.emplace(edge_points, edges.size());

    const double picture_area = static_cast<double>(small.cols) * small.rows;
    const double border = 3;
    auto area_fits = [&](double area) {
        return area >= search.min_area_fraction * picture_area &&
               area <= search.max_area_fraction * picture_area;
    };
    // Whether an outline's hull is of a size to consider and clear of the picture's border; its hull then.
    auto usable_hull = [&](const std::vector<cv::Point>& contour, std::vector<cv::Point>& hull) {
        cv::convexHull(contour, hull);
        if (!area_fits(cv::contourArea(hull))) return false;
        return std::none_of(hull.begin(), hull.end(), [&](const cv::Point& p) {
            return p.x < border || p.y < border || p.x > small.cols - 1 - border ||
                   p.y > small.rows - 1 - border;
        });
    };
    for (const auto& contour : contours) {
        std::vector<cv::Point> hull, polygon;
        if (!usable_hull(contour, hull)) continue;
        cv::approxPolyDP(hull, polygon, 0.02 * cv::arcLength(hull, true), true);
        if (auto coarse = FourLongSides(polygon)) {
            if (auto quad = finder.Fit(*coarse, true)) AddUnlessTwin(found, *quad);
        } else if (search.split_overlaps) {
            // Sheets overlapping: each is bounded by four of the long sides of their joint outline, the
            // hidden stretches of the lower one completed where its visible sides meet.
            std::vector<cv::Point> outline;
            cv::approxPolyDP(contour, outline, 0.01 * cv::arcLength(contour, true), true);
            for (const auto& coarse_quad : QuadsFromSides(outline))
                if (area_fits(QuadAreaOf(coarse_quad)))
                    if (auto quad = finder.Fit(coarse_quad)) AddUnlessTwin(found, *quad);
        }
    }
    // The outer outlines of a mask's regions that have four long sides, fitted to the edges; kept when at
    // least `least_long_to_short` times as long as broad.
    auto fit_regions = [&](cv::Mat& mask, double least_long_to_short) {
        std::vector<std::vector<cv::Point>> regions;
        cv::findContours(mask, regions, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        for (const auto& region : regions) {
            std::vector<cv::Point> hull, polygon;
            if (!usable_hull(region, hull)) continue;
            cv::approxPolyDP(hull, polygon, 0.02 * cv::arcLength(hull, true), true);
            if (auto coarse = FourLongSides(polygon))
                if (auto quad = finder.Fit(*coarse, true);
                    quad && LongToShortSide(*quad) >= least_long_to_short)
                    AddUnlessTwin(found, *quad);
        }
    };
    if (search.filled_slips) {
        // All that the desk, reached from the picture's border between the edges, does not reach; opened
        // by more than a thickened edge's width, so that lines running off a rim are pared away.
        cv::Mat enclosed = joined.clone();
        cv::rectangle(enclosed, cv::Rect(0, 0, enclosed.cols, enclosed.rows), cv::Scalar(0), 1);
        cv::floodFill(enclosed, cv::Point(0, 0), cv::Scalar(128));
        enclosed = enclosed != 128;
        cv::morphologyEx(enclosed, enclosed, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7)));
        fit_regions(enclosed, 3);
    }
    if (search.bright_blobs) {
        // Edges of a grained or patterned desk run into the sheet's edge and spoil its outline; the sheet's
        // bright blob (above Otsu's split between desk and paper, and above halfway from there to white)
        // keeps its shape. Its sides are still fitted to, and judged by, the edges.
        cv::Mat binary;
        std::vector<cv::Mat> binaries;
        const double split = cv::threshold(grey, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        for (double level : {split, split + 0.5 * (255 - split)}) {
            cv::threshold(grey, binary, level, 255, cv::THRESH_BINARY);
            binaries.push_back(binary.clone());
        }
        // White paper on a beige or coloured desk the camera exposed as bright as the paper: the paper is the
        // colourless blob.
        cv::Mat high, low, saturation;
        std::vector<cv::Mat> channels;
        cv::split(small, channels);
        cv::max(channels[0], channels[1], high);
        cv::max(high, channels[2], high);
        cv::min(channels[0], channels[1], low);
        cv::min(low, channels[2], low);
        cv::subtract(high, low, saturation);
        cv::GaussianBlur(saturation, saturation, cv::Size(5, 5), 0);
        cv::threshold(saturation, binary, 0, 255, cv::THRESH_BINARY_INV | cv::THRESH_OTSU);
        binaries.push_back(binary.clone());
        for (cv::Mat& mask : binaries) fit_regions(mask, 0);
    }
    if (search.line_outlines) {
        for (const auto& coarse : OutlinesFromLines(StraightEdges(edges, border), small, border, area_fits))
            if (auto quad = finder.Fit(coarse, true)) AddUnlessTwin(found, *quad);
    }
    if (search.join_pieces) {
        // Pieces of one sheet cut apart by a shadow or by dark print across it: the joined outline is offered
        // when the edges support it all round.
        for (size_t round = 0; round < 2; ++round) {
            const size_t count = found.size();
            for (size_t i = 0; i < count; ++i)
                for (size_t j = i + 1; j < count; ++j) {
                    if (!ShareOppositeSides(found[i], found[j]) || !Touch(found[i], found[j]) ||
                        QuadContains(found[i], found[j]) || QuadContains(found[j], found[i]))
                        continue;
                    std::vector<cv::Point2f> points, hull;
                    for (const auto* q : {&found[i], &found[j]})
                        for (const auto& c : q->corners) points.emplace_back(cv::Point2f(c));
                    cv::convexHull(points, hull);
                    std::vector<cv::Point2f> polygon;
                    cv::approxPolyDP(hull, polygon, 0.01 * cv::arcLength(hull, true), true);
                    // Pieces lie side by side without overlapping: together they make up the joined area.
                    double joined_area = cv::contourArea(polygon);
                    if (polygon.size() != 4 || !area_fits(joined_area) ||
                        std::abs(joined_area - QuadArea(found[i]) - QuadArea(found[j])) > 0.05 * joined_area)
                        continue;
                    Quad coarse;
                    for (size_t k = 0; k < 4; ++k) coarse.corners[k] = cv::Point2d(polygon[k]);
                    coarse.corners = OrderCorners(coarse.corners);
                    if (std::any_of(found.begin(), found.end(),
                                    [&](const Quad& q) { return SameRegion(q, coarse); }))
                        continue;
                    if (auto quad = finder.Fit(coarse.corners)) AddUnlessTwin(found, *quad);
                }
        }
    }
    for (Quad& quad : found) {
        for (auto& corner : quad.corners)
            corner = (corner + cv::Point2d(0.5, 0.5)) / scale - cv::Point2d(0.5, 0.5);
    }
    std::sort(found.begin(), found.end(),
              [](const Quad& a, const Quad& b) { return QuadArea(a) > QuadArea(b); });
    return found;
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

namespace {

// How far side i of a slip (three times as long as broad or more) may bow off its straight line: 1.5% of
// its length where the slip's breadth keeps the band its line is fitted in (FitSide) narrower than that; 0
// for other sides and outlines. A broader outline's side that strays off the rim at a slant (a piece of a
// crumpled sheet) must not pass for a bowed one.
double SlipBow(const Quad& quad, int i) {
    if (LongToShortSide(quad) < 3) return 0;
    const cv::Point2d a = quad.corners[i], b = quad.corners[(i + 1) % 4];
    const double length = cv::norm(b - a);
    const cv::Point2d centre = (quad.corners[0] + quad.corners[1] + quad.corners[2] + quad.corners[3]) * 0.25;
    const cv::Point2d normal(-(b - a).y / std::max(1e-9, length), (b - a).x / std::max(1e-9, length));
    const double half_breadth = std::abs((centre - a).dot(normal));
    return 0.08 * half_breadth < 0.015 * length ? 0.015 * length : 0;
}

// A colour's grey level (ITU-R 601 weights, as OpenCV's), from blue, green, red.
double GreyOf(const cv::Vec3b& p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; }

// Per side, the share of its length along which `stepped` holds between the colour just inside and the
// colour just outside; 1 for sides along the picture's border. With `along` > 0 each colour is the mean of
// 3 pixels across by 2 x along + 1 along the side. A slip's long side may bow (see SlipBow): `Bow::kWithin`
// counts it where its step shows anywhere within the bow across its line, `Bow::kBeyond` compares the
// colours inside and beyond the bow.
enum class Bow { kNone, kWithin, kBeyond };

std::array<double, 4> SideShares(const cv::Mat& bgr, const Quad& quad, Bow bowing,
                                 const std::function<bool(const cv::Vec3b&, const cv::Vec3b&)>& stepped,
                                 int along = 0) {
    constexpr int kSamples = 40;
    auto pixel = [&](cv::Point2d p) {
        return bgr.at<cv::Vec3b>(std::clamp(static_cast<int>(std::lround(p.y)), 0, bgr.rows - 1),
                                 std::clamp(static_cast<int>(std::lround(p.x)), 0, bgr.cols - 1));
    };
    const cv::Point2d centre = (quad.corners[0] + quad.corners[1] + quad.corners[2] + quad.corners[3]) * 0.25;
    const cv::Size size = QuadSize(quad);
    const double depth = std::max(3.0, 0.01 * std::min(size.width, size.height));
    std::array<double, 4> shares = {1, 1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        cv::Point2d a = quad.corners[i], b = quad.corners[(i + 1) % 4];
        cv::Point2d direction = (b - a) / std::max(1e-9, cv::norm(b - a));
        cv::Point2d inward(-direction.y, direction.x);
        if ((centre - a).dot(inward) < 0) inward = -inward;
        auto at = [&](cv::Point2d p) {
            if (along == 0) return pixel(p);
            cv::Vec3i sum(0, 0, 0);
            for (int t = -along; t <= along; ++t)
                for (int u = -1; u <= 1; ++u) sum += cv::Vec3i(pixel(p + direction * t + inward * u));
            const int count = 3 * (2 * along + 1);
            return cv::Vec3b(cv::saturate_cast<uchar>((sum[0] + count / 2) / count),
                             cv::saturate_cast<uchar>((sum[1] + count / 2) / count),
                             cv::saturate_cast<uchar>((sum[2] + count / 2) / count));
        };
        const double bow = bowing == Bow::kNone ? 0 : SlipBow(quad, i);
        int compared = 0, stepped_count = 0;
        for (int k = 1; k < kSamples; ++k) {
            // Away from the corners, where the neighbouring side's step would count.
            cv::Point2d p = a + (b - a) * (0.1 + 0.8 * k / kSamples);
            const double reach = bowing == Bow::kBeyond ? bow : 0;
            cv::Point2d in = p + inward * (depth + reach), out = p - inward * (2 * depth + reach);
            if (out.x < 0 || out.y < 0 || out.x > bgr.cols - 1 || out.y > bgr.rows - 1) continue;
            ++compared;
            bool step = stepped(at(in), at(out));
            for (double shift = depth; !step && bowing == Bow::kWithin && shift <= bow; shift += depth)
                step = stepped(at(in + inward * shift), at(out + inward * shift)) ||
                       stepped(at(in - inward * shift), at(out - inward * shift));
            stepped_count += step ? 1 : 0;
        }
        if (compared >= kSamples / 4)
            shares[static_cast<size_t>(i)] = static_cast<double>(stepped_count) / compared;
    }
    return shares;
}

}  // namespace

double SideStepShare(const cv::Mat& bgr, const Quad& quad) {
    auto shares = SideShares(bgr, quad, Bow::kWithin, [](const cv::Vec3b& inside, const cv::Vec3b& outside) {
        int largest = 0;
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(inside[c] - outside[c]));
        return largest >= 10;
    });
    return *std::min_element(shares.begin(), shares.end());
}

double SideColourStepShare(const cv::Mat& bgr, const Quad& quad) {
    auto shares = SideShares(
        bgr, quad, Bow::kNone,
        [](const cv::Vec3b& inside, const cv::Vec3b& outside) {
            // Colour as the blue-minus-green and red-minus-green differences, which brightness leaves alone.
            const int blue = (inside[0] - inside[1]) - (outside[0] - outside[1]);
            const int red = (inside[2] - inside[1]) - (outside[2] - outside[1]);
            return blue * blue + red * red >= 8 * 8;
        },
        3);  // a step of a few levels is judged on means, so that a camera's noise does not decide it
    return *std::min_element(shares.begin(), shares.end());
}

bool SideAcrossPrint(const cv::Mat& bgr, const Quad& quad) {
    constexpr double kStep = 5;  // grey levels
    constexpr double kStepping = 0.5, kOneWay = 0.42;
    const auto lighter = SideShares(
        bgr, quad, Bow::kNone,
        [&](const cv::Vec3b& inside, const cv::Vec3b& outside) {
            return GreyOf(inside) - GreyOf(outside) >= kStep;
        },
        2);
    const auto darker = SideShares(
        bgr, quad, Bow::kNone,
        [&](const cv::Vec3b& inside, const cv::Vec3b& outside) {
            return GreyOf(outside) - GreyOf(inside) >= kStep;
        },
        2);
    for (size_t i = 0; i < 4; ++i)
        if (lighter[i] + darker[i] >= kStepping && std::max(lighter[i], darker[i]) < kOneWay) return true;
    return false;
}

std::array<double, 4> SideBrighterShares(const cv::Mat& bgr, const Quad& quad) {
    return SideShares(bgr, quad, Bow::kWithin, [](const cv::Vec3b& inside, const cv::Vec3b& outside) {
        return GreyOf(inside) - GreyOf(outside) >= 10;
    });
}

std::array<double, 4> SidePaperBeyondShares(const cv::Mat& bgr, const Quad& quad, double paper) {
    return SideShares(bgr, quad, Bow::kBeyond, [paper](const cv::Vec3b& inside, const cv::Vec3b& outside) {
        return GreyOf(outside) >= paper && GreyOf(inside) - GreyOf(outside) < 10;
    });
}

std::array<std::vector<std::array<cv::Point2d, 3>>, 4> PointsBeyondSides(const Quad& quad) {
    constexpr int kPlaces = 40;
    const cv::Point2d centre = (quad.corners[0] + quad.corners[1] + quad.corners[2] + quad.corners[3]) * 0.25;
    const cv::Size size = QuadSize(quad);
    const double depth = std::max(3.0, 0.01 * std::min(size.width, size.height));
    std::array<std::vector<std::array<cv::Point2d, 3>>, 4> points;
    for (size_t i = 0; i < 4; ++i) {
        const cv::Point2d a = quad.corners[i], b = quad.corners[(i + 1) % 4];
        const cv::Point2d direction = (b - a) / std::max(1e-9, cv::norm(b - a));
        cv::Point2d inward(-direction.y, direction.x);
        if ((centre - a).dot(inward) < 0) inward = -inward;
        for (int k = 1; k < kPlaces; ++k) {
            const cv::Point2d p = a + (b - a) * (0.1 + 0.8 * k / kPlaces);
            points[i].push_back(
                {p - inward * (2.0 * depth), p - inward * (4.0 * depth), p - inward * (8.0 * depth)});
        }
    }
    return points;
}

std::array<double, 4> SideSheetBeyondShares(const cv::Mat& bgr, const Quad& quad) {
    std::array<double, 4> shares = {0, 0, 0, 0};
    auto at = [&](cv::Point2d p) -> std::optional<cv::Vec3d> {
        const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
        if (x < 0 || y < 0 || x >= bgr.cols || y >= bgr.rows) return std::nullopt;
        const cv::Vec3b v = bgr.at<cv::Vec3b>(y, x);
        // Grey level, then tint as blue-minus-green and red-minus-green, which brightness leaves alone.
        return cv::Vec3d(0.114 * v[0] + 0.587 * v[1] + 0.299 * v[2], v[0] - v[1], v[2] - v[1]);
    };
    auto tint_distance = [](const cv::Vec3d& a, const cv::Vec3d& b) {
        return std::hypot(a[1] - b[1], a[2] - b[2]);
    };
    // The sheet's tint: the median over a grid inside, which print (dark, of little area) hardly moves.
    std::vector<double> blue, red, grey;
    for (int i = 1; i < 10; ++i)
        for (int j = 1; j < 10; ++j) {
            const double u = i / 10.0, v = j / 10.0;
            cv::Point2d p = (1 - v) * ((1 - u) * quad.corners[0] + u * quad.corners[1]) +
                            v * ((1 - u) * quad.corners[3] + u * quad.corners[2]);
            if (auto c = at(p)) {
                grey.push_back((*c)[0]);
                blue.push_back((*c)[1]);
                red.push_back((*c)[2]);
            }
        }
    if (grey.size() < 20) return shares;
    auto median = [](std::vector<double>& v) {
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    const cv::Vec3d sheet(median(grey), median(blue), median(red));
    // Beyond each side, averaged over a few distances out (a crease's shadow lies close along it).
    constexpr size_t kSamples = 40;
    const auto points = PointsBeyondSides(quad);
    std::array<std::vector<cv::Vec3d>, 4> beyond;
    for (size_t i = 0; i < 4; ++i)
        for (const auto& place : points[i]) {
            cv::Vec3d sum(0, 0, 0);
            int seen = 0;
            for (const cv::Point2d& point : place)
                if (auto c = at(point)) {
                    sum += *c;
                    ++seen;
                }
            if (seen == 3) beyond[i].push_back(sum / 3.0);
        }
    // The desk as seen beyond each side that shows it clearly unlike the sheet in tint (shade on crumpled
    // paper can leave the sheet no brighter than the desk).
    std::array<std::optional<cv::Vec3d>, 4> desk;
    for (size_t i = 0; i < 4; ++i) {
        if (beyond[i].size() < kSamples / 4) continue;
        cv::Vec3d mean(0, 0, 0);
        for (const auto& c : beyond[i]) mean += c;
        mean /= static_cast<double>(beyond[i].size());
        if (tint_distance(mean, sheet) >= 30) desk[i] = mean;
    }
    // A side beyond which lies the sheet's like, against what lies beyond at least two others: one other
    // alone may be a coloured band or a shadow beside a page whose other sides have a desk near its tint.
    for (size_t i = 0; i < 4; ++i) {
        int references = 0;
        for (size_t j = 0; j < 4; ++j) references += j != i && desk[j] ? 1 : 0;
        if (references < 2 || beyond[i].empty()) continue;
        int sheet_like = 0;
        for (const auto& c : beyond[i]) {
            bool like = true;
            for (size_t j = 0; j < 4; ++j)
                if (j != i && desk[j]) like = like && tint_distance(c, sheet) < tint_distance(c, *desk[j]);
            sheet_like += like ? 1 : 0;
        }
        shares[i] = static_cast<double>(sheet_like) / static_cast<double>(beyond[i].size());
    }
    return shares;
}

double MeanSaturation(const cv::Mat& bgr, const Quad& quad) {
    std::vector<cv::Point> outline;
    for (const auto& corner : quad.corners) outline.emplace_back(cvRound(corner.x), cvRound(corner.y));
    const cv::Rect box = cv::boundingRect(outline) & cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (box.empty()) return 0;
    std::vector<cv::Mat> channels;
    cv::split(bgr(box), channels);
    cv::Mat high, low;
    cv::max(channels[0], channels[1], high);
    cv::max(high, channels[2], high);
    cv::min(channels[0], channels[1], low);
    cv::min(low, channels[2], low);
    cv::Mat saturation = cv::Mat::zeros(bgr.size(), CV_8U);
    cv::subtract(high, low, saturation(box));
    return MeanWithin(saturation, outline);
}

double BluerThanAround(const cv::Mat& bgr, const Quad& quad) {
    cv::Point2d centre = (quad.corners[0] + quad.corners[1] + quad.corners[2] + quad.corners[3]) * 0.25;
    std::vector<cv::Point> inner, outer;
    for (const auto& c : quad.corners) {
        inner.emplace_back(cvRound(c.x), cvRound(c.y));
        cv::Point2d out = centre + 1.1 * (c - centre);
        outer.emplace_back(cvRound(out.x), cvRound(out.y));
    }
    const cv::Rect box = cv::boundingRect(outer) & cv::Rect(0, 0, bgr.cols, bgr.rows);
    if (box.empty()) return 0;
    // Blue minus red, halved and offset to stay within 0..255.
    std::vector<cv::Mat> channels;
    cv::split(bgr(box), channels);
    cv::Mat bluer = cv::Mat::zeros(bgr.size(), CV_8U);
    cv::addWeighted(channels[0], 0.5, channels[2], -0.5, 128, bluer(box));
    return 2 * (MeanWithin(bluer, inner) - MeanWithin(bluer, outer, inner));
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
