#pragma once
// Sharpening a found outline on the full picture: the outlines are found on a smaller working copy, where
// a pixel is two or more of the picture's; each side is moved onto the steepest step across it.

#include <opencv2/core.hpp>

#include "outside/common/quads.h"

namespace outside {

// The quad with each side refitted to the picture's strongest edge within `reach` pixels of it; a side
// whose edge is seen along too little of its length, or whose refit strays, stays as it was. With
// bowed_corners, a corner moves out to where the ends of its two sides meet when they bow in.
Quad RefineEdges(const cv::Mat& bgr, const Quad& quad, double reach, bool bowed_corners = false);

}  // namespace outside
