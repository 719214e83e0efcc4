// The camera leaving and coming back on the virtual camera, over each control transport: what the program
// sends it (its wire log and control log) and what the preview does. The camera powers up with its own
// defaults when plugged back, so everything the user had set must reach it again.
#include "app/events/device_events.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>
#include <string>
#include <vector>

#include "app/view/vellumo_view.h"
#include "app/view/video_widget.h"
#include "app/wait/gui_wait.h"
#include "capture/camera_controls.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "media/gst_capture_filters.h"
#include "media/gst_capture_graph.h"
#include "tests/device/link_fixture.h"
#include "tests/support/recording_message_target.h"
#include "tests/support/wait_until.h"

namespace {

using virtualcam::BridgeTransport;

// What the user had set: none of it is the camera's power-up value.
void UserSettings(CCaptureRecord& r) {
    r.m_szPidVid = "vid_eb1a&pid_2d80";
    r.m_nSetPreviewSize = 0;
    r.m_nSetSize = 2;
    r.m_nBrightness = 200;
    r.m_nContrast = 20;
    r.m_nFrequency = 1;        // 0x3C01 bit 0x80, 0x3C00 bit 0x04, 0x3C0C bit 0x01
    r.m_bDirectionSwitch = 0;  // the picture is turned through 0x3820/0x3821
    r.m_bAutoFocus = 0;
    r.m_nFocus = 77;
    r.m_nExposureIndex = 3;
    r.m_nExposureManual = 57;
}

// What the camera holds that the program sets.
struct CameraState {
    long brightness = -1, contrast = -1, focus = -1, focus_flags = -1, iris = -1;
    int sensor_3c01 = -1, sensor_3820 = -1, sensor_3821 = -1;
    bool operator==(const CameraState&) const = default;
};

CameraState StateOf(virtualcam::VirtualCamera& camera) {
    CameraState s;
    long flags = 0;
    camera.Picture().Get(platform::VideoProcProperty::Brightness, &s.brightness, &flags);
    camera.Picture().Get(platform::VideoProcProperty::Contrast, &s.contrast, &flags);
    camera.Picture().Get(platform::CameraControlProperty::Focus, &s.focus, &s.focus_flags);
    camera.Picture().Get(platform::CameraControlProperty::Iris, &s.iris, &flags);
    s.sensor_3c01 = camera.Chip().SensorRegister(0x3C01);
    s.sensor_3820 = camera.Chip().SensorRegister(0x3820);
    s.sensor_3821 = camera.Chip().SensorRegister(0x3821);
    return s;
}

class DeviceEventsTest : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        view_.resize(640, 480);
        video_ = new CVideoWidget(&view_);  // owned by the view
        view_.show();
        UserSettings(record_);
        record_.m_engine.m_pMediaFactory = std::make_unique<platform::GstMediaFactory>();
        record_.m_engine.m_pCaptureView = video_;
        record_.m_engine.m_pFrameTarget = &frame_messages_;
        hooks_.wait = [this](int ms) {
            waits_.push_back(ms);
            WaitPainting(ms);
        };
        hooks_.poll = PollPainting;
        hooks_.control_open = [this] { return control_open_; };
        hooks_.set_control_open = [this](bool open) { control_open_ = open; };
        hooks_.repaint_frame = [this] { ++repaints_; };
        hooks_.preview_failed = [this](const std::string& text) { preview_errors_.push_back(text); };
        hooks_.ask_yes = [this](unsigned text, unsigned) {
            questions_.push_back(text);
            return answer_yes_;
        };
    }

    void TearDown() override {
        g_grabberCallback.m_bGrabRequested = 0;
        g_grabberCallback.m_bOcrCapture = 0;
        g_grabberCallback.m_bCardCapture = 0;
        record_.m_engine.ShutdownEngine();
        LinkTest::TearDown();
    }

    // The start-up with the camera attached: found, bound, previewing at the preview size, settings sent.
    void StartWithCamera(BridgeTransport transport) {
        Use(transport);
        ASSERT_EQ(record_.m_engine.FindCameraDevice(), 1);
        record_.m_engine.BindCameraDevices();
        control_open_ = devctl::CamOpen() != 0;
        ASSERT_TRUE(control_open_);
        record_.m_engine.RestartPreview(640, 480);
        record_.m_engine.SetBrightness(record_.m_nBrightness);
        record_.m_engine.SetContrast(record_.m_nContrast);
        record_.m_engine.ApplyCameraSettings();
        ASSERT_TRUE(record_.m_engine.Previewing());
    }

    // Hands the graph's events to the handler as the frame does when 0x7E8 arrives.
    void HandleGraphEvents(size_t messages_expected) {
        ASSERT_TRUE(test_support::WaitUntil(
            [&] { return frame_messages_.Count(platform::WM_GRAPHNOTIFY) >= messages_expected; }, 20000));
        OnGraphNotify(record_, hooks_);
    }

    virtualcam::VirtualCamera& Camera() { return *camera_; }

    CVellumoView view_;
    CVideoWidget* video_ = nullptr;
    RecordingMessageTarget frame_messages_;
    CCaptureRecord record_;
    DeviceEventHooks hooks_;
    bool control_open_ = false;
    bool answer_yes_ = false;
    int repaints_ = 0;
    std::vector<int> waits_;
    std::vector<unsigned> questions_;
    std::vector<std::string> preview_errors_;
};

class ReplugTest : public DeviceEventsTest, public ::testing::WithParamInterface<BridgeTransport> {};

TEST_P(ReplugTest, UnplugStopsThePreviewAndReplugRestoresEverySetting) {
    StartWithCamera(GetParam());
    const CameraState set = StateOf(Camera());
    ASSERT_EQ(set.brightness, 200);
    ASSERT_EQ(set.focus, 77);
    ASSERT_EQ(set.iris, 57);
    const uint64_t painted_before = video_->PaintedFrames();

    Camera().Unplug();
    HandleGraphEvents(1);
    EXPECT_FALSE(control_open_);
    EXPECT_FALSE(record_.m_engine.Previewing());
    EXPECT_EQ(repaints_, 1);
    if (GetParam() == BridgeTransport::Hid) {
        EXPECT_EQ(Camera().OpenHidHandles(), 0);
    }
    EXPECT_TRUE(waits_.empty());
    // A camera dialog open meanwhile goes on sending its values: they fail quietly.
    record_.m_engine.SetBrightness(90);
    record_.m_engine.SetFocusPosition(30);
    ApplyOrientationFlip();
    EXPECT_EQ(StateOf(Camera()).sensor_3820, set.sensor_3820);

    Camera().Log().Clear();
    Camera().Picture().ClearControlLog();
    Camera().Plug();
    ASSERT_NE(StateOf(Camera()), set);  // the camera came back with its own defaults
    HandleGraphEvents(2);

    EXPECT_EQ(waits_, std::vector<int>{kDeviceBackWaitMs});
    EXPECT_TRUE(control_open_);
    ASSERT_TRUE(record_.m_engine.Previewing());
    EXPECT_EQ(Camera().Picture().GetFormat()->width, 640);
    EXPECT_EQ(StateOf(Camera()), set);
    const std::vector<std::string> controls = Camera().Picture().ControlLog();
    ASSERT_FALSE(controls.empty());
    EXPECT_EQ(controls.front(), "power-up");
    // The sensor was written over the reopened link, on the bus the transport carries.
    EXPECT_FALSE(Camera().Log().Channel("bus").empty());
    // The live picture is painted again.
    ASSERT_TRUE(test_support::WaitUntil([&] { return video_->PaintedFrames() > painted_before + 2; }, 20000));
}

std::string TransportName(const ::testing::TestParamInfo<BridgeTransport>& info) {
    switch (info.param) {
        case BridgeTransport::Hid:
            return "Hid";
        case BridgeTransport::UvcExtension:
            return "UvcExtension";
        case BridgeTransport::KsCapture:
            return "KsCapture";
        case BridgeTransport::KsReceiver:
            return "KsReceiver";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(EveryTransport, ReplugTest,
                         ::testing::Values(BridgeTransport::Hid, BridgeTransport::UvcExtension,
                                           BridgeTransport::KsCapture, BridgeTransport::KsReceiver),
                         TransportName);

TEST_F(DeviceEventsTest, ArrivalAfterAStartWithoutCameraBringsThePreviewUpOnce) {
    Use(BridgeTransport::Hid);
    Camera().Unplug();
    ASSERT_EQ(record_.m_engine.FindCameraDevice(), 0);
    record_.m_bNoCameraWarned = 1;  // the start-up told the user

    Camera().Plug();
    OnDeviceChange(record_, hooks_, platform::DBT_DEVICEARRIVAL);
    ASSERT_TRUE(record_.m_bDevicePresent);
    ASSERT_TRUE(record_.m_engine.Previewing());
    EXPECT_TRUE(control_open_);
    EXPECT_EQ(StateOf(Camera()).focus, 77);
    EXPECT_EQ(StateOf(Camera()).brightness, 200);

    // Another device arriving (a USB stick) leaves the working camera alone.
    Camera().Log().Clear();
    Camera().Picture().ClearControlLog();
    OnDeviceChange(record_, hooks_, platform::DBT_DEVICEARRIVAL);
    EXPECT_TRUE(Camera().Picture().ControlLog().empty());
    EXPECT_TRUE(Camera().Log().Events().empty());
    EXPECT_TRUE(record_.m_engine.Previewing());
}

TEST_F(DeviceEventsTest, CaptureCommandsAskOnlyBelowTheLargestSizeAndArmTheGrab) {
    StartWithCamera(BridgeTransport::Hid);
    Camera().Picture().ClearControlLog();

    // Capture done at equal sizes restarts nothing.
    record_.m_nSetSize = 0;
    OnCaptureDone(record_, hooks_);
    EXPECT_TRUE(Camera().Picture().ControlLog().empty());

    // 1069 at size 0: the card question; Yes ends the command with nothing armed.
    answer_yes_ = true;
    EXPECT_FALSE(CaptureAtCaptureResolution(record_, hooks_, true));
    EXPECT_EQ(questions_, std::vector<unsigned>{157});
    EXPECT_EQ(record_.m_bCaptureBusy, 0);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested.load(), 0);

    // 1021 at size 2 asks nothing, switches the stream and arms the grab for text recognition.
    g_grabberCallback.SetFrameHandler(nullptr);
    const uint64_t frames = g_grabberCallback.DefaultHandlerFrames();
    questions_.clear();
    record_.m_nSetSize = 2;
    ASSERT_TRUE(CaptureAtCaptureResolution(record_, hooks_, false));
    EXPECT_TRUE(questions_.empty());
    EXPECT_EQ(Camera().Picture().GetFormat()->width, 2592);
    EXPECT_EQ(g_grabberCallback.m_bOcrCapture.load(), 1);
    EXPECT_EQ(g_grabberCallback.m_bCardCapture.load(), 0);
    ASSERT_TRUE(
        test_support::WaitUntil([&] { return g_grabberCallback.DefaultHandlerFrames() > frames; }, 20000));
    // Auto-capture holds the stream at the capture size: the still's end leaves it there, until the hold
    // is let go.
    bool hold = true;
    hooks_.keep_capture_size = [&] { return hold; };
    OnCaptureDone(record_, hooks_);
    EXPECT_EQ(Camera().Picture().GetFormat()->width, 2592);
    EXPECT_TRUE(record_.m_engine.StreamRunsAtCaptureSize());
    hold = false;
    OnCaptureDone(record_, hooks_);
    EXPECT_EQ(Camera().Picture().GetFormat()->width, 640);
    EXPECT_FALSE(record_.m_engine.StreamRunsAtCaptureSize());
}

TEST_F(DeviceEventsTest, CameraPulledBeforeTheStillWasTakenEndsTheCapture) {
    StartWithCamera(BridgeTransport::Hid);
    Camera().Unplug();
    ASSERT_TRUE(test_support::WaitUntil([&] { return frame_messages_.Count(platform::WM_GRAPHNOTIFY) > 0; }));
    // Asked for as the camera went: no frame will come for it.
    record_.m_bCaptureBusy = 1;
    g_grabberCallback.m_bOcrCapture = 1;
    g_grabberCallback.m_bGrabRequested = 1;
    OnGraphNotify(record_, hooks_);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested.load(), 0);
    EXPECT_EQ(g_grabberCallback.m_bOcrCapture.load(), 0);
    EXPECT_EQ(record_.m_bCaptureBusy, 0);
}

TEST_F(DeviceEventsTest, CameraPulledDuringTheFocusWaitEndsTheCommandAtOnce) {
    virtualcam::VirtualCameraConfig config;
    config.focus_time = std::chrono::milliseconds(60000);  // it would never report focus in time
    Use(config);
    ASSERT_EQ(record_.m_engine.FindCameraDevice(), 1);
    record_.m_engine.BindCameraDevices();
    control_open_ = devctl::CamOpen() != 0;
    ASSERT_TRUE(control_open_);
    record_.m_engine.RestartPreview(640, 480);
    uint32_t start_focus = 0;
    ASSERT_EQ(devctl::CamWriteRegister(0xC4, 1, &start_focus), devctl::kCamOk);

    // The graph's message is handled inside the wait, as the window's loop delivers it there.
    size_t handled = 0;
    QTimer deliver;
    QObject::connect(&deliver, &QTimer::timeout, [&] {
        if (frame_messages_.Count(platform::WM_GRAPHNOTIFY) == handled) return;
        handled = frame_messages_.Count(platform::WM_GRAPHNOTIFY);
        OnGraphNotify(record_, hooks_);
    });
    deliver.start(20);
    QTimer::singleShot(300, [this] { Camera().Unplug(); });
    record_.m_nSetSize = 0;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(CaptureAtCaptureResolution(record_, hooks_, false));
    // It ended with the camera's leaving, well before the focus bound.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(kFocusWaitBoundMs));
    EXPECT_EQ(record_.m_bCaptureBusy, 0);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested.load(), 0);
    EXPECT_FALSE(control_open_);
    EXPECT_FALSE(record_.m_engine.Previewing());
}

// Two errors from the running camera source, as a failing driver gives them: the preview stops and the user
// is told once, in the media library's words for the first.
TEST_F(DeviceEventsTest, GraphErrorDuringThePreviewStopsItAndIsToldOnce) {
    StartWithCamera(BridgeTransport::Hid);
    auto* source = dynamic_cast<platform::GstCaptureFilter*>(record_.m_engine.m_pVideoCapture.get());
    ASSERT_NE(source, nullptr);
    for (const char* text : {"Could not read from the camera.", "Internal data stream error."}) {
        GError* error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text);
        gst_element_post_message(source->Bin(),
                                 gst_message_new_error(GST_OBJECT(source->Bin()), error, "injected"));
        g_error_free(error);
    }
    ASSERT_TRUE(
        test_support::WaitUntil([&] { return frame_messages_.Count(platform::WM_GRAPHNOTIFY) >= 2; }));
    OnGraphNotify(record_, hooks_);
    OnGraphNotify(record_, hooks_);
    EXPECT_FALSE(record_.m_engine.Previewing());
    EXPECT_EQ(preview_errors_, std::vector<std::string>{"Could not read from the camera."});
}

}  // namespace
