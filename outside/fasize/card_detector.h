#pragma once
// Business cards in a picture: convex four-sided regions with a card's proportions.

#include <opencv2/core.hpp>
#include <vector>

#include "outside/common/quads.h"

namespace outside {

// Up to max_cards cards in reading order (rows top to bottom, each row left to right). A card's long
// side is 1.3 to 2.1 times its short side and it covers 0.3% to 40% of the picture.
std::vector<Quad> DetectCards(const cv::Mat& bgr, int max_cards);

// Reading order of regions: those whose centres lie within half a card's short side vertically
// share a row.
void SortReadingOrder(std::vector<Quad>& quads);

}  // namespace outside
