// The capture engine over a fake media factory: discovery, binding, the rebuild order and the grabber.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capture/capture_engine.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "fake_media.h"

namespace {

using Lines = std::vector<std::string>;

platform::MediaDeviceInfo Device(std::string name, std::string path) {
    return {std::move(name), std::move(path), "n"};
}

struct Engine : ::testing::Test {
    CCaptureRecord record;
    fake::Factory* media = nullptr;
    fake::View view;
    void SetUp() override {
        record.m_engine.m_pCaptureView = &view;
        auto factory = std::make_unique<fake::Factory>();
        media = factory.get();
        record.m_engine.m_pMediaFactory = std::move(factory);
        record.m_bStreamB = 0;
    }
};

TEST_F(Engine, DiscoveryMatchesTheIdentityTextCaseBlindAnywhereInThePath) {
    media->videos = {Device("webcam", "\\\\?\\usb#vid_046d&pid_0825#1"), Device("nameless", ""),
                     Device("doc camera", "\\\\?\\usb#vid_eb1a&pid_299f&mi_00#7&2")};
    media->audios = {Device("mic", "a")};
    record.m_szPidVid = "vid_EB1A&Pid_299f";
    EXPECT_EQ(record.m_engine.FindCameraDevice(), 1);
    EXPECT_EQ(record.m_bDevicePresent, 1);
    EXPECT_EQ(record.m_engine.m_nCameraFound, 1);
    EXPECT_EQ(record.m_engine.m_cameraMoniker->friendly_name, "doc camera");
    EXPECT_EQ(record.m_szPidVid, "VID_EB1A&PID_299F");

    // An empty text takes the first device; a device without a path is never taken.
    record.m_szPidVid.clear();
    media->videos.erase(media->videos.begin());
    record.m_engine.FindCameraDevice();
    EXPECT_EQ(record.m_engine.m_cameraMoniker->friendly_name, "doc camera");

    // No match and no device at all: absent, and binding does nothing.
    record.m_szPidVid = "VID_FFFF";
    record.m_engine.FindCameraDevice();
    EXPECT_EQ(record.m_bDevicePresent, 0);
    EXPECT_EQ(record.m_engine.m_nCameraFound, 0);
    media->videos.clear();
    media->audios.clear();
    EXPECT_EQ(record.m_engine.FindCameraDevice(), 0);
    record.m_engine.BindCameraDevices();
    EXPECT_EQ(media->binds, 0);
    EXPECT_FALSE(record.m_engine.m_pVideoCapture);
}

TEST_F(Engine, AudioSlotsFollowThePositionAndAnUnreadableNameKeepsItsSlot) {
    media->videos = {Device("cam", "vid_1&pid_2")};
    record.m_engine.m_audioMonikers[1] = Device("older", "x");
    media->audios = {Device("first", "a0"), Device("", "a1"), Device("third", "a2")};
    EXPECT_EQ(record.m_engine.FindCameraDevice(), 1);
    EXPECT_EQ(record.m_engine.m_audioMonikers[0]->friendly_name, "first");
    EXPECT_EQ(record.m_engine.m_audioMonikers[1]->friendly_name, "older");
    EXPECT_EQ(record.m_engine.m_audioMonikers[2]->friendly_name, "third");
    EXPECT_FALSE(record.m_engine.m_audioMonikers[3]);

    // Without any audio input discovery says 0, but the camera still counts as present.
    media->audios.clear();
    EXPECT_EQ(record.m_engine.FindCameraDevice(), 0);
    EXPECT_EQ(record.m_bDevicePresent, 1);
}

TEST_F(Engine, BindingBuildsThePreviewOnceAndAgainWithTheSameDevicesChangesNothing) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    media->audios = {Device("mic", "a")};
    record.m_bStreamB = 1;
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    EXPECT_EQ(media->log.lines, (Lines{"add doc camera", "add mic", "render", "owner", "window 100,0 800x600",
                                       "notify 2024", "run"}));
    EXPECT_TRUE(record.m_engine.Previewing());
    EXPECT_NE(record.m_engine.m_pVideoConfig, nullptr);
    EXPECT_EQ(record.m_bStreamB, 1);

    media->log.Clear();
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    EXPECT_TRUE(media->log.lines.empty());
    EXPECT_EQ(media->binds, 2);
    EXPECT_EQ(media->graphs, 1);
}

TEST_F(Engine, WantingSoundWithoutAnAudioInputRecordsWithoutSoundAndStillPreviews) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_bStreamB = 1;
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    EXPECT_EQ(record.m_bStreamB, 0);
    EXPECT_TRUE(record.m_engine.PreviewGraphBuilt());
}

TEST_F(Engine, RestartPreviewHaltsDismantlesSwitchesFormatBuildsAndRuns) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    media->log.Clear();
    record.m_engine.RestartPreview(2592, 1944);
    EXPECT_EQ(media->log.lines, (Lines{"stop", "no owner", "remove downstream", "format 2592x1944", "render",
                                       "owner", "window 100,0 800x600", "notify 2024", "run"}));

    // A size the camera does not offer keeps the format; the rebuild still happens.
    media->log.Clear();
    record.m_engine.RestartPreview(1024, 768);
    EXPECT_EQ(media->log.lines, (Lines{"stop", "no owner", "remove downstream", "render", "owner",
                                       "window 100,0 800x600", "notify 2024", "run"}));
    EXPECT_EQ(media->video->formats().current.width, 2592);

    // Shutdown in order leaves nothing bound.
    media->log.Clear();
    record.m_engine.ShutdownEngine();
    EXPECT_EQ(media->log.lines, (Lines{"stop", "no owner", "remove downstream"}));
    EXPECT_FALSE(record.m_engine.m_pGraph);
    EXPECT_FALSE(record.m_engine.m_pVideoCapture);
    EXPECT_EQ(record.m_engine.m_pVideoConfig, nullptr);
}

TEST_F(Engine, TheVideoWindowFitsTheViewAndStaysHiddenWhileAStillIsTaken) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    EXPECT_EQ(media->log.lines[3], "window 100,0 800x600");
    EXPECT_EQ((std::vector<int>(view.rect, view.rect + 4)), (std::vector<int>{100, 0, 900, 600}));

    view.width = 800;
    view.height = 700;
    record.m_bCaptureBusy = 1;
    media->log.Clear();
    record.m_engine.RestartPreview(640, 480);
    EXPECT_EQ((Lines{media->log.lines[6], media->log.lines[7]}),
              (Lines{"window 0,50 800x600", "window 0,0 0x0"}));
    EXPECT_EQ(view.rect[1], 50);
}

std::atomic<int> g_handled{0};
std::atomic<int> g_handled_width{0};
void CountHandled(CSampleGrabberCB&, const platform::GrabbedFrame& frame) {
    g_handled_width = frame.width;
    ++g_handled;
}

TEST_F(Engine, TwoRequestsBeforeAFrameDeliverOneFrame) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    g_grabberCallback.SetFrameHandler(&CountHandled);
    g_handled = 0;
    RequestFrame();
    RequestFrame();

    std::vector<uint8_t> pixels((3 * 640 + 3) / 4 * 4 * 480);
    const platform::GrabbedFrame frame{pixels.data(), pixels.size(), 640, 480, 0};
    fake::Graph* graph = media->graph;
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    std::thread streaming([&] {
        while (!stop) {
            graph->DeliverFrame(frame);
            ++delivered;
        }
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((g_handled == 0 || delivered < 50) && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    stop = true;
    streaming.join();
    g_grabberCallback.SetFrameHandler(nullptr);

    EXPECT_EQ(g_handled, 1);
    EXPECT_EQ(g_handled_width, 640);
    EXPECT_GE(delivered, 50);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);
}

TEST_F(Engine, CaptureSizeTheCameraDoesNotOfferBecomesTheSizeTheStreamKeeps) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    std::vector<platform::VideoFormat>& caps = media->video->formats().caps;
    caps.erase(caps.begin() + 1);  // no 2048x1536
    record.m_nSetPreviewSize = 0;
    record.m_nSetSize = 1;
    EXPECT_TRUE(record.m_engine.SwitchStreamToCaptureSize());
    EXPECT_EQ(record.m_nCaptureWidth, 640);
    EXPECT_EQ(record.m_nCaptureHeight, 480);

    record.m_nSetSize = 2;
    EXPECT_TRUE(record.m_engine.SwitchStreamToCaptureSize());
    EXPECT_EQ(record.m_nCaptureWidth, 2592);
    EXPECT_EQ(record.m_nCaptureHeight, 1944);
}

TEST_F(Engine, StreamFormatCommandRebuildsAndTakesTheCaptureSizeFromTheCamera) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    record.m_nSetSize = 0;
    media->log.Clear();
    record.m_engine.EditStreamFormat([&](platform::StreamConfig* config) {
        ASSERT_NE(config, nullptr);
        EXPECT_FALSE(record.m_engine.PreviewGraphBuilt());
        config->SetFormat(config->Capabilities()[1]);
    });
    EXPECT_EQ(media->log.lines.front(), "stop");
    EXPECT_EQ(media->log.lines.back(), "run");
    EXPECT_EQ(record.m_nCaptureWidth, 2048);
    EXPECT_EQ(record.m_nCaptureHeight, 1536);
    EXPECT_EQ(record.m_nSetSize, 0);
}

TEST_F(Engine, PropertyReadBackTakesTheCamerasValuesAndAutomaticFocus) {
    media->videos = {Device("doc camera", "vid_eb1a&pid_299f")};
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    fake::Controls& controls = media->video->controls();
    controls.proc[0] = {140, 2};
    controls.proc[1] = {20, 2};
    controls.camera[6] = {0, 1};
    controls.camera[5] = {70, 2};
    record.m_bAutoFocus = 0;
    record.m_nFocus = 33;
    record.m_engine.ReadBackVideoProperties();
    EXPECT_EQ(record.m_nBrightness, 140);
    EXPECT_EQ(record.m_nContrast, 20);
    EXPECT_EQ(record.m_bAutoFocus, 1);
    EXPECT_EQ(record.m_nFocus, 0);
    EXPECT_EQ(record.m_nExposureManual, 70);

    controls.camera[6] = {88, 2};
    record.m_engine.ReadBackVideoProperties();
    EXPECT_EQ(record.m_bAutoFocus, 0);
    EXPECT_EQ(record.m_nFocus, 88);
}

}  // namespace
