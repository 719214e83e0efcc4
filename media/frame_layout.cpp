#include "media/frame_layout.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

inline uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// Fixed-point BT.601: coefficients scaled by 256.
inline void Put(uint8_t* bgr, int c, int d, int e) {
    bgr[0] = Clamp((298 * c + 516 * d + 128) >> 8);
    bgr[1] = Clamp((298 * c - 100 * d - 208 * e + 128) >> 8);
    bgr[2] = Clamp((298 * c + 409 * e + 128) >> 8);
}

}  // namespace

void Yuy2ToBottomUpBgr24(const uint8_t* yuy2, size_t stride, int width, int height,
                         std::vector<uint8_t>& out) {
    const size_t row_bytes = Bgr24RowBytes(width);
    out.assign(row_bytes * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = yuy2 + static_cast<size_t>(y) * stride;
        uint8_t* row = out.data() + static_cast<size_t>(height - 1 - y) * row_bytes;
        for (int x = 0; x + 1 < width; x += 2, in += 4, row += 6) {
            int d = in[1] - 128, e = in[3] - 128;
            Put(row, in[0] - 16, d, e);
            Put(row + 3, in[2] - 16, d, e);
        }
        if (width % 2 != 0) Put(row, in[0] - 16, in[1] - 128, in[3] - 128);
    }
}

void Yuy2ToBgrx(const uint8_t* yuy2, size_t stride, int width, int height, uint8_t* out) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = yuy2 + static_cast<size_t>(y) * stride;
        uint8_t* row = out + static_cast<size_t>(y) * 4 * static_cast<size_t>(width);
        for (int x = 0; x + 1 < width; x += 2, in += 4, row += 8) {
            int d = in[1] - 128, e = in[3] - 128;
            Put(row, in[0] - 16, d, e);
            Put(row + 4, in[2] - 16, d, e);
            row[3] = row[7] = 255;
        }
        if (width % 2 != 0) {
            Put(row, in[0] - 16, in[1] - 128, in[3] - 128);
            row[3] = 255;
        }
    }
}

void CopyPackedRows(const uint8_t* source, size_t stride, size_t row_bytes, int height, uint8_t* out) {
    if (stride == row_bytes) {
        std::memcpy(out, source, row_bytes * static_cast<size_t>(height));
        return;
    }
    for (int y = 0; y < height; ++y) std::memcpy(out + y * row_bytes, source + y * stride, row_bytes);
}

}  // namespace platform
