#pragma once
// BMP pictures to and from OpenCV matrices, for the detectors.

#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "platform/dib/dib.h"

namespace outside {

// Top-down 8-bit BGR copy of any picture the DIB reader accepts.
cv::Mat DibToBgr(const platform::DibView& view);

// The complete file image of a 24-bit BMP holding a BGR matrix (CV_8UC3), with the given resolution.
std::optional<std::string> EncodeBgrAsBmp(const cv::Mat& bgr, int32_t x_pixels_per_meter,
                                          int32_t y_pixels_per_meter);

}  // namespace outside
