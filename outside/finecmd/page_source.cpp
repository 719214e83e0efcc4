#include "outside/finecmd/page_source.h"

#include <leptonica/allheaders.h>

#include <cmath>
#include <cstdio>

#include "outside/common/bmp_source.h"
#include "platform/files/files.h"

namespace outside {

void PixDeleter::operator()(Pix* pix) const { pixDestroy(&pix); }

namespace {

PixPtr PixFromBmp(const platform::DibView& view) {
    PixelKind kind = ClassifyPixels(view);
    if (kind == PixelKind::BlackWhite) kind = PixelKind::Grey;  // recognition thresholds grey itself
    const bool colour = kind == PixelKind::Colour;
    PixPtr pix(pixCreate(view.width, view.height, colour ? 32 : 8));
    if (!pix) return nullptr;
    DibRows rows(view, kind, DibRows::ColourOrder::Rgb);
    const int wpl = pixGetWpl(pix.get());
    l_uint32* data = pixGetData(pix.get());
    for (int32_t y = 0; y < view.height; ++y) {
        const uint8_t* row = rows.Row(y);
        l_uint32* line = data + static_cast<size_t>(y) * wpl;
        for (int32_t x = 0; x < view.width; ++x) {
            if (colour) {
                l_uint32 value = 0;
                composeRGBPixel(row[3 * x], row[3 * x + 1], row[3 * x + 2], &value);
                line[x] = value;
            } else {
                SET_DATA_BYTE(line, x, row[x]);
            }
        }
    }
    return pix;
}

bool IsTiff(const std::string& bytes) {
    return bytes.size() >= 4 &&
           (bytes.compare(0, 4, "II*\0", 4) == 0 || bytes.compare(0, 4, "MM\0*", 4) == 0);
}

}  // namespace

PictureSource LoadPicturePages(const std::string& path) {
    PictureSource source;
    auto head = platform::InputFile::Open(path);
    if (!head) {
        source.error = "cannot open the picture " + path;
        return source;
    }
    uint8_t magic[4] = {};
    if (head->size() < 8 || !head->ReadExactly(magic, sizeof magic)) {
        source.error = "the picture " + path + " is empty or too short";
        return source;
    }
    const std::string start(reinterpret_cast<const char*>(magic), sizeof magic);
    if (start.compare(0, 2, "BM") == 0) {
        auto bmp = LoadBmp(path, "finecmd");
        if (!bmp) {
            source.error = "the picture " + path + " is not a BMP that can be read";
            return source;
        }
        PixPtr pix = PixFromBmp(bmp->view);
        if (!pix) {
            source.error = "out of memory for " + path;
            return source;
        }
        source.dpi.push_back(static_cast<int>(std::lround(DotsPerInch(bmp->view.y_pixels_per_meter))));
        source.pages.push_back(std::move(pix));
        return source;
    }
    if (!IsTiff(start)) {
        source.error = "the picture " + path + " is neither a BMP nor a TIFF";
        return source;
    }
    PIXA* pages = pixaReadMultipageTiff(path.c_str());
    const int count = pages != nullptr ? pixaGetCount(pages) : 0;
    for (int i = 0; i < count; ++i) {
        PixPtr pix(pixaGetPix(pages, i, L_COPY));
        if (!pix) continue;
        source.dpi.push_back(pixGetYRes(pix.get()));
        source.pages.push_back(std::move(pix));
    }
    pixaDestroy(&pages);
    if (source.pages.empty() || static_cast<int>(source.pages.size()) != count) {
        source.pages.clear();
        source.dpi.clear();
        source.error = "the TIFF " + path + " is corrupt or has no pages";
    }
    return source;
}

}  // namespace outside
