#include "outside/kvoasize/kvoasize.h"

#include <memory>

#include "outside/common/bmp_source.h"
#include "outside/common/dib_mat.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

#define KVOASIZE_EXPORT __attribute__((visibility("default")))

namespace {

// The detector keeps no settings between calls yet; the handle marks a started detector.
struct Detector {};

// A found page, cut out already, waiting to be saved.
struct Job {
    cv::Mat page;
    int32_t x_pixels_per_meter = 0;
    int32_t y_pixels_per_meter = 0;
};

void SetStatus(int* status, int value) {
    if (status != nullptr) *status = value;
}

}  // namespace

extern "C" {

// Nothing may leave these functions as an exception (allocation or OpenCV failures become results).
KVOASIZE_EXPORT KVOASIZE_HANDLE kvoASize_Init(int /*mode*/) try {
    return std::make_unique<Detector>().release();
} catch (...) {
    return nullptr;
}

KVOASIZE_EXPORT void kvoASize_SetOrientation(KVOASIZE_HANDLE, int) {}

KVOASIZE_EXPORT KVOASIZE_JOB kvoASize_StartA(KVOASIZE_HANDLE handle, int /*kind*/, const char* path, int, int,
                                             int* status) try {
    if (handle == nullptr || path == nullptr) {
        SetStatus(status, kKvoASizeBadArgument);
        return nullptr;
    }
    auto bmp = outside::LoadBmp(path, "kvoasize");
    if (!bmp) {
        SetStatus(status, kKvoASizeBadPicture);
        return nullptr;
    }
    cv::Mat picture = outside::DibToBgr(bmp->view);
    auto page = outside::DetectPage(picture);
    if (!page) {
        platform::DebugLog("kvoasize", "no page in %s", path);
        SetStatus(status, kKvoASizeNotFound);
        return nullptr;
    }
    if (page->confidence < outside::kPageConfidenceNeeded) {
        platform::DebugLog("kvoasize", "page in %s too uncertain (confidence %.2f), picture kept", path,
                           page->confidence);
        SetStatus(status, kKvoASizeUnsure);
        return nullptr;
    }
    platform::DebugLog("kvoasize", "page in %s: turn %.2f degrees, confidence %.2f", path,
                       outside::QuadAngleDegrees(*page), page->confidence);
    auto job = std::make_unique<Job>();
    // Cut just inside the outline, so that no blended edge line of the desk stays along the sides.
    job->page = outside::StraightenQuad(picture, *page, outside::kCropInset);
    job->x_pixels_per_meter = bmp->view.x_pixels_per_meter;
    job->y_pixels_per_meter = bmp->view.y_pixels_per_meter;
    SetStatus(status, kKvoASizeOk);
    return job.release();
} catch (...) {
    platform::DebugLog("kvoasize", "detection failed on %s", path != nullptr ? path : "(null)");
    SetStatus(status, kKvoASizeBadPicture);
    return nullptr;
}

KVOASIZE_EXPORT void kvoASize_SaveImageA(KVOASIZE_HANDLE handle, int /*kind*/, KVOASIZE_JOB job,
                                         const char* path, int) try {
    if (handle == nullptr || job == nullptr || path == nullptr) return;
    const Job& found = *static_cast<const Job*>(job);
    auto bmp = outside::EncodeBgrAsBmp(found.page, found.x_pixels_per_meter, found.y_pixels_per_meter);
    if (!bmp || !platform::WriteFileReplacing(path, *bmp))
        platform::DebugLog("kvoasize", "cannot write the page to %s", path);
} catch (...) {
    platform::DebugLog("kvoasize", "cannot write the page to %s", path);
}

KVOASIZE_EXPORT void kvoASize_End(KVOASIZE_JOB job) { std::unique_ptr<Job> owned(static_cast<Job*>(job)); }

KVOASIZE_EXPORT void kvoASize_Clear(KVOASIZE_HANDLE handle) {
    std::unique_ptr<Detector> owned(static_cast<Detector*>(handle));
}

}  // extern "C"
