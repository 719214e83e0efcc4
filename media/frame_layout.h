#pragma once
// Pixel layouts the capture graph hands on: the grabber's bottom-up 24-bit B,G,R frame with rows padded to
// four bytes, converted from the camera's YUY2, and the preview's packed 32-bit rows.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Bytes of one row of a 24-bit frame: (3 x width + 3) / 4 x 4.
constexpr size_t Bgr24RowBytes(int width) { return (3 * static_cast<size_t>(width) + 3) / 4 * 4; }

// YUY2 (top-down, `stride` bytes a row) into `out` as bottom-up B,G,R rows (BT.601, studio range); the
// padding bytes are zero. `out` is resized to Bgr24RowBytes(width) x height.
void Yuy2ToBottomUpBgr24(const uint8_t* yuy2, size_t stride, int width, int height,
                         std::vector<uint8_t>& out);

// YUY2 (top-down, `stride` bytes a row) into packed top-down B,G,R,x rows of 4 x width bytes, by the same
// arithmetic as Yuy2ToBottomUpBgr24: the preview shows, and the live outline judges, the still's colours.
void Yuy2ToBgrx(const uint8_t* yuy2, size_t stride, int width, int height, uint8_t* out);

// Rows of `row_bytes` from a buffer with `stride` bytes a row into a packed buffer.
void CopyPackedRows(const uint8_t* source, size_t stride, size_t row_bytes, int height, uint8_t* out);

}  // namespace platform
