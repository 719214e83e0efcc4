#pragma once
// JPEG (JFIF/EXIF) decoding in memory into an OpenCV picture: the photographs the detectors are
// measured on, and the virtual camera's picture-file scene.

#include <opencv2/core.hpp>
#include <string>

namespace outside {

// BGR, 8 bits a channel (grey JPEGs are spread to three channels). The EXIF orientation is not applied:
// the stored rows come out as stored. Empty on anything libjpeg refuses or warns about (not a JPEG,
// truncated, corrupt data): such a picture is partly made up.
cv::Mat DecodeJpeg(const std::string& bytes);

}  // namespace outside
