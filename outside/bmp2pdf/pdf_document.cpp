#include "outside/bmp2pdf/pdf_document.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace outside {
namespace {

constexpr int kCatalogObject = 1;
constexpr int kPagesObject = 2;

std::string Ref(int object) { return std::to_string(object) + " 0 R"; }

// Text for a literal string: the page texts we print are plain, but brackets and backslashes
// must still be escaped.
std::string PdfLiteral(std::string_view text) {
    std::string out = "(";
    for (char c : text) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += c;
    }
    return out + ")";
}

}  // namespace

std::string PdfNumber(double value) {
    if (!std::isfinite(value)) value = 0;
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (ec != std::errc()) return "0";
    std::string text(buffer, end);
    // Trailing zeros only cost bytes.
    while (text.size() > 1 && text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    return text;
}

PdfDocument::PdfDocument(std::string font, int font_size) : font_(std::move(font)), font_size_(font_size) {
    // The binary comment line tells transfer tools the file is not text.
    Append("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    offsets_.assign(2, 0);  // catalogue and page tree are written last
}

int PdfDocument::NewObject() {
    offsets_.push_back(length_);
    return static_cast<int>(offsets_.size());
}

void PdfDocument::Append(std::string text) {
    length_ += text.size();
    parts_.push_back(std::move(text));
}

void PdfDocument::AddPage(PdfImage image, const PageLayout& layout, std::string_view text) {
    if (!text.empty() && font_object_ == 0) {
        font_object_ = NewObject();
        Append(std::to_string(font_object_) + " 0 obj\n<< /Type /Font /Subtype /Type1 /BaseFont /" + font_ +
               " >>\nendobj\n");
    }
    int image_object = NewObject();
    Append(std::to_string(image_object) + " 0 obj\n<< /Type /XObject /Subtype /Image /Width " +
           std::to_string(image.width) + " /Height " + std::to_string(image.height) + " /ColorSpace /" +
           (image.colour ? "DeviceRGB" : "DeviceGray") + " /BitsPerComponent " +
           std::to_string(image.bits_per_component) + " /Filter /" + image.filter + " /Length " +
           std::to_string(image.data.size()) + " >>\nstream\n");
    Append(std::move(image.data));
    Append("\nendstream\nendobj\n");

    std::string content = "q " + PdfNumber(layout.image_width) + " 0 0 " + PdfNumber(layout.image_height) +
                          " " + PdfNumber(layout.image_x) + " " + PdfNumber(layout.image_y) +
                          " cm /Im0 Do Q\n";
    if (!text.empty()) {
        content += "BT /F1 " + std::to_string(font_size_) + " Tf " + PdfNumber(layout.image_x) + " " +
                   PdfNumber(layout.image_y) + " Td " + PdfLiteral(text) + " Tj ET\n";
    }
    int content_object = NewObject();
    Append(std::to_string(content_object) + " 0 obj\n<< /Length " + std::to_string(content.size()) +
           " >>\nstream\n" + content + "endstream\nendobj\n");

    int page_object = NewObject();
    std::string resources = "<< /XObject << /Im0 " + Ref(image_object) + " >>";
    if (!text.empty()) resources += " /Font << /F1 " + Ref(font_object_) + " >>";
    resources += " >>";
    Append(std::to_string(page_object) + " 0 obj\n<< /Type /Page /Parent " + Ref(kPagesObject) +
           " /MediaBox [0 0 " + PdfNumber(layout.page_width) + " " + PdfNumber(layout.page_height) +
           "] /Resources " + resources + " /Contents " + Ref(content_object) + " >>\nendobj\n");
    pages_.push_back(page_object);
}

std::vector<std::string_view> PdfDocument::Finish() {
    if (!finished_) {
        finished_ = true;
        offsets_[kCatalogObject - 1] = length_;
        Append("1 0 obj\n<< /Type /Catalog /Pages " + Ref(kPagesObject) + " >>\nendobj\n");
        offsets_[kPagesObject - 1] = length_;
        std::string kids;
        for (int page : pages_) kids += (kids.empty() ? "" : " ") + Ref(page);
        Append("2 0 obj\n<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_.size()) +
               " >>\nendobj\n");
        size_t xref_offset = length_;
        std::string xref = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
        for (size_t offset : offsets_) {
            char entry[32];
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
            xref += entry;
        }
        xref += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " + Ref(kCatalogObject) +
                " >>\nstartxref\n" + std::to_string(xref_offset) + "\n%%EOF\n";
        Append(std::move(xref));
    }
    return {parts_.begin(), parts_.end()};
}

}  // namespace outside
