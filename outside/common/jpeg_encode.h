#pragma once
// JPEG (JFIF) compression of a BMP picture in memory, shared by the JPEG and PDF writers.

#include <optional>
#include <string>

#include "platform/dib/dib.h"

namespace outside {

// Colour pictures give a three-channel JPEG with 4:2:0 chroma; grey and black-and-white pictures a
// one-channel JPEG. quality is clamped to 1..100. The BMP's resolution becomes the JFIF density
// (dots per inch), or a 1:1 aspect without unit when it has none. Nothing on a libjpeg failure.
std::optional<std::string> EncodeJpeg(const platform::DibView& view, int quality);

}  // namespace outside
