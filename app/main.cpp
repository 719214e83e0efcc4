// Vellumo: capture program for USB document cameras.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/application/vellumo_app.h"

#if defined(__SANITIZE_THREAD__)
#include <opencv2/core/utility.hpp>
#endif

namespace {

constexpr const char* kUsage =
    "Usage: Vellumo [--virtual-camera] [toolkit options]\n"
    "       Vellumo --help | --version\n"
    "\n"
    "Shows the document camera's live picture and captures pictures, PDF documents, recognised text and\n"
    "business cards from it. A second start brings the running window to the front.\n"
    "\n"
    "  --virtual-camera  use the built-in virtual camera (also: VELLUMO_VIRTUALCAM=1)\n"
    "  --help            show this text and end\n"
    "  --version         show the version and end\n"
    "\n"
    "Pictures taken elsewhere, and captures from scripts: vellumo-capture --help\n";

}  // namespace

int main(int argc, char** argv) {
    // Our own options are read before the toolkit sees the rest; they must not reach it.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vellumo %s\n", VELLUMO_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--virtual-camera") == 0) {
            ::setenv("VELLUMO_VIRTUALCAM", "1", 1);
            continue;
        }
        argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    argc = kept;

#if defined(__SANITIZE_THREAD__)
    // OpenCV's thread pool (TBB) is not built for the thread sanitizer, which sees its workers read our
    // pictures without the order the pool keeps; under the sanitizer its loops run on the thread that
    // calls them, so that every thread of ours stays checked and nothing of theirs is reported.
    cv::setNumThreads(0);
    // Mat::zeros, ones and eye share one operation object OpenCV makes on first use behind its own
    // (uninstrumented) lock; made here, before any thread of ours starts, two threads' first uses are not
    // reported as a race on it.
    cv::Mat made_once = cv::Mat::zeros(1, 1, CV_8UC1);
#endif
    if (!theApp.InitInstance(argc, argv)) {
        theApp.ExitInstance();
        return 0;
    }
    int code = theApp.Run();
    theApp.ExitInstance();
    return code;
}
