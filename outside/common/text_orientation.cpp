#include "outside/common/text_orientation.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace outside {
namespace {

// The region is measured on a straightened copy at most this long on its long side (never enlarged):
// body text of a page filling the picture stays a dozen pixels high or more, and the copy is cheap to
// make and to scan.
constexpr int kMeasureSize = 1000;

// When the print may decide the turn. Lines smaller than this (ascenders included) show their
// ascenders and descenders as a pixel or two, which noise and smoothing easily turn over, so they do not
// vote, and print that is mostly such lines is not read at all (its few bigger lines are as noisy); a
// few lines can be a logo or a stray mark; and the winning way up must have clearly more lines than the
// other.
constexpr int kMinLineHeight = 11;
constexpr int kMinLines = 3;
constexpr double kMinLean = 0.5;      // (for - against) / all lines: three lines for every one against
constexpr double kMinRowRatio = 1.4;  // lines along rows against along columns, or the other way

// Ink: print clearly darker than the paper around it, kept to letter-sized marks (photos, bands and
// rules are no letters).
cv::Mat LetterInk(const cv::Mat& grey) {
    cv::Mat ink;
    cv::adaptiveThreshold(grey, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 31, 20);
    cv::Mat labels, stats, centroids;
    int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<uint8_t> keep(static_cast<size_t>(count), 0);
    const int max_height = grey.rows / 12;
    for (int i = 1; i < count; ++i) {
        int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        keep[static_cast<size_t>(i)] =
            h >= 2 && h <= max_height && w <= std::max(max_height, 3 * h) ? 255 : 0;
    }
    cv::Mat letters(ink.size(), CV_8U);
    for (int y = 0; y < ink.rows; ++y) {
        const int* label = labels.ptr<int>(y);
        uint8_t* out = letters.ptr(y);
        for (int x = 0; x < ink.cols; ++x) out[x] = keep[static_cast<size_t>(label[x])];
    }
    return letters;
}

// How strongly ink gathers into rows: the spread of the row profile over its mean. Lines of text give
// full rows and empty gaps; text turned sideways gives a flat profile.
double RowContrast(const cv::Mat& ink) {
    cv::Mat profile;
    cv::reduce(ink, profile, 1, cv::REDUCE_SUM, CV_64F);
    cv::Scalar mean, deviation;
    cv::meanStdDev(profile, mean, deviation);
    return mean[0] > 0 ? deviation[0] / mean[0] : 0;
}

struct Lean {
    double score = 0;  // + ascenders above the cores (upright), - below (upside down)
    int lines = 0;     // lines of a readable size that took a side
    int seen = 0;      // lines of any size
};

// Along each line of text (rows of ink between empty gaps), the core is the band of rows at least half
// as full as the fullest; ink above it is ascenders, ink below it descenders. Lines too small to read
// take no part.
Lean AscenderLean(const cv::Mat& ink) {
    cv::Mat profile;
    cv::reduce(ink, profile, 1, cv::REDUCE_SUM, CV_64F);
    const double* p = profile.ptr<double>();
    double peak = 0;
    for (int y = 0; y < profile.rows; ++y) peak = std::max(peak, p[y]);
    Lean lean;
    if (peak <= 0) return lean;
    double above = 0, below = 0;
    int y = 0;
    while (y < profile.rows) {
        while (y < profile.rows && p[y] < 0.04 * peak) ++y;
        int start = y;
        while (y < profile.rows && p[y] >= 0.04 * peak) ++y;
        int end = y;  // one past the line
        if (end - start < 4) continue;
        ++lean.seen;
        if (end - start < kMinLineHeight) continue;
        double line_peak = *std::max_element(p + start, p + end);
        int core_top = start, core_bottom = end - 1;
        while (p[core_top] < 0.5 * line_peak) ++core_top;
        while (p[core_bottom] < 0.5 * line_peak) --core_bottom;
        double up = 0, down = 0;
        for (int r = start; r < core_top; ++r) up += p[r];
        for (int r = core_bottom + 1; r < end; ++r) down += p[r];
        if (up + down <= 0) continue;
        // Each line votes, so that one big line (a heading, marks of another sheet) cannot outweigh the rest.
        double vote = (up - down) / (up + down);
        if (std::abs(vote) < 0.1) continue;
        (vote > 0 ? above : below) += 1;
        ++lean.lines;
    }
    if (above + below > 0) lean.score = (above - below) / (above + below);
    return lean;
}

}  // namespace

Quad TurnQuad(const Quad& quad, int quarter_turns) {
    Quad turned = quad;
    int k = ((quarter_turns % 4) + 4) % 4;
    // Turning the picture clockwise by a quarter brings its bottom-left corner to the top left.
    for (int i = 0; i < 4; ++i)
        turned.corners[static_cast<size_t>(i)] = quad.corners[static_cast<size_t>((i - k + 4) % 4)];
    return turned;
}

std::optional<int> UprightTurnFromText(const cv::Mat& bgr, const Quad& quad, TurnChoice choice,
                                       const std::vector<Quad>& covering) {
    cv::Size size = QuadSize(quad);
    double scale = std::min(1.0, static_cast<double>(kMeasureSize) / std::max(size.width, size.height));
    Quad small = quad;
    cv::Mat grey;
    {
        // Straightened at the measuring size: corners mapped onto a smaller upright rectangle.
        cv::Size target(std::max(1, static_cast<int>(size.width * scale)),
                        std::max(1, static_cast<int>(size.height * scale)));
        std::array<cv::Point2f, 4> from,
            to = {cv::Point2f(0, 0), cv::Point2f(static_cast<float>(target.width), 0),
                  cv::Point2f(static_cast<float>(target.width), static_cast<float>(target.height)),
                  cv::Point2f(0, static_cast<float>(target.height))};
        for (int i = 0; i < 4; ++i)
            from[static_cast<size_t>(i)] = cv::Point2f(small.corners[static_cast<size_t>(i)]);
        cv::Mat straight, transform = cv::getPerspectiveTransform(from.data(), to.data());
        cv::warpPerspective(bgr, straight, transform, target, cv::INTER_AREA, cv::BORDER_REPLICATE);
        cv::cvtColor(straight, grey, cv::COLOR_BGR2GRAY);
        // What lies over the region is blanked to paper, its print and edges with it (a little beyond).
        for (const Quad& other : covering) {
            std::vector<cv::Point2d> corners(other.corners.begin(), other.corners.end()), mapped;
            cv::perspectiveTransform(corners, mapped, transform);
            std::vector<cv::Point> polygon;
            cv::Point2d middle = (mapped[0] + mapped[1] + mapped[2] + mapped[3]) * 0.25;
            for (const auto& p : mapped) polygon.push_back(middle + 1.03 * (p - middle));
            cv::fillConvexPoly(grey, polygon, cv::Scalar(255));
        }
    }
    if (grey.rows < 40 || grey.cols < 40) return std::nullopt;
    // The outermost few percent are the sheet's edge and its shadow, not print.
    int mx = grey.cols / 30, my = grey.rows / 30;
    cv::Mat ink = LetterInk(grey(cv::Rect(mx, my, grey.cols - 2 * mx, grey.rows - 2 * my)).clone());
    if (cv::countNonZero(ink) < 200) return std::nullopt;
    cv::Mat sideways;
    cv::rotate(ink, sideways, cv::ROTATE_90_CLOCKWISE);
    const bool landscape = size.width >= size.height;
    // No clear text: a card that must be turned to lie landscape takes the quarter turn clockwise.
    const std::optional<int> unclear =
        choice == TurnChoice::Landscape && !landscape ? std::optional<int>(1) : std::nullopt;
    // Text lines run along the picture's rows (turn 0 or 2) or along its columns (turn 1 or 3); a card's
    // lines run along its long side.
    bool along_rows = landscape;
    if (choice == TurnChoice::Any) {
        double rows = RowContrast(ink), columns = RowContrast(sideways);
        if (std::max(rows, columns) < kMinRowRatio * std::min(rows, columns)) return unclear;
        along_rows = rows > columns;
    }
    Lean lean = AscenderLean(along_rows ? ink : sideways);
    if (lean.lines < kMinLines || 2 * lean.lines < lean.seen || std::abs(lean.score) < kMinLean)
        return unclear;
    int turn = along_rows ? 0 : 1;
    if (lean.score < 0) turn += 2;
    return turn;
}

}  // namespace outside
