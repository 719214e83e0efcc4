#include "platform/dib/dib.h"

#include <fstream>
#include <limits>

namespace platform {

std::optional<uint32_t> DibRowStride(int64_t width, int bits_per_pixel) {
    if (width <= 0 || bits_per_pixel <= 0) return std::nullopt;
    uint64_t stride = (static_cast<uint64_t>(bits_per_pixel) * static_cast<uint64_t>(width) + 31) / 32 * 4;
    if (stride > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(stride);
}

const char* DibErrorText(DibError error) {
    switch (error) {
        case DibError::None:
            return "no error";
        case DibError::TooSmall:
            return "file shorter than the BMP headers";
        case DibError::NotBmp:
            return "not a BMP file";
        case DibError::SizeMismatch:
            return "header file size differs from the real size";
        case DibError::BadInfoHeader:
            return "bad information header";
        case DibError::BadDimensions:
            return "bad width or height";
        case DibError::UnsupportedDepth:
            return "unsupported bit depth or compression";
        case DibError::BadPalette:
            return "bad palette";
        case DibError::BadOffset:
            return "pixel data outside the file";
    }
    return "unknown error";
}

std::optional<DibView> ParseBmp(std::span<const uint8_t> file, DibError* error) {
    auto fail = [error](DibError e) -> std::optional<DibView> {
        if (error != nullptr) *error = e;
        return std::nullopt;
    };
    if (error != nullptr) *error = DibError::None;
    if (file.size() < kBmpFileHeaderSize + kBmpInfoHeaderSize) return fail(DibError::TooSmall);
    const uint8_t* data = file.data();
    if (ReadLe16(data) != 0x4D42) return fail(DibError::NotBmp);
    if (ReadLe32(data + 2) != file.size()) return fail(DibError::SizeMismatch);

    const uint8_t* info = data + kBmpFileHeaderSize;
    uint32_t info_size = ReadLe32(info);
    if (info_size < kBmpInfoHeaderSize || info_size > file.size() - kBmpFileHeaderSize)
        return fail(DibError::BadInfoHeader);

    DibView view;
    view.info = info;
    view.width = static_cast<int32_t>(ReadLe32(info + 4));
    view.height = static_cast<int32_t>(ReadLe32(info + 8));
    uint16_t planes = ReadLe16(info + 12);
    view.bits_per_pixel = ReadLe16(info + 14);
    uint32_t compression = ReadLe32(info + 16);
    view.x_pixels_per_meter = static_cast<int32_t>(ReadLe32(info + 24));
    view.y_pixels_per_meter = static_cast<int32_t>(ReadLe32(info + 28));
    uint32_t colours_used = ReadLe32(info + 32);

    if (view.width <= 0 || view.height <= 0) return fail(DibError::BadDimensions);
    if (planes != 1 || compression != 0 ||
        (view.bits_per_pixel != 1 && view.bits_per_pixel != 8 && view.bits_per_pixel != 24))
        return fail(DibError::UnsupportedDepth);
    auto stride = DibRowStride(view.width, view.bits_per_pixel);
    if (!stride) return fail(DibError::BadDimensions);
    view.stride = *stride;

    if (view.bits_per_pixel <= 8) {
        uint32_t max_entries = 1u << view.bits_per_pixel;
        view.palette_count = colours_used == 0 ? max_entries : colours_used;
        if (view.palette_count > max_entries) return fail(DibError::BadPalette);
    } else {
        // A 24-bit picture may carry an optional colour table; it is skipped, never read.
        view.palette_count = 0;
    }
    uint64_t palette_start = kBmpFileHeaderSize + uint64_t{info_size};
    uint64_t palette_end = palette_start + uint64_t{view.palette_count} * 4;
    if (palette_end > file.size()) return fail(DibError::BadPalette);
    view.palette = view.palette_count > 0 ? data + palette_start : nullptr;

    view.pixel_offset = ReadLe32(data + 10);
    uint64_t pixel_bytes = uint64_t{view.stride} * static_cast<uint64_t>(view.height);
    if (view.pixel_offset < palette_end || view.pixel_offset > file.size() ||
        pixel_bytes > file.size() - view.pixel_offset)
        return fail(DibError::BadOffset);
    view.pixels = data + view.pixel_offset;
    return view;
}

std::vector<uint32_t> GreyPalette() {
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i) palette[i] = (i << 16) | (i << 8) | i;
    return palette;
}

std::vector<uint32_t> BlackWhitePalette() { return {0x000000u, 0xFFFFFFu}; }

std::optional<DibImage> MakeDibImage(int32_t width, int32_t height, uint16_t bits_per_pixel) {
    if (height <= 0 || (bits_per_pixel != 1 && bits_per_pixel != 8 && bits_per_pixel != 24))
        return std::nullopt;
    auto stride = DibRowStride(width, bits_per_pixel);
    if (!stride) return std::nullopt;
    uint64_t bytes = uint64_t{*stride} * static_cast<uint64_t>(height);
    if (bytes > std::numeric_limits<uint32_t>::max() - 2048) return std::nullopt;
    DibImage image;
    image.width = width;
    image.height = height;
    image.bits_per_pixel = bits_per_pixel;
    if (bits_per_pixel == 8) image.palette = GreyPalette();
    if (bits_per_pixel == 1) image.palette = BlackWhitePalette();
    image.pixels.assign(static_cast<size_t>(bytes), 0);
    return image;
}

std::optional<std::string> EncodeBmp(const DibImage& image) {
    auto stride = DibRowStride(image.width, image.bits_per_pixel);
    if (!stride || image.height <= 0) return std::nullopt;
    uint64_t pixel_bytes = uint64_t{*stride} * static_cast<uint64_t>(image.height);
    if (image.pixels.size() != pixel_bytes) return std::nullopt;
    uint64_t offset = kBmpFileHeaderSize + kBmpInfoHeaderSize + image.palette.size() * 4;
    uint64_t total = offset + pixel_bytes;
    if (total > std::numeric_limits<uint32_t>::max()) return std::nullopt;

    std::string out(static_cast<size_t>(offset), '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    WriteBmpFileHeader(p, static_cast<uint32_t>(total), static_cast<uint32_t>(offset));
    uint8_t* info = p + kBmpFileHeaderSize;
    WriteDibInfoHeader(info, image.width, image.height, image.bits_per_pixel,
                       static_cast<uint32_t>(pixel_bytes), image.x_pixels_per_meter, image.y_pixels_per_meter,
                       static_cast<uint32_t>(image.palette.size()));
    WriteDibPalette(info + kBmpInfoHeaderSize, image.palette);
    out.append(reinterpret_cast<const char*>(image.pixels.data()), image.pixels.size());
    return out;
}

void WriteBmpFileHeader(uint8_t* header, uint32_t file_size, uint32_t pixel_offset) {
    WriteLe16(header, 0x4D42);
    WriteLe32(header + 2, file_size);
    WriteLe32(header + 6, 0);
    WriteLe32(header + 10, pixel_offset);
}

void WriteDibInfoHeader(uint8_t* info, int32_t width, int32_t height, uint16_t bits_per_pixel,
                        uint32_t image_size, int32_t x_pixels_per_meter, int32_t y_pixels_per_meter,
                        uint32_t palette_count) {
    WriteLe32(info, kBmpInfoHeaderSize);
    WriteLe32(info + 4, static_cast<uint32_t>(width));
    WriteLe32(info + 8, static_cast<uint32_t>(height));
    WriteLe16(info + 12, 1);
    WriteLe16(info + 14, bits_per_pixel);
    WriteLe32(info + 16, 0);
    WriteLe32(info + 20, image_size);
    WriteLe32(info + 24, static_cast<uint32_t>(x_pixels_per_meter));
    WriteLe32(info + 28, static_cast<uint32_t>(y_pixels_per_meter));
    WriteLe32(info + 32, palette_count);
    WriteLe32(info + 36, 0);
}

void WriteDibPalette(uint8_t* entries, std::span<const uint32_t> palette) {
    for (size_t i = 0; i < palette.size(); ++i) {
        uint8_t* entry = entries + i * 4;
        uint32_t rgb = palette[i];
        entry[0] = static_cast<uint8_t>(rgb);
        entry[1] = static_cast<uint8_t>(rgb >> 8);
        entry[2] = static_cast<uint8_t>(rgb >> 16);
        entry[3] = 0;
    }
}

std::optional<std::vector<uint8_t>> ReadBinaryFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) >= (uint64_t{1} << 32)) return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) return std::nullopt;
    return data;
}

}  // namespace platform
