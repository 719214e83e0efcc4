#include "media/gst_recording.h"

#include <chrono>

#include "platform/debuglog/debuglog.h"
#include "platform/sync/tsan_handoff.h"

namespace platform {
namespace {

// A few Mbit/s keep text on a page readable at 640 x 480; the encoders' default of 200 kbit/s does not.
constexpr int kVideoBitsPerSecond = 4000000;
constexpr int kAudioBitsPerSecond = 128000;
// Frames waiting for the encoder before the camera is held up: one second at 30 frames a second.
constexpr guint64 kQueueTime = GST_SECOND;

// The element's running time now, or none while it has no clock.
GstClockTime RunningTimeNow(GstElement* element) {
    GstClockPtr clock(gst_element_get_clock(element));
    if (!clock) return GST_CLOCK_TIME_NONE;
    const GstClockTime now = gst_clock_get_time(clock.get());
    const GstClockTime base = gst_element_get_base_time(element);
    return now > base ? now - base : 0;
}

void SetCaps(GstElement* capsfilter, const char* description) {
    GstCaps* caps = gst_caps_from_string(description);
    g_object_set(capsfilter, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

}  // namespace

int32_t RecordingCounters::GetNumDropped(long* count) {
    if (count == nullptr) return E_FAIL;
    *count = dropped.load();
    return S_OK;
}

int32_t RecordingCounters::GetNumNotDropped(long* count) {
    if (count == nullptr) return E_FAIL;
    *count = written.load();
    return S_OK;
}

int32_t RecordingCounters::GetAverageFrameSize(long* bytes) {
    const long frames = written.load() - written_at_start.load();
    if (bytes == nullptr || frames <= 0) return E_FAIL;
    *bytes = static_cast<long>((written_bytes.load() - bytes_at_start.load()) / frames);
    return S_OK;
}

GstRecordingBranch::GstRecordingBranch(GstElement* pipeline, FileContainer container)
    : pipeline_(pipeline), container_(container) {}

std::unique_ptr<GstRecordingBranch> GstRecordingBranch::Create(GstElement* pipeline, FileContainer container,
                                                               const std::string& path, int32_t* result) {
    std::unique_ptr<GstRecordingBranch> branch(new GstRecordingBranch(pipeline, container));
    branch->mux_ = branch->Add(container == FileContainer::WindowsMedia ? "asfmux" : "avimux");
    branch->writer_ = branch->Add("filesink");
    if (branch->missing_ || !gst_element_link(branch->mux_, branch->writer_)) {
        *result = branch->missing_ ? REGDB_E_CLASSNOTREG : E_FAIL;
        return nullptr;
    }
    // The writer must not wait for a first frame to start: the valves hold frames back at first.
    g_object_set(branch->writer_, "location", path.c_str(), "async", FALSE, nullptr);
    GstPadPtr pad(gst_element_get_static_pad(branch->writer_, "sink"));
    gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &GstRecordingBranch::OnWriterEvent,
                      branch.get(), nullptr);
    *result = S_OK;
    return branch;
}

GstRecordingBranch::~GstRecordingBranch() {
    for (GstElement* element : elements_) gst_element_set_state(element, GST_STATE_NULL);
    // Their streaming threads have stopped; what the probes last did to an input is seen here.
    for ([[maybe_unused]] auto& input : inputs_) VELLUMO_TSAN_RECEIVE(input.get());
    for (auto& input : inputs_) {
        GstPadPtr peer(gst_pad_get_peer(input->upstream));
        if (peer) gst_pad_unlink(input->upstream, peer.get());
        if (input->request_pad) {
            GstElementPtr tee(gst_pad_get_parent_element(input->upstream));
            if (tee) gst_element_release_request_pad(tee.get(), input->upstream);
        }
        gst_object_unref(input->upstream);
    }
    for (GstElement* element : elements_) {
        gst_bin_remove(GST_BIN(pipeline_), element);
        gst_object_unref(element);
    }
}

GstElement* GstRecordingBranch::Add(const char* factory) {
    GstElementPtr element = MakeElement(factory);
    if (!element) {
        DebugLog("media", "recording: element %s is not installed", factory);
        missing_ = true;
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline_), element.get());
    elements_.push_back(element.get());
    return element.release();
}

bool GstRecordingBranch::LinkInput(Input& input, std::initializer_list<GstElement*> chain,
                                   const char* mux_pad) {
    if (missing_) return false;
    GstElement* previous = nullptr;
    for (GstElement* element : chain) {
        if (previous != nullptr && !gst_element_link(previous, element)) return false;
        previous = element;
    }
    if (!gst_element_link_pads(previous, "src", mux_, mux_pad)) return false;
    GstPadPtr valve_sink(gst_element_get_static_pad(input.valve, "sink"));
    if (gst_pad_link(input.upstream, valve_sink.get()) != GST_PAD_LINK_OK) return false;

    GstPadPtr valve_src(gst_element_get_static_pad(input.valve, "src"));
    gst_pad_add_probe(valve_src.get(), GST_PAD_PROBE_TYPE_BUFFER, &GstRecordingBranch::OnValveBuffer, &input,
                      nullptr);
    GstPadPtr last_src(gst_element_get_static_pad(previous, "src"));
    GstPadPtr mux_sink(gst_pad_get_peer(last_src.get()));
    gst_pad_add_probe(
        mux_sink.get(),
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        &GstRecordingBranch::OnMuxData, &input, nullptr);
    VELLUMO_TSAN_PUBLISH(&input);
    for (GstElement* element : chain) gst_element_sync_state_with_parent(element);
    return true;
}

bool GstRecordingBranch::AddVideo(GstPad* upstream, RecordingCounters* counters) {
    auto input = std::make_unique<Input>();
    input->upstream = GST_PAD(gst_object_ref(upstream));
    input->request_pad = GST_PAD_TEMPLATE(GST_PAD_PAD_TEMPLATE(upstream)) != nullptr &&
                         GST_PAD_TEMPLATE_PRESENCE(GST_PAD_PAD_TEMPLATE(upstream)) == GST_PAD_REQUEST;
    input->counters = counters;
    input->branch = this;
    input->picture = true;
    counters_ = counters;
    input->valve = Add("valve");
    GstElement* queue = Add("queue");
    Input& ref = *input;
    inputs_.push_back(std::move(input));
    if (missing_) return false;
    g_object_set(ref.valve, "drop", TRUE, nullptr);
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", kQueueTime, nullptr);
    if (container_ == FileContainer::WindowsMedia) {
        GstElement* convert = Add("videoconvert");
        GstElement* i420 = Add("capsfilter");
        GstElement* encoder = Add("avenc_wmv2");
        if (missing_) return false;
        SetCaps(i420, "video/x-raw,format=I420");
        g_object_set(encoder, "bitrate", kVideoBitsPerSecond, nullptr);
        return LinkInput(ref, {ref.valve, queue, convert, i420, encoder}, "video_%u");
    }
    // avimux keeps no timestamps: videorate turns gaps into repeated frames so the file's time stays right.
    ref.videorate = Add("videorate");
    if (missing_) return false;
    return LinkInput(ref, {ref.valve, queue, ref.videorate}, "video_%u");
}

bool GstRecordingBranch::AddAudio(GstPad* upstream) {
    auto input = std::make_unique<Input>();
    input->upstream = GST_PAD(gst_object_ref(upstream));
    input->branch = this;
    input->valve = Add("valve");
    GstElement* queue = Add("queue");
    GstElement* convert = Add("audioconvert");
    GstElement* resample = Add("audioresample");
    GstElement* encoder = Add(container_ == FileContainer::WindowsMedia ? "avenc_wmav2" : "capsfilter");
    Input& ref = *input;
    inputs_.push_back(std::move(input));
    if (missing_) return false;
    g_object_set(ref.valve, "drop", TRUE, nullptr);
    g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", kQueueTime, nullptr);
    if (container_ == FileContainer::WindowsMedia)
        g_object_set(encoder, "bitrate", kAudioBitsPerSecond, nullptr);
    else
        SetCaps(encoder, "audio/x-raw,format=S16LE");
    return LinkInput(ref, {ref.valve, queue, convert, resample, encoder}, "audio_%u");
}

void GstRecordingBranch::SetWriting(bool writing) {
    {
        std::lock_guard<std::mutex> lock(time_mutex_);
        if (writing) {
            base_ = RunningTimeNow(pipeline_);
            picture_begun_ = false;
        }
    }
    if (writing && counters_ != nullptr) {
        counters_->written_at_start.store(counters_->written.load());
        counters_->bytes_at_start.store(counters_->written_bytes.load());
    }
    writing_.store(writing);
    for (auto& input : inputs_) g_object_set(input->valve, "drop", writing ? FALSE : TRUE, nullptr);
}

bool GstRecordingBranch::Finish(int bound_ms) {
    // The valves let EOS through; frames after it are refused by the pads that had it.
    for (auto& input : inputs_) g_object_set(input->valve, "drop", FALSE, nullptr);
    writing_.store(false);
    for (auto& input : inputs_) {
        if (input->request_pad) {
            // A tee's pad is taken off its branch between two frames, so the tee goes on feeding the preview.
            // It may run only once a push in flight returns, which can be after this branch is gone (the wait
            // below timed out and the graph removed us): it holds its own reference to the pad it ends, never
            // the branch's state.
            gpointer valve_sink = gst_element_get_static_pad(input->valve, "sink");
            gst_pad_add_probe(input->upstream, GST_PAD_PROBE_TYPE_IDLE, &GstRecordingBranch::OnInputIdle,
                              valve_sink, gst_object_unref);
        } else {
            // A source of its own: the EOS it meets on its next push ends it without an error.
            GstPadPtr valve_sink(gst_element_get_static_pad(input->valve, "sink"));
            gst_pad_send_event(valve_sink.get(), gst_event_new_eos());
        }
    }
    std::unique_lock<std::mutex> lock(end_mutex_);
    end_.wait_for(lock, std::chrono::milliseconds(bound_ms), [this] { return ended_ || aborted_; });
    if (!ended_) DebugLog("media", "recording: the file's writer did not get its end");
    return ended_;
}

bool GstRecordingBranch::Owns(GstObject* object) const {
    for (GstElement* element : elements_) {
        if (object == GST_OBJECT(element)) return true;
    }
    return false;
}

void GstRecordingBranch::Abort() {
    std::lock_guard<std::mutex> lock(end_mutex_);
    aborted_ = true;
    end_.notify_all();
}

void GstRecordingBranch::CountRateDrops(Input& input) {
    if (input.videorate == nullptr || input.counters == nullptr) return;
    guint64 drops = 0;
    g_object_get(input.videorate, "drop", &drops, nullptr);
    const long delta = static_cast<long>(drops) - input.rate_drops_counted;
    if (delta > 0) {
        input.counters->dropped.fetch_add(delta);
        input.rate_drops_counted += delta;
    }
}

GstPadProbeReturn GstRecordingBranch::OnValveBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* input = static_cast<Input*>(data);
    VELLUMO_TSAN_RECEIVE(input);
    GstRecordingBranch* self = input->branch;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    VELLUMO_TSAN_RECEIVE(buffer);  // written by a source on another streaming thread
    // A buffer dropped here is freed, and its memory may be filled again, on another thread.
    auto drop = [&] {
        VELLUMO_TSAN_PUBLISH(buffer);
        VELLUMO_TSAN_PUBLISH(input);
        return GST_PAD_PROBE_DROP;
    };
    if (!self->writing_.load() || !GST_BUFFER_PTS_IS_VALID(buffer)) return drop();
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    GstClockTime base = GST_CLOCK_TIME_NONE;
    bool first_picture = false;
    {
        std::lock_guard<std::mutex> lock(self->time_mutex_);
        if (self->base_ == GST_CLOCK_TIME_NONE) self->base_ = pts;
        base = self->base_;
        if (pts < base) return drop();  // captured before the file began
        if (input->picture && !self->picture_begun_) first_picture = self->picture_begun_ = true;
    }

    if (input->counters != nullptr) {
        // Frames the camera numbered but never delivered; without numbers, a gap in its timing.
        const uint64_t offset = GST_BUFFER_OFFSET(buffer);
        if (offset != GST_BUFFER_OFFSET_NONE && input->last_offset != GST_BUFFER_OFFSET_NONE &&
            offset > input->last_offset + 1) {
            input->counters->dropped.fetch_add(static_cast<long>(offset - input->last_offset - 1));
        } else if (offset == GST_BUFFER_OFFSET_NONE && GST_BUFFER_DURATION_IS_VALID(buffer) &&
                   GST_BUFFER_DURATION(buffer) > 0 && input->last_pts != GST_CLOCK_TIME_NONE) {
            const GstClockTime step = GST_BUFFER_DURATION(buffer);
            const GstClockTime gap = pts - input->last_pts;
            if (gap > step + step / 2)
                input->counters->dropped.fetch_add(static_cast<long>((gap + step / 2) / step) - 1);
        }
        input->last_offset = offset;
        input->last_pts = pts;
    }

    buffer = gst_buffer_make_writable(buffer);
    // A copy may take the place a buffer freed on another branch's thread held; GLib orders the two.
    VELLUMO_TSAN_RECEIVE(buffer);
    GST_BUFFER_PTS(buffer) = pts - base;
    if (GST_BUFFER_DTS_IS_VALID(buffer))
        GST_BUFFER_DTS(buffer) = GST_BUFFER_DTS(buffer) >= base ? GST_BUFFER_DTS(buffer) - base : 0;
    if (first_picture) {
        // The camera's first frame stands from the file's start until it was taken and on.
        if (GST_BUFFER_DURATION_IS_VALID(buffer)) GST_BUFFER_DURATION(buffer) += GST_BUFFER_PTS(buffer);
        GST_BUFFER_PTS(buffer) = 0;
        if (GST_BUFFER_DTS_IS_VALID(buffer)) GST_BUFFER_DTS(buffer) = 0;
    }
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    VELLUMO_TSAN_PUBLISH(buffer);
    VELLUMO_TSAN_PUBLISH(input);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn GstRecordingBranch::OnMuxData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* input = static_cast<Input*>(data);
    VELLUMO_TSAN_RECEIVE(input);
    // Encoders may move their output's segment (video encoders start it 1000 hours on, to leave room for
    // decoding times before the first frame); the multiplexers read the buffers' own times, so the times
    // reach them as running times in a segment that starts at zero.
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_TIME) {
                gst_segment_copy_into(segment, &input->segment);
                input->have_segment = true;
                GstSegment zero;
                gst_segment_init(&zero, GST_FORMAT_TIME);
                gst_event_unref(event);
                GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_segment(&zero);
            }
        }
        VELLUMO_TSAN_PUBLISH(input);
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    VELLUMO_TSAN_RECEIVE(buffer);
    if (input->have_segment) {
        buffer = gst_buffer_make_writable(buffer);
        if (GST_BUFFER_PTS_IS_VALID(buffer))
            GST_BUFFER_PTS(buffer) =
                gst_segment_to_running_time(&input->segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (GST_BUFFER_DTS_IS_VALID(buffer)) {
            guint64 dts = 0;
            GST_BUFFER_DTS(buffer) = gst_segment_to_running_time_full(&input->segment, GST_FORMAT_TIME,
                                                                      GST_BUFFER_DTS(buffer), &dts) > 0
                                         ? dts
                                         : 0;
        }
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    if (input->counters != nullptr) {
        input->counters->written.fetch_add(1);
        input->counters->written_bytes.fetch_add(static_cast<long long>(gst_buffer_get_size(buffer)));
        input->branch->CountRateDrops(*input);
    }
    VELLUMO_TSAN_PUBLISH(buffer);
    VELLUMO_TSAN_PUBLISH(input);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn GstRecordingBranch::OnWriterEvent(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* self = static_cast<GstRecordingBranch*>(data);
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
        std::lock_guard<std::mutex> lock(self->end_mutex_);
        self->ended_ = true;
        self->end_.notify_all();
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn GstRecordingBranch::OnInputIdle(GstPad* pad, GstPadProbeInfo*, gpointer data) {
    // A pad whose element has gone refuses the event; unlinking pads no longer linked does nothing.
    auto* valve_sink = static_cast<GstPad*>(data);
    gst_pad_unlink(pad, valve_sink);
    gst_pad_send_event(valve_sink, gst_event_new_eos());
    return GST_PAD_PROBE_REMOVE;
}

}  // namespace platform
