#include "outside/common/edge_lines.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <optional>

#include "outside/common/quad_geometry.h"

namespace outside {

namespace {

double AngleBetween(const cv::Point2d& u, const cv::Point2d& v) {
    return std::acos(std::min(1.0, std::abs(u.dot(v)))) * 180.0 / CV_PI;  // 0..90 degrees
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

}  // namespace

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

}  // namespace outside
