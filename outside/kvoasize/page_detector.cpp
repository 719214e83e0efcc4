#include "outside/kvoasize/page_detector.h"

namespace outside {

std::optional<Quad> DetectPage(const cv::Mat& bgr) {
    QuadSearch search;
    search.min_area_fraction = 0.05;
    search.max_area_fraction = 0.98;
    search.min_confidence = 0.6;
    auto quads = FindQuads(bgr, search);
    if (quads.empty()) return std::nullopt;
    // The largest region, unless the largest region within it is brighter than what surrounds that: then
    // the outer one is a mat or a base plate and the paper lies on it.
    size_t page = 0;
    for (size_t i = 1; i < quads.size(); ++i) {
        if (!QuadContains(quads[page], quads[i])) continue;
        if (!BrighterThanSurroundings(quads[page], quads[i])) break;
        page = i;
    }
    return quads[page];
}

}  // namespace outside
