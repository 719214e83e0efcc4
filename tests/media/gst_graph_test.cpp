// The GStreamer capture graph over a provider's device: preview frames into a surface, frames grabbed
// on request with the grabber's layout, a format change, and a device pulled out and put back.

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "fake_uvc_node.h"
#include "media/device_changes.h"
#include "media/frame_layout.h"
#include "media/gst_capture_filters.h"
#include "media/gst_capture_graph.h"
#include "tests/support/recording_message_target.h"

namespace {

using namespace platform;
constexpr auto kBound = std::chrono::seconds(20);

// Top half red, bottom half black, in studio-range YUY2.
class TestCamera : public MediaDevice, public StreamConfig, public FrameSource {
  public:
    explicit TestCamera(MediaDeviceInfo info) : info_(std::move(info)) {}
    ~TestCamera() override {
        if (on_destroy) on_destroy();
    }
    const MediaDeviceInfo& Info() const override { return info_; }
    StreamConfig* QueryStreamConfig() override { return this; }
    FrameSource* QueryFrameSource() override { return this; }

    std::vector<VideoFormat> Capabilities() override { return {Format(640, 480), Format(318, 238)}; }
    bool SetFormat(const VideoFormat& format) override {
        for (const VideoFormat& offered : Capabilities()) {
            if (offered.width != format.width || offered.height != format.height) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            format_ = offered;
            return true;
        }
        return false;
    }
    std::optional<VideoFormat> GetFormat() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return format_;
    }
    bool RenderFrame(const FrameRoom& room) override {
        if (unplugged.load()) return false;
        const VideoFormat format = *GetFormat();
        uint8_t* const yuy2 = room(format);
        if (yuy2 == nullptr) return true;
        for (int y = 0; y < format.height; ++y) {
            uint8_t* row = yuy2 + size_t(y) * format.width * 2;
            bool red = y < format.height / 2;
            for (int x = 0; x < format.width; x += 2) {
                uint8_t luma = red ? 82 : 16;
                row[2 * x] = row[2 * x + 2] = luma;
                row[2 * x + 1] = red ? 90 : 128;
                row[2 * x + 3] = red ? 240 : 128;
                if (whites.load()) {
                    // White paper and a warm white desk: light grey with chroma a few levels either way.
                    row[2 * x] = static_cast<uint8_t>(150 + (x + y) % 60);
                    row[2 * x + 2] = static_cast<uint8_t>(row[2 * x] + 1);
                    row[2 * x + 1] = static_cast<uint8_t>(125 + (x / 2 + y) % 7);
                    row[2 * x + 3] = static_cast<uint8_t>(125 + (x / 2 + 3 * y) % 7);
                }
            }
        }
        return true;
    }

    static inline std::atomic<bool> unplugged{false};
    static inline std::atomic<bool> whites{false};
    static inline std::function<void()> on_destroy;  // GUI thread

  private:
    static VideoFormat Format(int width, int height) {
        return VideoFormat{kFourccYuy2, width, height, 16, 1, 30};
    }
    MediaDeviceInfo info_;
    std::mutex mutex_;
    std::optional<VideoFormat> format_ = Format(640, 480);
};

class TestMicrophone : public MediaDevice {
  public:
    explicit TestMicrophone(MediaDeviceInfo info) : info_(std::move(info)) {}
    const MediaDeviceInfo& Info() const override { return info_; }
    bool IsToneSource() const override { return true; }

  private:
    MediaDeviceInfo info_;
};

class TestProvider : public MediaDeviceProvider {
  public:
    MediaDeviceInfo info{"Test Camera", "\\\\?\\test#vid_1234&pid_5678#cam", "test-camera"};
    MediaDeviceInfo tone{"Test Microphone", "\\\\?\\test#tone", "test-tone"};
    std::vector<MediaDeviceInfo> List(DeviceCategory category) override {
        if (category == DeviceCategory::VideoInput) return {info};
        if (category == DeviceCategory::AudioInput) return {tone};
        return {};
    }
    std::unique_ptr<MediaDevice> Bind(DeviceCategory category, const MediaDeviceInfo& listed) override {
        if (category == DeviceCategory::AudioInput) return std::make_unique<TestMicrophone>(listed);
        return std::make_unique<TestCamera>(listed);
    }
};

// Waits with a generous bound for a condition on shared state.
class Shared {
  public:
    template <typename F>
    bool WaitFor(F condition) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kBound, condition);
    }
    void Notify() { changed.notify_all(); }
    std::mutex mutex;
    std::condition_variable changed;
};

class TestSurface : public VideoSurface, public Shared {
  public:
    void Present(std::shared_ptr<const PreviewFrame> frame) override {
        std::lock_guard<std::mutex> lock(mutex);
        latest = std::move(frame);
        ++presented;
        Notify();
    }
    void SetGeometry(int, int, int, int) override {}
    void SetVisible(bool) override {}
    std::shared_ptr<const PreviewFrame> latest;
    int presented = 0;
};

// One-shot request as the engine's callback has it: cleared before the frame is taken.
class TestGrabber : public FrameSink, public Shared {
  public:
    void Request() { requested.store(true); }
    bool WantsFrame() const override { return requested.load(); }
    void OnFrame(const GrabbedFrame& frame) override {
        bool was_requested = requested.exchange(false);
        std::lock_guard<std::mutex> lock(mutex);
        if (!was_requested) ++unrequested;
        frames.push_back({frame.bytes, frame.bytes + frame.length});
        width = frame.width;
        height = frame.height;
        Notify();
    }
    std::atomic<bool> requested{false};
    std::vector<std::vector<uint8_t>> frames;
    int width = 0, height = 0, unrequested = 0;
};

void ExpectGrabberLayout(const std::vector<uint8_t>& bytes, int width, int height) {
    const size_t row = Bgr24RowBytes(width);
    ASSERT_EQ(bytes.size(), row * size_t(height));
    // Bottom-up: the first row is the picture's black bottom, the last its red top.
    const uint8_t* first = bytes.data();
    const uint8_t* last = bytes.data() + row * size_t(height - 1);
    EXPECT_EQ(first[0] + first[1] + first[2], 0);
    EXPECT_LE(last[0], 2);
    EXPECT_LE(last[1], 2);
    EXPECT_EQ(last[2], 255);
    EXPECT_EQ(last[3 * (width - 1) + 2], 255);
    for (size_t pad = 3 * size_t(width); pad < row; ++pad) EXPECT_EQ(last[pad], 0);
}

class GstGraphTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TestCamera::unplugged.store(false);
        TestCamera::whites.store(false);
        RegisterDeviceProvider(&provider);
    }
    void TearDown() override {
        TestCamera::on_destroy = nullptr;
        UnregisterDeviceProvider(&provider);
    }

    std::unique_ptr<CaptureFilter> BindTestCamera() {
        for (const MediaDeviceInfo& info : factory.ListDevices(DeviceCategory::VideoInput)) {
            if (info.device_path == provider.info.device_path)
                return factory.Bind(DeviceCategory::VideoInput, info);
        }
        return nullptr;
    }

    // A graph previewing `camera` into the surface with the grabber in line, running; null (and the test
    // failed) when any step refuses.
    std::unique_ptr<FilterGraph> RunPreview(CaptureFilter* camera) {
        std::unique_ptr<FilterGraph> graph = factory.CreateGraph();
        EXPECT_EQ(graph->AddFilter(camera, "Test Camera"), S_OK);
        EXPECT_EQ(graph->RenderPreview(camera, &grabber), VFW_S_NOPREVIEWPIN);
        graph->QueryVideoWindow()->SetOwner(&surface);
        if (::testing::Test::HasFailure() || graph->Run() != S_OK) {
            ADD_FAILURE() << "the preview graph did not run";
            return nullptr;
        }
        return graph;
    }

    int WaitForMorePreview(int more) {
        int target = 0;
        {
            std::lock_guard<std::mutex> lock(surface.mutex);
            target = surface.presented + more;
        }
        surface.WaitFor([&] { return surface.presented >= target; });
        return target;
    }

    TestProvider provider;
    GstMediaFactory factory{false};
    TestSurface surface;
    TestGrabber grabber;
};

TEST_F(GstGraphTest, PreviewsGrabsOnRequestAndChangesFormat) {
    std::unique_ptr<CaptureFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    ASSERT_NE(camera->QueryStreamConfig(), nullptr);
    // The tone input sits in the graph unconnected and must not stop it from running.
    std::unique_ptr<CaptureFilter> microphone = factory.Bind(DeviceCategory::AudioInput, provider.tone);
    ASSERT_TRUE(microphone);
    std::unique_ptr<FilterGraph> graph = factory.CreateGraph();
    ASSERT_EQ(graph->AddFilter(camera.get(), "Test Camera"), S_OK);
    ASSERT_EQ(graph->AddFilter(microphone.get(), "Test Microphone"), S_OK);
    ASSERT_EQ(graph->RenderPreview(camera.get(), &grabber), VFW_S_NOPREVIEWPIN);
    EXPECT_TRUE(graph->GrabberConnected());
    graph->QueryVideoWindow()->SetOwner(&surface);
    ASSERT_EQ(graph->Run(), S_OK);

    int target = WaitForMorePreview(3);
    {
        std::lock_guard<std::mutex> lock(surface.mutex);
        ASSERT_GE(surface.presented, target);
        const PreviewFrame& frame = *surface.latest;
        EXPECT_EQ(frame.width, 640);
        EXPECT_EQ(frame.stride, 640 * 4);
        ASSERT_EQ(frame.pixels.size(), size_t(640 * 4 * 480));
        EXPECT_GT(frame.pixels[2], 240);                 // top-down: red at the top
        EXPECT_LT(frame.pixels[640 * 4 * 479 + 2], 16);  // black at the bottom
    }

    grabber.Request();
    grabber.Request();
    ASSERT_TRUE(grabber.WaitFor([&] { return !grabber.frames.empty(); }));
    WaitForMorePreview(5);
    {
        std::lock_guard<std::mutex> lock(grabber.mutex);
        EXPECT_EQ(grabber.frames.size(), 1u);
        EXPECT_EQ(grabber.unrequested, 0);
        EXPECT_EQ(grabber.width, 640);
        ExpectGrabberLayout(grabber.frames[0], 640, 480);
    }

    // A new format as the engine sets one: stopped, downstream removed, rebuilt; rows now need padding.
    EXPECT_EQ(graph->Stop(), S_OK);
    graph->RemoveDownstream();
    EXPECT_FALSE(graph->GrabberConnected());
    EXPECT_FALSE(camera->QueryStreamConfig()->SetFormat(VideoFormat{kFourccYuy2, 1024, 768}));
    ASSERT_TRUE(camera->QueryStreamConfig()->SetFormat(VideoFormat{kFourccYuy2, 318, 238}));
    ASSERT_EQ(graph->RenderPreview(camera.get(), &grabber), VFW_S_NOPREVIEWPIN);
    ASSERT_EQ(graph->Run(), S_OK);
    grabber.Request();
    ASSERT_TRUE(grabber.WaitFor([&] { return grabber.frames.size() == 2; }));
    {
        std::lock_guard<std::mutex> lock(grabber.mutex);
        EXPECT_EQ(grabber.width, 318);
        EXPECT_EQ(grabber.height, 238);
        ExpectGrabberLayout(grabber.frames[1], 318, 238);
    }
    WaitForMorePreview(1);
    {
        std::lock_guard<std::mutex> lock(surface.mutex);
        EXPECT_EQ(surface.latest->width, 318) << "the preview runs again after a stop";
    }
    graph->Stop();
    graph->QueryVideoWindow()->SetOwner(nullptr);
    GraphEvent event;
    EXPECT_FALSE(graph->QueryMediaEvents()->GetEvent(&event));
    // The engine releases its filters before the graph.
    camera.reset();
    microphone.reset();
}

// The live outline tells white paper from a white desk by colour differences of a few levels; the preview
// must carry them as the still does.
TEST_F(GstGraphTest, PreviewHasTheStillsColoursToTheLevel) {
    TestCamera::whites.store(true);
    std::unique_ptr<CaptureFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    std::unique_ptr<FilterGraph> graph = RunPreview(camera.get());
    ASSERT_TRUE(graph);
    grabber.Request();
    ASSERT_TRUE(grabber.WaitFor([&] { return !grabber.frames.empty(); }));
    WaitForMorePreview(2);
    {
        std::scoped_lock lock(surface.mutex, grabber.mutex);
        ASSERT_TRUE(surface.latest);
        const PreviewFrame& frame = *surface.latest;
        ASSERT_EQ(frame.width, grabber.width);
        ASSERT_EQ(frame.height, grabber.height);
        const size_t row = Bgr24RowBytes(frame.width);
        int differing = 0, largest = 0;
        for (int y = 0; y < frame.height; ++y) {
            const uint8_t* still = grabber.frames[0].data() + row * size_t(frame.height - 1 - y);
            const uint8_t* shown = frame.pixels.data() + size_t(frame.stride) * y;
            for (int x = 0; x < frame.width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int step = std::abs(shown[4 * x + c] - still[3 * x + c]);
                    differing += step != 0;
                    largest = std::max(largest, step);
                }
            }
        }
        EXPECT_EQ(differing, 0) << "largest difference " << largest;
    }
    graph->Stop();
    graph->QueryVideoWindow()->SetOwner(nullptr);
    camera.reset();
}

TEST_F(GstGraphTest, DeviceLostWhenUnpluggedAndBackWhenReturned) {
    std::unique_ptr<CaptureFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    std::unique_ptr<FilterGraph> graph = RunPreview(camera.get());
    ASSERT_TRUE(graph);
    RecordingMessageTarget frame_window;
    graph->QueryMediaEvents()->SetNotifyWindow(&frame_window, WM_GRAPHNOTIFY, 0);
    WaitForMorePreview(1);

    // The source stops giving frames; its provider saying so afterwards adds no second event.
    TestCamera::unplugged.store(true);
    auto events_posted = [&](size_t count) {  // polled, with a generous bound
        for (auto until = std::chrono::steady_clock::now() + kBound;
             std::chrono::steady_clock::now() < until;) {
            if (frame_window.Count(WM_GRAPHNOTIFY) >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    ASSERT_TRUE(events_posted(1));
    NotifyDeviceChange({provider.info.device_path, provider.info.node, false});
    GraphEvent event;
    ASSERT_TRUE(graph->QueryMediaEvents()->GetEvent(&event));
    EXPECT_EQ(event.code, EC_DEVICE_LOST);
    EXPECT_EQ(event.param2, 0);
    EXPECT_TRUE(graph->EventNamesFilter(event, camera.get()));

    TestCamera::unplugged.store(false);
    NotifyDeviceChange({provider.info.device_path, "test-camera-renamed", true});
    ASSERT_TRUE(events_posted(2));
    ASSERT_TRUE(graph->QueryMediaEvents()->GetEvent(&event));
    EXPECT_EQ(event.code, EC_DEVICE_LOST);
    EXPECT_EQ(event.param2, 1);
    EXPECT_FALSE(graph->QueryMediaEvents()->GetEvent(&event));
    EXPECT_EQ(frame_window.Count(WM_GRAPHNOTIFY), 2u);
    graph->Stop();
}

// The view is emptied once its camera is known gone; frames the stream still carries must not fill it again.
TEST_F(GstGraphTest, NoPreviewFrameReachesTheSurfaceOnceItsCameraIsKnownGone) {
    std::unique_ptr<CaptureFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    std::unique_ptr<FilterGraph> graph = RunPreview(camera.get());
    ASSERT_TRUE(graph);
    WaitForMorePreview(1);

    // Reported gone while this source goes on drawing, as a driver's queued buffers still come.
    NotifyDeviceChange({provider.info.device_path, provider.info.node, false});
    int shown = 0;
    {
        std::lock_guard<std::mutex> lock(surface.mutex);
        shown = surface.presented;
    }
    for (size_t grabbed = 1; grabbed <= 3; ++grabbed) {
        grabber.Request();
        ASSERT_TRUE(grabber.WaitFor([&] { return grabber.frames.size() == grabbed; }));
    }
    {
        std::lock_guard<std::mutex> lock(surface.mutex);
        EXPECT_EQ(surface.presented, shown);
    }
    graph->Stop();
    graph->QueryVideoWindow()->SetOwner(nullptr);
}

// A filter released while its graph streams stops its source before its own device goes: the streaming
// thread asks that device for frames.
TEST_F(GstGraphTest, FilterReleasedWhileStreamingStopsItsSourceBeforeItsDeviceGoes) {
    std::unique_ptr<CaptureFilter> camera = BindTestCamera();
    ASSERT_TRUE(camera);
    std::unique_ptr<FilterGraph> graph = RunPreview(camera.get());
    ASSERT_TRUE(graph);
    WaitForMorePreview(2);

    GstElementPtr bin(GST_ELEMENT(gst_object_ref(dynamic_cast<GstCaptureFilter&>(*camera).Bin())));
    bool checked = false, in_graph = true;
    GstState state = GST_STATE_PLAYING;
    TestCamera::on_destroy = [&] {
        checked = true;
        in_graph = GST_OBJECT_PARENT(bin.get()) != nullptr;
        state = GST_STATE(bin.get());
    };
    camera.reset();
    ASSERT_TRUE(checked);
    EXPECT_FALSE(in_graph);
    EXPECT_EQ(state, GST_STATE_NULL);
    graph->Stop();
    graph->QueryVideoWindow()->SetOwner(nullptr);
}

// Lets the test keep the fake node that the filter owns a handle to.
class ForwardingIo : public V4l2Io {
  public:
    explicit ForwardingIo(FakeUvcNode& node) : node_(node) {}
    int Ioctl(unsigned long request, void* arg) override { return node_.Ioctl(request, arg); }

  private:
    FakeUvcNode& node_;
};

std::string CapsOfSource(GstCaptureFilter& filter) {
    std::string text;
    GstIterator* it = gst_bin_iterate_elements(GST_BIN(filter.Bin()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (std::string(GST_OBJECT_NAME(gst_element_get_factory(element))) == "capsfilter") {
            GstCaps* caps = nullptr;
            g_object_get(element, "caps", &caps, nullptr);
            text = GCharPtr(gst_caps_to_string(caps)).get();
            gst_caps_unref(caps);
        }
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return text;
}

TEST(GstV4l2Filter, StreamsTheNodesYuy2FormatWithExactCaps) {
    EnsureGstInitialised();
    FakeUvcNode node = FakeUvcNode::DocumentCamera();
    std::unique_ptr<GstCaptureFilter> filter =
        MakeV4l2Filter({"Camera", "\\\\?\\usb#vid_1234&pid_5678", "/nonexistent/video9"},
                       std::make_unique<ForwardingIo>(node));
    ASSERT_TRUE(filter);
    StreamConfig* config = filter->QueryStreamConfig();
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->Capabilities().size(), 3u);
    // Starts at what the node streams now, with the frame rate given, so v4l2src cannot pick another.
    EXPECT_EQ(CapsOfSource(*filter),
              "video/x-raw, format=(string)YUY2, width=(int)2048, height=(int)1536, framerate=(fraction)4/1");
    EXPECT_FALSE(config->SetFormat(VideoFormat{kFourccYuy2, 1280, 720}));
    EXPECT_EQ(config->GetFormat()->width, 2048);
    ASSERT_TRUE(config->SetFormat(VideoFormat{kFourccYuy2, 640, 480}));
    EXPECT_EQ(CapsOfSource(*filter),
              "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, framerate=(fraction)30/1");

    ASSERT_EQ(filter->QueryVideoProcAmp()->Set(VideoProcProperty::Contrast, 40, kControlFlagsManual), S_OK);
    // Past the top of the shipped camera's 0..31: the top of this driver's 0..95.
    EXPECT_EQ(node.writes.back(), (std::pair<uint32_t, int32_t>{kV4l2CidContrast, 95}));
    GError* error =
        g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Could not read from resource.");
    EXPECT_TRUE(filter->LostOnError(error));  // its node is gone
    g_error_free(error);
}

TEST(GstElements, EveryElementTheGraphUsesIsInstalled) {
    GstMediaFactory factory(false);
    for (const char* name : UsedElementFactories()) {
        GstElementFactory* element = gst_element_factory_find(name);
        EXPECT_NE(element, nullptr) << name;
        if (element != nullptr) gst_object_unref(element);
    }
}

}  // namespace
