#include "outside/common/quads.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <utility>

#include "outside/common/edge_lines.h"
#include "outside/common/line_fit.h"
#include "outside/common/side_fit.h"

namespace outside {

namespace {

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
        // Only a refit's better supported outline replaces the first, and only one supported well enough is
        // kept: the sides of any other are not worth fitting. (A first fit that is refitted is fitted
        // whatever its support: the refit starts from its corners.)
        auto quad = FitOnce(coarse, -1, refit ? 0 : search.min_confidence);
        if (refit && quad && quad->confidence < 0.95)
            if (auto refitted = FitOnce(quad->corners, quad->confidence, search.min_confidence);
                refitted && refitted->confidence > quad->confidence && SameRegion(*quad, *refitted))
                quad = refitted;
        if (!quad || quad->confidence < search.min_confidence) return std::nullopt;
        return quad;
    }

    // Nothing either, without fitting the sides, when the edges' support (known before the fit) would give a
    // confidence of `above` or less, or below `at_least`.
    std::optional<Quad> FitOnce(const std::array<cv::Point2d, 4>& coarse, double above,
                                double at_least) const {
        std::vector<cv::Point> check;
        for (const auto& c : coarse) check.emplace_back(cvRound(c.x), cvRound(c.y));
        if (!cv::isContourConvex(check)) return std::nullopt;
        const cv::Point2d centre = (coarse[0] + coarse[1] + coarse[2] + coarse[3]) * 0.25;
        std::array<SideEdges, 4> edges;
        double coverage_sum = 0;
        for (int i = 0; i < 4; ++i) {
            edges[i] = EdgesAlongSide(*grid, coarse[i], coarse[(i + 1) % 4], centre);
            coverage_sum += edges[i].coverage;
        }
        const double confidence = coverage_sum / 4;
        if (confidence <= above || confidence < at_least) return std::nullopt;
        std::optional<double> sheet;  // measured only when a side offers two edges
        auto sheet_level = [&] {
            if (!sheet) sheet = MeanWithin(grey, check);
            return *sheet;
        };
        std::array<Line, 4> sides;
        for (int i = 0; i < 4; ++i) sides[i] = FitSide(edges[i], grey, sheet_level);
        Quad quad;
        for (int i = 0; i < 4; ++i) {
            auto corner = Intersect(sides[(i + 3) % 4], sides[i]);
            if (!corner) return std::nullopt;
            quad.corners[i] = *corner;
        }
        if (!CornersReasonable(quad.corners)) return std::nullopt;
        quad.confidence = confidence;
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

}  // namespace

cv::Mat SearchedPicture::Shrunk(int working_size, double* scale) {
    *scale = std::min(1.0, static_cast<double>(working_size) / std::max(bgr_.cols, bgr_.rows));
    if (*scale >= 1.0) return bgr_;
    for (const auto& [size, copy] : shrunk_)
        if (size == working_size) return copy;
    cv::Mat copy;
    cv::resize(bgr_, copy, cv::Size(), *scale, *scale, cv::INTER_AREA);
    return shrunk_.emplace_back(working_size, std::move(copy)).second;
}

std::vector<Quad> FindQuads(SearchedPicture& picture, const QuadSearch& search) {
    std::vector<Quad> found;
    const cv::Mat& bgr = picture.Bgr();
    if (bgr.empty() || bgr.type() != CV_8UC3) return found;
    double scale = 1;
    const cv::Mat small = picture.Shrunk(search.working_size, &scale);
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
    // Rough outlines to fit, each kept when its fit is at least `least_long_to_short` times as long as
    // broad.
    struct Candidate {
        std::array<cv::Point2d, 4> corners;
        bool refit = false;
        double least_long_to_short = 0;
    };
    std::vector<Candidate> candidates;
    for (const auto& contour : contours) {
        std::vector<cv::Point> hull, polygon;
        if (!usable_hull(contour, hull)) continue;
        cv::approxPolyDP(hull, polygon, 0.02 * cv::arcLength(hull, true), true);
        if (auto coarse = FourLongSides(polygon)) {
            candidates.push_back({*coarse, true, 0});
        } else if (search.split_overlaps) {
            // Sheets overlapping: each is bounded by four of the long sides of their joint outline, the
            // hidden stretches of the lower one completed where its visible sides meet.
            std::vector<cv::Point> outline;
            cv::approxPolyDP(contour, outline, 0.01 * cv::arcLength(contour, true), true);
            for (const auto& coarse_quad : QuadsFromSides(outline))
                if (area_fits(QuadAreaOf(coarse_quad))) candidates.push_back({coarse_quad, false, 0});
        }
    }
    // The outer outlines of a mask's regions that have four long sides, to fit to the edges; kept when at
    // least `least_long_to_short` times as long as broad.
    auto fit_regions = [&](cv::Mat& mask, double least_long_to_short) {
        std::vector<std::vector<cv::Point>> regions;
        cv::findContours(mask, regions, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        for (const auto& region : regions) {
            std::vector<cv::Point> hull, polygon;
            if (!usable_hull(region, hull)) continue;
            cv::approxPolyDP(hull, polygon, 0.02 * cv::arcLength(hull, true), true);
            if (auto coarse = FourLongSides(polygon))
                candidates.push_back({*coarse, true, least_long_to_short});
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
            candidates.push_back({coarse, true, 0});
    }
    // Each candidate fitted to the edges on its own (the fits take most of the search's time), side by
    // side; then taken in the order found, as a twin keeps the first of equal confidence.
    std::vector<std::optional<Quad>> fitted(candidates.size());
    cv::parallel_for_(cv::Range(0, static_cast<int>(candidates.size())), [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i)
            fitted[i] = finder.Fit(candidates[i].corners, candidates[i].refit);
    });
    for (size_t i = 0; i < candidates.size(); ++i)
        if (fitted[i] && LongToShortSide(*fitted[i]) >= candidates[i].least_long_to_short)
            AddUnlessTwin(found, *fitted[i]);
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

}  // namespace outside
