#include "pipeline/bmp/bmp_ops.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

#include "pipeline/bmp/bmp_transform.h"
#include "platform/debuglog/debuglog.h"
#include "platform/dib/dib.h"
#include "platform/files/files.h"

namespace pipeline {

using platform::kBmpFileHeaderSize;
using platform::kBmpInfoHeaderSize;
using platform::ReadLe16;
using platform::ReadLe32;

int WriteDibFile(const std::string& path, std::span<const uint8_t> block, bool has_file_header) {
    const size_t info_at = has_file_header ? kBmpFileHeaderSize : 0;
    if (block.size() < info_at + kBmpInfoHeaderSize) return 0;
    const uint8_t* info = block.data() + info_at;
    const uint32_t info_size = ReadLe32(info);
    const auto width = static_cast<int32_t>(ReadLe32(info + 4));
    const auto height = static_cast<int32_t>(ReadLe32(info + 8));
    const uint16_t planes = ReadLe16(info + 12);
    const uint16_t bits = ReadLe16(info + 14);
    const uint32_t compression = ReadLe32(info + 16);
    const uint32_t colours_used = ReadLe32(info + 32);
    if (info_size < kBmpInfoHeaderSize || info_size > block.size() - info_at) return 0;
    // A planes field other than 1 would be written through into a file our own reader then refuses.
    if (planes != 1) return 0;
    if (height <= 0 || compression != 0 || (bits != 1 && bits != 8 && bits != 24)) return 0;
    auto stride = platform::DibRowStride(width, bits);
    if (!stride) return 0;

    // A palette count of 0 means the full table for 1 and 8 bits. A 24-bit picture may carry an optional
    // table; what of it lies before the rows is kept, and the count is made to match.
    uint64_t palette_entries = colours_used;
    if (bits <= 8) {
        const uint32_t full = 1u << bits;
        if (palette_entries == 0) palette_entries = full;
        if (palette_entries > full) return 0;
    } else if (has_file_header) {
        const uint32_t offset = ReadLe32(block.data() + 10);
        const uint64_t room = offset > info_at + info_size ? (offset - info_at - info_size) / 4 : 0;
        palette_entries = std::min<uint64_t>(palette_entries, room);
    }
    const uint64_t header_bytes = uint64_t{info_size} + palette_entries * 4;
    const uint64_t pixel_bytes = uint64_t{*stride} * static_cast<uint64_t>(height);
    const uint64_t file_size = kBmpFileHeaderSize + header_bytes + pixel_bytes;
    if (file_size > std::numeric_limits<uint32_t>::max()) return 0;
    if (info_at + header_bytes > block.size()) return 0;

    uint64_t rows_at = info_at + header_bytes;
    if (has_file_header) {
        const uint32_t offset = ReadLe32(block.data() + 10);
        if (offset < rows_at) return 0;
        rows_at = offset;
    }
    if (rows_at > block.size() || pixel_bytes > block.size() - rows_at) return 0;

    uint8_t file_header[kBmpFileHeaderSize];
    platform::WriteBmpFileHeader(file_header, static_cast<uint32_t>(file_size),
                                 static_cast<uint32_t>(kBmpFileHeaderSize + header_bytes));
    std::string headers(reinterpret_cast<const char*>(info), static_cast<size_t>(header_bytes));
    if (bits == 24 && palette_entries != colours_used)
        platform::WriteLe32(reinterpret_cast<uint8_t*>(headers.data()) + 32,
                            static_cast<uint32_t>(palette_entries));
    auto chars = [](const uint8_t* p, uint64_t n) {
        return std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
    };
    const std::string_view parts[] = {chars(file_header, kBmpFileHeaderSize), headers,
                                      chars(block.data() + rows_at, pixel_bytes)};
    if (!platform::WriteFileReplacingParts(path, parts)) return 0;
    return 1;
}

namespace {

// The whole file, accepted only when its headers describe rows that lie inside it.
struct LoadedBmp {
    PictureBuffer file;
    platform::DibView view;
};

std::optional<LoadedBmp> LoadBmp(const std::string& path) {
    LoadedBmp loaded;
    auto file = PictureBuffer::ReadFile(path);
    if (!file) {
        platform::DebugLog("bmp", "cannot read %s", path.c_str());
        return std::nullopt;
    }
    loaded.file = std::move(*file);
    platform::DibError error = platform::DibError::None;
    auto view = platform::ParseBmp(loaded.file, &error);
    if (!view) {
        platform::DebugLog("bmp", "%s refused: %s", path.c_str(), platform::DibErrorText(error));
        return std::nullopt;
    }
    loaded.view = *view;
    return loaded;
}

template <typename MakeBlock>
int ReplaceWithBlock(const std::string& path, MakeBlock make_block) {
    auto loaded = LoadBmp(path);
    if (!loaded) return 0;
    std::optional<DibBlock> block = make_block(loaded->view);
    if (!block) {
        platform::DebugLog("bmp", "%s: %d-bit picture not handled", path.c_str(),
                           loaded->view.bits_per_pixel);
        return 0;
    }
    loaded->file = PictureBuffer();  // the old image is no longer needed while writing
    return WriteDibFile(path, *block, false);
}

}  // namespace

int RotateBmpQuarter(const std::string& path, int direction) {
    if (direction != 0 && direction != 1) return 0;
    return ReplaceWithBlock(path, [direction](const platform::DibView& view) {
        return RotateQuarterBlock(view,
                                  direction == 0 ? QuarterTurn::Clockwise : QuarterTurn::CounterClockwise);
    });
}

int RotateBmpHalf(const std::string& path) {
    auto loaded = LoadBmp(path);
    if (!loaded) return 0;
    if (!RotateHalfInPlace(loaded->file, loaded->view)) {
        platform::DebugLog("bmp", "%s: half turn needs a 24-bit picture", path.c_str());
        return 0;
    }
    return WriteDibFile(path, loaded->file, true);
}

int ConvertBmpToGray(const std::string& path) { return ReplaceWithBlock(path, GrayBlock); }

int ConvertBmpToBlackWhite(const std::string& path, uint16_t threshold) {
    return ReplaceWithBlock(
        path, [threshold](const platform::DibView& view) { return BlackWhiteBlock(view, threshold); });
}

}  // namespace pipeline
