#pragma once
// Synthetic desk scenes with known answers: printed pages and business cards laid on desks of
// different tones, turned by known angles and shifted.

#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

namespace virtualcam {

struct Sheet {
    cv::Size size;             // of the sheet, in pixels
    cv::Point2d centre;        // on the desk
    double angle_degrees = 0;  // turn, positive clockwise on screen
    cv::Scalar paper{245, 245, 245};
    // What is printed on the sheet (upright, before it is turned); lines of filler text when not given.
    std::function<void(cv::Mat& paper)> print = nullptr;
    // Darkness (0..1) of the soft shadow the sheet casts down and to the right; 0 for none.
    double shadow = 0;
};

struct Scene {
    cv::Mat picture;  // BGR
    std::vector<std::array<cv::Point2d, 4>>
        corners;  // per sheet: top-left, top-right, bottom-right, bottom-left
};

// Draws the sheets, each printed with lines of text, on a desk of the given tone with a little noise
// and a soft shading from left to right.
Scene MakeScene(cv::Size desk_size, cv::Scalar desk, const std::vector<Sheet>& sheets, unsigned seed);

}  // namespace virtualcam
