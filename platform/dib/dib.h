#pragma once
// Device-independent bitmaps (the BMP file format): a safe reader and a writer for the uncompressed
// bottom-up pictures the program and its image libraries exchange (1, 8 and 24 bits per pixel,
// 14-byte file header, 40-byte information header, 4-byte palette entries, rows padded to 4 bytes).
//
// The reader never trusts the headers: it accepts a file only when every row it will hand out lies
// inside the data, and reports why it refused otherwise. Neither side throws.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpInfoHeaderSize = 40;

// Bytes in one stored row: ((bits x width + 31) / 32) x 4. Nothing when it does not fit in 32 bits.
std::optional<uint32_t> DibRowStride(int64_t width, int bits_per_pixel);

// A read-only view of a parsed BMP file image; valid while the file bytes live.
struct DibView {
    int32_t width = 0;
    int32_t height = 0;  // rows are stored bottom-up
    uint16_t bits_per_pixel = 0;
    int32_t x_pixels_per_meter = 0;
    int32_t y_pixels_per_meter = 0;
    uint32_t palette_count = 0;        // entries actually present (0 for 24-bit)
    uint32_t stride = 0;               // bytes per stored row
    uint32_t pixel_offset = 0;         // from the start of the file
    const uint8_t* info = nullptr;     // the information header
    const uint8_t* palette = nullptr;  // palette_count x 4 bytes (blue, green, red, 0)
    const uint8_t* pixels = nullptr;   // height x stride bytes, bottom row first

    // Stored row i counted from the bottom.
    const uint8_t* Row(int32_t i) const { return pixels + static_cast<size_t>(i) * stride; }
};

enum class DibError {
    None,
    TooSmall,          // shorter than the two headers
    NotBmp,            // no "BM"
    SizeMismatch,      // the header's file size differs from the real size
    BadInfoHeader,     // information header shorter than 40 bytes or beyond the file
    BadDimensions,     // width or height zero or negative, or rows too large to address
    UnsupportedDepth,  // not 1, 8 or 24 bits, or compressed
    BadPalette,        // more entries than the depth allows, or beyond the file
    BadOffset,         // pixel rows start inside the headers or run past the end of the file
};

const char* DibErrorText(DibError error);

// Parses a whole BMP file image. On failure returns nothing and, when given, sets *error.
std::optional<DibView> ParseBmp(std::span<const uint8_t> file, DibError* error = nullptr);

// An owned picture to be written: the information header is built from these fields.
struct DibImage {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bits_per_pixel = 24;
    int32_t x_pixels_per_meter = 0;
    int32_t y_pixels_per_meter = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB entries (stored blue, green, red, 0)
    std::vector<uint8_t> pixels;    // height x DibRowStride(width, bits) bytes, bottom row first
};

// The palettes the program uses: 256 grey levels, and black (index 0) / white (index 1).
std::vector<uint32_t> GreyPalette();
std::vector<uint32_t> BlackWhitePalette();

// An empty picture of the given size and depth, pixels zero, with the standard palette for 1 and 8 bits.
std::optional<DibImage> MakeDibImage(int32_t width, int32_t height, uint16_t bits_per_pixel);

// The complete file image (both headers, palette, rows). Nothing when the fields are inconsistent.
std::optional<std::string> EncodeBmp(const DibImage& image);

// Header writers for code that lays out a picture in its own buffer. The 14-byte file header ("BM",
// size, reserved 0, pixel offset); a 40-byte information header of an uncompressed picture (1 plane,
// important colours 0); palette entries given as 0x00RRGGBB, stored blue, green, red, 0.
void WriteBmpFileHeader(uint8_t* header, uint32_t file_size, uint32_t pixel_offset);
void WriteDibInfoHeader(uint8_t* info, int32_t width, int32_t height, uint16_t bits_per_pixel,
                        uint32_t image_size, int32_t x_pixels_per_meter, int32_t y_pixels_per_meter,
                        uint32_t palette_count);
void WriteDibPalette(uint8_t* entries, std::span<const uint32_t> palette);

// Reads a whole file into memory (files of 4 GB or more are refused).
std::optional<std::vector<uint8_t>> ReadBinaryFile(const std::string& path);

// Little-endian field access for code that works on headers directly.
inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace platform
