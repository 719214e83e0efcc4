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

TEST(PageWatchWorker, KeepsTheFrameDecidedOnAndRunsTheDetectorOnlyWhenThePictureChanges) {
    cv::setNumThreads(0);
    Reports reports;
    PageWatchWorker worker([&](const WatchReport& report) { reports.Add(report); }, {200});
    worker.SetActive(true);
    // The page under sensor noise of a few grey levels, a different noise in every frame.
    const cv::Mat page = virtualcam::RenderStackScene(3, cv::Size(640, 480)).picture;
    std::vector<cv::Mat> noisy(4);
    cv::RNG rng(7);
    for (cv::Mat& frame : noisy) {
        cv::Mat noise(page.size(), CV_16SC3);
        rng.fill(noise, cv::RNG::UNIFORM, -3, 4);
        page.convertTo(frame, CV_16SC3);
        frame += noise;
        frame.convertTo(frame, CV_8UC3);
    }
    std::atomic<bool> streaming{true};
    std::atomic<bool> other_page{false};
    std::thread stream([&] {
        const cv::Mat other = virtualcam::RenderStackScene(4, cv::Size(640, 480)).picture;
        for (uint64_t sequence = 1; streaming.load(); ++sequence) {
            worker.Submit(Frame(other_page.load() ? other : noisy[sequence % noisy.size()], sequence));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    ASSERT_TRUE(reports.WaitFor([](const std::vector<WatchReport>& seen) {
        return !seen.empty() && seen.back().state == WatchState::CaptureNow;
    }));
    {
        std::lock_guard<std::mutex> lock(reports.mutex);
        const WatchReport& decided = reports.seen.back();
        ASSERT_TRUE(decided.frame);
        EXPECT_EQ(decided.frame->sequence, decided.sequence);
        EXPECT_EQ(decided.frame->width, 640);
        for (const WatchReport& report : reports.seen) {
            if (report.state != WatchState::CaptureNow) {
                EXPECT_FALSE(report.frame);
            }
        }
        EXPECT_GT(reports.seen.size(), 2u);
    }
    EXPECT_EQ(worker.Detected(), 1u);  // the noise never looked like a change

    // Another page: the detector runs once on it, then its outline is kept again.
    size_t before = 0;
    {
        std::lock_guard<std::mutex> lock(reports.mutex);
        before = reports.seen.size();
    }
    other_page = true;
    ASSERT_TRUE(
        reports.WaitFor([&](const std::vector<WatchReport>& seen) { return seen.size() > before + 6; }));
    streaming = false;
    stream.join();
    EXPECT_EQ(worker.Detected(), 2u);
}

}  // namespace
