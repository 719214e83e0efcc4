// The live outline on a real photograph as the preview delivers it: the virtual camera shows the photo,
// the GStreamer preview converts its YUY2 frames, and the page watch worker looks for the page in them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <opencv2/core/utility.hpp>

#include "media/gst_capture_graph.h"
#include "pipeline/autocapture/page_watch_worker.h"
#include "virtualcam/scenes/photo_files.h"
#include "virtualcam/virtual_camera.h"

namespace {

using namespace platform;

// The view's place: every preview frame goes to the worker, as the window hands them on.
class WorkerSurface : public VideoSurface {
  public:
    explicit WorkerSurface(pipeline::PageWatchWorker& worker) : worker_(worker) {}
    void Present(std::shared_ptr<const PreviewFrame> frame) override { worker_.Submit(std::move(frame)); }
    void SetGeometry(int, int, int, int) override {}
    void SetVisible(bool) override {}

  private:
    pipeline::PageWatchWorker& worker_;
};

// A white page on a white desk shows only by its bluish tone against the desk's warmer white, a few levels
// of colour that the preview's conversion must keep.
TEST(LiveOutlinePreview, FindsAWhitePageOnAWhiteDesk) {
    cv::setNumThreads(0);  // OpenCV's own pool is not instrumented for the thread checker
    const std::string folder = VELLUMO_SOURCE_DIR "/tests/data/photos";
    const std::string name = "tony_a4_on_white_background.jpg";
    auto cases = virtualcam::ReadPhotoManifest(folder);
    ASSERT_TRUE(cases);
    auto photo_case =
        std::find_if(cases->begin(), cases->end(), [&](const auto& c) { return c.file == name; });
    ASSERT_NE(photo_case, cases->end());
    ASSERT_EQ(photo_case->sheets.size(), 1u);
    const cv::Mat photo = virtualcam::ReadPicture(folder + "/" + name);
    ASSERT_FALSE(photo.empty());
    const virtualcam::FramedPhoto framed = virtualcam::FitIntoFrame(photo, cv::Size(640, 480));

    virtualcam::VirtualCameraConfig config;
    config.scene = virtualcam::ParseSceneChoice("file:" + folder + "/" + name);
    virtualcam::VirtualCamera camera(config);
    camera.Install();

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<pipeline::WatchReport> found;
    int examined = 0;
    pipeline::PageWatchWorker worker(
        [&](const pipeline::WatchReport& report) {
            std::lock_guard<std::mutex> lock(mutex);
            ++examined;
            if (report.outline && !found) found = report;
            changed.notify_all();
        },
        {800});
    worker.SetActive(true);
    WorkerSurface surface(worker);
    {
        GstMediaFactory factory(false);
        std::unique_ptr<CaptureFilter> video;
        for (const MediaDeviceInfo& info : factory.ListDevices(DeviceCategory::VideoInput))
            if (info.device_path == camera.DevicePath())
                video = factory.Bind(DeviceCategory::VideoInput, info);
        ASSERT_TRUE(video);
        ASSERT_TRUE(video->QueryStreamConfig()->SetFormat(VideoFormat{kFourccYuy2, 640, 480, 16, 1, 30}));
        std::unique_ptr<FilterGraph> graph = factory.CreateGraph();
        ASSERT_EQ(graph->AddFilter(video.get(), "camera"), S_OK);
        const int32_t rendered = graph->RenderPreview(video.get(), nullptr);
        ASSERT_TRUE(rendered == S_OK || rendered == VFW_S_NOPREVIEWPIN);
        graph->QueryVideoWindow()->SetOwner(&surface);
        ASSERT_EQ(graph->Run(), S_OK);
        {
            // The same picture over and over: some frames examined without a page are enough to say none.
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(60), [&] { return found || examined >= 10; });
        }
        graph->Stop();
        graph->QueryVideoWindow()->SetOwner(nullptr);
        video.reset();
    }
    camera.Uninstall();

    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_TRUE(found) << "no page in " << examined << " frames";
    for (int i = 0; i < 4; ++i) {
        double nearest = 1e9;
        for (const cv::Point2d& corner : photo_case->sheets[0]) {
            const cv::Point2d truth = framed.offset + framed.scale * corner;
            nearest = std::min(
                nearest, std::hypot((*found->outline)[i].x - truth.x, (*found->outline)[i].y - truth.y));
        }
        EXPECT_LT(nearest, 640 * 0.02) << i;
    }
}

}  // namespace
