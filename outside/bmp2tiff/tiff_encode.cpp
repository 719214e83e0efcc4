#include "outside/bmp2tiff/tiff_encode.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "outside/common/bmp_source.h"
#include "platform/debuglog/debuglog.h"

namespace outside {
namespace {

// A growable file image libtiff writes into through its client procedures.
struct MemoryFile {
    std::string data;
    uint64_t position = 0;
};

MemoryFile* FileOf(thandle_t handle) { return static_cast<MemoryFile*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile* file = FileOf(handle);
    if (size <= 0 || file->position >= file->data.size()) return 0;
    uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), file->data.size() - file->position);
    std::memcpy(buffer, file->data.data() + file->position, n);
    file->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile* file = FileOf(handle);
    if (size <= 0) return 0;
    uint64_t end = file->position + static_cast<uint64_t>(size);
    if (end > file->data.size()) file->data.resize(end);
    std::memcpy(file->data.data() + file->position, buffer, static_cast<size_t>(size));
    file->position = end;
    return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryFile* file = FileOf(handle);
    int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(file->position)
                   : whence == SEEK_END ? static_cast<int64_t>(file->data.size())
                                        : 0;
    int64_t target = base + static_cast<int64_t>(offset);
    if (target < 0) return static_cast<toff_t>(-1);
    file->position = static_cast<uint64_t>(target);
    return file->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return FileOf(handle)->data.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

bool WritePage(TIFF* tiff, const platform::DibView& view, uint16_t page, uint16_t pages) {
    PixelKind kind = ClassifyPixels(view);
    // Fax convention: 1 marks black, so OCR engines read the page as printed.
    DibRows rows(view, kind, DibRows::ColourOrder::Rgb, /*ones_black=*/true);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(view.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(view.height));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    if (pages > 1) {
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, page, pages);
    }
    double x_dpi = DotsPerInch(view.x_pixels_per_meter);
    double y_dpi = DotsPerInch(view.y_pixels_per_meter);
    if (x_dpi > 0 && y_dpi > 0) {
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(x_dpi));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(y_dpi));
    }
    if (kind == PixelKind::BlackWhite) {
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(view.height));
    } else {
        bool colour = kind == PixelKind::Colour;
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, colour ? 3 : 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, colour ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    }
    // The codec may change the row it is given, so it gets a copy.
    std::vector<uint8_t> row(rows.RowBytes());
    for (int32_t y = 0; y < view.height; ++y) {
        std::memcpy(row.data(), rows.Row(y), row.size());
        if (TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace

struct TiffEncoder::State {
    MemoryFile file;
    std::unique_ptr<TIFF, TiffCloser> tiff;
    int page_count = 0;
    int pages_done = 0;
    bool failed = false;
};

TiffEncoder::TiffEncoder(int page_count) : state_(std::make_unique<State>()) {
    state_->page_count = page_count;
    if (page_count < 1 || page_count > 65535) {
        state_->failed = true;
        return;
    }
    state_->tiff.reset(TIFFClientOpen("memory", "w", &state_->file, ReadProc, WriteProc, SeekProc, CloseProc,
                                      SizeProc, MapProc, UnmapProc));
    state_->failed = !state_->tiff;
}

TiffEncoder::~TiffEncoder() = default;

bool TiffEncoder::AddPage(const platform::DibView& view) {
    if (state_->failed || state_->pages_done >= state_->page_count) return false;
    if (!WritePage(state_->tiff.get(), view, static_cast<uint16_t>(state_->pages_done),
                   static_cast<uint16_t>(state_->page_count))) {
        platform::DebugLog("bmp2tiff", "libtiff failed on page %d", state_->pages_done + 1);
        state_->failed = true;
        return false;
    }
    ++state_->pages_done;
    return true;
}

std::optional<std::string> TiffEncoder::Finish() {
    if (state_->failed || state_->pages_done != state_->page_count) return std::nullopt;
    state_->tiff.reset();
    state_->failed = true;  // the image has been handed out
    return std::move(state_->file.data);
}

}  // namespace outside
