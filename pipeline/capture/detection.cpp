#include "pipeline/capture/detection.h"

#include "outside/fasize/fasize.h"
#include "outside/kvoasize/kvoasize.h"
#include "pipeline/capture/capture_file.h"
#include "pipeline/capture/capture_rules.h"
#include "platform/debuglog/debuglog.h"

namespace pipeline {

DetectOutcome DetectDocument(const std::string& path, int scale_mode, int capture_width) {
    KVOASIZE_HANDLE handle = kvoASize_Init(1);
    if (handle != nullptr) {
        kvoASize_SetOrientation(handle, 0);
        int status = 1;
        KVOASIZE_JOB job = kvoASize_StartA(handle, 4, path.c_str(), 0, 0, &status);
        if (status == 0 && job != nullptr)
            kvoASize_SaveImageA(handle, 4, job, path.c_str(), 0);
        else
            platform::DebugLog("capture", "no document found in %s (status %d)", path.c_str(), status);
        kvoASize_End(job);
    }
    kvoASize_Clear(handle);

    if (scale_mode == 0) return DetectOutcome::Done;
    const std::optional<PageShape> shape = PageShapeFor(capture_width);
    if (!shape) return DetectOutcome::Done;  // no page shape for this width: the picture stays as detected
    switch (ReshapeToPage(path, *shape)) {
        case ReshapeResult::Unreadable:
            platform::DebugLog("capture", "cannot reopen %s to place it on a page", path.c_str());
            return DetectOutcome::Unreadable;
        case ReshapeResult::Skipped:
            platform::DebugLog("capture", "%s is not a 24-bit picture; it is not placed on a page",
                               path.c_str());
            return DetectOutcome::Done;
        case ReshapeResult::Done:
            return DetectOutcome::Done;
    }
    return DetectOutcome::Done;
}

void DetectCards(const std::string& path) {
    KVOFASIZE_HANDLE handle = kvoFASize_Init(100, 1);
    if (handle != nullptr) {
        kvoFASize_SetOrientation(handle, 0);
        int status = 1;
        KVOFASIZE_JOB job = kvoFASize_StartA(handle, path.c_str(), 0, &status);
        if (status == 0 && job != nullptr)
            kvoFASize_SaveImageA(handle, job, path.c_str(), 0);
        else
            platform::DebugLog("capture", "no card found in %s (status %d)", path.c_str(), status);
        kvoFASize_End(job);
    }
    kvoFASize_Clear(handle);
}

}  // namespace pipeline
