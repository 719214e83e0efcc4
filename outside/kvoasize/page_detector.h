#pragma once
// The document page in a picture: the largest convex four-sided region standing out from the desk, or
// the paper lying on it when that region is a mat or a base plate.

#include <opencv2/core.hpp>

#include <optional>

#include "outside/common/quads.h"

namespace outside {

// Nothing when no region covers at least 5% of the picture with a well supported outline.
std::optional<Quad> DetectPage(const cv::Mat& bgr);

}  // namespace outside
