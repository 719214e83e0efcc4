#pragma once
// Tesseract's orientation model (osd.traineddata) and its Latin reading model (eng.traineddata) as the
// upright-turn decisions ask them, their engines kept for reuse by any thread.

#include <array>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>
#include <string>

namespace tesseract {
class TessBaseAPI;
}

namespace outside {

// What the orientation model makes of a page's print.
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

}  // namespace outside
