#include "pipeline/bmp/bmp_transform.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace pipeline {

namespace {

using platform::DibView;
using platform::kBmpInfoHeaderSize;

// A zeroed block with its information header and palette written; the rows follow (Row).
class BlockBuilder {
  public:
    static std::optional<BlockBuilder> Make(const DibView& source, int32_t width, int32_t height,
                                            uint16_t bits, std::span<const uint8_t> palette_bytes) {
        auto stride = platform::DibRowStride(width, bits);
        if (!stride || height <= 0) return std::nullopt;
        uint64_t pixel_bytes = uint64_t{*stride} * static_cast<uint64_t>(height);
        uint64_t total = kBmpInfoHeaderSize + palette_bytes.size() + pixel_bytes;
        // The file header is added on writing; the whole file must stay below 4 GB.
        if (total + platform::kBmpFileHeaderSize > std::numeric_limits<uint32_t>::max()) return std::nullopt;
        auto memory = PictureBuffer::Allocate(static_cast<size_t>(total));
        if (!memory) return std::nullopt;
        BlockBuilder builder;
        builder.stride_ = *stride;
        builder.block_ = std::move(*memory);
        platform::WriteDibInfoHeader(builder.block_.data(), width, height, bits,
                                     static_cast<uint32_t>(pixel_bytes), source.x_pixels_per_meter,
                                     source.y_pixels_per_meter,
                                     static_cast<uint32_t>(palette_bytes.size() / 4));
        if (!palette_bytes.empty())
            std::memcpy(builder.block_.data() + kBmpInfoHeaderSize, palette_bytes.data(),
                        palette_bytes.size());
        builder.rows_ = kBmpInfoHeaderSize + palette_bytes.size();
        return builder;
    }

    uint8_t* Row(int32_t i) { return block_.data() + rows_ + static_cast<size_t>(i) * stride_; }
    uint32_t Stride() const { return stride_; }
    DibBlock Take() { return std::move(block_); }

  private:
    DibBlock block_;
    size_t rows_ = 0;
    uint32_t stride_ = 0;
};

std::vector<uint8_t> PaletteBytes(std::span<const uint32_t> palette) {
    std::vector<uint8_t> bytes(palette.size() * 4);
    platform::WriteDibPalette(bytes.data(), palette);
    return bytes;
}

// Copies pixels of `Bytes` bytes each, square tile by square tile, so that both the rows read and
// the rows written stay in the cache while a tile is done.
template <int Bytes>
void TurnWholeBytePixels(const DibView& old, BlockBuilder& out, bool clockwise) {
    constexpr int32_t kTile = 32;
    const int32_t old_width = old.width;
    const int32_t old_height = old.height;
    const int32_t new_width = old_height;
    const int32_t new_height = old_width;
    const auto old_stride = static_cast<ptrdiff_t>(old.stride);
    const uint8_t* const old_pixels = old.pixels;
    uint8_t* const new_pixels = out.Row(0);
    const size_t new_stride = out.Stride();
    // Walking along a new row, the source moves one old row up (clockwise) or down.
    const ptrdiff_t step = clockwise ? old_stride : -old_stride;
    for (int32_t r0 = 0; r0 < new_height; r0 += kTile) {
        const int32_t r1 = std::min(new_height, r0 + kTile);
        for (int32_t c0 = 0; c0 < new_width; c0 += kTile) {
            const int32_t c1 = std::min(new_width, c0 + kTile);
            for (int32_t r = r0; r < r1; ++r) {
                const int32_t from_column = clockwise ? old_width - 1 - r : r;
                const int32_t from_row = clockwise ? c0 : old_height - 1 - c0;
                const uint8_t* from =
                    old_pixels + from_row * old_stride + static_cast<ptrdiff_t>(from_column) * Bytes;
                uint8_t* to =
                    new_pixels + static_cast<size_t>(r) * new_stride + static_cast<size_t>(c0) * Bytes;
                for (int32_t c = c0; c < c1; ++c, from += step, to += Bytes) std::memcpy(to, from, Bytes);
            }
        }
    }
}

bool Bit(const uint8_t* row, int32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }

void TurnBits(const DibView& old, BlockBuilder& out, bool clockwise) {
    const int32_t new_width = old.height;
    const int32_t new_height = old.width;
    for (int32_t r = 0; r < new_height; ++r) {
        uint8_t* row = out.Row(r);
        const int32_t old_column = clockwise ? old.width - 1 - r : r;
        for (int32_t c = 0; c < new_width; ++c) {
            const uint8_t* old_row = old.Row(clockwise ? c : old.height - 1 - c);
            if (Bit(old_row, old_column)) row[c >> 3] |= static_cast<uint8_t>(0x80u >> (c & 7));
        }
    }
}

}  // namespace

std::optional<DibBlock> RotateQuarterBlock(const DibView& picture, QuarterTurn turn) {
    const uint16_t bits = picture.bits_per_pixel;
    if (bits != 1 && bits != 8 && bits != 24) return std::nullopt;
    std::span<const uint8_t> palette;
    if (picture.palette != nullptr) palette = {picture.palette, size_t{picture.palette_count} * 4};
    auto out = BlockBuilder::Make(picture, picture.height, picture.width, bits, palette);
    if (!out) return std::nullopt;
    const bool clockwise = turn == QuarterTurn::Clockwise;
    if (bits == 24)
        TurnWholeBytePixels<3>(picture, *out, clockwise);
    else if (bits == 8)
        TurnWholeBytePixels<1>(picture, *out, clockwise);
    else
        TurnBits(picture, *out, clockwise);
    return out->Take();
}

bool RotateHalfInPlace(std::span<uint8_t> file, const DibView& picture) {
    if (picture.bits_per_pixel != 24) return false;
    const uint64_t end = uint64_t{picture.pixel_offset} + uint64_t{picture.stride} * uint64_t(picture.height);
    if (end > file.size()) return false;
    uint8_t* pixels = file.data() + picture.pixel_offset;
    const int32_t w = picture.width;
    auto row = [&](int32_t i) { return pixels + static_cast<size_t>(i) * picture.stride; };
    for (int32_t i = 0, j = picture.height - 1; i <= j; ++i, --j) {
        uint8_t* a = row(i);
        uint8_t* b = row(j);
        // Pixel k of one row trades places with pixel (w - 1 - k) of the other; for the middle row
        // of an odd height (a == b) only the first half is walked, which reverses it in place.
        const int32_t count = (a == b) ? w / 2 : w;
        for (int32_t k = 0; k < count; ++k) {
            uint8_t* p = a + static_cast<size_t>(k) * 3;
            uint8_t* q = b + static_cast<size_t>(w - 1 - k) * 3;
            std::swap(p[0], q[0]);
            std::swap(p[1], q[1]);
            std::swap(p[2], q[2]);
        }
    }
    return true;
}

namespace {

// The three products for every byte value, so a pixel costs two additions; the sums are the very
// same double operations as the formula's, so the truncated result does not change.
struct GreyWeights {
    double red[256], green[256], blue[256];
    GreyWeights() {
        for (int i = 0; i < 256; ++i) {
            red[i] = 0.3 * i;
            green[i] = 0.59 * i;
            blue[i] = 0.11 * i;
        }
    }
};
const GreyWeights kGreyWeights;

}  // namespace

uint8_t GreyLevel(uint8_t blue, uint8_t green, uint8_t red) {
    double grey = kGreyWeights.red[red] + kGreyWeights.green[green] + kGreyWeights.blue[blue];
    return static_cast<uint8_t>(grey);
}

std::optional<DibBlock> GrayBlock(const DibView& picture) {
    if (picture.bits_per_pixel != 24) return std::nullopt;
    auto out =
        BlockBuilder::Make(picture, picture.width, picture.height, 8, PaletteBytes(platform::GreyPalette()));
    if (!out) return std::nullopt;
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.Row(y);
        uint8_t* row = out->Row(y);
        for (int32_t x = 0; x < picture.width; ++x, in += 3) row[x] = GreyLevel(in[0], in[1], in[2]);
    }
    return out->Take();
}

std::optional<DibBlock> BlackWhiteBlock(const DibView& picture, uint16_t threshold) {
    if (picture.bits_per_pixel != 24) return std::nullopt;
    auto out = BlockBuilder::Make(picture, picture.width, picture.height, 1,
                                  PaletteBytes(platform::BlackWhitePalette()));
    if (!out) return std::nullopt;
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* in = picture.Row(y);
        uint8_t* row = out->Row(y);
        // Eight pixels to a byte, without a branch per pixel (a page is mostly noise around the threshold).
        for (int32_t x0 = 0; x0 < picture.width; x0 += 8) {
            const int32_t count = std::min(8, picture.width - x0);
            unsigned byte = 0;
            for (int32_t k = 0; k < count; ++k, in += 3)
                byte |= static_cast<unsigned>(GreyLevel(in[0], in[1], in[2]) >= threshold) << (7 - k);
            row[x0 >> 3] = static_cast<uint8_t>(byte);
        }
    }
    return out->Take();
}

}  // namespace pipeline
