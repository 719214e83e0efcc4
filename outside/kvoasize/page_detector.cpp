#include "outside/kvoasize/page_detector.h"

#include <algorithm>
#include <cmath>

#include "outside/common/edge_refine.h"
#include "outside/common/text_orientation.h"

namespace outside {
namespace {

// Paper is brighter than what it lies on; a dark notebook, a tablet or a shadow is no page.
bool PaperLike(const Quad& quad) { return quad.brightness >= 110 && quad.brightness >= quad.surround + 15; }

double GreyAt(const cv::Mat& bgr, cv::Point2d p) {
    int x = std::clamp(static_cast<int>(std::lround(p.x)), 0, bgr.cols - 1), y = std::clamp(static_cast<int>(std::lround(p.y)), 0, bgr.rows - 1);
    const auto& v = bgr.at<cv::Vec3b>(y, x);
    return 0.114 * v[0] + 0.587 * v[1] + 0.299 * v[2];
}

// A page's every side is a grey step between the paper and the desk along most of its length: down from the
// paper, or up where a dark picture is printed to the page's edge. A boundary inside a sheet (a card's
// coloured part beside its white part, crossing white to white on its way) shows a step along part of it
// only: the region is not a whole sheet.
bool SteppedAllRound(const cv::Mat& bgr, const Quad& quad) {
    constexpr double kStep = 10;  // grey levels
    const cv::Point2d centre = (quad.corners[0] + quad.corners[1] + quad.corners[2] + quad.corners[3]) * 0.25;
    cv::Size size = QuadSize(quad);
    const double depth = std::max(3.0, 0.01 * std::min(size.width, size.height));
    for (int i = 0; i < 4; ++i) {
        cv::Point2d a = quad.corners[i], b = quad.corners[(i + 1) % 4];
        cv::Point2d direction = (b - a) / std::max(1e-9, cv::norm(b - a));
        cv::Point2d inward(-direction.y, direction.x);
        if ((centre - a).dot(inward) < 0) inward = -inward;
        int compared = 0, steps = 0, rises = 0;
        for (int k = 1; k < 40; ++k) {
            cv::Point2d p = a + (b - a) * (0.1 + 0.8 * k / 40.0);
            cv::Point2d in = p + inward * depth, out = p - inward * (2 * depth);
            if (out.x < 0 || out.y < 0 || out.x > bgr.cols - 1 || out.y > bgr.rows - 1) continue;
            ++compared;
            const double step = GreyAt(bgr, in) - GreyAt(bgr, out);
            steps += step >= kStep ? 1 : 0;
            rises += step <= -kStep ? 1 : 0;
        }
        // A side along the picture's edge has nothing beyond it to compare.
        if (compared >= 10 && steps + rises < 0.5 * compared) return false;
    }
    return true;
}

}  // namespace

std::optional<Quad> DetectPage(const cv::Mat& bgr) {
    QuadSearch search;
    search.working_size = 1000;
    search.min_area_fraction = 0.01;
    search.max_area_fraction = 0.98;
    search.min_confidence = 0.45;  // weaker outlines are returned with their confidence, for the caller to judge
    search.join_pieces = true;
    search.bright_blobs = true;
    auto quads = FindQuads(bgr, search);
    quads.erase(std::remove_if(quads.begin(), quads.end(), [&](const Quad& q) { return !PaperLike(q) || !SteppedAllRound(bgr, q); }),
                quads.end());
    if (quads.empty()) return std::nullopt;
    // The largest region, unless the largest region within it that reaches none of its edges is brighter
    // than what surrounds that: then the outer one is a mat or a base plate and the paper lies on it.
    // Pieces sharing an edge with the region (a shadowed part, a band of print) are parts of it.
    size_t page = 0;
    for (size_t i = 1; i < quads.size(); ++i) {
        if (!QuadContains(quads[page], quads[i]) || SharedSides(quads[page], quads[i]) > 0) continue;
        if (!BrighterThanSurroundings(quads[page], quads[i])) break;
        page = i;
    }
    // Sides found on the working copy land within a pixel and a half of it on the picture.
    Quad found = RefineEdges(bgr, quads[page], 1.5 * std::max(1.0, std::max(bgr.cols, bgr.rows) / static_cast<double>(search.working_size)));
    if (auto turn = UprightTurnFromText(bgr, found, TurnChoice::Any)) found = TurnQuad(found, *turn);
    return found;
}

}  // namespace outside
