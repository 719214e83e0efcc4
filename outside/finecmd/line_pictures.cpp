#include "outside/finecmd/line_pictures.h"

#include <dlfcn.h>
#include <leptonica/allheaders.h>
#include <link.h>

#include <atomic>

namespace outside {

namespace {

using WriteToMemory = l_ok (*)(l_uint8**, size_t*, PIX*, l_int32);

// Leptonica's own pixWriteMem, and the code of Tesseract's ImageData::SetPixInternal, which keeps a
// picture Tesseract is about to recognise.
struct Places {
    WriteToMemory leptonicas = nullptr;
    const char* keeping_begin = nullptr;
    const char* keeping_end = nullptr;
};

const Places& Found() {
    static const Places places = [] {
        Places found;
        found.leptonicas = reinterpret_cast<WriteToMemory>(dlsym(RTLD_NEXT, "pixWriteMem"));
        void* keeping =
            dlsym(RTLD_DEFAULT, "_ZN9tesseract9ImageData14SetPixInternalENS_5ImageEPSt6vectorIcSaIcEE");
        Dl_info info{};
        void* entry = nullptr;  // the symbol's entry in its library's table
        if (keeping != nullptr && dladdr1(keeping, &info, &entry, RTLD_DL_SYMENT) != 0 && entry != nullptr &&
            static_cast<const ElfW(Sym)*>(entry)->st_size > 0) {
            found.keeping_begin = static_cast<const char*>(keeping);
            found.keeping_end = found.keeping_begin + static_cast<const ElfW(Sym)*>(entry)->st_size;
        }
        return found;
    }();
    return places;
}

std::atomic<bool> keep_plain{true};
std::atomic<size_t> kept_plain{0};

}  // namespace

bool LinePicturesKeptPlain() {
    const Places& places = Found();
    return places.leptonicas != nullptr && places.keeping_begin != nullptr;
}

size_t LinePicturesKeptPlainCount() { return kept_plain.load(); }

void KeepLinePicturesPlain(bool plain) { keep_plain = plain; }

}  // namespace outside

// Every call in the program to Leptonica's pixWriteMem comes here first (a program's own definition of a
// shared library's function stands for it), and goes on to Leptonica's; the format is changed only for
// the calls from Tesseract's keeping place.
extern "C" l_ok pixWriteMem(l_uint8** data, size_t* size, PIX* pix, l_int32 format) {
    const outside::Places& places = outside::Found();
    if (places.leptonicas == nullptr) return 1;
    const auto* caller = static_cast<const char*>(__builtin_return_address(0));
    if (format == IFF_PNG && caller >= places.keeping_begin && caller < places.keeping_end &&
        outside::keep_plain.load(std::memory_order_relaxed)) {
        format = IFF_PNM;
        ++outside::kept_plain;
    }
    return places.leptonicas(data, size, pix, format);
}
