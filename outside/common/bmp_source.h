#pragma once
// Reading the BMP pictures the image libraries convert: a whole file held in memory with its parsed
// view, how its pixels are best stored (black and white, grey or colour), and its rows top to bottom
// in the layout each writer wants.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dib/dib.h"

namespace outside {

// A BMP file in memory; view points into bytes. Move-only so that the view stays valid.
struct BmpFile {
    std::vector<uint8_t> bytes;
    platform::DibView view;

    BmpFile() = default;
    BmpFile(BmpFile&&) = default;
    BmpFile& operator=(BmpFile&&) = default;
    BmpFile(const BmpFile&) = delete;
    BmpFile& operator=(const BmpFile&) = delete;
};

// Nothing when the file is missing or not a BMP the DIB reader accepts, top-down and RLE8 files read
// into the plain layout first (the reason goes to the debug
// log under the given subsystem name).
std::optional<BmpFile> LoadBmp(const std::string& path, const char* subsystem);

enum class PixelKind {
    BlackWhite,  // 1 bit, palette black and white (either order)
    Grey,        // 1 or 8 bits, every palette entry grey
    Colour,      // 24 bits, or a palette with colours
};

PixelKind ClassifyPixels(const platform::DibView& view);

// Dots per inch from a BMP resolution field; 0 when the field gives none. A field that is a whole number of
// dots per inch rounded to pixels per metre gives that number back (11811 px/m: 300); any other is kept
// unrounded (8727 px/m, a 2592-pixel width over 297 mm: 221.67).
double DotsPerInch(int32_t pixels_per_meter);

// Rows of a picture top to bottom:
//   BlackWhite: (width + 7) / 8 bytes, first pixel in the top bit, 1 meaning white (or black when
//               asked); bits past the width are undefined.
//   Grey:       width bytes, 0 black.
//   Colour:     3 x width bytes, blue-green-red or red-green-blue as asked.
// A row may point into the file or into a buffer of this object; it stays valid until the next call.
class DibRows {
  public:
    enum class ColourOrder { Bgr, Rgb };

    DibRows(const platform::DibView& view, PixelKind kind, ColourOrder order, bool ones_black = false);

    PixelKind kind() const { return kind_; }
    size_t RowBytes() const { return row_bytes_; }
    const uint8_t* Row(int32_t top_row);

  private:
    const platform::DibView& view_;
    PixelKind kind_;
    ColourOrder order_;
    bool invert_bits_ = false;
    bool identity_grey_ = false;
    size_t row_bytes_ = 0;
    std::array<uint8_t, 256> grey_{};
    std::array<std::array<uint8_t, 3>, 256> colour_{};  // per palette index, in the output order
    std::vector<uint8_t> scratch_;
};

}  // namespace outside
