#pragma once
// Prints text onto a picture with a real font (FreeType), as a printer would put it on paper, so that text
// recognition can read the virtual camera's pages and cards.

#include <memory>
#include <opencv2/core.hpp>
#include <string>

namespace virtualcam {

class TextPrinter {
  public:
    // The font file; DejaVu Sans by default. Valid() is false when it cannot be loaded.
    explicit TextPrinter(const std::string& font_file = DefaultFontFile());
    ~TextPrinter();
    TextPrinter(const TextPrinter&) = delete;
    TextPrinter& operator=(const TextPrinter&) = delete;

    bool Valid() const;
    // Width in pixels of the text at the given pixel height.
    int Width(const std::string& text, int pixel_height);
    // Draws the text with its baseline at `origin` in `ink` onto a BGR picture (8-bit, 3 channels).
    void Print(cv::Mat& picture, const std::string& text, cv::Point origin, int pixel_height, cv::Scalar ink);

    static std::string DefaultFontFile();

  private:
    struct Font;
    std::unique_ptr<Font> font_;
};

}  // namespace virtualcam
