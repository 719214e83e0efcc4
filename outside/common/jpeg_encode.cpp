#include "outside/common/jpeg_encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>

#include "outside/common/bmp_source.h"
#include "platform/debuglog/debuglog.h"

namespace outside {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: jump back to Compress.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void OnJpegError(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    platform::DebugLog("jpeg", "libjpeg: %s", message);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Owns the compressor and the memory destination; released on every path.
struct Compressor {
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool created = false;

    ~Compressor() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

// Holds no object with a destructor, so the jump from OnJpegError skips nothing that needs cleaning.
bool Compress(Compressor& c, DibRows& rows, const platform::DibView& view, int quality) {
    c.cinfo.err = jpeg_std_error(&c.errors.pub);
    c.errors.pub.error_exit = OnJpegError;
    if (setjmp(c.errors.jump) != 0) return false;
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.size);

    bool colour = rows.kind() == PixelKind::Colour;
    c.cinfo.image_width = static_cast<JDIMENSION>(view.width);
    c.cinfo.image_height = static_cast<JDIMENSION>(view.height);
    c.cinfo.input_components = colour ? 3 : 1;
    c.cinfo.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, quality, TRUE);
    int x_dpi = DpiFromPixelsPerMeter(view.x_pixels_per_meter);
    int y_dpi = DpiFromPixelsPerMeter(view.y_pixels_per_meter);
    c.cinfo.write_JFIF_header = TRUE;
    if (x_dpi > 0 && y_dpi > 0) {
        c.cinfo.density_unit = 1;
        c.cinfo.X_density = static_cast<UINT16>(std::min(x_dpi, 65535));
        c.cinfo.Y_density = static_cast<UINT16>(std::min(y_dpi, 65535));
    } else {
        c.cinfo.density_unit = 0;
        c.cinfo.X_density = 1;
        c.cinfo.Y_density = 1;
    }

    jpeg_start_compress(&c.cinfo, TRUE);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows.Row(static_cast<int32_t>(c.cinfo.next_scanline)));
        jpeg_write_scanlines(&c.cinfo, &row, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return true;
}

}  // namespace

std::optional<std::string> EncodeJpeg(const platform::DibView& view, int quality) {
    PixelKind kind = ClassifyPixels(view);
    // A one-channel JPEG has no bit-level form: black and white goes in as grey levels 0 and 255.
    if (kind == PixelKind::BlackWhite) kind = PixelKind::Grey;
    DibRows rows(view, kind, DibRows::ColourOrder::Bgr);
    Compressor compressor;
    if (!Compress(compressor, rows, view, std::clamp(quality, 1, 100))) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(compressor.buffer), compressor.size);
}

}  // namespace outside
