#pragma once
// The document page in a picture: the largest convex four-sided region standing out from the desk, or
// the paper lying on it when that region is a mat or a base plate; turned so that its text reads
// upright.

#include <opencv2/core.hpp>
#include <optional>

#include "outside/common/quads.h"

namespace outside {

// Below this confidence a found page is not trusted enough to replace the picture.
constexpr double kPageConfidenceNeeded = 0.7;

// Nothing when no paper-bright region of at least 1% of the picture (a page about 15% of the picture's
// height) has a supported outline. The corners come in the order that straightens the page upright: by
// its text when it holds text, else by the smallest turn (and as found, starting at the top left, when
// its confidence is below kPageConfidenceNeeded).
std::optional<Quad> DetectPage(const cv::Mat& bgr);

// The page's outline alone, its corners starting at the top left whatever the print says: for a live
// outline, which has no use for the reading direction and no time to spare for it.
std::optional<Quad> FindPageOutline(const cv::Mat& bgr);

// The page's corners renumbered so that its text reads upright; unchanged when it holds too little
// text to tell. Its print lines decide where they are clear, else Tesseract's orientation model where it
// is sure (some 70 ms more).
Quad TurnPageUpright(const cv::Mat& bgr, const Quad& page);

}  // namespace outside
