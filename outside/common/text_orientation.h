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

#include "outside/common/quads.h"

namespace tesseract {
class TessBaseAPI;
}

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

struct ModelTurn {
    int turn = 0;                   // quarter turns clockwise that make the print upright
    double confidence = 0;          // the model's own measure: how far its best turn leads the next
    std::array<double, 4> score{};  // its score of each turn (by quarter turns), in the same measure
};

// Tesseract's orientation and script model (osd.traineddata), which tells the turn from the letters'
// shapes. Safe to use from several threads at once: each detection borrows an engine of its own, made on
// first need (loading the model takes some 250 ms) and kept for the next.
class OrientationModel {
  public:
    // `tessdata`: the folder holding osd.traineddata; empty for Tesseract's own.
    explicit OrientationModel(std::string tessdata = {});
    ~OrientationModel();
    OrientationModel(const OrientationModel&) = delete;
    OrientationModel& operator=(const OrientationModel&) = delete;

    // The one the detectors use.
    static OrientationModel& Shared();

    // The turn of an upright grey copy's print; nothing when the model cannot tell or is not installed
    // (said once in the debug log).
    std::optional<ModelTurn> Detect(const cv::Mat& grey);

    // How surely Tesseract's Latin model (eng.traineddata) reads an upright grey picture of one line of
    // print, its print some 30 pixels high: the mean of its words' confidences, 0 to 100; nothing when the
    // model is not installed. Letters and digits turned over read as marks of little confidence.
    std::optional<double> ReadingConfidence(const cv::Mat& grey);

    // Loads the orientation model and the Latin reading model ahead of their first use (a quarter of a
    // second), so that the first page that needs either is not the one kept waiting.
    void Prepare();

  private:
    struct Engines;
    enum class Kind { Orientation, Reading };
    // An idle engine, or a new one; nothing when the model's data is missing.
    std::unique_ptr<tesseract::TessBaseAPI> Borrow(Kind kind);
    void GiveBack(Kind kind, std::unique_ptr<tesseract::TessBaseAPI> engine);
    void EndIdleEngines();
    std::string tessdata_;
    std::unique_ptr<Engines> engines_;
};

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
