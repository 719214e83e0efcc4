#include "pipeline/capture/detection.h"

#include <algorithm>
#include <chrono>
#include <opencv2/imgproc.hpp>
#include <string_view>
#include <vector>

#include "outside/common/dib_mat.h"
#include "outside/common/edge_refine.h"
#include "outside/fasize/fasize.h"
#include "outside/kvoasize/kvoasize.h"
#include "outside/kvoasize/page_detector.h"
#include "pipeline/autocapture/page_watch_worker.h"
#include "pipeline/capture/capture_file.h"
#include "pipeline/capture/capture_rules.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/private_temp.h"

namespace pipeline {
namespace {

// The smallest page the detector finds takes this share of the picture.
constexpr double kLeastPageShare = 0.01;

}  // namespace

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

    return PlaceOnPage(path, scale_mode, capture_width);
}

DetectOutcome PlaceOnPage(const std::string& path, int scale_mode, int capture_width) {
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

OutlinedPage CutOutlinedPage(const std::string& path, const platform::PreviewFrame& frame,
                             const PageOutline& outline, int32_t pixels_per_metre) try {
    outside::Quad page;
    std::vector<cv::Point2f> contour;
    for (size_t i = 0; i < 4; ++i) {
        page.corners[i] = cv::Point2d(outline[i].x, outline[i].y);
        contour.emplace_back(static_cast<float>(outline[i].x), static_cast<float>(outline[i].y));
    }
    // Only a page's outline within the frame is cut along; anything else is left to the full search.
    const cv::Rect2d inside(-1, -1, frame.width + 2, frame.height + 2);
    if (!std::all_of(page.corners.begin(), page.corners.end(),
                     [&](cv::Point2d p) { return inside.contains(p); }) ||
        !cv::isContourConvex(contour) ||
        outside::QuadArea(page) < kLeastPageShare * frame.width * frame.height) {
        platform::DebugLog("capture", "the outline handed over is no page's outline in the frame");
        return {};
    }
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) {
        return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
    };
    const auto start = Clock::now();
    const cv::Mat bgrx(frame.height, frame.width, CV_8UC4, const_cast<uint8_t*>(frame.pixels.data()),
                       static_cast<size_t>(frame.stride));
    cv::Mat bgr;
    cv::cvtColor(bgrx, bgr, cv::COLOR_BGRA2BGR);
    // The outline's sides lie within a pixel or two of the copy it was found on; the edges are sought
    // that far around them on the full picture, and nowhere else.
    const double copy_pixel =
        std::max(1.0, static_cast<double>(frame.width) / PageWatchWorker::kWorkingWidth);
    page = outside::RefineEdges(bgr, page, 2 * copy_pixel);
    const auto refitted = Clock::now();
    page = outside::TurnPageUpright(bgr, page);
    const auto turned = Clock::now();
    // Cut just inside the outline, as the detector cuts a page it found itself.
    const cv::Mat cut = outside::StraightenQuad(bgr, page, outside::kCropInset);
    std::optional<std::string> bmp;
    if (!cut.empty()) bmp = outside::EncodeBgrAsBmp(cut, pixels_per_metre, pixels_per_metre);
    if (!bmp) {
        platform::DebugLog("capture", "no page could be cut along the outline of %dx%d", frame.width,
                           frame.height);
        return {};
    }
    const std::string_view parts[] = {*bmp};
    OutlinedPage result;
    result.cut = true;
    result.written = platform::WritePrivateFile(path, parts);
    platform::DebugLog("capture",
                       "page cut along the live outline: %dx%d, turned %.2f degrees (ms: refit %lld, reading "
                       "direction %lld, cut and written %lld)",
                       cut.cols, cut.rows, outside::QuadAngleDegrees(page), ms(refitted - start),
                       ms(turned - refitted), ms(Clock::now() - turned));
    return result;
} catch (const std::exception& error) {
    platform::DebugLog("capture", "cutting the page along its outline failed: %s", error.what());
    return {};
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
