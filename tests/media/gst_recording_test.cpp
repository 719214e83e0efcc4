// The recording branch's timing on a clock the test moves: a Windows Media file holds what came between the
// valves opening and the end, its streams starting together at zero, however late the camera's first frame.

#include "media/gst_recording.h"

#include <gst/app/gstappsrc.h>
#include <gst/check/gsttestclock.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>

#include "media/gst_ptr.h"
#include "platform/sync/tsan_handoff.h"
#include "tests/support/ffprobe.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace platform;

constexpr int kRate = 44100;
constexpr int kSamples = 1024;  // a buffer of sound

GstElementPtr Source(GstElement* pipeline, const char* caps) {
    GstElementPtr source = MakeElement("appsrc");
    GstCapsPtr parsed(gst_caps_from_string(caps));
    g_object_set(source.get(), "caps", parsed.get(), "format", GST_FORMAT_TIME, nullptr);
    gst_bin_add(GST_BIN(pipeline), source.get());
    return source;
}

void Push(GstElement* source, GstClockTime pts, GstClockTime duration, gsize bytes) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    VELLUMO_TSAN_RECEIVE(buffer);  // its memory may have held a buffer a streaming thread read last
    gst_buffer_memset(buffer, 0, 0x80, bytes);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = duration;
    VELLUMO_TSAN_PUBLISH(buffer);  // read on the source's streaming thread
    gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
}

TEST(GstRecording, StreamsStartTogetherAtThePressWhenTheCamerasFirstFrameComesLate) {
    EnsureGstInitialised();
    test_support::ScratchFolder folder;
    const std::string path = folder.Path("clip.wmv");
    GstElementPtr pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr))));
    GstClock* clock = gst_test_clock_new_with_start_time(0);
    gst_pipeline_use_clock(GST_PIPELINE(pipeline.get()), clock);
    GstElementPtr video = Source(pipeline.get(), "video/x-raw,format=YUY2,width=64,height=48,framerate=30/1");
    GstElementPtr audio = Source(pipeline.get(),
                                 "audio/x-raw,format=S16LE,layout=interleaved,rate=44100,"
                                 "channels=1");
    int32_t result = E_FAIL;
    std::unique_ptr<GstRecordingBranch> branch =
        GstRecordingBranch::Create(pipeline.get(), FileContainer::WindowsMedia, path, &result);
    ASSERT_EQ(result, S_OK);
    RecordingCounters counters;
    GstPadPtr video_pad(gst_element_get_static_pad(video.get(), "src"));
    GstPadPtr audio_pad(gst_element_get_static_pad(audio.get(), "src"));
    ASSERT_TRUE(branch->AddVideo(video_pad.get(), &counters));
    ASSERT_TRUE(branch->AddAudio(audio_pad.get()));
    ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_EQ(gst_element_get_state(pipeline.get(), nullptr, nullptr, 20 * GST_SECOND),
              GST_STATE_CHANGE_SUCCESS);

    // Record is pressed 1 s into the stream. The sound runs from before it (a buffer that comes late),
    // the camera's first frame is taken 0.6 s after it; both end 2 s after the press.
    gst_test_clock_set_time(GST_TEST_CLOCK(clock), GST_SECOND);
    branch->SetWriting(true);
    const GstClockTime sound_step = gst_util_uint64_scale(kSamples, GST_SECOND, kRate);
    for (GstClockTime t = GST_SECOND / 2; t < 3 * GST_SECOND; t += sound_step)
        Push(audio.get(), t, sound_step, 2 * kSamples);
    for (int frame = 48; frame < 90; ++frame)
        Push(video.get(), gst_util_uint64_scale(frame, GST_SECOND, 30), GST_SECOND / 30, 64 * 48 * 2);
    gst_app_src_end_of_stream(GST_APP_SRC(video.get()));
    gst_app_src_end_of_stream(GST_APP_SRC(audio.get()));
    GstBusPtr bus(gst_element_get_bus(pipeline.get()));
    GstMessage* end = gst_bus_timed_pop_filtered(
        bus.get(), 60 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
    gst_message_unref(end);
    EXPECT_TRUE(branch->Finish(20000));  // the writer has had its end (and the branch knows it)
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    branch.reset();
    gst_object_unref(clock);

    const auto probe = test_support::Probe(path);
    const std::string video_stream = test_support::StreamOf(probe, "video");
    const std::string audio_stream = test_support::StreamOf(probe, "audio");
    ASSERT_FALSE(video_stream.empty());
    ASSERT_FALSE(audio_stream.empty());
    EXPECT_LE(std::stod(probe.at(video_stream + ".start_time")), 0.001);  // the first frame stands from zero
    EXPECT_LE(std::stod(probe.at(audio_stream + ".start_time")), 0.03);   // within a buffer of the press
    // The sound before the press is left out, and the late picture adds nothing: 2 s, give or take the
    // encoder's last block of sound (2048 samples).
    EXPECT_NEAR(std::stod(probe.at("format.duration")), 2.0, 0.05);
}

}  // namespace
