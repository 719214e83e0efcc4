// Recordings on the virtual camera and microphone through the GStreamer graph, read back by ffprobe: the
// container and codecs of each format, 640 x 480, the duration and frame count the statistics claim, sound
// only when asked for; the close question stopping a recording only on OK; and a file that stays readable
// when the camera is pulled out in the middle.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "app/events/device_events.h"
#include "app/mainframe/close_handler.h"
#include "capture/device_discovery.h"
#include "capture/preview_graph.h"
#include "capture/recording.h"
#include "media/gst_capture_graph.h"
#include "platform/ui/prompt.h"
#include "tests/support/ffprobe.h"
#include "tests/support/recording_message_target.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"
#include "virtualcam/virtual_camera.h"

namespace {

using test_support::Probe;
using test_support::StreamOf;

class LiveRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        virtualcam::VirtualCameraConfig config;
        config.scene = virtualcam::ParseSceneChoice("page");
        camera_ = std::make_unique<virtualcam::VirtualCamera>(config);
        camera_->Install();
        record_.m_szPidVid = "vid_eb1a&pid_2d80";
        record_.m_engine.m_pMediaFactory = std::make_unique<platform::GstMediaFactory>();
        record_.m_engine.m_pFrameTarget = &frame_;
        record_.m_szSavePath = folder_.Slash();
        ASSERT_EQ(record_.m_engine.FindCameraDevice(), 1);
        record_.m_engine.BindCameraDevices();
        ASSERT_NE(record_.m_engine.m_pVideoConfig, nullptr);
        record_.m_engine.RestartPreview(640, 480);
        ASSERT_TRUE(record_.m_engine.Previewing());
        hooks_.make_video_file_name = [this] {
            return folder_.Path(record_.m_nVideoFormat == 0 ? "clip.wmv" : "clip.avi");
        };
        hooks_.report_failure = [this](const capture::CaptureEngine&, bool) { ++failures_; };
    }
    void TearDown() override {
        record_.m_engine.ShutdownEngine();
        camera_->Uninstall();
    }

    // Frames written since the start, by the filter's counters (the last count once the filter is gone).
    long Written() {
        platform::DroppedFrames* counters = record_.m_engine.m_pVideoCapture
                                                ? record_.m_engine.m_pVideoCapture->QueryDroppedFrames()
                                                : nullptr;
        if (counters != nullptr) counters->GetNumNotDropped(&written_);
        return written_ - record_.m_engine.m_nNotDroppedAtStart;
    }

    // The file is never longer than the recording lasted, and at least as long as its frames at the
    // camera's 30 frames a second or the recording's time, whichever is less: a loaded machine delivers
    // the first frames late, so a file without sound may be shorter than the wall-clock time.
    void ExpectDuration(const std::map<std::string, std::string>& probe) {
        const double duration = std::stod(probe.at("format.duration"));
        const double recorded = (record_.m_engine.m_dwRecordStop - record_.m_engine.m_dwRecordStart) / 1000.0;
        EXPECT_LE(duration, recorded * 1.1);
        EXPECT_GE(duration, std::min(recorded, Written() / 30.0) * 0.9);
    }
    // Every frame written is read back. From a Windows Media file the reader drops the multiplexer's last
    // packet (its length leaves out the padding), which holds a few frames, more when a loaded machine
    // makes them come in bunches.
    void ExpectFramesRead(const std::map<std::string, std::string>& probe, const std::string& video,
                          bool asf) {
        const long read = std::stol(probe.at(video + ".nb_read_frames"));
        EXPECT_LE(read, Written() + 2);
        EXPECT_GE(read, Written() - (asf ? 6 : 2));
    }

    std::unique_ptr<virtualcam::VirtualCamera> camera_;
    test_support::ScratchFolder folder_;
    RecordingMessageTarget frame_;
    CCaptureRecord record_;
    RecordingHooks hooks_;
    int failures_ = 0;
    long written_ = 0;
};

TEST_F(LiveRecording, WindowsMediaWithSoundEndsOnlyWhenTheCloseQuestionIsAnsweredOk) {
    record_.m_nVideoFormat = 0;
    record_.m_bStreamB = 1;
    ASSERT_NE(record_.m_engine.m_pAudioCapture, nullptr);  // the virtual microphone
    record_.m_engine.RecordCommand(hooks_);
    ASSERT_TRUE(record_.m_engine.Recording());
    ASSERT_TRUE(test_support::WaitUntil([&] { return Written() >= 90; }, 30000));

    platform::QueueScriptedAnswer(platform::IDCANCEL);
    auto stop = [&] { record_.m_engine.ToggleRecording(hooks_); };
    EXPECT_FALSE(RunCloseHandler(
        record_, [](unsigned id) { return std::to_string(id); }, false, stop));
    EXPECT_TRUE(record_.m_engine.Recording());
    platform::QueueScriptedAnswer(platform::IDOK);
    EXPECT_TRUE(RunCloseHandler(
        record_, [](unsigned id) { return std::to_string(id); }, false, stop));
    EXPECT_FALSE(record_.m_engine.Recording());
    EXPECT_TRUE(record_.m_bNotRecording);
    EXPECT_TRUE(record_.m_engine.Previewing());  // the live picture is back

    const auto probe = Probe(folder_.Path("clip.wmv"));
    EXPECT_EQ(probe.count("format.format_name") ? probe.at("format.format_name") : "", "asf");
    const std::string video = StreamOf(probe, "video");
    const std::string audio = StreamOf(probe, "audio");
    ASSERT_FALSE(video.empty());
    ASSERT_FALSE(audio.empty());
    EXPECT_EQ(probe.at(video + ".codec_name"), "wmv2");
    EXPECT_EQ(probe.at(audio + ".codec_name"), "wmav2");
    EXPECT_EQ(probe.at(video + ".width"), "640");
    EXPECT_EQ(probe.at(video + ".height"), "480");
    ExpectDuration(probe);
    ExpectFramesRead(probe, video, true);
    EXPECT_EQ(failures_, 0);
}

TEST_F(LiveRecording, AviWithoutSoundFinishedByTheProgramsEndHoldsTheCamerasFramesUncompressed) {
    record_.m_nVideoFormat = 1;
    record_.m_bStreamB = 0;
    record_.m_engine.RecordCommand(hooks_);
    ASSERT_TRUE(record_.m_engine.Recording());
    ASSERT_TRUE(test_support::WaitUntil([&] { return Written() >= 90; }, 30000));
    // The program ends while recording: its stream stops first, which finishes the file. The count is read
    // then, before the camera's filter goes; the repeats videorate writes up to the camera's last frame
    // (several a frame when a busy machine's camera gives a few frames a second) come after the last poll.
    record_.m_engine.HaltPreview();
    Written();
    record_.m_engine.ShutdownEngine();
    ASSERT_FALSE(record_.m_engine.Recording());

    const auto probe = Probe(folder_.Path("clip.avi"));
    EXPECT_EQ(probe.count("format.format_name") ? probe.at("format.format_name") : "", "avi");
    const std::string video = StreamOf(probe, "video");
    ASSERT_FALSE(video.empty());
    EXPECT_TRUE(StreamOf(probe, "audio").empty());
    EXPECT_EQ(probe.at(video + ".codec_name"), "rawvideo");
    EXPECT_EQ(probe.at(video + ".width"), "640");
    EXPECT_EQ(probe.at(video + ".height"), "480");
    ExpectDuration(probe);
    ExpectFramesRead(probe, video, false);
}

TEST_F(LiveRecording, FolderThatCannotBeWrittenIsToldOnceAndThePreviewStaysUp) {
    folder_.Write("not-a-folder", "");
    hooks_.make_video_file_name = [this] { return folder_.Path("not-a-folder/clip.avi"); };
    record_.m_nVideoFormat = 1;
    record_.m_bStreamB = 0;
    record_.m_engine.RecordCommand(hooks_);
    EXPECT_EQ(failures_, 1);
    EXPECT_TRUE(record_.m_bNotRecording);
    ASSERT_TRUE(record_.m_engine.Previewing());
    // The writer's error reaches the frame after the preview is back; it must not stop the preview.
    OnGraphNotify(record_, DeviceEventHooks{});
    EXPECT_TRUE(record_.m_engine.Previewing());
}

TEST_F(LiveRecording, CameraPulledOutMidwayLeavesAReadableFileAndOneMessage) {
    record_.m_nVideoFormat = 0;
    record_.m_bStreamB = 1;
    record_.m_engine.RecordCommand(hooks_);
    ASSERT_TRUE(record_.m_engine.Recording());
    ASSERT_TRUE(test_support::WaitUntil([&] { return Written() >= 30; }, 30000));

    camera_->Unplug();
    ASSERT_TRUE(test_support::WaitUntil([&] { return frame_.Count(platform::WM_GRAPHNOTIFY) >= 1; }, 20000));
    DeviceEventHooks events;
    events.recording_failed = [&] { record_.m_engine.RecordingFailed(hooks_); };
    OnGraphNotify(record_, events);
    EXPECT_FALSE(record_.m_engine.Recording());
    EXPECT_TRUE(record_.m_bNotRecording);
    EXPECT_EQ(failures_, 1);

    const auto probe = Probe(folder_.Path("clip.wmv"));
    const std::string video = StreamOf(probe, "video");
    ASSERT_FALSE(video.empty());
    EXPECT_EQ(probe.at(video + ".codec_name"), "wmv2");
    ExpectFramesRead(probe, video, true);
}

}  // namespace
