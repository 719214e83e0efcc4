#pragma once
// Sharpening a found outline on the full picture: the outlines are found on a smaller working copy, where
// a pixel is two or more of the picture's; each side is moved onto the steepest step across it.

#include <opencv2/core.hpp>

#include "outside/common/quads.h"

namespace outside {

// The quad with each side refitted to the picture's strongest edge within `reach` pixels of it; a side
// whose edge is seen along too little of its length, or whose refit strays, stays as it was. With
// far_edges (a page, whose working-copy outline may lie further off a faint or bowed edge), such a side
// is sought up to 3% of its length off and a few degrees askew, and a corner moves out to where the
// ends of its two sides meet when they bow in. With sharp_rim (a card, cut clean, whose rim steps within a
// pixel) that far side is sought as a step a pixel wide rather than one spread over several.
Quad RefineEdges(const cv::Mat& bgr, const Quad& quad, double reach, bool far_edges = false,
                 bool sharp_rim = false);

// The quad with each corner moved to where the paper's rim along its two sides' stretches nearest it meet,
// where a side straight along its middle bends near its ends; a corner stays where its sides run
// straight to it or their rims there are not clearly seen.
Quad CornersAtSideEnds(const cv::Mat& bgr, const Quad& quad);

}  // namespace outside
