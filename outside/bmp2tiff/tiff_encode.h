#pragma once
// TIFF encoding of BMP pictures in memory, one page each (see bmp2tiff.h for the storage choices).

#include <memory>
#include <optional>
#include <string>

#include "platform/dib/dib.h"

namespace outside {

// Builds a TIFF file image page by page, so that only one source picture need be held at a time.
class TiffEncoder {
  public:
    // page_count is written into every page of a multi-page file.
    explicit TiffEncoder(int page_count);
    ~TiffEncoder();
    TiffEncoder(const TiffEncoder&) = delete;
    TiffEncoder& operator=(const TiffEncoder&) = delete;

    bool AddPage(const platform::DibView& view);
    // The complete file image; nothing when a page failed, pages are missing or libtiff failed.
    std::optional<std::string> Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace outside
