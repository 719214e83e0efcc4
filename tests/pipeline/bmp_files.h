#pragma once
// Small pictures written as real BMP files for the BMP operation tests.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dib/dib.h"

namespace pipeline_test {

struct Rgb {
    uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

// A 24-bit picture; colour(x, y) with y counted from the top as shown.
inline std::string Bmp24(int width, int height, const std::function<Rgb(int x, int y)>& colour) {
    auto image = platform::MakeDibImage(width, height, 24);
    image->x_pixels_per_meter = 8727;
    image->y_pixels_per_meter = 8728;
    uint32_t stride = *platform::DibRowStride(width, 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image->pixels.data() + static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            Rgb c = colour(x, y);
            row[3 * x] = c.blue;
            row[3 * x + 1] = c.green;
            row[3 * x + 2] = c.red;
        }
    }
    return *platform::EncodeBmp(*image);
}

// A distinct colour for every position.
inline Rgb Distinct(int x, int y) {
    return {static_cast<uint8_t>(17 * x + 3), static_cast<uint8_t>(29 * y + 5),
            static_cast<uint8_t>(x * 7 + y * 11)};
}

}  // namespace pipeline_test
