#pragma once
// Assembles a PDF document of picture pages in memory: objects, cross-reference table, trailer.
// Knows nothing of files or BMPs; the caller hands it finished image streams.

#include <string>
#include <string_view>
#include <vector>

#include "outside/bmp2pdf/page_layout.h"

namespace outside {

struct PdfImage {
    int width = 0, height = 0;
    int bits_per_component = 8;
    bool colour = false;      // DeviceRGB, else DeviceGray (1 bit: 0 black, 1 white)
    const char* filter = "";  // "DCTDecode" or "FlateDecode"
    std::string data;         // the encoded stream
};

class PdfDocument {
  public:
    // font: one of the standard 14 font names (not checked here); used only by pages with text.
    PdfDocument(std::string font, int font_size);

    // Adds a page showing the image as laid out; text (when not empty) is printed at the picture's
    // lower-left corner. The image data is moved into the document.
    void AddPage(PdfImage image, const PageLayout& layout, std::string_view text);

    int PageCount() const { return static_cast<int>(pages_.size()); }

    // The finished document as consecutive parts (to be written in order); the parts refer to the
    // document's storage, valid while it lives and is not changed.
    std::vector<std::string_view> Finish();

  private:
    int NewObject();  // records the offset of the object about to be appended
    void Append(std::string text);

    std::string font_;
    int font_size_;
    std::vector<std::string> parts_;
    size_t length_ = 0;
    std::vector<size_t> offsets_;  // by object number - 1
    std::vector<int> pages_;       // page object numbers
    int font_object_ = 0;
    bool finished_ = false;
};

// Formats a number for PDF content with at most three decimals, independent of the C locale.
std::string PdfNumber(double value);

}  // namespace outside
