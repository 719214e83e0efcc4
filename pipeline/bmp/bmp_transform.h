#pragma once
// The picture maths of the BMP operations, on parsed file images in memory (no files here).
// Each builds a new picture block as WriteDibFile takes it: a 40-byte information header, the
// palette, then the rows bottom-up, each padded to 4 bytes. One pass over the pixels each.

#include <cstdint>
#include <optional>
#include <span>

#include "pipeline/bmp/picture_buffer.h"
#include "platform/dib/dib.h"

namespace pipeline {

using DibBlock = PictureBuffer;

enum class QuarterTurn { Clockwise = 0, CounterClockwise = 1 };

// Turns a 1-, 8- or 24-bit picture by 90 degrees; the palette and resolution go along unchanged.
// Rows counted from the bottom, new pixel (column c, row r) comes from old row c, column
// (old width - 1 - r) when turning clockwise, from old row (old height - 1 - c), column r otherwise.
std::optional<DibBlock> RotateQuarterBlock(const platform::DibView& picture, QuarterTurn turn);

// Turns a 24-bit picture by 180 degrees inside its own file image (`file` is the image `picture`
// was parsed from). False, and nothing changed, for other depths.
bool RotateHalfInPlace(std::span<uint8_t> file, const platform::DibView& picture);

// grey = 0.3 red + 0.59 green + 0.11 blue in double precision, truncated toward zero.
uint8_t GreyLevel(uint8_t blue, uint8_t green, uint8_t red);

// 24-bit colour to 8-bit grey with the 256-entry grey palette. Nothing for other depths.
std::optional<DibBlock> GrayBlock(const platform::DibView& picture);

// 24-bit colour to 1-bit: white (bit 1) where the grey level reaches `threshold`, black below;
// leftmost pixel in the most significant bit, unused bits of a row's last byte 0. Nothing for other depths.
std::optional<DibBlock> BlackWhiteBlock(const platform::DibView& picture, uint16_t threshold);

}  // namespace pipeline
