#pragma once
// Helpers shared by the image-library tests: test pictures written as BMP files,
// running the independent validators, and reading their PNM output.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dib/dib.h"
#include "tests/support/scratch_folder.h"

namespace outside_test {

enum class Kind { Colour, Grey, BlackWhite };

// An asymmetric picture (so that flipped rows or swapped channels show): a smooth colour or grey
// gradient with a red block at the top left and a dark bar at the bottom; black and white: a
// checker of 8-pixel squares with a solid black band at the top. dpi 0 leaves the fields at 0.
platform::DibImage MakePicture(Kind kind, int width, int height, int dpi);

// Expected top-down pixel (r, g, b) of a picture made by MakePicture.
struct Rgb {
    int r = 0, g = 0, b = 0;
};
Rgb PixelOf(const platform::DibImage& image, int x, int top_y);

bool WriteBmp(const std::string& path, const platform::DibImage& image);
bool WriteText(const std::string& path, const std::string& text);
bool Exists(const std::string& path);
std::string ReadAll(const std::string& path);

// Runs a shell command, returns its standard output; *status gets the exit code.
std::string Shell(const std::string& command, int* status = nullptr);
std::string Quote(const std::string& path);

// A decoded PNM (P4 bitmap as 0/255 grey, P5 grey, P6 colour).
struct Pnm {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> pixels;  // rows top-down
    Rgb At(int x, int y) const;
};
bool ReadPnm(const std::string& bytes, Pnm* out);

// Mean and largest absolute difference per channel between a decoded picture and its source.
struct Difference {
    double mean = 0;
    int largest = 0;
};
Difference Compare(const Pnm& decoded, const platform::DibImage& source);

}  // namespace outside_test
