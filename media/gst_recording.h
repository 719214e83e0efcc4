#pragma once
// The recording branch of a GStreamer graph: the capture outputs through valves (closed until the
// recording writes) and queues into the file's encoders, multiplexer and file writer.
//
//   WMV: video -> valve -> queue -> videoconvert -> I420 -> avenc_wmv2 -> asfmux -> filesink
//        audio -> valve -> queue -> audioconvert -> audioresample -> avenc_wmav2 -> asfmux
//   AVI: video -> valve -> queue -> videorate -> avimux (the camera's YUY2 as it comes) -> filesink
//        audio -> valve -> queue -> audioconvert -> audioresample -> S16LE -> avimux
//
// The file's time starts at the moment the valves open (the Record press, in the pipeline's running time):
// what was captured before it is left out, and every stream starts at zero. A camera's first frame comes
// some time after its graph starts, while the sound starts at once; that frame is shown from zero on, as
// videorate does for AVI, since ASF's play duration is the longest stream's sum of durations and readers
// count it from each stream's own start. The branch ends by sending EOS into each input, so that the
// multiplexer writes its header, duration and index before the pipeline stops.
// GUI thread, except the counting, which runs on the streaming threads.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/capture_graph.h"
#include "media/gst_ptr.h"

namespace platform {

// A video filter's recorded-frame counters; it outlives the branches that count into it.
class RecordingCounters : public DroppedFrames {
  public:
    int32_t GetNumDropped(long* count) override;
    int32_t GetNumNotDropped(long* count) override;
    int32_t GetAverageFrameSize(long* bytes) override;

    // Frames the camera's numbering or timing shows missing, and frames videorate left out.
    std::atomic<long> dropped{0};
    // Frames that reached the multiplexer, and their bytes.
    std::atomic<long> written{0};
    std::atomic<long long> written_bytes{0};
    // The average is of the recording that began last: the counts when its file began.
    std::atomic<long> written_at_start{0};
    std::atomic<long long> bytes_at_start{0};
};

class GstRecordingBranch {
  public:
    // The multiplexer and the writer into `pipeline`; nullptr with `result` REGDB_E_CLASSNOTREG when an
    // element is missing, E_FAIL otherwise.
    static std::unique_ptr<GstRecordingBranch> Create(GstElement* pipeline, FileContainer container,
                                                      const std::string& path, int32_t* result);
    ~GstRecordingBranch();
    GstRecordingBranch(const GstRecordingBranch&) = delete;
    GstRecordingBranch& operator=(const GstRecordingBranch&) = delete;

    // A video output: frames from `upstream`'s src pad (a request pad of the source's tee), counted into
    // `counters`. An audio output: the source bin's "src" pad. False when the chain cannot be made.
    bool AddVideo(GstPad* upstream, RecordingCounters* counters);
    bool AddAudio(GstPad* upstream);
    bool HasInputs() const { return !inputs_.empty(); }

    // Opens or closes the valves.
    void SetWriting(bool writing);
    // EOS into every input (detached from its upstream first) and waits until the writer has had it or
    // `bound_ms` passed. True when the file got its end.
    bool Finish(int bound_ms);
    // An element of the branch failed (the bus saw its error): a waiting Finish gives up.
    bool Owns(GstObject* object) const;
    void Abort();

  private:
    struct Input {
        GstPad* upstream = nullptr;  // reference; a tee request pad is released at the end
        bool request_pad = false;
        GstElement* valve = nullptr;
        GstElement* videorate = nullptr;
        bool picture = false;
        RecordingCounters* counters = nullptr;  // video only
        GstRecordingBranch* branch = nullptr;
        uint64_t last_offset = GST_BUFFER_OFFSET_NONE;
        GstClockTime last_pts = GST_CLOCK_TIME_NONE;
        GstClockTime frame_duration = GST_CLOCK_TIME_NONE;
        long rate_drops_counted = 0;
        GstSegment segment{};  // as the multiplexer's pad last saw it
        bool have_segment = false;
    };

    GstRecordingBranch(GstElement* pipeline, FileContainer container);
    GstElement* Add(const char* factory);
    bool LinkInput(Input& input, std::initializer_list<GstElement*> chain, const char* mux_pad);
    void CountRateDrops(Input& input);

    static GstPadProbeReturn OnValveBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    static GstPadProbeReturn OnMuxData(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    static GstPadProbeReturn OnWriterEvent(GstPad* pad, GstPadProbeInfo* info, gpointer data);
    static GstPadProbeReturn OnInputIdle(GstPad* pad, GstPadProbeInfo* info, gpointer data);

    GstElement* pipeline_;  // not owned
    FileContainer container_;
    std::vector<GstElement*> elements_;  // one reference each, in the pipeline
    GstElement* mux_ = nullptr;
    GstElement* writer_ = nullptr;
    std::vector<std::unique_ptr<Input>> inputs_;
    RecordingCounters* counters_ = nullptr;  // of the video input
    bool missing_ = false;

    // Set when the valves open, read by the streaming threads: the file's zero in running time (none
    // without a clock: then the first time let through), and whether the picture has begun.
    std::mutex time_mutex_;
    GstClockTime base_ = GST_CLOCK_TIME_NONE;
    bool picture_begun_ = false;
    std::atomic<bool> writing_{false};

    std::mutex end_mutex_;
    std::condition_variable end_;
    bool ended_ = false;
    bool aborted_ = false;
};

}  // namespace platform
