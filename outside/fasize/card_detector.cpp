#include "outside/fasize/card_detector.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

#include "outside/common/edge_refine.h"
#include "outside/common/side_measures.h"
#include "outside/common/text_orientation.h"

namespace outside {
namespace {

cv::Point2d Centre(const Quad& quad) {
    cv::Point2d sum(0, 0);
    for (const auto& c : quad.corners) sum += c;
    return sum * 0.25;
}

// Grey levels by which a card lying on a mat is brighter than the mat right round it.
constexpr double kCardOverMat = 10;

// Outline confidence of a card whose rim is seen all round.
constexpr double kWellSeenCard = 0.9;

bool CardShaped(const Quad& quad) {
    const double ratio = LongToShortSide(quad);
    return ratio >= 1.3 && ratio <= 2.1;
}

// Share of edge pixels on an upright copy of the region `width` pixels wide, without its rim.
double PrintEdgeShare(const cv::Mat& bgr, const Quad& quad, int width) {
    cv::Size size = QuadSize(quad);
    const int height =
        std::max(16, static_cast<int>(std::lround(width * static_cast<double>(size.height) / size.width)));
    std::array<cv::Point2f, 4> from,
        to = {cv::Point2f(0, 0), cv::Point2f(width, 0), cv::Point2f(width, height), cv::Point2f(0, height)};
    for (int i = 0; i < 4; ++i) from[i] = cv::Point2f(quad.corners[i]);
    cv::Mat flat, grey, edges;
    cv::warpPerspective(bgr, flat, cv::getPerspectiveTransform(from.data(), to.data()),
                        cv::Size(width, height), cv::INTER_AREA);
    cv::cvtColor(flat(cv::Rect(width / 10, height / 10, width * 8 / 10, height * 8 / 10)), grey,
                 cv::COLOR_BGR2GRAY);
    cv::Canny(grey, edges, 40, 120);
    return cv::countNonZero(edges) / static_cast<double>(edges.total());
}

// Whether the region carries print: a card has writing, a logo or a picture on it; a blank block (a plug,
// a stand, a shadow) is no card. Judged on a small upright copy without its rim, so that the card's size
// in the picture does not matter; and, failing that, on a coarser copy still, where the print of a card
// from a small or blurred picture (steps spread over several pixels, too gentle for the edge finder at
// the finer size) is sharp again. Only for an outline stepping from what lies beyond all round: blurred
// things out of focus (a socket on the wall behind) are coarse blocks with a hole or a plug in them too,
// but they are seldom seen apart from their background all round.
bool CarriesPrint(const cv::Mat& bgr, const Quad& quad) {
    constexpr double kLeastEdges = 0.004;  // share of edge pixels
    if (PrintEdgeShare(bgr, quad, 320) >= kLeastEdges) return true;
    return SideStepShare(bgr, quad) >= 0.9 && PrintEdgeShare(bgr, quad, 96) >= kLeastEdges;
}

// Whether inner is a part of outer's card: within it and sharing three sides or more (two are shared by a
// card lying in the corner of an outline round several).
bool PartOf(const Quad& outer, const Quad& inner) {
    return LiesWithin(outer, inner) && SharedSides(outer, inner) >= 3;
}

bool Overlap(const Quad& a, const Quad& b) {
    return CommonArea(a, b) > 0.01 * std::min(QuadArea(a), QuadArea(b));
}

// Two outlines covering mostly the same ground are one card found twice: its rim, and a line of print or a
// cable's edge just inside it that a side was fitted to. Cards lying over each other leave more uncovered.
bool SameCard(const Quad& a, const Quad& b) {
    return CommonArea(a, b) >= 0.8 * std::max(QuadArea(a), QuadArea(b));
}

// Largest first: a region within another that shares three or more of its sides, or covering most of the
// same ground, is part of that card (its light part beside a coloured band, its outline fitted inside its
// rim). Then a region holding two or more cards is a mat or cards lying so close that one outline runs
// round them; one holding a single card brighter than the mat and than what lies right round that card is
// a mat too (a box printed on a card sits on the card's lighter panel). Any other region is a card, and
// what lies within it is print on it.
std::vector<Quad> OutermostCards(std::vector<Quad> candidates) {
    std::vector<bool> dropped(candidates.size(), false);
    for (size_t i = 0; i < candidates.size(); ++i)
        for (size_t j = i + 1; j < candidates.size(); ++j)
            if (!dropped[j] &&
                (PartOf(candidates[i], candidates[j]) || SameCard(candidates[i], candidates[j])))
                dropped[j] = true;
    for (size_t i = 0; i < candidates.size(); ++i) {
        if (dropped[i]) continue;
        std::vector<size_t> inside;
        for (size_t j = i + 1; j < candidates.size(); ++j)
            if (!dropped[j] && LiesWithin(candidates[i], candidates[j])) inside.push_back(j);
        // Cards lying on a mat show their rims all round; boxes of print on a large card (a logo's frame, a
        // block of text) are outlined in part.
        const auto well_seen = std::count_if(inside.begin(), inside.end(), [&](size_t j) {
            return candidates[j].confidence >= kWellSeenCard;
        });
        bool container = well_seen >= 2 ||
                         (inside.size() == 1 && well_seen == 1 &&
                          BrighterThanSurroundings(candidates[i], candidates[inside[0]]) &&
                          candidates[inside[0]].brightness >= candidates[inside[0]].surround + kCardOverMat);
        if (container) {
            dropped[i] = true;
        } else {
            for (size_t j : inside) dropped[j] = true;
        }
    }
    std::vector<Quad> cards;
    for (size_t i = 0; i < candidates.size(); ++i)
        if (!dropped[i]) cards.push_back(candidates[i]);
    return cards;
}

}  // namespace

void SortReadingOrder(std::vector<Quad>& quads) {
    std::sort(quads.begin(), quads.end(),
              [](const Quad& a, const Quad& b) { return Centre(a).y < Centre(b).y; });
    std::vector<Quad> ordered;
    size_t row_start = 0;
    for (size_t i = 1; i <= quads.size(); ++i) {
        bool same_row = false;
        if (i < quads.size()) {
            cv::Size size = QuadSize(quads[row_start]);
            same_row =
                Centre(quads[i]).y - Centre(quads[row_start]).y < 0.5 * std::min(size.width, size.height);
        }
        if (same_row) continue;
        std::sort(quads.begin() + static_cast<std::ptrdiff_t>(row_start),
                  quads.begin() + static_cast<std::ptrdiff_t>(i),
                  [](const Quad& a, const Quad& b) { return Centre(a).x < Centre(b).x; });
        row_start = i;
    }
}

namespace {

// The cards among the outlines a search finds: card-shaped regions carrying print, outermost ones.
// `stepping_sides`: each side must step from the card to what lies beyond along half its length or more
// (outlines put together from straight edges may take a line of print for a side).
std::vector<Quad> FindCards(SearchedPicture& picture, const QuadSearch& search, bool stepping_sides) {
    const cv::Mat& bgr = picture.Bgr();
    std::vector<Quad> cards = FindQuads(picture, search);
    // Each side of a light card on a dark desk is its rim, brighter than the desk along most of it (save
    // where fingers cover it), or a dark band running to the rim, brighter along none of it. A side
    // brighter along only part of it strays across the desk: it was fitted to a hand's outline. Of outlines
    // put together from straight edges, a dark card on a light desk is darker than the desk all round; a
    // side brighter along part of it has something darker than the card beyond it there: more of the card
    // (a side fitted to a line of print on it). Outlines traced round a region keep to its rim.
    auto stray_side = [&](const Quad& q) {
        const bool light = q.brightness >= q.surround + 40,
                   dark = stepping_sides && q.brightness <= q.surround - 40;
        if (!light && !dark) return false;
        auto shares = SideBrighterShares(bgr, q);
        return std::any_of(shares.begin(), shares.end(), [](double s) { return s >= 0.15 && s < 0.5; });
    };
    cards.erase(std::remove_if(cards.begin(), cards.end(),
                               [&](const Quad& q) {
                                   return !CardShaped(q) || (stepping_sides && SideStepShare(bgr, q) < 0.5) ||
                                          stray_side(q);
                               }),
                cards.end());
    cards.erase(
        std::remove_if(cards.begin(), cards.end(), [&](const Quad& q) { return !CarriesPrint(bgr, q); }),
        cards.end());
    return OutermostCards(std::move(cards));
}

}  // namespace

std::vector<Quad> DetectCards(const cv::Mat& bgr, int max_cards) {
    QuadSearch search;
    search.min_area_fraction = 0.003;
    search.max_area_fraction = 0.90;  // a card held close to the lens fills most of the picture
    search.min_confidence = 0.7;      // overlapping cards offer many weakly supported part outlines
    search.print_size = 3;            // cards lie close together, and their print is fine
    search.colour_edge_gain = 0.5;
    search.split_overlaps = true;
    search.join_pieces = true;   // a card's band and its light part, when the card's own outline is lost
    search.working_size = 1400;  // cards lying 5 pixels apart stay apart
    search.bright_blobs = true;
    SearchedPicture picture(bgr);
    std::vector<Quad> cards = FindCards(picture, search, false);
    // None found: a card held in a hand, whose fingers join its outline to the hand's, is bounded by four
    // straight edges each seen in part. Only then, and only the largest: a hand holds one card.
    if (cards.empty()) {
        QuadSearch held = search;
        held.line_outlines = true;
        // The other ways were tried already; a held card is large enough for a smaller working copy. Held
        // up to the lens it fills 3% of the picture or more (the photographed ones 3.7% to 52%); a smaller
        // outline of straight edges is a box of print on a card whose own rim was too faint to find (a
        // logo's dark ground on a light card, 0.8%).
        held.split_overlaps = held.join_pieces = held.bright_blobs = false;
        held.working_size = 1000;
        held.min_area_fraction = 0.02;
        cards = FindCards(picture, held, true);
        if (cards.size() > 1) cards.resize(1);
    }
    // A card whose outline is not seen all round (a side fitted to a cable's edge or a lamp's hot spot beside
    // it) is looked for again on a coarser copy, with coarser print wiped out, where the rim is one clean
    // edge: the better seen outline of the same card is taken.
    if (std::any_of(cards.begin(), cards.end(), [](const Quad& q) { return q.confidence < 0.97; })) {
        QuadSearch coarse = search;
        coarse.working_size = 1000;
        coarse.print_size = 7;
        coarse.split_overlaps = false;
        for (const Quad& better : FindCards(picture, coarse, true))
            for (Quad& card : cards)
                if (better.confidence > card.confidence && SameCard(card, better)) card = better;
    }
    // The largest are kept when there are more than asked for.
    if (max_cards >= 0 && cards.size() > static_cast<size_t>(max_cards))
        cards.resize(static_cast<size_t>(max_cards));
    SortReadingOrder(cards);
    // Sides found on the working copy land within a pixel and a half of it on the picture; a side the working
    // copy fitted a little askew (to the end of print running near the rim, or a faint rim's blur) is sought
    // further off, and the ends of a bent card's sides give its corners.
    const double reach =
        1.5 * std::max(1.0, std::max(bgr.cols, bgr.rows) / static_cast<double>(search.working_size));
    for (Quad& card : cards) card = RefineEdges(bgr, card, reach, true, true);
    // Upright by the print, staying landscape.
    // A card overlapping another lies over it when its outline is the better seen one.
    std::vector<Quad> turned = cards;
    for (size_t i = 0; i < cards.size(); ++i) {
        std::vector<Quad> covering;
        for (size_t j = 0; j < cards.size(); ++j)
            if (j != i && cards[j].confidence > cards[i].confidence && Overlap(cards[i], cards[j]))
                covering.push_back(cards[j]);
        if (auto turn = UprightTurnFromText(bgr, cards[i], TurnChoice::Landscape, covering))
            turned[i] = TurnQuad(cards[i], *turn);
    }
    cards = std::move(turned);
    // A piece of a card the picture's edge cuts (its coloured part beside its logo, a part cut off along a
    // line across its print) is bounded on one side by no rim: that side steps up and down as it crosses the
    // print (on the development set one way along 31% and 38% of it, where a true card's sides step one way
    // along 46% or more, or, faint, hardly at all).
    std::erase_if(cards, [&](const Quad& q) { return SideAcrossPrint(bgr, q); });
    return cards;
}

}  // namespace outside
