#include "outside/jpeglib/bmp2jpeg.h"

#include "outside/common/bmp_source.h"
#include "outside/common/jpeg_encode.h"
#include "platform/files/files.h"

#define JPEGLIB_EXPORT __attribute__((visibility("default")))

extern "C" JPEGLIB_EXPORT int BMP2JPEG(const char* source_bmp, const char* target_jpeg) try {
    if (source_bmp == nullptr || target_jpeg == nullptr || target_jpeg[0] == '\0') return 0;
    auto bmp = outside::LoadBmp(source_bmp, "jpeglib");
    if (!bmp) return 0;
    auto jpeg = outside::EncodeJpeg(bmp->view, kBmp2JpegQuality);
    if (!jpeg) return 0;
    return platform::WriteFileReplacing(target_jpeg, *jpeg) ? 1 : 0;
} catch (...) {
    // An allocation failure must not cross into the caller.
    return 0;
}
