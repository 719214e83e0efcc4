#pragma once
// Which way up a cut-out document is, from its print: the direction of its text lines, and whether the
// letters' ascenders (b d f h k l t and capitals) stand above their cores or hang below them.

#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "outside/common/quads.h"

namespace outside {

enum class TurnChoice {
    Any,        // a page: any of the four turns
    Landscape,  // a card: only turns that leave it wider than tall
};

// Quarter turns clockwise (0..3) to apply to the quad's corner order so that its text reads upright;
// nothing when the region holds too little text to tell (the caller keeps its own rule then). Regions
// lying over it (a card overlapping another) are left out of the measure.
std::optional<int> UprightTurnFromText(const cv::Mat& bgr, const Quad& quad, TurnChoice choice,
                                       const std::vector<Quad>& covering = {});

// The same region with its corners renumbered by quarter turns clockwise: the straightened picture
// turns with it.
Quad TurnQuad(const Quad& quad, int quarter_turns);

}  // namespace outside
