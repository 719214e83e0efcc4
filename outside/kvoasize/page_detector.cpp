#include "outside/kvoasize/page_detector.h"

namespace outside {

std::optional<Quad> DetectPage(const cv::Mat& bgr) {
    QuadSearch search;
    search.min_area_fraction = 0.05;
    search.max_area_fraction = 0.98;
    search.min_confidence = 0.6;
    auto quads = FindQuads(bgr, search);
    if (quads.empty()) return std::nullopt;
    return quads.front();
}

}  // namespace outside
