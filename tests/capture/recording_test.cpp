// The record command on the fake graph with the virtual camera's bridge: the size it records at and the
// size and settings it comes back with, the stream held back until the graph runs, the focus read back at
// the stop, the statistics against the counters' baseline, and a start that fails giving the picture back.
#include "capture/recording.h"

#include <algorithm>

#include "capture/device_discovery.h"
#include "capture/preview_graph.h"
#include "capture/recording_status.h"
#include "fake_media.h"
#include "tests/device/link_fixture.h"

namespace {

const char kProgress[] = "Recording: %d frames captured, %d dropped, %d.%d s";
const char kSummary[] = "Recorded %d frames in %d.%d s (%d dropped), %d.%d frames/s, %d.%03d MB/s";

struct Recording : LinkTest {
    CCaptureRecord record;
    fake::Factory* media = nullptr;
    fake::View view;
    RecordingHooks hooks;
    std::vector<int> status_calls;
    int failures = 0;

    void SetUp() override {
        LinkTest::SetUp();
        auto factory = std::make_unique<fake::Factory>();
        media = factory.get();
        media->videos = {{"doc camera", "vid_eb1a&pid_299f", "n"}};
        media->audios = {{"mic", "", "m"}};
        record.m_engine.m_pMediaFactory = std::move(factory);
        record.m_engine.m_pCaptureView = &view;
        record.m_engine.FindCameraDevice();
        record.m_engine.BindCameraDevices();
        OpenOn(virtualcam::BridgeTransport::Hid);
        hooks.make_video_file_name = [] { return std::string("/save/0001.avi"); };
        hooks.update_recording_status = [this](int final) { status_calls.push_back(final); };
        hooks.report_failure = [this](const capture::CaptureEngine&, bool) { ++failures; };
        g_bRecordStatistics = 0;
    }
    // The lines of the media log that start with one of the prefixes, in order.
    Lines Only(std::initializer_list<const char*> prefixes) const {
        Lines kept;
        for (const std::string& line : media->log.lines) {
            if (std::any_of(prefixes.begin(), prefixes.end(),
                            [&](const char* p) { return line.rfind(p, 0) == 0; }))
                kept.push_back(line);
        }
        return kept;
    }
    size_t Flips() {
        const Lines bus = Wire("bus");
        return std::count(bus.begin(), bus.end(), std::string("bus2 write 78: 38 21"));
    }
};

// The graph's state is one value: each step of a recording and its stop goes through it once, in order,
// and the observer hears every change.
TEST_F(Recording, GraphStateWalksFromPreviewToRecordingAndBackAndTheObserverHearsEachStep) {
    struct Heard : capture::EngineObserver {
        Lines steps;
        void OnGraphStateChanged(capture::GraphState before, capture::GraphState now) override {
            steps.push_back(std::string(capture::GraphStateName(before)) + " > " +
                            capture::GraphStateName(now));
        }
    } heard;
    ASSERT_EQ(record.m_engine.State(), capture::GraphState::Previewing);
    record.m_engine.SetObserver(&heard);
    record.m_engine.ToggleRecording(hooks);
    EXPECT_EQ(heard.steps, (Lines{"previewing > preview built", "preview built > empty",
                                  "empty > recording built", "recording built > recording"}));
    heard.steps.clear();
    record.m_engine.ToggleRecording(hooks);
    EXPECT_EQ(heard.steps, (Lines{"recording > recording built", "recording built > empty",
                                  "empty > preview built", "preview built > previewing"}));
    // A recording running at the end still gets its file closed before the graph is taken apart.
    record.m_engine.ToggleRecording(hooks);
    heard.steps.clear();
    record.m_engine.ShutdownEngine();
    EXPECT_EQ(heard.steps, (Lines{"recording > recording built", "recording built > empty"}));
    record.m_engine.SetObserver(nullptr);
}

TEST_F(Recording, FiveMegapixelPreviewRecordsAtVgaAndReturnsWithSettingsAndTheFocusReadBack) {
    record.m_nSetSize = record.m_nSetPreviewSize = 2;
    record.m_engine.RestartPreview(2592, 1944);
    record.m_nVideoFormat = 1;
    record.m_bDirectionSwitch = 0;
    record.m_bAutoFocus = 0;
    record.m_nFocus = 10;
    record.m_nExposureIndex = 2;
    record.m_nExposurePhoto = 45;
    media->log.Clear();
    Log().Clear();

    record.m_engine.ToggleRecording(hooks);
    ASSERT_TRUE(record.m_engine.Recording());
    EXPECT_FALSE(record.m_bNotRecording);
    EXPECT_EQ(g_bRecordStatistics, 1);
    EXPECT_EQ(record.m_nSetPreviewSize, 0);
    // The stream goes to 640 x 480 first; the file's streams are held back until the graph runs.
    EXPECT_EQ(
        Only({"format", "file", "record", "render", "hold", "run", "write", "camera 5"}),
        (Lines{"format 640x480", "render", "run", "camera 5=45", "file avi /save/0001.avi",
               "record doc camera", "render", "record mic", "hold", "run", "write", "camera 5=0 auto"}));
    EXPECT_EQ(Flips(), 2u);  // after the size change, and after the start

    // The camera refocused while recording: the stop reads the position back before it sets it again.
    media->video->controls().camera[6] = {123, platform::kControlFlagsManual};
    media->log.Clear();
    Log().Clear();
    record.m_engine.ToggleRecording(hooks);
    EXPECT_FALSE(record.m_engine.Recording());
    EXPECT_TRUE(record.m_bNotRecording);
    EXPECT_EQ(g_bRecordStatistics, 0);
    EXPECT_EQ(record.m_nSetPreviewSize, 2);
    EXPECT_EQ(record.m_nFocus, 123);
    EXPECT_EQ(Only({"format", "stop", "run", "camera", "proc"}),
              (Lines{"stop", "run", "stop", "format 2592x1944", "run", "camera 5=45", "proc 8=0",
                     "camera 6=123", "camera 5=45", "proc 8=0"}));
    EXPECT_EQ(Flips(), 1u);  // with the size change only
    EXPECT_EQ(status_calls, (std::vector<int>{1}));
}

TEST_F(Recording, VgaRecordingFlipsAfterStartAndStopAndTheSummaryCountsFromTheBaseline) {
    record.m_bDirectionSwitch = 0;
    record.m_bAutoFocus = 1;
    record.m_nVideoFormat = 0;
    record.m_bStreamB = 0;
    hooks.make_video_file_name = [] { return std::string("/save/0001.wmv"); };
    fake::Counters& counters = media->video->counters();
    counters.dropped = 5;
    counters.written = 40;  // from an earlier recording
    counters.average_bytes = 614400;
    record.m_engine.RestartPreview(640, 480);
    media->log.Clear();
    Log().Clear();

    record.m_engine.ToggleRecording(hooks);
    EXPECT_EQ(Only({"format", "file", "record"}), (Lines{"file wmv /save/0001.wmv", "record doc camera"}));
    EXPECT_EQ(Flips(), 1u);
    counters.dropped = 7;
    counters.written = 130;
    record.m_engine.m_dwRecordStart = 1000;  // 3.17 s ago
    std::optional<std::string> running =
        record.m_engine.RecordingStatusText(0, 4170, [](unsigned) { return kProgress; });
    EXPECT_EQ(running, "Recording: 90 frames captured, 2 dropped, 3.1 s");

    record.m_engine.ToggleRecording(hooks);
    EXPECT_EQ(Flips(), 2u);
    // The automatic focus, then exposure mode 0.
    EXPECT_EQ(Lines(media->log.lines.end() - 3, media->log.lines.end()),
              (Lines{"camera 6=0 auto", "camera 5=0 auto", "proc 8=0"}));
    // The statistics flag is off again at the stop; the summary reads the counters all the same.
    record.m_engine.m_dwRecordStop = record.m_engine.m_dwRecordStart + 3000;
    EXPECT_EQ(record.m_engine.RecordingStatusText(1, 0, [](unsigned) { return kSummary; }),
              "Recorded 90 frames in 3.0 s (2 dropped), 30.0 frames/s, 18.432 MB/s");
}

TEST(RecordingStatus, TextsCarryOneDecimalOfRateAndThreeOfMegabytes) {
    EXPECT_EQ(FormatRecordingProgress(kProgress, 0, 0, 999),
              "Recording: 0 frames captured, 0 dropped, 0.9 s");
    // 100 frames in 3.333 s: 30.003 frames a second; 460800-byte frames make 13825382 bytes a second.
    EXPECT_EQ(FormatRecordingSummary(kSummary, 100, 1, 3333, 460800),
              "Recorded 100 frames in 3.3 s (1 dropped), 30.0 frames/s, 13.825 MB/s");
    EXPECT_EQ(FormatRecordingSummary(kSummary, 299, 0, 10050, 20000),
              "Recorded 299 frames in 10.0 s (0 dropped), 29.7 frames/s, 0.595 MB/s");
    EXPECT_EQ(FormatRecordingSummary(kSummary, 5, 0, 0, 20000),
              "Recorded 5 frames in 0.0 s (0 dropped), 0.0 frames/s, 0.000 MB/s");
}

TEST_F(Recording, MissingEncoderIsToldOnceAndTheLivePictureComesBackForTheNextPress) {
    record.m_bStreamB = 0;
    record.m_nVideoFormat = 1;
    record.m_engine.RestartPreview(640, 480);
    media->graph->file_result = platform::REGDB_E_CLASSNOTREG;
    int32_t told = 0;
    hooks.report_failure = [&](const capture::CaptureEngine& engine, bool ended_early) {
        ++failures;
        told = ended_early ? 1 : engine.m_hrRecordResult;
    };
    record.m_engine.RecordCommand(hooks);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(told, platform::REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(record.m_engine.Recording());
    EXPECT_TRUE(record.m_bNotRecording);
    EXPECT_TRUE(record.m_engine.Previewing());
    EXPECT_TRUE(record.m_engine.PreviewGraphBuilt());
    EXPECT_FALSE(record.m_engine.RecordGraphBuilt());

    // The next press tries to record again rather than stopping.
    media->log.Clear();
    record.m_engine.RecordCommand(hooks);
    EXPECT_EQ(Only({"file"}), (Lines{"file avi /save/0001.avi"}));
    EXPECT_EQ(failures, 2);
}

}  // namespace
