#include "outside/common/jpeg_encode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>

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

// A destination in memory the compressor owns. libjpeg's own memory destination frees and replaces its
// buffer as it grows and reports the new one only when compression finishes, so after a failure half way
// nobody can tell which buffer to free; here the owner always holds the current one.
struct MemoryDestination {
    jpeg_destination_mgr pub{};
    unsigned char* buffer = nullptr;
    size_t capacity = 0;
    size_t used = 0;

    static MemoryDestination* Of(j_compress_ptr cinfo) {
        return reinterpret_cast<MemoryDestination*>(cinfo->dest);
    }

    static void Init(j_compress_ptr cinfo) {
        MemoryDestination* d = Of(cinfo);
        d->pub.next_output_byte = d->buffer;
        d->pub.free_in_buffer = d->capacity;
    }

    // Called when the buffer is full (whatever free_in_buffer says); grows it or fails through error_exit.
    static boolean Grow(j_compress_ptr cinfo) {
        MemoryDestination* d = Of(cinfo);
        size_t bigger = d->capacity * 2;
        auto* grown = static_cast<unsigned char*>(std::realloc(d->buffer, bigger));
        if (grown == nullptr) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 99);
        d->buffer = grown;
        d->pub.next_output_byte = grown + d->capacity;
        d->pub.free_in_buffer = bigger - d->capacity;
        d->capacity = bigger;
        return TRUE;
    }

    static void Term(j_compress_ptr cinfo) {
        MemoryDestination* d = Of(cinfo);
        d->used = d->capacity - d->pub.free_in_buffer;
    }
};

// Owns the compressor and its output buffer; released on every path.
struct Compressor {
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    MemoryDestination destination{};
    bool created = false;

    ~Compressor() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(destination.buffer);
    }
};

// Holds no object with a destructor, so the jump from OnJpegError skips nothing that needs cleaning.
bool Compress(Compressor& c, DibRows& rows, const platform::DibView& view, int quality) {
    c.cinfo.err = jpeg_std_error(&c.errors.pub);
    c.errors.pub.error_exit = OnJpegError;
    if (setjmp(c.errors.jump) != 0) return false;
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    // A quarter of the colour picture's raw size holds most pages at the usual qualities without growing.
    c.destination.capacity = std::max<size_t>(65536, static_cast<size_t>(view.width) * view.height * 3 / 4);
    c.destination.buffer = static_cast<unsigned char*>(std::malloc(c.destination.capacity));
    if (c.destination.buffer == nullptr) return false;
    c.destination.pub.init_destination = MemoryDestination::Init;
    c.destination.pub.empty_output_buffer = MemoryDestination::Grow;
    c.destination.pub.term_destination = MemoryDestination::Term;
    c.cinfo.dest = &c.destination.pub;

    bool colour = rows.kind() == PixelKind::Colour;
    c.cinfo.image_width = static_cast<JDIMENSION>(view.width);
    c.cinfo.image_height = static_cast<JDIMENSION>(view.height);
    c.cinfo.input_components = colour ? 3 : 1;
    c.cinfo.in_color_space = colour ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, quality, TRUE);
    // JFIF densities are whole numbers.
    int x_dpi = static_cast<int>(std::lround(DotsPerInch(view.x_pixels_per_meter)));
    int y_dpi = static_cast<int>(std::lround(DotsPerInch(view.y_pixels_per_meter)));
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
    return std::string(reinterpret_cast<const char*>(compressor.destination.buffer),
                       compressor.destination.used);
}

}  // namespace outside
