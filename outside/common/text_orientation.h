#pragma once
// Which way up a cut-out document is, from its print: the direction of its text lines, and whether the
// letters' ascenders (b d f h k l t and capitals) stand above their cores or hang below them; for a page
// whose lines say little, Tesseract's orientation model besides.

#include <array>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "outside/common/orientation_model.h"
#include "outside/common/quads.h"

namespace outside {

enum class TurnChoice {
    Any,        // a page: any of the four turns
    Landscape,  // a card: turns that leave it wider than tall, unless its print clearly runs across its
                // short side
};

// Quarter turns clockwise (0..3) to apply to the quad's corner order so that its text reads upright;
// nothing when the region holds too little text to tell (the caller keeps its own rule then). Regions
// lying over it (a card overlapping another) are left out of the measure.
std::optional<int> UprightTurnFromText(const cv::Mat& bgr, const Quad& quad, TurnChoice choice,
                                       const std::vector<Quad>& covering = {});

// What a page's turn was decided from: the print lines' answer and whether it was sure, the model's answer
// where it was asked (and on how large a copy), and the turn taken.
struct PageTurnEvidence {
    std::optional<int> lines;
    bool lines_sure = false;
    std::optional<bool> along_rows;  // the lines' way where clear: along rows (turn 0 or 2) or columns (1, 3)
    std::optional<ModelTurn> model;
    cv::Size model_copy;         // empty when the model was not asked
    std::optional<int> reading;  // the turn by reading a line of digits or capitals, where it was read
    std::optional<int> turn;
};
PageTurnEvidence WeighPageTurn(const cv::Mat& bgr, const Quad& quad,
                               OrientationModel& model = OrientationModel::Shared());

// A page's turn (TurnChoice::Any) by its print lines where they are clear; else by the orientation
// model where it is sure; else the lines' answer, if any (the model's data missing, say); else, where the
// lines' way is known, by reading a line of digits or capitals both ways up.
std::optional<int> UprightTurnOfPage(const cv::Mat& bgr, const Quad& quad,
                                     OrientationModel& model = OrientationModel::Shared());

// The same region with its corners renumbered by quarter turns clockwise: the straightened picture
// turns with it.
Quad TurnQuad(const Quad& quad, int quarter_turns);

}  // namespace outside
