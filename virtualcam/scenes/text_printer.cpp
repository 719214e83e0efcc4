#include "virtualcam/scenes/text_printer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace virtualcam {

struct TextPrinter::Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Font() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

std::string TextPrinter::DefaultFontFile() { return "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"; }

TextPrinter::TextPrinter(const std::string& font_file) : font_(std::make_unique<Font>()) {
    if (FT_Init_FreeType(&font_->library) != 0) font_->library = nullptr;
    if (font_->library == nullptr || FT_New_Face(font_->library, font_file.c_str(), 0, &font_->face) != 0)
        font_->face = nullptr;
}

TextPrinter::~TextPrinter() = default;

bool TextPrinter::Valid() const { return font_->face != nullptr; }

int TextPrinter::Width(const std::string& text, int pixel_height) {
    if (!Valid()) return 0;
    FT_Set_Pixel_Sizes(font_->face, 0, static_cast<FT_UInt>(pixel_height));
    long width = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(font_->face, c, FT_LOAD_DEFAULT) != 0) continue;
        width += font_->face->glyph->advance.x >> 6;
    }
    return static_cast<int>(width);
}

void TextPrinter::Print(cv::Mat& picture, const std::string& text, cv::Point origin, int pixel_height,
                        cv::Scalar ink) {
    if (!Valid() || picture.type() != CV_8UC3) return;
    FT_Set_Pixel_Sizes(font_->face, 0, static_cast<FT_UInt>(pixel_height));
    int pen_x = origin.x;
    for (unsigned char c : text) {
        if (FT_Load_Char(font_->face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = font_->face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        const int left = pen_x + glyph->bitmap_left;
        const int top = origin.y - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = top + static_cast<int>(row);
            if (y < 0 || y >= picture.rows) continue;
            auto* line = picture.ptr<cv::Vec3b>(y);
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int x = left + static_cast<int>(column);
                if (x < 0 || x >= picture.cols) continue;
                const double coverage = bitmap.buffer[row * bitmap.pitch + column] / 255.0;
                for (int channel = 0; channel < 3; ++channel)
                    line[x][channel] =
                        cv::saturate_cast<uchar>(line[x][channel] * (1 - coverage) + ink[channel] * coverage);
            }
        }
        pen_x += static_cast<int>(glyph->advance.x >> 6);
    }
}

}  // namespace virtualcam
