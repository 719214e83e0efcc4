#pragma once
// The BMP file operations of the capture pipeline. Each reads the whole file, builds the new picture
// in memory and replaces the file in one step (a temporary file in the same folder renamed over it),
// so a failure leaves the file exactly as it was. All return 1 on success and 0 on failure; none
// shows a message. They touch only the named file, so they may run on any thread.

#include <cstdint>
#include <span>
#include <string>

namespace pipeline {

// Writes a BMP file from a picture block: information header, palette, rows; or, with
// has_file_header, a complete file image whose rows are taken from its pixel offset. The new file
// header is computed from the information header; a block too short for what its header describes,
// or a header that is not an uncompressed 1-, 8- or 24-bit picture, is refused.
int WriteDibFile(const std::string& path, std::span<const uint8_t> block, bool has_file_header);

// Turns an 8- or 24-bit (also 1-bit) picture by 90 degrees: direction 0 clockwise, 1 counter-clockwise.
int RotateBmpQuarter(const std::string& path, int direction);

// Turns a 24-bit picture by 180 degrees; other depths are refused.
int RotateBmpHalf(const std::string& path);

// 24-bit colour to 8-bit grey.
int ConvertBmpToGray(const std::string& path);

// 24-bit colour to 1-bit black and white: white where the grey level reaches `threshold`.
int ConvertBmpToBlackWhite(const std::string& path, uint16_t threshold);

}  // namespace pipeline
