#include "outside/common/bmp_source.h"

#include <cmath>

#include "outside/common/bmp_unpack.h"
#include "platform/debuglog/debuglog.h"

namespace outside {

std::optional<BmpFile> LoadBmp(const std::string& path, const char* subsystem) {
    auto bytes = platform::ReadBinaryFile(path);
    if (!bytes) {
        platform::DebugLog(subsystem, "cannot read %s", path.c_str());
        return std::nullopt;
    }
    BmpFile file;
    file.bytes = std::move(*bytes);
    platform::DibError error = platform::DibError::None;
    auto view = platform::ParseBmp(file.bytes, &error);
    if (!view) {
        // Top-down rows and RLE8 data are read into the plain layout first.
        if (auto plain = UnpackBmp(file.bytes)) {
            file.bytes = std::move(*plain);
            view = platform::ParseBmp(file.bytes, &error);
        }
    }
    if (!view) {
        platform::DebugLog(subsystem, "%s refused: %s", path.c_str(), platform::DibErrorText(error));
        return std::nullopt;
    }
    file.view = *view;
    return file;
}

namespace {

struct PaletteEntry {
    uint8_t blue = 0, green = 0, red = 0;
};

// Indices past the stored palette read as black, as they would on screen.
PaletteEntry EntryAt(const platform::DibView& view, uint32_t index) {
    if (index >= view.palette_count) return {};
    const uint8_t* p = view.palette + index * 4;
    return {p[0], p[1], p[2]};
}

bool IsGrey(PaletteEntry e) { return e.blue == e.green && e.green == e.red; }

}  // namespace

PixelKind ClassifyPixels(const platform::DibView& view) {
    if (view.bits_per_pixel == 24) return PixelKind::Colour;
    uint32_t entries = 1u << view.bits_per_pixel;
    for (uint32_t i = 0; i < entries; ++i)
        if (!IsGrey(EntryAt(view, i))) return PixelKind::Colour;
    if (view.bits_per_pixel == 1) {
        uint8_t a = EntryAt(view, 0).red, b = EntryAt(view, 1).red;
        if ((a == 0 && b == 255) || (a == 255 && b == 0)) return PixelKind::BlackWhite;
    }
    return PixelKind::Grey;
}

double DotsPerInch(int32_t pixels_per_meter) {
    if (pixels_per_meter <= 0) return 0.0;
    constexpr double kMetersPerInch = 0.0254;
    double dpi = pixels_per_meter * kMetersPerInch;
    double whole = std::round(dpi);
    // Rounding to whole pixels per metre moved a whole dpi value by at most half a pixel per metre.
    return std::abs(dpi - whole) <= kMetersPerInch / 2 ? whole : dpi;
}

DibRows::DibRows(const platform::DibView& view, PixelKind kind, ColourOrder order, bool ones_black)
    : view_(view), kind_(kind), order_(order) {
    size_t width = static_cast<size_t>(view.width);
    switch (kind_) {
        case PixelKind::BlackWhite: {
            row_bytes_ = (width + 7) / 8;
            bool index_one_white = EntryAt(view, 1).red == 255;
            invert_bits_ = index_one_white == ones_black;
            break;
        }
        case PixelKind::Grey:
            row_bytes_ = width;
            break;
        case PixelKind::Colour:
            row_bytes_ = 3 * width;
            break;
    }
    if (view.bits_per_pixel <= 8) {
        identity_grey_ = view.bits_per_pixel == 8;
        for (uint32_t i = 0; i < 256; ++i) {
            PaletteEntry e = EntryAt(view, i);
            grey_[i] = static_cast<uint8_t>((e.red * 77 + e.green * 150 + e.blue * 29 + 128) >> 8);
            if (IsGrey(e)) grey_[i] = e.red;
            if (grey_[i] != i) identity_grey_ = false;
            colour_[i] = order_ == ColourOrder::Bgr ? std::array<uint8_t, 3>{e.blue, e.green, e.red}
                                                    : std::array<uint8_t, 3>{e.red, e.green, e.blue};
        }
    }
    scratch_.resize(row_bytes_);
}

const uint8_t* DibRows::Row(int32_t top_row) {
    const uint8_t* src = view_.Row(view_.height - 1 - top_row);
    const int32_t width = view_.width;
    uint8_t* out = scratch_.data();
    switch (kind_) {
        case PixelKind::BlackWhite:
            if (!invert_bits_) return src;
            for (size_t i = 0; i < row_bytes_; ++i) out[i] = static_cast<uint8_t>(~src[i]);
            return out;
        case PixelKind::Grey:
            if (identity_grey_) return src;
            for (int32_t x = 0; x < width; ++x) {
                uint32_t index = view_.bits_per_pixel == 8 ? src[x] : (src[x >> 3] >> (7 - (x & 7))) & 1u;
                out[x] = grey_[index];
            }
            return out;
        case PixelKind::Colour:
            if (view_.bits_per_pixel == 24) {
                if (order_ == ColourOrder::Bgr) return src;
                for (int32_t x = 0; x < width; ++x) {
                    out[3 * x] = src[3 * x + 2];
                    out[3 * x + 1] = src[3 * x + 1];
                    out[3 * x + 2] = src[3 * x];
                }
                return out;
            }
            for (int32_t x = 0; x < width; ++x) {
                uint32_t index = view_.bits_per_pixel == 8 ? src[x] : (src[x >> 3] >> (7 - (x & 7))) & 1u;
                const auto& c = colour_[index];
                out[3 * x] = c[0];
                out[3 * x + 1] = c[1];
                out[3 * x + 2] = c[2];
            }
            return out;
    }
    return out;
}

}  // namespace outside
