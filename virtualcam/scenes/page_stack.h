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

// The paper of a stack page in a scene of this size (the print's layout follows the paper's size).
cv::Size StackPaperSize(cv::Size scene);

// Which page of the stack a picture of one page shows (upright, cropped to the page more or less), taken
// from a scene of `scene` size: its small grey print compared with every page's printed at that size. `page`
// is -1 when no page matches clearly (the best correlation low, or too close to the second best), so a
// blurred or half-turned page is not told.
struct StackPageMatch {
    int page = -1;
    double score = 0;   // the best correlation, -1..1
    double margin = 0;  // above the second best
};
StackPageMatch MatchStackPage(const cv::Mat& bgr, cv::Size scene);

}  // namespace virtualcam
