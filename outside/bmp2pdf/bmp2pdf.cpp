#include "outside/bmp2pdf/bmp2pdf.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "outside/bmp2pdf/page_layout.h"
#include "outside/bmp2pdf/pdf_document.h"
#include "outside/common/bmp_source.h"
#include "outside/common/jpeg_encode.h"
#include "outside/common/path_list.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace {

constexpr std::array<const char*, 14> kStandardFonts = {
    "Times-Roman", "Times-Bold",     "Times-Italic",      "Times-BoldItalic",
    "Helvetica",   "Helvetica-Bold", "Helvetica-Oblique", "Helvetica-BoldOblique",
    "Courier",     "Courier-Bold",   "Courier-Oblique",   "Courier-BoldOblique",
    "Symbol",      "ZapfDingbats"};

std::optional<std::string> Deflate(const std::string& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        return std::nullopt;
    out.resize(size);
    return out;
}

// The picture as an image stream: JPEG for colour and grey unless lossless is asked for, Flate
// (one bit per pixel for black and white) otherwise.
std::optional<outside::PdfImage> MakeImage(const platform::DibView& view, bool lossless, int quality) {
    outside::PixelKind kind = outside::ClassifyPixels(view);
    outside::PdfImage image;
    image.width = view.width;
    image.height = view.height;
    image.colour = kind == outside::PixelKind::Colour;
    if (kind != outside::PixelKind::BlackWhite && !lossless) {
        auto jpeg = outside::EncodeJpeg(view, quality);
        if (!jpeg) return std::nullopt;
        image.filter = "DCTDecode";
        image.data = std::move(*jpeg);
        return image;
    }
    image.bits_per_component = kind == outside::PixelKind::BlackWhite ? 1 : 8;
    image.filter = "FlateDecode";
    outside::DibRows rows(view, kind, outside::DibRows::ColourOrder::Rgb);
    std::string raw;
    raw.reserve(rows.RowBytes() * static_cast<size_t>(view.height));
    for (int32_t y = 0; y < view.height; ++y)
        raw.append(reinterpret_cast<const char*>(rows.Row(y)), rows.RowBytes());
    auto packed = Deflate(raw);
    if (!packed) return std::nullopt;
    image.data = std::move(*packed);
    return image;
}

}  // namespace

struct Cbmp2pdf::State {
    bool lossless = false;
    int quality = 80;
    double margin_h = 0, margin_v = 0;
    bool original_size = false;
    std::string font = "Times-Roman";
    int font_size = 20;
    bool page_numbers = false;
    std::vector<std::string> pages;
    int* word = nullptr;
    Bmp2PdfProgress progress = nullptr;
    unsigned long user = 0;
};

Cbmp2pdf::Cbmp2pdf() : state_(std::make_unique<State>()) {}
Cbmp2pdf::~Cbmp2pdf() = default;

void Cbmp2pdf::setCompress(int mode) { state_->lossless = mode == 1; }

void Cbmp2pdf::setCmQuality(int quality) { state_->quality = std::clamp(quality, 1, 100); }

void Cbmp2pdf::setPageMargin(double horizontal_pt, double vertical_pt) {
    state_->margin_h = std::max(0.0, horizontal_pt);
    state_->margin_v = std::max(0.0, vertical_pt);
}

void Cbmp2pdf::originalSize() { state_->original_size = true; }

int Cbmp2pdf::setFileList(const char* list, int count, int* word, Bmp2PdfProgress progress,
                          unsigned long user) try {
    state_->pages.clear();
    state_->word = word;
    state_->progress = progress;
    state_->user = user;
    if (list == nullptr || count <= 0) return 0;
    auto pages = outside::SplitPathList(list);
    if (!pages || pages->size() != static_cast<size_t>(count)) {
        platform::DebugLog("bmp2pdf", "page list \"%s\" does not hold %d pages", list, count);
        return 0;
    }
    state_->pages = std::move(*pages);
    return 1;
} catch (...) {
    state_->pages.clear();
    return 0;
}

void Cbmp2pdf::setFont(const char* name, int size_pt) {
    bool standard =
        name != nullptr && std::any_of(kStandardFonts.begin(), kStandardFonts.end(),
                                       [&](const char* font) { return std::string(font) == name; });
    state_->font = standard ? name : "Times-Roman";
    state_->font_size = std::clamp(size_pt, 1, 200);
}

void Cbmp2pdf::textOnPage(long mode) { state_->page_numbers = mode != 0; }

int Cbmp2pdf::newMultiplePage(const char* target, int count, int* word, Bmp2PdfProgress progress,
                              unsigned long user) try {
    State& s = *state_;
    if (word == nullptr) word = s.word;
    if (progress == nullptr) {
        progress = s.progress;
        user = s.user;
    }
    if (target == nullptr || target[0] == '\0' || s.pages.empty() ||
        count != static_cast<int>(s.pages.size()))
        return 0;
    outside::PdfDocument document(s.font, s.font_size);
    const auto total = static_cast<unsigned long>(s.pages.size());
    for (const auto& path : s.pages) {
        auto bmp = outside::LoadBmp(path, "bmp2pdf");
        if (!bmp) return 0;
        auto image = MakeImage(bmp->view, s.lossless, s.quality);
        if (!image) return 0;
        outside::PageLayout layout = outside::ComputePageLayout(
            bmp->view.width, bmp->view.height, outside::DotsPerInch(bmp->view.x_pixels_per_meter),
            outside::DotsPerInch(bmp->view.y_pixels_per_meter), s.margin_h, s.margin_v, s.original_size);
        std::string text = s.page_numbers ? std::to_string(document.PageCount() + 1) : std::string();
        document.AddPage(std::move(*image), layout, text);
        const auto done = static_cast<unsigned long>(document.PageCount());
        if (word != nullptr) *word = static_cast<int>(done);
        if (progress != nullptr && progress(total, done, 0, user) == 0) {
            platform::DebugLog("bmp2pdf", "cancelled after page %lu of %lu", done, total);
            return 0;
        }
    }
    auto parts = document.Finish();
    return platform::WriteFileReplacingParts(target, parts) ? 1 : 0;
} catch (...) {
    // An allocation failure must not cross into the caller; nothing has been written yet.
    return 0;
}
