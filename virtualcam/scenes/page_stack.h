#pragma once
// A stack of different printed pages (letters of real English text, each with its own number, length and
// paragraphs) lying one at a time on the desk, and a hand that passes over the page while it is turned,
// so that hands-free capture can be driven from end to end.

#include <opencv2/core.hpp>

#include "virtualcam/scenes/desk_scene.h"

namespace virtualcam {

// Pages in the stack; page numbers beyond it count round.
inline constexpr int kStackPages = 20;

// Page `page` (0-based) printed upright on paper (BGR).
void PrintStackPage(cv::Mat& paper, int page);

// The desk with page `page` of the stack on it (its corners in the scene), at this size.
Scene RenderStackScene(int page, cv::Size size);

// Draws the hand of a page turn over a scene: `phase` 0..1 takes it in from the right edge, over the
// page's middle (0.5) and out again.
void DrawTurningHand(cv::Mat& bgr, double phase);

}  // namespace virtualcam
