#include "outside/common/side_measures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <opencv2/imgproc.hpp>
#include <optional>

namespace outside {

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
    // Measured on the outline's box only, the outline moved with it.
    cv::Mat saturation;
    cv::subtract(high, low, saturation);
    for (auto& corner : outline) corner -= box.tl();
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
    // Measured on the outer outline's box only (the inner one lies within it), the outlines moved with it.
    cv::Mat bluer;
    cv::addWeighted(channels[0], 0.5, channels[2], -0.5, 128, bluer);
    for (auto* polygon : {&inner, &outer})
        for (auto& corner : *polygon) corner -= box.tl();
    return 2 * (MeanWithin(bluer, inner) - MeanWithin(bluer, outer, inner));
}

}  // namespace outside
