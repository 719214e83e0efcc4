#pragma once
// The desks the page and card detectors are measured on: plain pages and cards, and the pictures
// users take that are hard to get right (shadows, dark print at an edge, folded corners, small or
// turned pages, cards close together, overlapping or light on white, things that are no page), each
// with its known answer. Drawn at any picture size; sizes are fractions of the picture's height.

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "virtualcam/scenes/desk_scene.h"

namespace virtualcam {

struct DetectionCase {
    enum class Kind { Page, Cards };
    enum class Storage { BottomUp24, TopDown24, Rle8 };  // how the picture is stored as a BMP file
    std::string name;
    Kind kind = Kind::Page;
    Storage storage = Storage::BottomUp24;
    // scene.corners: every page or card that must be found, corners in the sheet's own upright order
    // (its print reads upright from the first corner); empty when nothing may be found.
    Scene scene;
};

const std::vector<std::string>& DetectionCaseNames();
// Nothing (an empty name) for an unknown name.
DetectionCase MakeDetectionCase(const std::string& name, cv::Size size);

// The BMP file image of a picture stored the given way: 24-bit rows bottom-up or top-down (negative
// height), or 8-bit grey compressed with RLE8.
std::string EncodeBmpAs(const cv::Mat& bgr, DetectionCase::Storage storage);

}  // namespace virtualcam
