#include "outside/common/bmp_unpack.h"

#include <cstring>

#include "platform/dib/dib.h"

namespace outside {
namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1;

// RLE8 sets at most 255 pixels for each two bytes (an encoded run; an absolute stretch sets one a byte).
// Its escapes (delta, end of line, end of picture) can leave any area at index 0 for a few bytes, so no
// size follows from the data alone; encoders write every row with runs, though. Pictures up to a camera
// frame's size and more are taken whatever their data; past that floor the data must be able to fill the
// picture with runs, so a header cannot make us allocate far more than the file holds.
constexpr uint64_t kRle8PixelsPerRun = 255, kRle8AnyDataPixels = uint64_t{1} << 24;

bool Rle8DataCanFill(size_t data_bytes, int32_t width, int32_t height) {
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    return pixels <= kRle8AnyDataPixels || pixels <= data_bytes / 2 * kRle8PixelsPerRun;
}

// Decodes RLE8 data into bottom-up rows of `stride` bytes; false on codes that run past the data.
bool DecodeRle8(std::span<const uint8_t> data, int32_t width, int32_t height, uint32_t stride,
                uint8_t* pixels) {
    int32_t x = 0, y = 0;
    size_t at = 0;
    while (at + 1 < data.size()) {
        uint8_t count = data[at], value = data[at + 1];
        at += 2;
        if (count > 0) {
            if (y >= height) return false;
            for (int i = 0; i < count && x < width; ++i, ++x)
                pixels[static_cast<size_t>(y) * stride + x] = value;
            continue;
        }
        switch (value) {
            case 0:
                x = 0, ++y;
                break;  // end of line
            case 1:
                return true;  // end of picture
            case 2:           // delta: move right and up
                if (at + 1 >= data.size()) return false;
                x += data[at], y += data[at + 1];
                at += 2;
                break;
            default: {  // absolute run of `value` bytes, padded to an even length
                if (at + value > data.size() || y >= height) return false;
                for (int i = 0; i < value; ++i, ++x)
                    if (x < width) pixels[static_cast<size_t>(y) * stride + x] = data[at + i];
                at += value + (value & 1u);
            }
        }
    }
    return true;  // data that simply stop leave the rest at index 0
}

}  // namespace

std::optional<std::vector<uint8_t>> UnpackBmp(std::span<const uint8_t> file) {
    using platform::ReadLe16;
    using platform::ReadLe32;
    if (file.size() < platform::kBmpFileHeaderSize + platform::kBmpInfoHeaderSize || file[0] != 'B' ||
        file[1] != 'M')
        return std::nullopt;
    const uint8_t* info = file.data() + platform::kBmpFileHeaderSize;
    const uint32_t info_size = ReadLe32(info), offset = ReadLe32(file.data() + 10);
    const auto width = static_cast<int32_t>(ReadLe32(info + 4)),
               stored_height = static_cast<int32_t>(ReadLe32(info + 8));
    const uint16_t bits = ReadLe16(info + 14);
    const uint32_t compression = ReadLe32(info + 16);
    const bool top_down = stored_height < 0, rle8 = compression == kRle8 && bits == 8;
    if (!(rle8 && !top_down) && !(top_down && compression == kRgb)) return std::nullopt;
    if (bits != 1 && bits != 8 && bits != 24) return std::nullopt;
    if (stored_height == INT32_MIN || width <= 0 || width > 1 << 16) return std::nullopt;
    const int32_t height = top_down ? -stored_height : stored_height;
    if (height == 0 || height > 1 << 16 || info_size < platform::kBmpInfoHeaderSize ||
        platform::kBmpFileHeaderSize + info_size > file.size() || offset > file.size())
        return std::nullopt;

    // Sizes the data cannot support are refused before the picture is allocated.
    const auto row_stride = platform::DibRowStride(width, bits);
    if (!row_stride) return std::nullopt;
    const uint32_t stride = *row_stride;
    std::span<const uint8_t> data = file.subspan(offset);
    if (rle8 ? !Rle8DataCanFill(data.size(), width, height)
             : data.size() < uint64_t{stride} * static_cast<uint64_t>(height))
        return std::nullopt;

    auto image = platform::MakeDibImage(width, height, bits);
    if (!image) return std::nullopt;
    image->x_pixels_per_meter = static_cast<int32_t>(ReadLe32(info + 24));
    image->y_pixels_per_meter = static_cast<int32_t>(ReadLe32(info + 28));
    if (bits <= 8) {
        uint32_t entries = ReadLe32(info + 32);
        if (entries == 0 || entries > (1u << bits)) entries = 1u << bits;
        const size_t palette_at = platform::kBmpFileHeaderSize + info_size;
        if (palette_at + entries * 4 > offset) return std::nullopt;
        image->palette.assign(entries, 0);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* p = file.data() + palette_at + i * 4;
            image->palette[i] = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
        }
    }
    if (rle8) {
        if (!DecodeRle8(data, width, height, stride, image->pixels.data())) return std::nullopt;
    } else {
        for (int32_t row = 0; row < height; ++row)
            std::memcpy(image->pixels.data() + static_cast<size_t>(height - 1 - row) * stride,
                        data.data() + static_cast<size_t>(row) * stride, stride);
    }
    auto encoded = platform::EncodeBmp(*image);
    if (!encoded) return std::nullopt;
    return std::vector<uint8_t>(encoded->begin(), encoded->end());
}

}  // namespace outside
