#pragma once
// BMP files that are valid but stored in a way the DIB reader does not take: rows top-down (negative
// height) or 8-bit rows compressed with RLE8. Rewritten as the plain bottom-up file image.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace outside {

// The plain file image (same size, depth, palette and resolution) of a top-down 1, 8 or 24-bit file or
// of an RLE8 file; nothing for any other file or when its data are malformed. Pixels an RLE8 picture
// skips (by its delta and end-of-line codes) take palette index 0, as the format says.
std::optional<std::vector<uint8_t>> UnpackBmp(std::span<const uint8_t> file);

}  // namespace outside
