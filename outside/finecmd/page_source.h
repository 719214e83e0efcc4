#pragma once
// The pictures the OCR programs read: a BMP (1, 8 or 24 bits, through our own safe reader) or a TIFF of
// one or more pages, each page with the resolution its file gives.

#include <memory>
#include <string>
#include <vector>

struct Pix;

namespace outside {

struct PixDeleter {
    void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

struct PictureSource {
    std::vector<PixPtr> pages;  // in order
    std::vector<int> dpi;       // per page; 0 when the file gives none
    std::string error;          // why nothing was read
};

// Reads every page; pages empty and error set when the file is missing, empty, corrupt or of another type.
PictureSource LoadPicturePages(const std::string& path);

}  // namespace outside
