#pragma once
// The detection step of a still capture: the outside document and card detectors, each called in the
// sequence they expect, run on the capture worker thread over the temporary capture file.

#include <string>

namespace pipeline {

enum class DetectOutcome { Done, Unreadable };

// Straightens and crops the page in the picture (left as it was when none is found), then, when
// `scale_mode` is not 0, places it on a white A-series page of the shape this capture width gives (other
// widths keep the detected picture). Unreadable: the picture could not be opened for the reshaping, and
// the capture must end.
DetectOutcome DetectDocument(const std::string& path, int scale_mode, int capture_width);

// Finds the business cards: one card overwrites the picture, several are written beside it as numbered
// card files; either way the card list is left beside the picture for CountCardList.
void DetectCards(const std::string& path);

}  // namespace pipeline
