#pragma once
// The detection step of a still capture: the outside document and card detectors, each called in the
// sequence they expect, run on the capture worker thread over the temporary capture file.

#include <cstdint>
#include <string>

#include "media/capture_graph.h"
#include "pipeline/autocapture/page_watch.h"
#include "platform/files/file_result.h"

namespace pipeline {

enum class DetectOutcome { Done, Unreadable };

// Straightens and crops the page in the picture (left as it was when none is found), then, when
// `scale_mode` is not 0, places it on a white A-series page of the shape this capture width gives (other
// widths keep the detected picture). Unreadable: the picture could not be opened for the reshaping, and
// the capture must end.
DetectOutcome DetectDocument(const std::string& path, int scale_mode, int capture_width);

// What became of a page cut along an outline found beforehand.
struct OutlinedPage {
    bool cut = false;  // false: nothing could be cut along it, and nothing was written
    platform::FileResult written = platform::FileResult::Done();  // when cut: the file written, or why not
};

// The page of a frame whose outline the live outline found on a smaller copy of it (`outline`, in the
// frame's pixels): each side refitted to the full-size frame near where it lies, the reading direction
// decided there, and the page straightened and cut out as DetectDocument cuts it, then written to `path`
// as a 24-bit picture (replacing it in one step), without searching the frame for the page again.
OutlinedPage CutOutlinedPage(const std::string& path, const platform::PreviewFrame& frame,
                             const PageOutline& outline, int32_t pixels_per_metre);

// DetectDocument's last step alone, for a page cut otherwise: when `scale_mode` is not 0, the picture is
// placed on a white A-series page of the shape this capture width gives.
DetectOutcome PlaceOnPage(const std::string& path, int scale_mode, int capture_width);

// Finds the business cards: one card overwrites the picture, several are written beside it as numbered
// card files; either way the card list is left beside the picture for CountCardList.
void DetectCards(const std::string& path);

}  // namespace pipeline
