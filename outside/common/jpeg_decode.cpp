#include "outside/common/jpeg_decode.h"

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include "platform/debuglog/debuglog.h"

namespace outside {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: jump back to Decompress.
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

// Warnings (a truncated file, corrupt data) go to the debug log rather than stderr; the picture they leave
// is partly made up, so it is refused.
void OnJpegMessage(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    platform::DebugLog("jpeg", "libjpeg: %s", message);
}

struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    bool created = false;

    ~Decompressor() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// The picture is allocated before the first jump target can be reached again, so the jump skips no
// destructor; on failure the caller drops the half-filled picture.
bool Decompress(Decompressor& d, const std::string& bytes, cv::Mat& picture) {
    d.cinfo.err = jpeg_std_error(&d.errors.pub);
    d.errors.pub.error_exit = OnJpegError;
    d.errors.pub.output_message = OnJpegMessage;
    if (setjmp(d.errors.jump) != 0) return false;
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d.cinfo);
    picture.create(static_cast<int>(d.cinfo.output_height), static_cast<int>(d.cinfo.output_width), CV_8UC3);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = picture.ptr<unsigned char>(static_cast<int>(d.cinfo.output_scanline));
        jpeg_read_scanlines(&d.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&d.cinfo);
    return d.errors.pub.num_warnings == 0;
}

}  // namespace

cv::Mat DecodeJpeg(const std::string& bytes) {
    if (bytes.empty()) return {};
    cv::Mat picture;
    Decompressor decompressor;
    if (!Decompress(decompressor, bytes, picture)) return {};
    return picture;
}

}  // namespace outside
