#include "outside/bmp2tiff/bmp2tiff.h"

#include <string>
#include <vector>

#include "outside/bmp2tiff/tiff_encode.h"
#include "outside/common/bmp_source.h"
#include "outside/common/path_list.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

#define BMP2TIFF_EXPORT __attribute__((visibility("default")))

extern "C" BMP2TIFF_EXPORT int ConvertMutil(const char* source, const char* target, int mode,
                                            int /*quality*/) try {
    if (source == nullptr || target == nullptr || target[0] == '\0') return 0;
    std::vector<std::string> paths;
    if (mode == 1) {
        paths.emplace_back(source);
    } else if (mode == 2) {
        auto list = outside::SplitPathList(source);
        if (!list) {
            platform::DebugLog("bmp2tiff", "malformed page list \"%s\"", source);
            return 0;
        }
        paths = std::move(*list);
    } else {
        platform::DebugLog("bmp2tiff", "unknown mode %d", mode);
        return 0;
    }
    outside::TiffEncoder encoder(static_cast<int>(paths.size()));
    for (const auto& path : paths) {
        auto bmp = outside::LoadBmp(path, "bmp2tiff");
        if (!bmp || !encoder.AddPage(bmp->view)) return 0;
    }
    auto tiff = encoder.Finish();
    if (!tiff) return 0;
    return platform::WriteFileReplacing(target, *tiff) ? 1 : 0;
} catch (...) {
    // An allocation failure must not cross into the caller.
    return 0;
}
