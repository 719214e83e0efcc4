#include "pipeline/autocapture/page_watch_worker.h"

#include <chrono>
#include <opencv2/imgproc.hpp>

#include "outside/kvoasize/page_detector.h"

namespace pipeline {

PageWatchWorker::PageWatchWorker(std::function<void(const WatchReport&)> report, PageWatchSettings settings)
    : report_(std::move(report)), watch_(settings), thread_([this] { Run(); }) {}

PageWatchWorker::~PageWatchWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void PageWatchWorker::SetActive(bool active) { active_.store(active); }

void PageWatchWorker::Submit(std::shared_ptr<const platform::PreviewFrame> frame) {
    if (!frame || frame->width <= 0 || frame->height <= 0 || !active_.load()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (waiting_) ++dropped_;
        waiting_ = std::move(frame);
    }
    wake_.notify_one();
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

void PageWatchWorker::Run() {
    for (;;) {
        std::shared_ptr<const platform::PreviewFrame> frame;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || waiting_; });
            if (stopping_) return;
            frame = std::move(waiting_);
        }
        const cv::Mat bgrx(frame->height, frame->width, CV_8UC4, const_cast<uint8_t*>(frame->pixels.data()),
                           static_cast<size_t>(frame->stride));
        const double scale = std::min(1.0, static_cast<double>(kWorkingWidth) / frame->width);
        cv::Mat small, bgr, grey;
        if (scale < 1.0)
            cv::resize(bgrx, small, cv::Size(), scale, scale, cv::INTER_AREA);
        else
            small = bgrx;
        cv::cvtColor(small, bgr, cv::COLOR_BGRA2BGR);
        cv::cvtColor(small, grey, cv::COLOR_BGRA2GRAY);

        WatchReport report;
        report.sequence = frame->sequence;
        report.frame_width = frame->width;
        report.frame_height = frame->height;
        std::optional<PageOutline> working;
        if (std::optional<outside::Quad> quad = outside::DetectPage(bgr);
            quad && quad->confidence >= outside::kPageConfidenceNeeded) {
            PageOutline outline, full;
            for (int i = 0; i < 4; ++i) {
                outline[i] = {quad->corners[i].x, quad->corners[i].y};
                full[i] = {quad->corners[i].x / scale, quad->corners[i].y / scale};
            }
            working = outline;
            report.outline = full;
        }
        const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
        {
            std::lock_guard<std::mutex> lock(watch_mutex_);
            report.state = watch_.Observe(
                GreyFrame{grey.data, grey.cols, grey.rows, static_cast<int>(grey.step)}, working, now_ms);
            report.taken = taken_;
        }
        ++examined_;
        report_(report);
    }
}

}  // namespace pipeline
