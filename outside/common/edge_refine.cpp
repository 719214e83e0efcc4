#include "outside/common/edge_refine.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <vector>

#include "outside/common/line_fit.h"

namespace outside {
namespace {

constexpr double kStep = 0.5;  // sampling step across a side, in picture pixels
constexpr int kSamplesPerSide = 160;
// Grey levels by which paper at most differs from its desk for its rim to be sought as a faint edge.
constexpr double kFaintPaper = 25;

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

// The side from a to b refitted to the steepest step across it; nothing when too little of it shows one.
std::optional<Line> RefineSide(const cv::Mat& bgr, cv::Point2d a, cv::Point2d b, double reach) {
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
    const Line side = FitLineRobustly(points);
    // The refit must stay with the side it refines: near in place and in direction.
    if (std::abs(side.direction.dot(normal)) > std::sin(1.0 * CV_PI / 180)) return std::nullopt;
    for (cv::Point2d end : {a, b})
        if (std::abs((end - side.point).dot(normal)) > reach) return std::nullopt;
    return side;
}

// The stretch of the side line (point, direction) between `from` and `to` (positions along it, in
// pixels) refitted to a straight edge up to `wide` pixels off it and up to `askew_degrees` askew. Each place
// across the stretch offers its few steepest steps (each measured `span` half-pixels either side); the
// line through one step at each of two places that the most places' steps lie on is the edge, and it must
// be seen along most of the stretch. A faint edge is sought on samples averaged along the line, where
// gentler steps stand out of the noise.
std::optional<Line> FitStretch(const cv::Mat& bgr, const Line& line, double from, double to, double wide,
                               int span, double askew_degrees, bool faint = false) {
    const cv::Point2d normal(-line.direction.y, line.direction.x);
    const int half = static_cast<int>(std::ceil(wide / kStep));
    constexpr int kPlaces = 48, kCandidates = 3;
    struct Place {
        double t = 0;
        std::vector<double> offsets;  // of its steepest steps across the side
    };
    std::vector<Place> places;
    std::vector<cv::Vec3d> profile(static_cast<size_t>(2 * half + 3));
    std::vector<double> step(profile.size(), 0);
    for (int i = 0; i < kPlaces; ++i) {
        const double t = from + (to - from) * i / (kPlaces - 1);
        const cv::Point2d base = line.point + line.direction * t;
        bool inside_picture = true;
        for (size_t k = 0; k < profile.size() && inside_picture; ++k) {
            const cv::Point2d across = base + normal * ((static_cast<int>(k) - half - 1) * kStep);
            if (!faint) {
                inside_picture = Sample(bgr, across, profile[k]);
                continue;
            }
            profile[k] = cv::Vec3d(0, 0, 0);
            for (int a = -2; a <= 2 && inside_picture; ++a) {
                cv::Vec3d v;
                inside_picture = Sample(bgr, across + line.direction * (2.0 * a), v);
                profile[k] += v * 0.2;
            }
        }
        if (!inside_picture) continue;
        const size_t half_span = static_cast<size_t>(span);
        for (size_t k = half_span; k + half_span < profile.size(); ++k)
            step[k] = cv::norm(profile[k + half_span] - profile[k - half_span], cv::NORM_L1);
        std::vector<std::pair<double, double>> peaks;  // strength, offset
        for (size_t k = half_span + 1; k + half_span + 1 < profile.size(); ++k)
            if (step[k] >= (faint ? 14 : 24) && step[k] >= step[k - 1] && step[k] > step[k + 1])
                peaks.emplace_back(step[k], (static_cast<double>(k) - half - 1) * kStep);
        std::sort(peaks.begin(), peaks.end(), [](const auto& l, const auto& r) { return l.first > r.first; });
        Place place{t, {}};
        for (size_t p = 0; p < peaks.size() && p < kCandidates; ++p) place.offsets.push_back(peaks[p].second);
        places.push_back(std::move(place));
    }
    if (places.size() < kPlaces * 3 / 4) return std::nullopt;
    // The offset across as a straight function of the place along, through steps at two places.
    struct Through {
        double t0, o0, t1, o1;
        double At(double t) const { return o0 + (o1 - o0) * (t - t0) / (t1 - t0); }
    };
    auto on_line = [&](const Place& place, const Through& l) -> std::optional<double> {
        for (double o : place.offsets)
            if (std::abs(o - l.At(place.t)) <= 1.5) return o;
        return std::nullopt;
    };
    const size_t n = places.size();
    std::vector<std::pair<int, Through>> lines;
    int best_count = 0;
    for (size_t i = 0; i < n / 3; ++i)
        for (size_t j = n - n / 3; j < n; ++j)
            for (double oi : places[i].offsets)
                for (double oj : places[j].offsets) {
                    Through l{places[i].t, oi, places[j].t, oj};
                    if (std::abs(oj - oi) >
                        std::tan(askew_degrees * CV_PI / 180) * (places[j].t - places[i].t))
                        continue;
                    int count = 0;
                    for (const Place& place : places) count += on_line(place, l) ? 1 : 0;
                    best_count = std::max(best_count, count);
                    lines.emplace_back(count, l);
                }
    if (best_count < 0.6 * kPlaces) return std::nullopt;
    // Of edges seen about as well (the paper's rim and its shadow's), the one nearest the given line.
    Through best{0, 0, 1, 0};
    double nearest = 1e9;
    for (const auto& [count, l] : lines)
        if (count >= 0.85 * best_count) {
            const double off = std::abs(l.At(from)) + std::abs(l.At(to));
            if (off < nearest) {
                nearest = off;
                best = l;
            }
        }
    std::vector<cv::Point2f> points;
    for (const Place& place : places)
        if (auto o = on_line(place, best)) {
            cv::Point2d found = line.point + line.direction * place.t + normal * *o;
            points.emplace_back(static_cast<float>(found.x), static_cast<float>(found.y));
        }
    return FitLineRobustly(points);
}

// Where the two sides meeting at a corner bow, the corner is where their ends meet, not their lines
// fitted along their middles: each side's end stretch is fitted on its own, and the corner they give
// kept when it lies outside the outline (a side bowed in makes the outline too tight; one bowed out, a
// curled corner or a shadow would not move it in).
cv::Point2d CornerFromEnds(const cv::Mat& bgr, const std::array<cv::Point2d, 4>& corners, int i) {
    const cv::Point2d corner = corners[static_cast<size_t>(i)];
    const cv::Point2d previous = corners[static_cast<size_t>((i + 3) % 4)],
                      next = corners[static_cast<size_t>((i + 1) % 4)];
    const double incoming = cv::norm(corner - previous), outgoing = cv::norm(next - corner);
    if (std::min(incoming, outgoing) < 100) return corner;
    // Each side as a line through the corner, pointing away from it along the side.
    const Line back{corner, (previous - corner) / incoming}, ahead{corner, (next - corner) / outgoing};
    auto end_of = [&](const Line& side, double length) {
        const double wide = std::max(6.0, 0.03 * length);
        // A bowed side's end runs a few degrees off its line; a corner curled or bent up turns it further
        // (up to some 9 degrees: a page curled up at a corner), sought only where no end lies nearer the
        // side's own direction.
        auto end = FitStretch(bgr, side, 0.04 * length, 0.16 * length, wide, 1, 3.0);
        if (!end) end = FitStretch(bgr, side, 0.04 * length, 0.16 * length, wide, 1, 10.0);
        // A side the working copy fitted to its rim along the far part of it only (a card's light end
        // hardly stepping from a light desk, the other end's rim seen clearly) passes further off the rim
        // at this end; sought so only where nothing nearer was found, lest print or a band's edge just
        // inside a rim seen well be taken for it.
        if (!end) end = FitStretch(bgr, side, 0.04 * length, 0.16 * length, 1.6 * wide, 1, 3.0);
        return end;
    };
    auto a = end_of(back, incoming), b = end_of(ahead, outgoing);
    // A side whose end runs clearly off its line (a percent of its length midway along the stretch) bows;
    // the ends of a straight side stray from its line by a pixel or two at most (a curled tip, blur).
    auto bows = [](const Line& side, const Line& end, double length) {
        const cv::Point2d middle = side.point + side.direction * (0.1 * length);
        const cv::Point2d normal(-end.direction.y, end.direction.x);
        return std::abs((middle - end.point).dot(normal)) >= 0.01 * length;
    };
    const bool a_bows = a && bows(back, *a, incoming), b_bows = b && bows(ahead, *b, outgoing);
    if (!a || !b || !(a_bows || b_bows)) return corner;
    // A side that runs straight to the corner keeps its whole length's line, steadier than its end's.
    auto met = Intersect(a_bows ? *a : back, b_bows ? *b : ahead);
    if (!met) return corner;
    const cv::Point2d centre = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25;
    const double moved = cv::norm(*met - corner);
    if (moved > 0.06 * std::min(incoming, outgoing) || moved < 0.005 * std::min(incoming, outgoing))
        return corner;
    // Outwards only: farther from the centre.
    if (cv::norm(*met - centre) <= cv::norm(corner - centre)) return corner;
    return *met;
}

// The paper's rim along a stretch of the side line (point, direction) from `from` to `to` (positions along
// it, in pixels): at each place the steepest step within `wide` pixels across the line whose brighter side
// is the paper's (the page's inside is towards `centre`), and the line through those steps, steps far off it
// left out (print beside the rim, a notch, a speck). Also the steps' median strength, and the median distance
// of the kept ones off the line (how straight the rim runs there, how sharp the step is).
struct Rim {
    Line line;
    double strength = 0, spread = 0;
};
std::optional<Rim> FitRim(const cv::Mat& bgr, const Line& line, cv::Point2d centre, double from, double to,
                          double wide, bool paper_brighter) {
    cv::Point2d inward(-line.direction.y, line.direction.x);
    if ((centre - line.point).dot(inward) < 0) inward = -inward;
    constexpr int kPlaces = 48;
    const int half = static_cast<int>(std::ceil(wide / kStep));
    std::vector<cv::Vec3d> profile(static_cast<size_t>(2 * half + 3));
    std::vector<double> step(profile.size(), 0);
    std::vector<cv::Point2f> points;
    std::vector<double> strengths;
    for (int i = 0; i < kPlaces; ++i) {
        const cv::Point2d base = line.point + line.direction * (from + (to - from) * i / (kPlaces - 1));
        bool inside_picture = true;
        for (size_t k = 0; k < profile.size() && inside_picture; ++k)
            inside_picture =
                Sample(bgr, base + inward * ((static_cast<int>(k) - half - 1) * kStep), profile[k]);
        if (!inside_picture) continue;
        // Signed, the channels added: a shadow's outer step and print's far edges step the other way.
        for (size_t k = 1; k + 1 < profile.size(); ++k) {
            const cv::Vec3d d = profile[k + 1] - profile[k - 1];
            step[k] = (d[0] + d[1] + d[2]) * (paper_brighter ? 1 : -1);
        }
        size_t best = 0;
        for (size_t k = 2; k + 2 < profile.size(); ++k)
            if (best == 0 || step[k] > step[best]) best = k;
        if (step[best] < 24 || step[best] < step[best - 1] || step[best] < step[best + 1]) continue;
        const double l = step[best - 1], c = step[best], r = step[best + 1], denominator = l - 2 * c + r;
        const double offset = std::abs(denominator) > 1e-9 ? 0.5 * (l - r) / denominator : 0;
        const cv::Point2d found = base + inward * ((static_cast<double>(best) + offset - half - 1) * kStep);
        points.emplace_back(static_cast<float>(found.x), static_cast<float>(found.y));
        strengths.push_back(c);
    }
    if (points.size() < kPlaces * 3 / 4) return std::nullopt;
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    Rim rim;
    rim.strength = median(strengths);
    for (int round = 0; round < 3; ++round) {
        if (points.size() < kPlaces * 3 / 5) return std::nullopt;
        cv::Vec4f fitted;
        cv::fitLine(points, fitted, cv::DIST_L2, 0, 0.01, 0.01);
        rim.line = Line{cv::Point2d(fitted[2], fitted[3]), cv::Point2d(fitted[0], fitted[1])};
        const cv::Point2d normal(-rim.line.direction.y, rim.line.direction.x);
        std::vector<double> off;
        for (const cv::Point2f& p : points)
            off.push_back(std::abs((cv::Point2d(p) - rim.line.point).dot(normal)));
        rim.spread = median(off);
        std::vector<cv::Point2f> kept;
        for (size_t k = 0; k < points.size(); ++k)
            if (off[k] <= std::max(1.0, 3 * rim.spread)) kept.push_back(points[k]);
        if (kept.size() == points.size()) break;
        points = std::move(kept);
    }
    if (rim.line.direction.dot(line.direction) < 0) rim.line.direction = -rim.line.direction;
    return rim;
}

// A corner moved to where the paper's rim along the stretches from 2% to 12% of its two sides nearest it
// meet (the tip left out, where corners round or curl): a side straight along its middle may still bend
// near its ends, and its whole length's line then passes beside the paper's corner. Moved only where both
// stretches show the side's own rim: a clear rim along the side's middle, sought as far off the whole
// side's line as the ends' rims are (a side that bows stands some 15 pixels off that line in its middle;
// a faint rim is lost near the corner to the desk's grain or a sheet below), a step there about as strong,
// within 8 degrees of the side's direction (a sheet's last few centimetres bent up or down off the desk turn
// its rim's end some 6 to 8 degrees off its whole side's line; further off, the step is a shadow's or a
// fold's); where one at least runs off its side's line at the corner by more than the fit's noise; and where
// the corner moves more than a blurred or rounded tip shifts the stretches' lines (0.35% of the diagonal) and
// less than a curled corner's rim would take it (2.5% of the shorter side: a bent end takes its corner some
// 2%).
cv::Point2d CornerAtRimEnds(const cv::Mat& bgr, const std::array<cv::Point2d, 4>& corners, int i,
                            bool paper_brighter) {
    const cv::Point2d corner = corners[static_cast<size_t>(i)];
    const cv::Point2d previous = corners[static_cast<size_t>((i + 3) % 4)],
                      next = corners[static_cast<size_t>((i + 1) % 4)];
    const double incoming = cv::norm(corner - previous), outgoing = cv::norm(next - corner);
    const double shorter = std::min(incoming, outgoing);
    if (shorter < 100) return corner;
    const Line back{corner, (previous - corner) / incoming}, ahead{corner, (next - corner) / outgoing};
    const cv::Point2d centre = (corners[0] + corners[1] + corners[2] + corners[3]) * 0.25;
    auto rim_of = [&](const Line& side, double length) -> std::optional<Rim> {
        auto rim = FitRim(bgr, side, centre, 0.02 * length, 0.12 * length, std::max(8.0, 0.015 * length),
                          paper_brighter);
        if (!rim) return rim;
        // Again, close round the rim found, for its steps nearest its line.
        const Line near{
            rim->line.point + rim->line.direction * (corner - rim->line.point).dot(rim->line.direction),
            rim->line.direction};
        rim = FitRim(bgr, near, centre, 0.02 * length, 0.12 * length, 3.0, paper_brighter);
        auto middle = FitRim(bgr, side, centre, 0.3 * length, 0.7 * length, std::max(6.0, 0.015 * length),
                             paper_brighter);
        // A sheet curled along one side (a notebook's leaf) bows that side's middle further in, some 2% of
        // its length; it is sought that far only where nothing nearer was found, lest a shadow or a sheet
        // beneath just beyond a rim seen near the line be taken for it.
        if (!middle)
            middle = FitRim(bgr, side, centre, 0.3 * length, 0.7 * length, std::max(6.0, 0.03 * length),
                            paper_brighter);
        const cv::Point2d normal(-side.direction.y, side.direction.x);
        if (!rim || !middle || middle->strength < 60 || rim->strength < 0.5 * middle->strength ||
            std::abs(rim->line.direction.dot(normal)) > std::sin(8.0 * CV_PI / 180))
            return std::nullopt;
        return rim;
    };
    auto a = rim_of(back, incoming), b = rim_of(ahead, outgoing);
    if (!a || !b) return corner;
    auto off_line = [&](const Rim& rim) {
        const cv::Point2d normal(-rim.line.direction.y, rim.line.direction.x);
        return std::abs((corner - rim.line.point).dot(normal)) > std::max(1.0, 2 * rim.spread);
    };
    if (!off_line(*a) && !off_line(*b)) return corner;
    auto met = Intersect(a->line, b->line);
    if (!met) return corner;
    const double moved = cv::norm(*met - corner);
    const double diagonal = std::max(cv::norm(corners[2] - corners[0]), cv::norm(corners[3] - corners[1]));
    return moved >= 0.0035 * diagonal && moved <= 0.025 * shorter ? *met : corner;
}

}  // namespace

Quad RefineEdges(const cv::Mat& bgr, const Quad& quad, double reach, bool far_edges, bool sharp_rim) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return quad;
    std::array<Line, 4> sides;
    double moved_far = 0;  // how far a side was sought beyond the reach
    for (int i = 0; i < 4; ++i) {
        cv::Point2d a = quad.corners[static_cast<size_t>(i)],
                    b = quad.corners[static_cast<size_t>((i + 1) % 4)];
        cv::Point2d along = b - a;
        const double length = cv::norm(along);
        const Line given{a, along / std::max(1e-9, length)};
        auto side = RefineSide(bgr, a, b, reach);
        // A side the working copy tilted off a faint edge (colour alone) lies beyond the reach at one end.
        if (!side && far_edges && 0.03 * length > reach) {
            // Steps over three pixels: a faint edge (paper hardly differing from the desk, or an enlarged
            // video frame) spreads its step over several. A card's cut rim does not, and over three pixels
            // a blurred shadow beside a faint card's rim would outweigh it.
            side = FitStretch(bgr, given, 0.1 * length, 0.9 * length, 0.03 * length, sharp_rim ? 1 : 3, 3.0);
            // Paper of nearly the desk's grey may show its rim too faintly for single samples; a sheet
            // clearly lighter or darker whose side is not seen so is bowed, and averaging would find the
            // desk's grain.
            if (!side && std::abs(quad.brightness - quad.surround) < kFaintPaper)
                side = FitStretch(bgr, given, 0.1 * length, 0.9 * length, 0.03 * length, 3, 3.0, true);
            if (side) moved_far = std::max(moved_far, 0.03 * length);
        }
        sides[static_cast<size_t>(i)] = side.value_or(given);
    }
    Quad refined = quad;
    for (int i = 0; i < 4; ++i) {
        auto corner = Intersect(sides[static_cast<size_t>((i + 3) % 4)], sides[static_cast<size_t>(i)]);
        if (!corner ||
            cv::norm(*corner - quad.corners[static_cast<size_t>(i)]) > 2 * std::max(reach, moved_far))
            return quad;
        refined.corners[static_cast<size_t>(i)] = *corner;
    }
    if (far_edges) {
        const auto straight = refined.corners;
        for (int i = 0; i < 4; ++i)
            refined.corners[static_cast<size_t>(i)] = CornerFromEnds(bgr, straight, i);
    }
    return refined;
}

Quad CornersAtSideEnds(const cv::Mat& bgr, const Quad& quad) {
    if (bgr.empty() || bgr.type() != CV_8UC3) return quad;
    Quad moved = quad;
    for (int i = 0; i < 4; ++i)
        moved.corners[static_cast<size_t>(i)] =
            CornerAtRimEnds(bgr, quad.corners, i, quad.brightness >= quad.surround);
    return moved;
}

}  // namespace outside
