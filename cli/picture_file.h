#pragma once
// Pictures taken elsewhere, read into the frame layout a capture works on.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// Bottom-up 24-bit BGR rows padded to 4 bytes: what the camera's grabber delivers.
struct Picture {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
};

struct PictureOrError {
    std::optional<Picture> picture;
    std::string error;  // a few plain words: what is wrong with the file
};

// Larger pictures are refused before they are decoded: each step of a capture holds a copy or two.
constexpr uint64_t kMaxPicturePixels = 64ull * 1000 * 1000;

// BMP, JPEG or PNG (and what else the toolkit reads); a phone's orientation tag is applied, so the page
// stands as it was photographed.
PictureOrError ReadPicture(const std::string& path, uint64_t max_pixels = kMaxPicturePixels);

}  // namespace cli
