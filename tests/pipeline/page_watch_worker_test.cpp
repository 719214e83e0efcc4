// The live outline's thread fed from a stand-in streaming thread with frames of the virtual camera's page.
#include "pipeline/autocapture/page_watch_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <thread>
#include <vector>

#include "tests/support/preview_frames.h"
#include "virtualcam/scenes/page_stack.h"

namespace {

using pipeline::PageWatchWorker;
using pipeline::WatchReport;
using pipeline::WatchState;

std::shared_ptr<const platform::PreviewFrame> Frame(const cv::Mat& bgr, uint64_t sequence) {
    return test_support::PreviewFrameOf(bgr, sequence);
}

struct Reports {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<WatchReport> seen;

    void Add(const WatchReport& report) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back(report);
        changed.notify_all();
    }
    template <typename Condition>
    bool WaitFor(Condition condition) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] { return condition(seen); });
    }
};

TEST(PageWatchWorker, OutlinesThePageInPreviewPixelsAndDecidesToTake) {
    cv::setNumThreads(
        0);  // OpenCV's own pool is not instrumented for the thread checker: only our threads run
    Reports reports;
    PageWatchWorker worker([&](const WatchReport& report) { reports.Add(report); }, {300});
    const virtualcam::Scene scene = virtualcam::RenderStackScene(3, cv::Size(640, 480));

    // Off: frames are let go unseen.
    worker.Submit(Frame(scene.picture, 1));
    worker.SetActive(true);

    // The stand-in streaming thread hands in frames at its own pace until the page is to be taken.
    std::atomic<bool> streaming{true};
    std::thread stream([&] {
        for (uint64_t sequence = 2; streaming.load(); ++sequence) {
            worker.Submit(Frame(scene.picture, sequence));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const bool decided = reports.WaitFor([](const std::vector<WatchReport>& seen) {
        return !seen.empty() && seen.back().state == WatchState::CaptureNow;
    });
    streaming = false;
    stream.join();
    ASSERT_TRUE(decided);

    std::lock_guard<std::mutex> lock(reports.mutex);
    EXPECT_GT(reports.seen.front().sequence, 1u);
    const WatchReport& last = reports.seen.back();
    EXPECT_EQ(last.frame_width, 640);
    ASSERT_TRUE(last.outline);
    for (int i = 0; i < 4; ++i) {
        // Whichever corner the detector calls first, each one lies at one of the page's corners.
        double nearest = 1e9;
        for (const cv::Point2d& truth : scene.corners[0])
            nearest =
                std::min(nearest, std::hypot((*last.outline)[i].x - truth.x, (*last.outline)[i].y - truth.y));
        EXPECT_LT(nearest, 640 * 0.02) << i;
    }
}

}  // namespace
