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

// A page's lines decide alone when they clear these margins (a wrongly turned menu of Chinese print
// passed the bare thresholds above by a hair; every right answer of the development set's pages but a
// few stood clear of them): otherwise the orientation model is asked.
constexpr double kSureLean = 0.6;
constexpr int kSureLines = 4;
constexpr double kSureRowRatio = 1.6;

// Where the lines begin and end (MarginLeanOf) tells the half turn where there are enough lines whose
// starts clearly keep in step more than their ends (on the development set's pages lying each of the four
// ways no wrong answer came above a lean of 0.29, and none at all from 8 lines up); it decides alone from a
// clearer lean.
constexpr int kMarginLines = 8;
constexpr double kMarginLean = 0.3;
constexpr double kSureMarginLean = 0.4;

// The orientation model is believed from this confidence: there its answers on the copies ModelCopy makes
// at 1.0 or above were right but on pages too small to read (below) and once on a menu of Chinese print,
// whose lines were wrong already.
constexpr double kModelConfidence = 1.0;
// Where it reads the whole page at the measuring size instead: on the set's pages as they lay its wrong
// answers stayed at 1.45 or below there (turned, below 0.4), while a magazine's cover of large Chinese
// print lying a quarter turned either way it read rightly at 1.63 and 1.67. Where its unsure reading of
// the window gave the same turn, the window's margin holds (a handwritten page lying a quarter turned,
// window 0.94 and whole page 1.24, both right; on the set no such pair disagreed with the truth).
constexpr double kWholePageConfidence = 1.5;
constexpr int kManyLetters = 150;
// Nor is it asked about a page smaller than this on its long side: its letters are a few pixels high,
// which the model takes for anything (a synthetic page of filler text, 480 pixels long, it read as
// turned a quarter; photographs of forms 580 to 850 pixels long, enlarged from smaller ones, it read
// wrongly at up to 1.8).
constexpr int kModelLeastSize = 900;

// The tallest letter-sized mark, as a part of the copy's height (its long side when the print may run
// either way): of body print, and of large print read where body print told nothing.
constexpr int kBodyPrint = 12;
constexpr int kLargePrint = 5;

// A copy's marks: its print clearly darker than the paper around it, in connected parts. Found once per
// copy (they take most of a reading's time), then kept to the sizes each reading wants.
struct DarkMarks {
    cv::Mat labels, stats, centroids;
    int count = 0;
};

DarkMarks FindDarkMarks(const cv::Mat& grey) {
    DarkMarks marks;
    if (grey.empty()) return marks;
    cv::Mat ink;
    cv::adaptiveThreshold(grey, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, 31, 20);
    marks.count =
        cv::connectedComponentsWithStats(ink, marks.labels, marks.stats, marks.centroids, 8, CV_32S);
    return marks;
}

// Ink: the dark marks of `grey` kept to letter-sized ones (photos, bands and rules are no letters).
// `either_way`: the print may run down the copy as well as across it (a page lying any way round), so the
// limits hold whichever side of a mark is its height. `longest`: how many times its height a mark may be long
// (more for handwriting, whose letters join into words). `paper_only`: marks on a dark ground are left out
// (see below).
cv::Mat LetterInk(const cv::Mat& grey, const DarkMarks& marks, bool either_way, int largest = kBodyPrint,
                  int longest = 3, bool paper_only = false) {
    const cv::Mat &labels = marks.labels, &stats = marks.stats, &centroids = marks.centroids;
    const int count = marks.count;
    std::vector<uint8_t> keep(static_cast<size_t>(count), 0);
    const int max_height = (either_way ? std::max(grey.rows, grey.cols) : grey.rows) / largest;
    for (int i = 1; i < count; ++i) {
        int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (either_way && w < h) std::swap(w, h);  // h: across the mark, w: along it
        keep[static_cast<size_t>(i)] =
            h >= 2 && h <= max_height && w <= std::max(max_height, longest * h) ? 255 : 0;
    }
    // White print on a card's coloured band leaves the band between its letters as marks of a letter's size,
    // whose "ascenders" are the band's and say nothing of the way up (one such band outvoted a card's dark
    // lines). Print is a minority of what lies around it, so a letter's ground is the paper; a mark whose
    // ground is darker than half the paper's lies on a band (or a logo, a photo) and is not counted. Not for
    // pages: one lit unevenly would lose print lying in the shade.
    if (paper_only) {
        cv::Mat small, ground;
        constexpr int kCell = 8;  // the ground: the median over 9 x 9 cells of this many pixels, a few lines
        cv::resize(grey, small, cv::Size(std::max(1, grey.cols / kCell), std::max(1, grey.rows / kCell)), 0,
                   0, cv::INTER_AREA);
        cv::medianBlur(small, ground, 9);
        std::vector<uint8_t> sorted(ground.begin<uint8_t>(), ground.end<uint8_t>());
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() * 9 / 10, sorted.end());
        const int paper = sorted[sorted.size() * 9 / 10];
        for (int i = 1; i < count; ++i) {
            const int cx = std::min(ground.cols - 1, static_cast<int>(centroids.at<double>(i, 0)) / kCell),
                      cy = std::min(ground.rows - 1, static_cast<int>(centroids.at<double>(i, 1)) / kCell);
            if (2 * ground.at<uint8_t>(cy, cx) < paper) keep[static_cast<size_t>(i)] = 0;
        }
    }
    cv::Mat letters(labels.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const int* label = labels.ptr<int>(y);
        uint8_t* out = letters.ptr(y);
        for (int x = 0; x < labels.cols; ++x) out[x] = keep[static_cast<size_t>(label[x])];
    }
    return letters;
}

// The part of the copy that holds its print (but for a hundredth of its ink at each side, specks and
// marks off the text): the way print runs is told from how it gathers into lines, not from where on the
// page it lies (a few lines written large in one corner gather as much across as along their lines).
cv::Mat InkExtent(const cv::Mat& ink) {
    auto extent = [](const cv::Mat& profile) {
        const cv::Mat sums = profile.reshape(1, 1);
        const double* p = sums.ptr<double>();
        double all = 0;
        for (int i = 0; i < sums.cols; ++i) all += p[i];
        int first = 0, last = sums.cols - 1;
        for (double run = 0; first < last && (run += p[first]) < 0.01 * all;) ++first;
        for (double run = 0; last > first && (run += p[last]) < 0.01 * all;) --last;
        return cv::Range(first, last + 1);
    };
    cv::Mat rows, columns;
    cv::reduce(ink, rows, 1, cv::REDUCE_SUM, CV_64F);
    cv::reduce(ink, columns, 0, cv::REDUCE_SUM, CV_64F);
    return ink(extent(rows), extent(columns));
}

// Lines are followed in vertical strips of the copy, each a part of its width: a handwritten line slopes
// and waves, a page's two columns do not share their lines, and a page straightened from a bent sheet
// keeps a little slant; across a strip a line stays within its own height.
constexpr int kStrips = 4;

cv::Mat Strip(const cv::Mat& ink, int i, int strips) {
    const int x0 = ink.cols * i / strips, x1 = ink.cols * (i + 1) / strips;
    return ink(cv::Rect(x0, 0, std::max(1, x1 - x0), ink.rows));
}

// How strongly ink gathers into rows: the spread of the row profile over its mean, of each strip, weighed
// by the strip's ink. Lines of text give full rows and empty gaps; text turned sideways gives a flat
// profile.
double RowContrast(const cv::Mat& ink, int strips) {
    double sum = 0, weight = 0;
    for (int i = 0; i < strips; ++i) {
        cv::Mat profile;
        cv::reduce(Strip(ink, i, strips), profile, 1, cv::REDUCE_SUM, CV_64F);
        cv::Scalar mean, deviation;
        cv::meanStdDev(profile, mean, deviation);
        if (mean[0] <= 0) continue;
        sum += deviation[0];  // (deviation / mean) weighed by the ink, mean
        weight += mean[0];
    }
    return weight > 0 ? sum / weight : 0;
}

struct Lean {
    double score = 0;  // + ascenders above the cores (upright), - below (upside down)
    int lines = 0;     // lines of a readable size that took a side
    int seen = 0;      // lines of any size
};

// Along each line of text (rows of ink between empty gaps) in each strip, the core is the band of rows at
// least half as full as the fullest; ink above it is ascenders, ink below it descenders. Lines too small
// to read take no part.
void AscenderLeanOfStrip(const cv::Mat& ink, double& above, double& below, Lean& lean) {
    cv::Mat profile;
    cv::reduce(ink, profile, 1, cv::REDUCE_SUM, CV_64F);
    const double* p = profile.ptr<double>();
    double peak = 0;
    for (int y = 0; y < profile.rows; ++y) peak = std::max(peak, p[y]);
    if (peak <= 0) return;
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
}

Lean AscenderLean(const cv::Mat& ink, int strips) {
    Lean lean;
    double above = 0, below = 0;
    for (int i = 0; i < strips; ++i) AscenderLeanOfStrip(Strip(ink, i, strips), above, below, lean);
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

namespace {

// The region straightened onto an upright grey copy at most `max_size` long on its long side (never
// enlarged), without its rim (the outermost few percent are the sheet's edge and its shadow, not print);
// what lies over it blanked to paper, its print and edges with it (a little beyond). Empty when too small.
cv::Mat StraightGrey(const cv::Mat& bgr, const Quad& quad, const std::vector<Quad>& covering, int max_size) {
    cv::Size size = QuadSize(quad);
    double scale = std::min(1.0, static_cast<double>(max_size) / std::max(size.width, size.height));
    cv::Size target(std::max(1, static_cast<int>(size.width * scale)),
                    std::max(1, static_cast<int>(size.height * scale)));
    std::array<cv::Point2f, 4> from,
        to = {cv::Point2f(0, 0), cv::Point2f(static_cast<float>(target.width), 0),
              cv::Point2f(static_cast<float>(target.width), static_cast<float>(target.height)),
              cv::Point2f(0, static_cast<float>(target.height))};
    for (int i = 0; i < 4; ++i)
        from[static_cast<size_t>(i)] = cv::Point2f(quad.corners[static_cast<size_t>(i)]);
    cv::Mat straight, grey, transform = cv::getPerspectiveTransform(from.data(), to.data());
    cv::warpPerspective(bgr, straight, transform, target, cv::INTER_AREA, cv::BORDER_REPLICATE);
    cv::cvtColor(straight, grey, cv::COLOR_BGR2GRAY);
    for (const Quad& other : covering) {
        std::vector<cv::Point2d> corners(other.corners.begin(), other.corners.end()), mapped;
        cv::perspectiveTransform(corners, mapped, transform);
        std::vector<cv::Point> polygon;
        cv::Point2d middle = (mapped[0] + mapped[1] + mapped[2] + mapped[3]) * 0.25;
        for (const auto& p : mapped) polygon.push_back(middle + 1.03 * (p - middle));
        cv::fillConvexPoly(grey, polygon, cv::Scalar(255));
    }
    if (grey.rows < 40 || grey.cols < 40) return {};
    int mx = grey.cols / 30, my = grey.rows / 30;
    return grey(cv::Rect(mx, my, grey.cols - 2 * mx, grey.rows - 2 * my)).clone();
}

// The lines' answer on the straightened grey copy, and whether it clears the margins of a sure one.
struct LinesTurn {
    std::optional<int> turn;
    bool sure = false;
    std::optional<bool> along_rows;  // the way the lines run, where that is clear
    bool by_columns = false;         // the turn told only by the margins of the page's two halves
    Lean lean;                       // the ascenders' vote, along rows or (not `lean_along_rows`) columns
    bool lean_along_rows = true;
};

LinesTurn TurnOfLinesIn(const cv::Mat& ink, const cv::Mat& sideways, TurnChoice choice, bool landscape,
                        int strips, std::optional<bool> way) {
    LinesTurn result;
    // Text lines run along the picture's rows (turn 0 or 2) or along its columns (turn 1 or 3); a card's
    // lines run along its long side.
    bool along_rows = landscape;
    double row_ratio = 0;
    if (way) {
        along_rows = *way;  // the caller's way (its words'), not the rows' contrast
        result.along_rows = way;
    } else if (choice == TurnChoice::Any) {
        double rows = RowContrast(ink, strips), columns = RowContrast(sideways, strips);
        if (std::max(rows, columns) < kMinRowRatio * std::min(rows, columns)) return result;
        row_ratio = std::max(rows, columns) / std::max(1e-9, std::min(rows, columns));
        along_rows = rows > columns;
        result.along_rows = along_rows;
    }
    Lean lean = AscenderLean(along_rows ? ink : sideways, strips);
    result.lean = lean;
    result.lean_along_rows = along_rows;
    if (lean.lines < kMinLines || 2 * lean.lines < lean.seen || std::abs(lean.score) < kMinLean)
        return result;
    int turn = along_rows ? 0 : 1;
    if (lean.score < 0) turn += 2;
    result.turn = turn;
    result.sure = std::abs(lean.score) >= kSureLean && lean.lines >= kSureLines && row_ratio >= kSureRowRatio;
    return result;
}

// Where lines of print begin and end: a page's lines start at one margin and end wherever their words
// run out (a paragraph's last line short, a form's labels, a receipt's items), so more of them share
// their start than their end. Turned a half, the ends are the ones in step. Measured across the whole
// width (a strip's edge would cut every line alike); lines of full justified width, centred headings and
// a second column leave it even.
struct MarginLean {
    double score = 0;  // + the starts in step (upright), - the ends (upside down)
    int lines = 0;
};

MarginLean MarginLeanOf(const cv::Mat& ink) {
    MarginLean lean;
    cv::Mat profile;
    cv::reduce(ink, profile, 1, cv::REDUCE_SUM, CV_64F);
    const double* p = profile.ptr<double>();
    double peak = 0;
    for (int y = 0; y < profile.rows; ++y) peak = std::max(peak, p[y]);
    if (peak <= 0) return lean;
    std::vector<int> starts, ends, heights;
    int y = 0;
    while (y < profile.rows) {
        while (y < profile.rows && p[y] < 0.04 * peak) ++y;
        const int top = y;
        while (y < profile.rows && p[y] >= 0.04 * peak) ++y;
        if (y - top < 4) continue;
        cv::Mat columns;
        cv::reduce(ink.rowRange(top, y), columns, 0, cv::REDUCE_SUM, CV_64F);
        const double* c = columns.ptr<double>();
        double all = 0;
        for (int x = 0; x < columns.cols; ++x) all += c[x];
        // A speck beside the line is not where it begins: the first and last hundredth of its ink are.
        double run = 0;
        int first = 0, last = columns.cols - 1;
        while (first < columns.cols && (run += c[first]) < 0.01 * all) ++first;
        run = 0;
        while (last > 0 && (run += c[last]) < 0.01 * all) --last;
        if (last - first < 3 * (y - top)) continue;  // a word or a mark, not a line
        starts.push_back(first);
        ends.push_back(last);
        heights.push_back(y - top);
    }
    lean.lines = static_cast<int>(starts.size());
    if (lean.lines < 2) return lean;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const int reach = std::max(2, heights[heights.size() / 2] / 2);
    // The most lines whose starts (ends) lie within a line's half height of one another.
    auto most_in_step = [reach](std::vector<int> xs) {
        std::sort(xs.begin(), xs.end());
        size_t most = 0;
        for (size_t i = 0, j = 0; i < xs.size(); ++i) {
            while (xs[i] - xs[j] > 2 * reach) ++j;
            most = std::max(most, i - j + 1);
        }
        return static_cast<int>(most);
    };
    lean.score = static_cast<double>(most_in_step(starts) - most_in_step(ends)) / lean.lines;
    return lean;
}

// Where the lines' margins across the whole width tell nothing, they are read in the page's two halves:
// across the whole width a slanting or waving line (handwriting, a crumpled slip) runs into its neighbours'
// rows and few lines are told apart, across half of it each stays within its own height; and a second
// column has a margin of its own. The cut between the halves is where the left half's lines end and the
// right half's begin alike, so it leans neither way. Never sure: the model may still turn it a quarter.
// Pages only: a card has too few lines for it.
// `lines_ink`: the print turned so that its lines lie along rows, `along_rows` of the page's turn.
std::optional<int> TurnOfColumnMargins(const cv::Mat& lines_ink, bool along_rows) {
    const int middle = lines_ink.cols / 2;
    const MarginLean left = MarginLeanOf(lines_ink.colRange(0, middle)),
                     right = MarginLeanOf(lines_ink.colRange(middle, lines_ink.cols));
    const int lines = left.lines + right.lines;
    if (lines < kMarginLines) return std::nullopt;
    const double score = (left.score * left.lines + right.score * right.lines) / lines;
    if (std::abs(score) < kMarginLean) return std::nullopt;
    return (along_rows ? 0 : 1) + (score < 0 ? 2 : 0);
}

// How print is read: body text; large print (headings, a cover), of which only the margins tell; and a
// few lines written large in one block of the page (a note), joined words and all, whose ascenders may
// tell unsurely.
enum class Print { Body, Large, LargeBlock };

// The lines read across the whole width (long printed lines) and in strips (handwriting, columns, a
// slant); a sure answer of either stands unless the other is sure of another.
// `way`: the lines' way when the caller knows it (its words'); `card`: a card's print, read only where it
// lies on paper.
LinesTurn TurnOfLines(const cv::Mat& grey, const DarkMarks& marks, TurnChoice choice, bool landscape,
                      Print print = Print::Body, std::optional<bool> way = {}, bool card = false) {
    if (grey.empty()) return {};
    cv::Mat ink =
        LetterInk(grey, marks, choice == TurnChoice::Any, print == Print::Body ? kBodyPrint : kLargePrint,
                  print == Print::LargeBlock ? 8 : 3, card);
    if (cv::countNonZero(ink) < 200) return {};
    if (print == Print::LargeBlock) ink = InkExtent(ink);
    cv::Mat sideways;
    cv::rotate(ink, sideways, cv::ROTATE_90_CLOCKWISE);
    LinesTurn whole = TurnOfLinesIn(ink, sideways, choice, landscape, 1, way);
    const LinesTurn strips = TurnOfLinesIn(ink, sideways, choice, landscape, kStrips, way);
    // Across the whole width a few long lines vote, and print without ascenders (Chinese, Japanese) votes
    // at random: its unsure answer is none where the strips, counting more lines the same way, lean the
    // other way (a Japanese card was turned upside down on four lines voting three to one).
    if (card && whole.turn && !whole.sure && strips.lean_along_rows == whole.lean_along_rows &&
        strips.lean.lines > whole.lean.lines && strips.lean.score * whole.lean.score < 0)
        whole.turn.reset();
    if (whole.sure && strips.sure && whole.turn != strips.turn) return {};
    LinesTurn result = whole.sure || !strips.sure ? (whole.turn ? whole : strips) : strips;
    // The lines' way is that of either reading unless they cross.
    result.along_rows = whole.along_rows ? whole.along_rows : strips.along_rows;
    if (whole.along_rows && strips.along_rows && *whole.along_rows != *strips.along_rows)
        result.along_rows.reset();
    if (print != Print::Body) {
        // Large marks (a diagram's arrows, a formula's brackets) stand any way up: of large print only
        // where its lines begin and end tells; of a block of it read last (where nothing else told),
        // the ascenders too, never surely (the model may still overrule them by a quarter turn).
        if (print == Print::Large) result.turn.reset();
        result.sure = false;
    }
    if (!result.along_rows) return result;
    const cv::Mat& lines_ink = *result.along_rows ? ink : sideways;
    const MarginLean margin = MarginLeanOf(lines_ink);
    if (margin.lines < kMarginLines || std::abs(margin.score) < kMarginLean) {
        if (!result.turn && choice == TurnChoice::Any && !card) {
            result.turn = TurnOfColumnMargins(lines_ink, *result.along_rows);
            result.by_columns = result.turn.has_value();
        }
        return result;
    }
    const int turn = (*result.along_rows ? 0 : 1) + (margin.score < 0 ? 2 : 0);
    if (result.turn == turn) {
        result.sure = true;  // two cues of their own agree
    } else if (result.sure) {
        result.turn.reset();  // they disagree: neither decides
        result.sure = false;
    } else {
        result.turn = turn;
        result.sure = std::abs(margin.score) >= kSureMarginLean;
    }
    return result;
}

}  // namespace

std::optional<int> UprightTurnFromText(const cv::Mat& bgr, const Quad& quad, TurnChoice choice,
                                       const std::vector<Quad>& covering) {
    const cv::Size size = QuadSize(quad);
    const bool landscape = size.width >= size.height;
    const cv::Mat grey = StraightGrey(bgr, quad, covering, kMeasureSize);
    const DarkMarks marks = FindDarkMarks(grey);
    if (choice == TurnChoice::Landscape) {
        // A card printed across its short side (an upright portrait card) is read as it is printed.
        const LinesTurn any = TurnOfLines(grey, marks, TurnChoice::Any, landscape, Print::Body, {}, true);
        if (any.sure) return any.turn;
        // So is one standing taller than wide whose lines run clearly across it: it stays as it stands
        // unless its lines lean.
        if (!landscape && any.along_rows == true) return any.turn.value_or(0);
    }
    if (auto turn =
            TurnOfLines(grey, marks, choice, landscape, Print::Body, {}, choice == TurnChoice::Landscape)
                .turn)
        return turn;
    // No clear text: a card that must be turned to lie landscape takes the quarter turn clockwise.
    return choice == TurnChoice::Landscape && !landscape ? std::optional<int>(1) : std::nullopt;
}

namespace {

// The typical height of a letter among a copy's letter-sized marks: the median of the longer sides of
// those of about a letter's proportions (most letters are of the lines' core, o e a n); 0 when there are
// too few to tell.
double TypicalLetterSize(const cv::Mat& letters, int& count_of_letters) {
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(letters, labels, stats, centroids, 8, CV_32S);
    std::vector<int> sizes;
    for (int i = 1; i < count; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        if (std::min(w, h) >= 2 && std::max(w, h) <= 2 * std::min(w, h)) sizes.push_back(std::max(w, h));
    }
    count_of_letters = static_cast<int>(sizes.size());
    if (sizes.size() < 20) return 0;
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    return sizes[sizes.size() / 2];
}

// The copy the orientation model reads: the page straightened at the scale where its typical letter is
// kModelLetterSize high (the model passes over marks under ten pixels, and tells little from letters of a
// dozen), at most kModelMaxScale times the picture's own pixels; of a larger page the window of
// kModelWindow pixels holding the most letter-sized print (not a picture's dark mass), which bounds the
// model's time; black print on white, so that shade and uneven light make no marks of their own.
constexpr double kModelLetterSize = 20;
constexpr double kModelMaxScale = 2;
constexpr int kModelWindow = 800;

// Measuring-copy pixels to a picture pixel (the copy lacks a rim of a thirtieth on each side).
double MeasuredScale(const Quad& quad, const cv::Mat& measured) {
    const cv::Size size = QuadSize(quad);
    return std::max(measured.cols, measured.rows) * 15.0 / 14.0 / std::max(size.width, size.height);
}

// A window of the measuring copy straightened again from the picture, `to_copy` times the copy's scale, grey.
cv::Mat StraightWindow(const cv::Mat& bgr, const Quad& quad, const cv::Mat& measured, const cv::Rect& window,
                       double to_copy) {
    const int rim_x = measured.cols / 28, rim_y = measured.rows / 28;  // the rim StraightGrey left out
    const cv::Size full(measured.cols + 2 * rim_x, measured.rows + 2 * rim_y);
    std::array<cv::Point2f, 4> corners;
    for (int i = 0; i < 4; ++i)
        corners[static_cast<size_t>(i)] = cv::Point2f(quad.corners[static_cast<size_t>(i)]);
    const std::array<cv::Point2f, 4> unit = {
        cv::Point2f(0, 0), cv::Point2f(static_cast<float>(full.width), 0),
        cv::Point2f(static_cast<float>(full.width), static_cast<float>(full.height)),
        cv::Point2f(0, static_cast<float>(full.height))};
    cv::Mat to_measured = cv::getPerspectiveTransform(corners.data(), unit.data());
    // Picture -> measuring copy (with rim) -> the window's corner at the origin -> the wanted scale.
    cv::Mat shift = (cv::Mat_<double>(3, 3) << to_copy, 0, -to_copy * (window.x + rim_x), 0, to_copy,
                     -to_copy * (window.y + rim_y), 0, 0, 1);
    const cv::Size target(static_cast<int>(window.width * to_copy),
                          static_cast<int>(window.height * to_copy));
    if (target.width < 1 || target.height < 1) return {};
    cv::Mat straight, grey;
    cv::warpPerspective(bgr, straight, shift * to_measured, target,
                        to_copy > 1 ? cv::INTER_LINEAR : cv::INTER_AREA, cv::BORDER_REPLICATE);
    cv::cvtColor(straight, grey, cv::COLOR_BGR2GRAY);
    return grey;
}

cv::Mat ModelCopy(const cv::Mat& bgr, const Quad& quad, const cv::Mat& measured, const DarkMarks& marks,
                  int& count_of_letters) {
    const cv::Mat letters = LetterInk(measured, marks, true);
    const double letter = TypicalLetterSize(letters, count_of_letters);
    if (letter <= 0) return {};
    const double measured_scale = MeasuredScale(quad, measured);
    const double scale = std::min(kModelMaxScale, kModelLetterSize / letter * measured_scale);
    // The window, found on the measuring copy by its letters' ink on a coarse grid.
    const double to_copy = scale / measured_scale;
    const cv::Size window(std::min(measured.cols, static_cast<int>(kModelWindow / to_copy)),
                          std::min(measured.rows, static_cast<int>(kModelWindow / to_copy)));
    cv::Mat sums;
    cv::integral(letters, sums, CV_64F);
    const int step = std::max(1, std::max(window.width, window.height) / 16);
    cv::Rect best(0, 0, window.width, window.height);
    double most = -1;
    for (int y = 0; y + window.height <= measured.rows; y += step)
        for (int x = 0; x + window.width <= measured.cols; x += step) {
            const double sum = sums.at<double>(y + window.height, x + window.width) -
                               sums.at<double>(y, x + window.width) - sums.at<double>(y + window.height, x) +
                               sums.at<double>(y, x);
            if (sum > most) {
                most = sum;
                best = cv::Rect(x, y, window.width, window.height);
            }
        }
    // That window of the page, straightened at the model's scale.
    if (best.width * to_copy < 40 || best.height * to_copy < 40) return {};
    const cv::Mat grey = StraightWindow(bgr, quad, measured, best, to_copy);
    cv::Mat ink;
    const int block = 2 * static_cast<int>(1.5 * kModelLetterSize) + 1;
    cv::adaptiveThreshold(grey, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY, block, 15);
    return ink;
}

// The model tells well which way the lines run (its scores of the two turns along them stand together,
// those across them lower) but less well which end is up: where the lines lean one way, if unsurely, the
// model's answer of the opposite half turn does not overrule them (on the development set's pages lying
// each of the four ways it did so wrongly twice and never rightly). The margins of a page's two halves
// are a weaker cue than the letters' own lean: a model sure by the whole page's measure overrules them (a
// form upside down whose halves' margins leaned the wrong way by a hair, the model sure of it at 3.4).
bool HalfTurnFrom(const ModelTurn& model, const LinesTurn& lines) {
    if (!lines.turn || (model.turn + 2) % 4 != *lines.turn) return false;
    return !(lines.by_columns && model.confidence >= kWholePageConfidence);
}

// The model reads print lying along the copy's rows more surely than print running down it (on the
// development set's pages lying a quarter turned it mostly could not tell, or told wrongly, what it told
// rightly of the same pages lying upright or upside down): where the lines run down the copy, it is shown
// the copy turned a quarter clockwise, and its answer turned back.
std::optional<ModelTurn> DetectAlongRows(OrientationModel& model, const cv::Mat& copy,
                                         std::optional<bool> along_rows) {
    if (along_rows.value_or(true)) return model.Detect(copy);
    cv::Mat turned;
    cv::rotate(copy, turned, cv::ROTATE_90_CLOCKWISE);
    std::optional<ModelTurn> answer = model.Detect(turned);
    if (!answer) return answer;
    // Upright after t quarters from the turned copy is upright after t + 1 from the copy.
    ModelTurn back = *answer;
    back.turn = (answer->turn + 1) % 4;
    for (size_t t = 0; t < 4; ++t) back.score[(t + 1) % 4] = answer->score[t];
    return back;
}

// The way the print's words lie, told apart from the lines' measure: its marks, a word's letters joined,
// that lie clearly along rows or along columns; the way holding more of their ink, where each way has at
// least two (one long mark is no way of print). Nothing where no mark lies clearly either way.
std::optional<bool> WordsAlongRows(const cv::Mat& grey, const DarkMarks& marks) {
    const cv::Mat ink = LetterInk(grey, marks, true, kLargePrint, 8);
    // Closing the gaps between a word's letters (a few pixels at the measuring size), not between lines.
    const int reach = std::max(3, std::max(grey.rows, grey.cols) / 200);
    cv::Mat words, labels, stats, centroids;
    cv::dilate(ink, words, cv::Mat::ones(reach, reach, CV_8U));
    const int count = cv::connectedComponentsWithStats(words, labels, stats, centroids, 8, CV_32S);
    double along_rows = 0, along_columns = 0;
    int rows = 0, columns = 0;
    for (int i = 1; i < count; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH), h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        if (std::max(w, h) < 4 * reach) continue;  // a letter or a speck
        if (w >= 2 * h) {
            along_rows += area;
            ++rows;
        } else if (h >= 2 * w) {
            along_columns += area;
            ++columns;
        }
    }
    if (along_rows + along_columns <= 0) return std::nullopt;
    const bool more_along_rows = along_rows >= along_columns;
    if ((more_along_rows ? rows : columns) < 2) return std::nullopt;
    return more_along_rows;
}

// A line of digits or capitals, which the Latin model reads surely the right way up only: a run of
// separate marks of one height standing side by side on one line, each narrower than tall (a telephone
// number, a price, a code). Han print's strokes and a word's lower-case letters (ascenders, descenders,
// round letters) seldom keep one top and one bottom over so many marks.
constexpr int kRunMarks = 7;
constexpr int kRunLeastHeight = 8;  // measuring-copy pixels: smaller marks are too blurred to read
// The line is read at the letter height the model reads best, at most kModelMaxScale times the picture's
// own pixels; one way up it must read surer by this many points of the model's confidence (0..100) than
// turned over (a telephone number on a menu of Han print, the menu lying each of the four ways: 93 to 96
// against 14 to 24).
constexpr double kReadHeight = 32;
constexpr double kReadingLead = 30;

// The box of the longest such run among `ink`'s marks, lines lying along rows; empty when none is long
// enough.
cv::Rect LongestMarkRun(const cv::Mat& ink) {
    cv::Mat labels, stats, centroids;
    const int count = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<cv::Rect> marks;
    for (int i = 1; i < count; ++i) {
        const cv::Rect box(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                           stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
        if (box.height >= kRunLeastHeight && box.height <= ink.rows / kBodyPrint &&
            4 * box.width <= 3 * box.height)
            marks.push_back(box);
    }
    std::sort(marks.begin(), marks.end(), [](const cv::Rect& a, const cv::Rect& b) { return a.x < b.x; });
    // Each mark joins the run of the nearest mark before it within half its height, of the same top and
    // bottom within a sixth of it.
    std::vector<int> length(marks.size(), 1), before(marks.size(), -1);
    int best = -1;
    for (size_t j = 0; j < marks.size(); ++j) {
        const cv::Rect& m = marks[j];
        const int near = m.height / 6;
        for (size_t i = j; i-- > 0 && marks[i].x >= m.x - 2 * m.height;) {
            const cv::Rect& o = marks[i];
            const int gap = m.x - (o.x + o.width);
            if (gap < -near || gap > m.height / 2 || std::abs(o.y - m.y) > near ||
                std::abs(o.br().y - m.br().y) > near)
                continue;
            if (before[j] < 0 || o.x + o.width > marks[static_cast<size_t>(before[j])].br().x) {
                before[j] = static_cast<int>(i);
                length[j] = length[i] + 1;
            }
        }
        if (best < 0 || length[j] > length[static_cast<size_t>(best)]) best = static_cast<int>(j);
    }
    if (best < 0 || length[static_cast<size_t>(best)] < kRunMarks) return {};
    cv::Rect run = marks[static_cast<size_t>(best)];
    for (int i = before[static_cast<size_t>(best)]; i >= 0; i = before[static_cast<size_t>(i)])
        run |= marks[static_cast<size_t>(i)];
    return run;
}

// The half turn of a page whose lines' way is known, by reading its longest run of digits or capitals
// (dark print or light print on a coloured band) with the Latin model both ways up; nothing where there is
// no such run or neither way reads clearly surer.
std::optional<int> TurnByReading(const cv::Mat& bgr, const Quad& quad, const cv::Mat& grey, bool along_rows,
                                 OrientationModel& model) {
    cv::Mat lines = grey;
    if (!along_rows) cv::rotate(grey, lines, cv::ROTATE_90_CLOCKWISE);
    cv::Rect run;
    bool light = false;  // light print on a darker ground
    for (const int polarity : {cv::THRESH_BINARY_INV, cv::THRESH_BINARY}) {
        cv::Mat ink;
        cv::adaptiveThreshold(lines, ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, polarity, 31,
                              polarity == cv::THRESH_BINARY_INV ? 20 : -20);
        const cv::Rect found = LongestMarkRun(ink);
        if (found.width > run.width) {
            run = found;
            light = polarity == cv::THRESH_BINARY;
        }
    }
    if (run.empty()) return std::nullopt;
    // The run alone with a little of its ground round it (the model wants a margin; a neighbour's cut
    // letter would read as a sure stray mark either way), in the measuring copy's own way.
    const int margin = run.height / 3;
    run = cv::Rect(run.x - margin, run.y - margin, run.width + 2 * margin, run.height + 2 * margin) &
          cv::Rect(0, 0, lines.cols, lines.rows);
    if (!along_rows) run = cv::Rect(run.y, grey.rows - run.br().x, run.height, run.width);
    const double measured_scale = MeasuredScale(quad, grey);
    const double letter = (along_rows ? run.height : run.width) - 2 * margin;
    const double to_copy = std::min(kModelMaxScale, kReadHeight / letter * measured_scale) / measured_scale;
    cv::Mat upright = StraightWindow(bgr, quad, grey, run, to_copy), over;
    if (upright.empty()) return std::nullopt;
    if (!along_rows) cv::rotate(upright, upright, cv::ROTATE_90_CLOCKWISE);
    if (light) cv::bitwise_not(upright, upright);  // the model reads dark print
    cv::rotate(upright, over, cv::ROTATE_180);
    const std::optional<double> up = model.ReadingConfidence(upright), down = model.ReadingConfidence(over);
    if (!up || !down || std::abs(*up - *down) < kReadingLead) return std::nullopt;
    return (along_rows ? 0 : 1) + (*up > *down ? 0 : 2);
}

// The page's turn by its lines and the orientation model; `grey`: the measuring copy.
PageTurnEvidence WeighLinesAndModel(const cv::Mat& bgr, const Quad& quad, OrientationModel& model,
                                    cv::Mat& grey) {
    PageTurnEvidence evidence;
    const cv::Size size = QuadSize(quad);
    grey = StraightGrey(bgr, quad, {}, kMeasureSize);
    const DarkMarks marks = FindDarkMarks(grey);
    // The words' way, asked of up to two readings below, is measured once.
    std::optional<std::optional<bool>> words_way;
    auto words_along_rows = [&] {
        if (!words_way) words_way = WordsAlongRows(grey, marks);
        return *words_way;
    };
    LinesTurn lines = TurnOfLines(grey, marks, TurnChoice::Any, size.width >= size.height);
    if (!lines.turn) {
        // Print whose letters are too big for letters of body text (a datasheet's headings, a note
        // written large) may still tell: over the page, else over the block its ink fills (a few
        // lines written large in one corner of the page gather as much across as along their lines).
        LinesTurn large = TurnOfLines(grey, marks, TurnChoice::Any, size.width >= size.height, Print::Large);
        if (!large.turn)
            large = TurnOfLines(grey, marks, TurnChoice::Any, size.width >= size.height, Print::LargeBlock);
        if (large.turn) lines = large;
    }
    if (!lines.turn && !lines.along_rows && !grey.empty()) {
        // Print ruled both ways (a register's grid) gathers into rows and columns alike, so the lines
        // cannot tell their own way; the words still lie along it, and the ascenders are read that way,
        // never surely (the model may still overrule them by a quarter turn).
        if (const std::optional<bool> words = words_along_rows()) {
            lines = TurnOfLines(grey, marks, TurnChoice::Any, size.width >= size.height, Print::Body, words);
            lines.sure = false;
        }
    }
    evidence.lines = lines.turn;
    evidence.lines_sure = lines.sure;
    evidence.along_rows = lines.along_rows;
    evidence.turn = lines.turn;
    if (lines.sure) {
        // Where most of the words lie across the way the lines were measured to run, the print runs
        // both ways (words written round a sheet) and the lines' measure sided with a part of it: no one
        // way up is told, and the page is left as it lies.
        const std::optional<bool> words = words_along_rows();
        if (words && *words != (*lines.turn % 2 == 0)) {
            evidence.lines_sure = false;
            evidence.turn.reset();
        }
        return evidence;
    }
    if (grey.empty()) return evidence;
    if (lines.along_rows) {
        // Square letters set in a grid (a menu's) gather into rows and columns alike, and the lines'
        // unsure measure may take the wrong one: where most words lie the other way, theirs is taken,
        // and the lines' turn (by the other way) with it out of the reckoning.
        const std::optional<bool> words = words_along_rows();
        if (words && *words != *lines.along_rows) {
            lines.along_rows = words;
            lines.turn.reset();
            evidence.along_rows = words;
            evidence.turn.reset();
        }
    }
    if (std::max(size.width, size.height) < kModelLeastSize) return evidence;
    int letters = 0;
    cv::Mat copy = ModelCopy(bgr, quad, grey, marks, letters);
    if (!copy.empty()) {
        evidence.model_copy = copy.size();
        evidence.model = DetectAlongRows(model, copy, lines.along_rows);
        if (evidence.model && evidence.model->confidence >= kModelConfidence) {
            if (!HalfTurnFrom(*evidence.model, lines)) evidence.turn = evidence.model->turn;
            return evidence;
        }
    }
    // A page of few letters (a magazine's cover of large print, a short receipt) gives that window little
    // to read: the model reads the whole measuring copy then, believed from a higher confidence. A page of
    // many is not read twice (the time).
    if (letters >= kManyLetters) return evidence;
    const std::optional<ModelTurn> window = evidence.model;
    evidence.model_copy = grey.size();
    evidence.model = DetectAlongRows(model, grey, lines.along_rows);
    // Where the window, unsure, and the whole page give the same turn, the window's own margin is enough.
    const bool agreed = window && evidence.model && window->turn == evidence.model->turn &&
                        evidence.model->confidence >= kModelConfidence;
    if (evidence.model && (evidence.model->confidence >= kWholePageConfidence || agreed) &&
        !HalfTurnFrom(*evidence.model, lines))
        evidence.turn = evidence.model->turn;
    return evidence;
}

}  // namespace

PageTurnEvidence WeighPageTurn(const cv::Mat& bgr, const Quad& quad, OrientationModel& model) {
    cv::Mat grey;
    PageTurnEvidence evidence = WeighLinesAndModel(bgr, quad, model, grey);
    // Where neither told the turn (the model was asked, and was unsure) but the lines' way is known (print
    // whose letters have no ascenders, Han print), a line of digits or capitals may still be read the right
    // way up only.
    if (!evidence.turn && evidence.along_rows && !evidence.model_copy.empty()) {
        evidence.reading = TurnByReading(bgr, quad, grey, *evidence.along_rows, model);
        evidence.turn = evidence.reading;
    }
    return evidence;
}

std::optional<int> UprightTurnOfPage(const cv::Mat& bgr, const Quad& quad, OrientationModel& model) {
    return WeighPageTurn(bgr, quad, model).turn;
}

}  // namespace outside
