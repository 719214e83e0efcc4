#include "media/gst_filter_graph.h"

#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "media/device_changes.h"
#include "media/frame_layout.h"
#include "media/gst_capture_filters.h"
#include "media/gst_ptr.h"
#include "media/gst_recording.h"
#include "media/preview_frame_pool.h"
#include "platform/debuglog/debuglog.h"
#include "platform/sync/tsan_handoff.h"

namespace platform {
namespace {

// How long Run waits for the pipeline to say whether it starts.
constexpr GstClockTime kStartTimeout = 5 * GST_SECOND;
// How long a stop waits for the recording's file to get its end.
constexpr int kRecordingEndBoundMs = 5000;

class GstFilterGraph : public FilterGraph, public VideoWindow, public MediaEvents {
  public:
    GstFilterGraph() : pipeline_(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)))) {
        GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
        gst_bus_set_sync_handler(bus.get(), &GstFilterGraph::OnBusMessage, this, nullptr);
        listener_ = AddDeviceChangeListener([this](const DeviceChange& change) { OnDeviceChange(change); });
    }

    ~GstFilterGraph() override {
        RemoveDeviceChangeListener(listener_);
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        GstBusPtr bus(gst_element_get_bus(pipeline_.get()));
        gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
        RemoveDownstream();
        std::vector<GstCaptureFilter*> filters;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Member& member : members_) filters.push_back(member.filter);
        }
        for (GstCaptureFilter* filter : filters) Detach(filter);
    }

    int32_t AddFilter(CaptureFilter* filter, const std::string& /*name*/) override {
        auto* ours = dynamic_cast<GstCaptureFilter*>(filter);
        if (ours == nullptr || ours->Bin() == nullptr) return E_FAIL;
        if (GST_OBJECT_PARENT(ours->Bin()) != nullptr) return IsMember(ours) ? S_OK : E_FAIL;
        // An audio input sits in the graph unconnected; it must not follow the pipeline's state.
        if (ours->Category() != DeviceCategory::VideoInput) gst_element_set_locked_state(ours->Bin(), TRUE);
        if (!gst_bin_add(GST_BIN(pipeline_.get()), ours->Bin())) return E_FAIL;
        ours->SetDetachHandler([this, ours] { Detach(ours); });
        std::lock_guard<std::mutex> lock(mutex_);
        members_.push_back(Member{ours, true});
        return S_OK;
    }

    int32_t RenderPreview(CaptureFilter* video, FrameSink* grabber) override {
        auto* source = dynamic_cast<GstCaptureFilter*>(video);
        if (source == nullptr || !IsMember(source) || source->Category() != DeviceCategory::VideoInput)
            return E_FAIL;
        // A recording being built keeps its branch; the preview joins it on the source's tee.
        if (!recording_) RemoveDownstream();
        GstElementPtr convert = MakeElement("videoconvert");
        GstElementPtr bgrx = MakeElement("capsfilter");
        GstElementPtr preview = MakeElement("fakesink");
        GstElementPtr queue = MakeElement("queue");
        if (!convert || !bgrx || !preview || !queue) return E_FAIL;
        // A YUY2 camera's frames pass through unconverted and are converted as the still is: the converter's
        // fast 8-bit path darkens them by some 3 levels and flattens faint colour differences by 2 (a white
        // page's bluish tone against a warm white desk, all the live outline has to go by there).
        GstCapsPtr caps(gst_caps_from_string("video/x-raw, format=(string){ YUY2, BGRx }"));
        g_object_set(bgrx.get(), "caps", caps.get(), nullptr);
        // The frame is converted out of the camera's own buffer in a probe that then drops it, so nothing
        // keeps it: an appsink holds the last sample it gave out even when stopped, and a V4L2 buffer so
        // held keeps the driver's pool, and the node of a camera pulled out, open.
        g_object_set(preview.get(), "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
        GstPadPtr preview_pad(gst_element_get_static_pad(preview.get(), "sink"));
        gst_pad_add_probe(preview_pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &GstFilterGraph::OnPreviewBuffer,
                          this, nullptr);
        // Preview frames are not worth waiting for: a slow painter drops them instead of holding the camera.
        g_object_set(queue.get(), "leaky", 2, "max-size-buffers", 1u, nullptr);

        int32_t result = S_OK;
        GstElementPtr grab_point;  // the element whose sink pad the grabber watches
        std::vector<GstElementPtr> chain;
        GstElement* previous = source->Bin();
        if (source->HasPreviewPin()) {
            grab_point = MakeElement("identity");
            if (!grab_point) return E_FAIL;
            chain.emplace_back(GST_ELEMENT(gst_object_ref(grab_point.get())));
        } else {
            // No separate preview output: the capture output is split, the grabber on one branch.
            result = VFW_S_NOPREVIEWPIN;
            GstElement* tee = EnsureTee(source);
            if (tee == nullptr) return Fail();
            previous = tee;
            if (grabber != nullptr) {
                GstElementPtr grab_queue = MakeElement("queue");
                grab_point = MakeElement("fakesink");
                if (!grab_queue || !grab_point) return Fail();
                g_object_set(grab_point.get(), "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE,
                             nullptr);
                for (GstElement* element : {grab_queue.get(), grab_point.get()}) AddDownstream(element);
                if (!gst_element_link_many(tee, grab_queue.get(), grab_point.get(), nullptr)) return Fail();
            } else {
                // A recording graph has no grabber; the preview's queue still sees the first frame.
                grab_point.reset(GST_ELEMENT(gst_object_ref(queue.get())));
            }
        }
        chain.push_back(std::move(queue));
        chain.push_back(std::move(convert));
        chain.push_back(std::move(bgrx));
        chain.push_back(std::move(preview));
        for (GstElementPtr& element : chain) {
            AddDownstream(element.get());
            if (!gst_element_link(previous, element.get())) return Fail();
            previous = element.get();
        }
        GstPadPtr pad(gst_element_get_static_pad(grab_point.get(), "sink"));
        grabber_ = grabber;
        grab_source_ = source;
        first_frame_.store(true);
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &GstFilterGraph::OnGrabberBuffer, this,
                          nullptr);
        grabber_connected_ = grabber != nullptr;
        for (GstElement* element : downstream_) gst_element_sync_state_with_parent(element);
        return result;
    }

    bool GrabberConnected() const override { return grabber_connected_; }

    void RemoveDownstream() override {
        std::unique_ptr<GstRecordingBranch> recording;
        {
            std::lock_guard<std::mutex> lock(record_mutex_);
            recording = std::move(recording_);
        }
        recording.reset();  // its pads leave the tee before the tee goes
        record_running_ = false;
        for (GstCaptureFilter* audio : recorded_audio_) {
            gst_element_set_locked_state(audio->Bin(), TRUE);
            gst_element_set_state(audio->Bin(), GST_STATE_NULL);
        }
        recorded_audio_.clear();
        tee_ = nullptr;
        {
            // Errors of the elements that go are stale: the next build must not be stopped for them.
            std::lock_guard<std::mutex> lock(mutex_);
            events_.erase(std::remove_if(events_.begin(), events_.end(),
                                         [](const GraphEvent& e) { return e.code == EC_ERRORABORT; }),
                          events_.end());
        }
        for (GstElement* element : downstream_) {
            gst_element_set_state(element, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(pipeline_.get()), element);
        }
        for (GstElement* element : downstream_) gst_object_unref(element);
        downstream_.clear();
        grabber_connected_ = false;
        grabber_ = nullptr;
        grab_source_ = nullptr;
    }

    int32_t Run() override {
        // Outside mutex_: a source's streaming thread may hold its own lock while it posts to the bus.
        std::vector<GstCaptureFilter*> filters;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Member& member : members_) filters.push_back(member.filter);
        }
        for (GstCaptureFilter* filter : filters) filter->Starting();
        first_frame_.store(true);
        PublishToStreamingThreads();
        preview_open_.store(true);
        if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
            gst_element_get_state(pipeline_.get(), nullptr, nullptr, kStartTimeout) ==
                GST_STATE_CHANGE_FAILURE) {
            gst_element_set_state(pipeline_.get(), GST_STATE_READY);
            return E_FAIL;
        }
        record_running_ = recording_ && recording_->HasInputs();
        return S_OK;
    }

    int32_t Stop() override {
        ClosePreview();
        if (record_running_) {
            record_running_ = false;
            recording_->Finish(kRecordingEndBoundMs);
        }
        if (gst_element_set_state(pipeline_.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
            DebugLog("media", "the pipeline refused to stop");
            return E_FAIL;
        }
        // A source whose device has gone still holds its dead node open in READY; the kernel keeps that
        // node's number taken until it is closed, and the device plugged back would come as another node.
        std::vector<GstCaptureFilter*> lost;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Member& member : members_)
                if (!member.present) lost.push_back(member.filter);
        }
        for (GstCaptureFilter* filter : lost) {
            DebugLog("media", "letting go of %s: its device has gone", filter->Info().node.c_str());
            gst_element_set_state(filter->Bin(), GST_STATE_NULL);
            filter->LetGoOfDevice();
        }
        return S_OK;
    }

    int32_t SetOutputFileName(FileContainer container, const std::string& path) override {
        int32_t result = E_FAIL;
        std::unique_ptr<GstRecordingBranch> branch =
            GstRecordingBranch::Create(pipeline_.get(), container, path, &result);
        std::unique_ptr<GstRecordingBranch>
            previous;  // goes outside the lock: its state changes reach the bus
        {
            std::lock_guard<std::mutex> lock(record_mutex_);
            previous = std::move(recording_);
            recording_ = std::move(branch);
        }
        return result;
    }

    int32_t RenderCaptureToFile(CaptureFilter* filter) override {
        auto* source = dynamic_cast<GstCaptureFilter*>(filter);
        if (!recording_ || source == nullptr || !IsMember(source)) return E_FAIL;
        if (source->Category() == DeviceCategory::VideoInput) {
            GstElement* tee = EnsureTee(source);
            GstPad* pad = tee != nullptr ? gst_element_request_pad_simple(tee, "src_%u") : nullptr;
            if (pad == nullptr) return E_FAIL;
            const bool linked = recording_->AddVideo(pad, source->Counters());
            gst_object_unref(pad);  // the branch keeps its own reference and gives the pad back
            return linked ? S_OK : E_FAIL;
        }
        GstPadPtr pad(gst_element_get_static_pad(source->Bin(), "src"));
        if (!pad) return E_FAIL;
        // The sound runs with the pipeline while it is recorded.
        gst_element_set_locked_state(source->Bin(), FALSE);
        recorded_audio_.push_back(source);
        if (!recording_->AddAudio(pad.get())) return E_FAIL;
        gst_element_sync_state_with_parent(source->Bin());
        return S_OK;
    }

    int32_t ControlCaptureStream(bool write) override {
        if (!recording_ || !recording_->HasInputs()) return E_FAIL;
        recording_->SetWriting(write);
        return S_OK;
    }

    VideoWindow* QueryVideoWindow() override { return this; }
    MediaEvents* QueryMediaEvents() override { return this; }

    bool EventNamesFilter(const GraphEvent& event, const CaptureFilter* filter) const override {
        return event.code == EC_DEVICE_LOST && filter != nullptr &&
               event.param1 == reinterpret_cast<intptr_t>(filter);
    }

    // VideoWindow
    void SetOwner(VideoSurface* surface) override {
        std::lock_guard<std::mutex> lock(window_mutex_);
        surface_ = surface;
    }
    void SetWindowPosition(int x, int y, int width, int height) override {
        std::lock_guard<std::mutex> lock(window_mutex_);
        if (surface_ != nullptr) surface_->SetGeometry(x, y, width, height);
    }
    void SetVisible(bool visible) override {
        std::lock_guard<std::mutex> lock(window_mutex_);
        if (surface_ != nullptr) surface_->SetVisible(visible);
    }

    // MediaEvents
    void SetNotifyWindow(MessageTarget* target, uint32_t message, intptr_t instance) override {
        std::lock_guard<std::mutex> lock(mutex_);
        target_ = target;
        message_ = message;
        instance_ = instance;
    }
    bool GetEvent(GraphEvent* event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (events_.empty()) return false;
        *event = events_.front();
        events_.pop_front();
        return true;
    }

  private:
    struct Member {
        GstCaptureFilter* filter;
        bool present;
    };

    // From here on no preview frame reaches the surface until the next Run: the view is emptied once the
    // stream has stopped or its camera has gone, and a frame converted before then must not come after.
    // Taking the lock waits for a hand-over under way.
    void ClosePreview() {
        std::lock_guard<std::mutex> lock(window_mutex_);
        preview_open_.store(false);
    }

    // What the GUI thread set up before a start is seen by the streaming threads' callbacks; each kind of
    // callback also follows its own earlier calls, which may have run on another pooled thread.
    void PublishToStreamingThreads() {
        VELLUMO_TSAN_PUBLISH(&grabbed_);
        VELLUMO_TSAN_PUBLISH(&preview_sequence_);
        VELLUMO_TSAN_PUBLISH(&events_);
    }

    int32_t Fail() {
        RemoveDownstream();
        return E_FAIL;
    }

    // The tee behind the video source that the preview and the recording share; made once per build.
    GstElement* EnsureTee(GstCaptureFilter* source) {
        if (tee_ != nullptr) return tee_;
        GstElementPtr tee = MakeElement("tee");
        if (!tee) return nullptr;
        // A branch taken off while the others run must not stop the camera.
        g_object_set(tee.get(), "allow-not-linked", TRUE, nullptr);
        AddDownstream(tee.get());
        if (!gst_element_link(source->Bin(), tee.get())) return nullptr;
        tee_ = tee.get();
        return tee_;
    }

    void AddDownstream(GstElement* element) {
        gst_bin_add(GST_BIN(pipeline_.get()), element);
        downstream_.push_back(GST_ELEMENT(gst_object_ref(element)));
    }

    bool IsMember(const GstCaptureFilter* filter) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::any_of(members_.begin(), members_.end(),
                           [&](const Member& m) { return m.filter == filter; });
    }

    // The filter goes (or the graph does): its bin leaves the pipeline.
    void Detach(GstCaptureFilter* filter) {
        if (grab_source_ == filter ||
            std::find(recorded_audio_.begin(), recorded_audio_.end(), filter) != recorded_audio_.end())
            RemoveDownstream();
        filter->SetDetachHandler({});
        gst_element_set_state(filter->Bin(), GST_STATE_NULL);
        gst_bin_remove(GST_BIN(pipeline_.get()), filter->Bin());
        std::lock_guard<std::mutex> lock(mutex_);
        members_.erase(std::remove_if(members_.begin(), members_.end(),
                                      [&](const Member& m) { return m.filter == filter; }),
                       members_.end());
    }

    // Callers hold mutex_.
    void Queue(const GraphEvent& event) {
        events_.push_back(event);
        if (target_ != nullptr) target_->PostMessage(WindowMessage{message_, 0, instance_, {}});
    }

    void MarkPresence(GstCaptureFilter* filter, bool present) {
        if (!present && filter->Category() == DeviceCategory::VideoInput) ClosePreview();
        std::lock_guard<std::mutex> lock(mutex_);
        for (Member& member : members_) {
            if (member.filter != filter || member.present == present) continue;
            member.present = present;
            Queue(GraphEvent{EC_DEVICE_LOST, reinterpret_cast<intptr_t>(filter), present ? 1 : 0, {}});
        }
    }

    // Any thread.
    void OnDeviceChange(const DeviceChange& change) {
        std::vector<GstCaptureFilter*> concerned;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const Member& member : members_) {
                if (ChangeConcerns(change, member.filter->Info().device_path, member.filter->Info().node)) {
                    concerned.push_back(member.filter);
                }
            }
        }
        for (GstCaptureFilter* filter : concerned) MarkPresence(filter, change.arrived);
    }

    GstCaptureFilter* FilterOf(GstObject* object) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const Member& member : members_) {
            GstObject* bin = GST_OBJECT(member.filter->Bin());
            if (object == bin || gst_object_has_as_ancestor(object, bin)) return member.filter;
        }
        return nullptr;
    }

    // Streaming threads.
    static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer data) {
        auto* self = static_cast<GstFilterGraph*>(data);
        VELLUMO_TSAN_RECEIVE(&self->events_);
        self->HandleBusMessage(message);
        VELLUMO_TSAN_PUBLISH(&self->events_);
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    void HandleBusMessage(GstMessage* message) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ELEMENT) {
            const GstStructure* s = gst_message_get_structure(message);
            if (s != nullptr && gst_structure_has_name(s, kSourceLostMessage)) {
                if (GstCaptureFilter* filter = FilterOf(GST_MESSAGE_SRC(message)))
                    MarkPresence(filter, false);
            }
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError* raw = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(message, &raw, &debug);
            GErrorPtr error(raw);
            GCharPtr debug_text(debug);
            DebugLog("media", "pipeline error: %s (%s)", error->message, debug != nullptr ? debug : "");
            {
                // A writer that fails (a full disk) will not see the end a stop waits for.
                std::lock_guard<std::mutex> lock(record_mutex_);
                if (recording_ && recording_->Owns(GST_MESSAGE_SRC(message))) recording_->Abort();
            }
            GstCaptureFilter* filter = FilterOf(GST_MESSAGE_SRC(message));
            if (filter != nullptr && filter->LostOnError(error.get())) {
                MarkPresence(filter, false);
            } else {
                std::lock_guard<std::mutex> lock(mutex_);
                Queue(GraphEvent{EC_ERRORABORT, E_FAIL, 0, error->message != nullptr ? error->message : ""});
            }
        }
    }

    static GstPadProbeReturn OnGrabberBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
        auto* self = static_cast<GstFilterGraph*>(data);
        VELLUMO_TSAN_RECEIVE(&self->grabbed_);
        VELLUMO_TSAN_RECEIVE(GST_PAD_PROBE_INFO_BUFFER(info));
        self->Grab(pad, GST_PAD_PROBE_INFO_BUFFER(info));
        VELLUMO_TSAN_PUBLISH(GST_PAD_PROBE_INFO_BUFFER(info));
        VELLUMO_TSAN_PUBLISH(&self->grabbed_);
        return GST_PAD_PROBE_OK;
    }

    void Grab(GstPad* pad, GstBuffer* buffer) {
        if (first_frame_.exchange(false) && grab_source_ != nullptr) grab_source_->FirstFrame();
        FrameSink* sink = grabber_;
        if (sink == nullptr || !sink->WantsFrame()) return;
        GstCapsPtr caps(gst_pad_get_current_caps(pad));
        GstVideoInfo video;
        if (!caps || !gst_video_info_from_caps(&video, caps.get()) ||
            GST_VIDEO_INFO_FORMAT(&video) != GST_VIDEO_FORMAT_YUY2) {
            return;
        }
        GstBufferReadMap map(buffer);
        int width = GST_VIDEO_INFO_WIDTH(&video), height = GST_VIDEO_INFO_HEIGHT(&video);
        size_t stride = static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&video, 0));
        if (!map.Mapped() || map.Size() < stride * static_cast<size_t>(height)) return;
        Yuy2ToBottomUpBgr24(map.Data(), stride, width, height, grabbed_);
        GrabbedFrame frame;
        frame.bytes = grabbed_.data();
        frame.length = grabbed_.size();
        frame.width = width;
        frame.height = height;
        frame.sample_time =
            GST_BUFFER_PTS_IS_VALID(buffer) ? static_cast<double>(GST_BUFFER_PTS(buffer)) / GST_SECOND : 0;
        sink->OnFrame(frame);
    }

    static GstPadProbeReturn OnPreviewBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
        auto* self = static_cast<GstFilterGraph*>(data);
        GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        // A YUY2 frame comes as the source's own buffer, written on its streaming thread and handed over by
        // GStreamer's atomics; its pool fills it again once we let go.
        VELLUMO_TSAN_RECEIVE(&self->preview_sequence_);
        VELLUMO_TSAN_RECEIVE(buffer);
        self->Present(pad, buffer);
        VELLUMO_TSAN_PUBLISH(buffer);
        VELLUMO_TSAN_PUBLISH(&self->preview_sequence_);
        return GST_PAD_PROBE_DROP;
    }

    void Present(GstPad* pad, GstBuffer* buffer) {
        if (!preview_open_.load()) return;
        GstCapsPtr caps(gst_pad_get_current_caps(pad));
        GstVideoInfo video;
        if (!caps || !gst_video_info_from_caps(&video, caps.get())) return;
        GstBufferReadMap map(buffer);
        int width = GST_VIDEO_INFO_WIDTH(&video), height = GST_VIDEO_INFO_HEIGHT(&video);
        size_t stride = static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&video, 0));
        const bool yuy2 = GST_VIDEO_INFO_FORMAT(&video) == GST_VIDEO_FORMAT_YUY2;
        const size_t row_bytes = (yuy2 ? 2 : 4) * static_cast<size_t>(width);
        if (!map.Mapped() || map.Size() < stride * static_cast<size_t>(height - 1) + row_bytes) return;
        std::shared_ptr<PreviewFrame> frame = preview_frames_.Acquire(width, height, 4 * width);
        frame->sequence = ++preview_sequence_;
        frame->time_ms =
            GST_BUFFER_PTS_IS_VALID(buffer) ? static_cast<int64_t>(GST_BUFFER_PTS(buffer) / GST_MSECOND) : -1;
        if (yuy2) {
            // The pixels by their own address too: a passthrough may wrap them in a buffer of its own.
            VELLUMO_TSAN_RECEIVE(map.Data());
            Yuy2ToBgrx(map.Data(), stride, width, height, frame->pixels.data());
            VELLUMO_TSAN_PUBLISH(map.Data());
        } else {
            CopyPackedRows(map.Data(), stride, static_cast<size_t>(frame->stride), height,
                           frame->pixels.data());
        }
        std::lock_guard<std::mutex> lock(window_mutex_);
        if (surface_ != nullptr && preview_open_.load()) surface_->Present(std::move(frame));
    }

    GstElementPtr pipeline_;
    uint64_t listener_ = 0;
    std::vector<GstElement*> downstream_;  // one reference each
    GstElement* tee_ = nullptr;            // in downstream_
    // The recording branch; the bus handler looks at it under record_mutex_, the GUI thread changes it.
    std::mutex record_mutex_;
    std::unique_ptr<GstRecordingBranch> recording_;
    bool record_running_ = false;
    std::vector<GstCaptureFilter*> recorded_audio_;
    // Set while the pipeline is stopped, read by the streaming threads.
    FrameSink* grabber_ = nullptr;
    GstCaptureFilter* grab_source_ = nullptr;
    bool grabber_connected_ = false;
    std::atomic<bool> first_frame_{true};
    std::vector<uint8_t> grabbed_;     // grabber's streaming thread only
    uint64_t preview_sequence_ = 0;    // preview's streaming thread only
    PreviewFramePool preview_frames_;  // the window keeps the latest and may still paint the one before

    std::mutex mutex_;  // members_, events and the notify target
    std::vector<Member> members_;
    std::deque<GraphEvent> events_;
    MessageTarget* target_ = nullptr;
    uint32_t message_ = 0;
    intptr_t instance_ = 0;

    std::mutex window_mutex_;
    VideoSurface* surface_ = nullptr;
    std::atomic<bool> preview_open_{false};  // cleared under window_mutex_
};

}  // namespace

std::unique_ptr<FilterGraph> MakeGstFilterGraph() { return std::make_unique<GstFilterGraph>(); }

}  // namespace platform
