#include "pipeline/autocapture/page_watch_worker.h"

#include <chrono>
#include <opencv2/imgproc.hpp>

#include "outside/common/text_orientation.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/debuglog/debuglog.h"

namespace pipeline {
namespace {

// A working-size pixel that moved by more than this many grey levels has changed; sensor noise, averaged
// by the downscale, stays far below it.
constexpr double kChangedLevel = 12;
// A picture with fewer changed pixels than this share is the one the detector saw.
constexpr double kChangedShare = 0.001;

const char* const kStateNames[] = {"no page", "the page taken", "hold still", "capture now"};

}  // namespace

struct PageWatchWorker::Pictures {
    cv::Mat small, grey, bgr, changed;
    cv::Mat detected_grey;  // empty until the detector has run
    std::optional<PageOutline> detected_outline;
};

PageWatchWorker::PageWatchWorker(std::function<void(const WatchReport&)> report, PageWatchSettings settings)
    : report_(std::move(report)),
      pictures_(std::make_unique<Pictures>()),
      watch_(settings),
      thread_([this] { Run(); }) {}

PageWatchWorker::~PageWatchWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void PageWatchWorker::SetActive(bool active) {
    if (active_.exchange(active) || !active) return;
    // Switched on again: what lay there while it was off is unknown.
    std::lock_guard<std::mutex> lock(watch_mutex_);
    watch_.Unwatched();
}

void PageWatchWorker::Submit(std::shared_ptr<const platform::PreviewFrame> frame) {
    if (!frame || frame->width <= 0 || frame->height <= 0 || !active_.load()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_) ++dropped_;
        waiting_ = std::move(frame);
    }
    wake_.notify_one();
}

void PageWatchWorker::Taken(const PageThumbnail& page) {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    watch_.Taken(page);
    ++taken_;
}

void PageWatchWorker::Taken() {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    watch_.Taken();
    ++taken_;
}

void PageWatchWorker::Forget() {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    watch_.Forget();
}

void PageWatchWorker::SetStillMs(int still_ms) {
    std::lock_guard<std::mutex> lock(watch_mutex_);
    watch_.SetStillMs(still_ms);
}

std::optional<PageOutline> PageWatchWorker::Outline(Pictures& p) {
    if (p.detected_grey.size() == p.grey.size()) {
        cv::absdiff(p.grey, p.detected_grey, p.changed);
        cv::threshold(p.changed, p.changed, kChangedLevel, 255, cv::THRESH_BINARY);
        if (cv::countNonZero(p.changed) < kChangedShare * static_cast<double>(p.grey.total()))
            return p.detected_outline;
    }
    cv::cvtColor(p.small, p.bgr, cv::COLOR_BGRA2BGR);
    p.detected_outline.reset();
    if (std::optional<outside::Quad> quad = outside::FindPageOutline(p.bgr);
        quad && quad->confidence >= outside::kPageConfidenceNeeded) {
        PageOutline outline;
        for (int i = 0; i < 4; ++i) outline[i] = {quad->corners[i].x, quad->corners[i].y};
        p.detected_outline = outline;
    }
    p.grey.copyTo(p.detected_grey);
    ++detected_;
    return p.detected_outline;
}

void PageWatchWorker::Run() {
    using Clock = std::chrono::steady_clock;
    const auto least_gap = std::chrono::microseconds(1000000 / kMaxFramesPerSecond);
    std::optional<Clock::time_point> last_start;
    bool model_ready = false;
    for (;;) {
        std::shared_ptr<const platform::PreviewFrame> frame;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Frames coming faster than the rate examined wait here, the newest replacing the others.
            if (last_start) wake_.wait_until(lock, *last_start + least_gap, [this] { return stopping_; });
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_) return;
            frame = std::move(waiting_);
        }
        if (!model_ready) {
            // A page watched may be captured soon: its reading direction should not wait for the model.
            outside::OrientationModel::Shared().Prepare();
            model_ready = true;
        }
        last_start = Clock::now();
        Pictures& p = *pictures_;
        const cv::Mat bgrx(frame->height, frame->width, CV_8UC4, const_cast<uint8_t*>(frame->pixels.data()),
                           static_cast<size_t>(frame->stride));
        const double scale = std::min(1.0, static_cast<double>(kWorkingWidth) / frame->width);
        if (scale < 1.0)
            cv::resize(bgrx, p.small, cv::Size(), scale, scale, cv::INTER_AREA);
        else
            bgrx.copyTo(p.small);
        cv::cvtColor(p.small, p.grey, cv::COLOR_BGRA2GRAY);

        WatchReport report;
        report.sequence = frame->sequence;
        report.frame_width = frame->width;
        report.frame_height = frame->height;
        const uint64_t detected = detected_.load();
        const std::optional<PageOutline> working = Outline(p);
        if (working) {
            PageOutline full;
            for (int i = 0; i < 4; ++i) full[i] = {(*working)[i].x / scale, (*working)[i].y / scale};
            report.outline = full;
        }
        const int64_t now_ms =
            frame->time_ms >= 0
                ? frame->time_ms
                : std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
                      .count();
        {
            std::lock_guard<std::mutex> lock(watch_mutex_);
            report.state = watch_.Observe(
                GreyFrame{p.grey.data, p.grey.cols, p.grey.rows, static_cast<int>(p.grey.step)}, working,
                now_ms);
            report.taken = taken_;
            if (report.state == WatchState::CaptureNow) report.page = watch_.Current();
        }
        platform::DebugLog(
            "handsfree", "frame %llu of camera time %lld ms: %s%s",
            static_cast<unsigned long long>(frame->sequence), static_cast<long long>(frame->time_ms),
            kStateNames[static_cast<int>(report.state)], detected_ != detected ? "" : " (unchanged)");
        if (report.state == WatchState::CaptureNow) report.frame = std::move(frame);
        ++examined_;
        report_(report);
    }
}

}  // namespace pipeline
