#include "outside/kvoasize/page_detector.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "outside/common/edge_refine.h"
#include "outside/common/side_measures.h"
#include "outside/common/text_orientation.h"

namespace outside {
namespace {

// A banknote under a document camera covers a twelfth of the view or less; a leaflet folded in three,
// lying whole, a quarter or more.
constexpr double kFoldedLeafletViewShare = 0.25;

// A till receipt lying whole under the camera is some 6 times as long as it is wide at most; a sliver
// longer still is a margin or a strip of a scan between two lines.
constexpr double kLongestPage = 8;

// Paper is brighter than what it lies on; a dark notebook, a tablet or a shadow is no page, nor is a page
// whose paper goes on beyond one of its sides (an open book's page at its fold, a crumpled slip's fold
// with the slip going on beyond it in shade, of the slip's tint). White paper on a white or
// beige desk is hardly brighter, but it is colourless and differs from the desk in tone all round (its
// brightener shows it bluish); a banknote or a coloured print is no white paper. A coloured leaflet or cover
// is darker than a light desk, and strongly coloured.
bool PaperLike(const cv::Mat& bgr, const Quad& quad) {
    if (quad.brightness < 110) return false;
    if (quad.brightness >= quad.surround + 15) {
        auto beyond = SidePaperBeyondShares(bgr, quad, quad.brightness);
        // A side nowhere darker beyond than within, with paper beyond it at least midway between the
        // outline's grey and its ring's, is a crease across a sheet, the paper going on in shade (a dark
        // picture printed to a page's edge has the desk beyond it, no brighter than the ring).
        auto shaded_paper_beyond = SidePaperBeyondShares(bgr, quad, 0.5 * (quad.brightness + quad.surround));
        auto brighter = SideBrighterShares(bgr, quad);
        for (size_t i = 0; i < 4; ++i)
            if (brighter[i] < 0.1 && shaded_paper_beyond[i] >= 0.5) return false;
        auto sheet_beyond = SideSheetBeyondShares(bgr, quad);
        return *std::max_element(beyond.begin(), beyond.end()) < 0.5 &&
               *std::max_element(sheet_beyond.begin(), sheet_beyond.end()) < 0.6;
    }
    // White paper by its tone; as bright as the desk give or take a little (a receipt's print, a cloud's
    // light on the desk). Under tinted light (or with its print's colour fringes) it is not colourless, but
    // its brightener still shows it clearly bluer than the desk round it; a banknote's paper is no bluer,
    // and has no sheet's proportions.
    auto white_paper = [&] {
        if (quad.brightness < quad.surround - 5 || quad.confidence < 0.8 ||
            SideColourStepShare(bgr, quad) < 0.7)
            return false;
        const double saturation = MeanSaturation(bgr, quad);
        return saturation <= 15 || (saturation <= 45 && quad.confidence >= 0.9 &&
                                    LongToShortSide(quad) <= 1.75 && BluerThanAround(bgr, quad) >= 20);
    };
    if (quad.brightness < quad.surround) {
        // A coloured leaflet or cover on a lighter desk: strongly coloured, its colour stepping to the desk's
        // right round an outline seen whole, of a sheet's proportions. A leaflet folded in three (2.1:1) is
        // as long as a banknote, which is far smaller: one that long is taken only when it covers a good
        // part of the view, as a leaflet under the camera does.
        const double long_to_short = LongToShortSide(quad);
        const bool sheet_proportions =
            long_to_short <= 1.75 ||
            (long_to_short <= 2.2 && QuadArea(quad) >= kFoldedLeafletViewShare * bgr.cols * bgr.rows);
        return (quad.confidence >= 0.95 && sheet_proportions && MeanSaturation(bgr, quad) >= 60 &&
                SideColourStepShare(bgr, quad) >= 0.9) ||
               white_paper();
    }
    // A page whose print darkens it as a whole (a magazine page with large pictures) still shows its rim
    // brighter than the desk right round; it has a sheet's proportions (up to 1.65:1 for legal paper), which
    // a banknote's rim, as bright, does not.
    auto brighter = SideBrighterShares(bgr, quad);
    if (quad.confidence >= 0.9 && LongToShortSide(quad) <= 1.75 &&
        *std::min_element(brighter.begin(), brighter.end()) >= 0.9)
        return true;
    return white_paper();
}

// Per side, the mean grey level a little way beyond it (2 to 8 hundredths of the outline's shorter side
// out, away from the corners); -1 where that lies off the picture.
std::array<double, 4> GreyBeyondSides(const cv::Mat& bgr, const Quad& quad) {
    const auto points = PointsBeyondSides(quad);
    std::array<double, 4> grey = {-1, -1, -1, -1};
    for (size_t i = 0; i < 4; ++i) {
        double sum = 0;
        int seen = 0;
        for (const auto& place : points[i])
            for (const cv::Point2d& p : place) {
                const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
                if (x < 0 || y < 0 || x >= bgr.cols || y >= bgr.rows) continue;
                const cv::Vec3b v = bgr.at<cv::Vec3b>(y, x);
                sum += 0.114 * v[0] + 0.587 * v[1] + 0.299 * v[2];
                ++seen;
            }
        if (seen >= 30) grey[i] = sum / seen;
    }
    return grey;
}

// A cover with a dark band printed to its edge: the bright outline stops at the band, beyond which lies
// something far darker than the desk beyond the other sides (on a dark desk, where that is no telling
// sign, the outlines of straight edges are not sought: they take long among a page's many ruled lines). The
// outline of four straight edges that runs on along the other three sides' lines across the band, well seen
// all round, with the desk's lighter tone beyond the band's far edge, is the cover's own; a dark thing lying
// beside a page seldom continues both of its side lines, nor has the desk just beyond it.
std::optional<Quad> GrownOverDarkBand(SearchedPicture& picture, const Quad& page, const QuadSearch& search) {
    const cv::Mat& bgr = picture.Bgr();
    const auto beyond = GreyBeyondSides(bgr, page);
    std::optional<size_t> dark;
    for (size_t i = 0; i < 4; ++i) {
        double others = 255;
        for (size_t j = 0; j < 4; ++j)
            if (j != i && beyond[j] >= 0) others = std::min(others, beyond[j]);
        if (beyond[i] >= 0 && beyond[i] <= 0.5 * others && beyond[i] <= others - 50) {
            if (dark) return std::nullopt;  // one band only
            dark = i;
        }
    }
    if (!dark) return std::nullopt;
    QuadSearch lines = search;
    lines.line_outlines = true;
    lines.bright_blobs = lines.join_pieces = lines.filled_slips = false;
    std::optional<Quad> best;
    for (const Quad& q : FindQuads(picture, lines)) {
        const double growth = QuadArea(q) / std::max(1.0, QuadArea(page)) - 1;
        if (q.confidence < 0.9 || growth < 0.02 || growth > 0.3 || !LiesWithin(q, page) ||
            SharedSides(q, page) != 3 || LongToShortSide(q) > kLongestPage || !PaperLike(bgr, q) ||
            SideStepShare(bgr, q) < 0.5)
            continue;
        // The grown outline's side beyond the band: the one nearest the page's dark side's far reach.
        const cv::Point2d cut = (page.corners[*dark] + page.corners[(*dark + 1) % 4]) * 0.5;
        const auto grown_beyond = GreyBeyondSides(bgr, q);
        size_t far = 0;
        double nearest = 1e18;
        for (size_t k = 0; k < 4; ++k) {
            const double d = cv::norm((q.corners[k] + q.corners[(k + 1) % 4]) * 0.5 - cut);
            if (d < nearest) {
                nearest = d;
                far = k;
            }
        }
        if (grown_beyond[far] < beyond[*dark] + 30) continue;
        if (!best || q.confidence > best->confidence) best = q;
    }
    return best;
}

}  // namespace

std::optional<Quad> FindPageOutline(const cv::Mat& bgr) {
    QuadSearch search;
    search.working_size = 1000;
    search.min_area_fraction = 0.01;
    search.max_area_fraction = 0.98;
    search.min_confidence =
        0.45;  // weaker outlines are returned with their confidence, for the caller to judge
    search.join_pieces = true;
    search.bright_blobs = true;
    search.filled_slips = true;
    std::vector<Quad> quads;
    SearchedPicture picture(bgr);
    // Edges of colour are sought only when grey ones give no page: their gain that finds white on white
    // also finds the mottle of wood and the rims of print, which would pull a clear page's sides astray.
    for (double colour_gain : {0.0, 3.0}) {
        search.colour_edge_gain = colour_gain;
        quads = FindQuads(picture, search);
        // A page's every side is a step between the paper and the desk along most of its length (down from
        // the paper, or up where a dark picture is printed to its edge); a boundary inside a sheet (a card's
        // coloured part beside its white part, crossing white to white on its way) shows one along part of
        // it only.
        quads.erase(std::remove_if(quads.begin(), quads.end(),
                                   [&](const Quad& q) {
                                       return LongToShortSide(q) > kLongestPage || !PaperLike(bgr, q) ||
                                              SideStepShare(bgr, q) < 0.5;
                                   }),
                    quads.end());
        if (!quads.empty()) break;
    }
    if (quads.empty()) return std::nullopt;
    // The largest region, unless the largest region within it that reaches none of its edges is brighter
    // than what surrounds that: then the outer one is a mat or a base plate and the paper lies on it.
    // Pieces sharing an edge with the region (a shadowed part, a band of print) are parts of it.
    size_t page = 0;
    for (size_t i = 1; i < quads.size(); ++i) {
        // A sheet on a mat covers a fair part of it; a label on a cover, a small part.
        if (!QuadContains(quads[page], quads[i]) || SharedSides(quads[page], quads[i]) > 0 ||
            QuadArea(quads[i]) < 0.2 * QuadArea(quads[page]))
            continue;
        if (!BrighterThanSurroundings(quads[page], quads[i])) break;
        page = i;
    }
    // Of two outlines of nearly the same region, the one whose every side steps down from the paper to the
    // desk: the other has a side fitted to the paper's shadow or to a grain line of the desk beside it.
    auto weakest_side = [&](const Quad& q) {
        auto shares = SideBrighterShares(bgr, q);
        return *std::min_element(shares.begin(), shares.end());
    };
    double weakest = weakest_side(quads[page]);
    const size_t chosen = page;
    for (size_t i = 0; i < quads.size(); ++i) {
        if (i == chosen ||
            CommonArea(quads[chosen], quads[i]) < 0.9 * std::max(QuadArea(quads[chosen]), QuadArea(quads[i])))
            continue;
        if (double w = weakest_side(quads[i]); w >= weakest + 0.2) {
            weakest = w;
            page = i;
        }
    }
    // A trusted outline not seen all round may have a side fitted across two edges (the paper's rim at one
    // end, a ruled line just inside it at the other): outlines made of four long straight edges are sought
    // too, and the better seen outline of the same page is taken. An untrusted one stays so: straight
    // edges put together find an outline round a book's page too (its rim, the fold, a band across it).
    if (quads[page].confidence >= kPageConfidenceNeeded && quads[page].confidence < 0.9) {
        QuadSearch lines = search;
        lines.line_outlines = true;
        lines.bright_blobs = lines.join_pieces = lines.filled_slips = false;
        const Quad found = quads[page];
        for (const Quad& q : FindQuads(picture, lines)) {
            if (q.confidence >= std::max(found.confidence + 0.1, quads[page].confidence) &&
                CommonArea(found, q) >= 0.9 * std::max(QuadArea(found), QuadArea(q)) && PaperLike(bgr, q) &&
                SideStepShare(bgr, q) >= 0.5)
                quads[page] = q;
        }
    }
    if (quads[page].confidence >= kPageConfidenceNeeded)
        if (auto grown = GrownOverDarkBand(picture, quads[page], search)) quads[page] = *grown;
    // Sides found on the working copy land within a pixel and a half of it on the picture.
    return RefineEdges(
        bgr, quads[page],
        1.5 * std::max(1.0, std::max(bgr.cols, bgr.rows) / static_cast<double>(search.working_size)), true);
}

Quad TurnPageUpright(const cv::Mat& bgr, const Quad& page) {
    if (auto turn = UprightTurnOfPage(bgr, page)) return TurnQuad(page, *turn);
    return page;
}

std::optional<Quad> DetectPage(const cv::Mat& bgr) {
    std::optional<Quad> page = FindPageOutline(bgr);
    // One too uncertain to be used is not worth the time its print takes to read. The turn is read on the
    // outline the sides' whole lengths give, steadier than one whose corners follow their rims' ends (a
    // few pixels there tipped pages read unsurely from one turn to another); those corners are what is cut.
    if (page && page->confidence >= kPageConfidenceNeeded)
        page = CornersAtSideEnds(bgr, TurnPageUpright(bgr, *page));
    return page;
}

}  // namespace outside
