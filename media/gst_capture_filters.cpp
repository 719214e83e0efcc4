#include "media/gst_capture_filters.h"

#include <gst/app/gstappsrc.h>
#include <linux/videodev2.h>
#include <unistd.h>

#include <mutex>

#include "media/v4l2_controls.h"
#include "media/v4l2_formats.h"
#include "media/v4l2_io.h"
#include "platform/debuglog/debuglog.h"
#include "platform/sync/tsan_handoff.h"

namespace platform {
namespace {

constexpr int kDefaultFramesPerSecond = 30;

GstElement* TopPipeline(GstElement* element) {
    GstElement* top = nullptr;
    for (GstObject* parent = gst_object_get_parent(GST_OBJECT(element)); parent != nullptr;) {
        if (top != nullptr) gst_object_unref(top);
        top = GST_ELEMENT(parent);
        parent = gst_object_get_parent(parent);
    }
    return top;  // a reference, or nullptr when the element is in no bin
}

// New caps on a source's capsfilter. A running pipeline goes to READY and back, since some UVC cameras
// crash when the format is renegotiated while they stream.
void ReplaceCaps(GstElement* bin, GstElement* capsfilter, GstCaps* caps) {
    GstElementPtr top(TopPipeline(bin));
    GstState state = GST_STATE_NULL;
    if (top) gst_element_get_state(top.get(), &state, nullptr, 0);
    bool restart = top && state > GST_STATE_READY;
    if (restart) gst_element_set_state(top.get(), GST_STATE_READY);
    g_object_set(capsfilter, "caps", caps, nullptr);
    if (restart) gst_element_set_state(top.get(), state);
}

// A bin around a chain of elements, its last one's src pad as the bin's "src".
GstElementPtr ChainBin(std::initializer_list<GstElement*> chain) {
    GstElementPtr bin(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr))));
    GstElement* previous = nullptr;
    for (GstElement* element : chain) {
        gst_bin_add(GST_BIN(bin.get()), element);
        if (previous != nullptr) gst_element_link(previous, element);
        previous = element;
    }
    GstPadPtr pad(gst_element_get_static_pad(previous, "src"));
    gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", pad.get()));
    return bin;
}

class V4l2Filter : public GstCaptureFilter, public StreamConfig {
  public:
    V4l2Filter(const MediaDeviceInfo& info, std::unique_ptr<V4l2Io> io, GstElementPtr source,
               GstElementPtr capsfilter)
        : GstCaptureFilter(DeviceCategory::VideoInput, info, ChainBin({source.get(), capsfilter.get()})),
          io_(std::move(io)),
          controls_(*io_),
          formats_(ListYuy2Formats(*io_)),
          capsfilter_(std::move(capsfilter)) {
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (io_->Ioctl(VIDIOC_G_FMT, &fmt) == 0 && fmt.fmt.pix.pixelformat == V4L2_PIX_FMT_YUYV) {
            current_ = MatchingFormat(formats_, VideoFormat{kFourccYuy2, static_cast<int>(fmt.fmt.pix.width),
                                                            static_cast<int>(fmt.fmt.pix.height)});
        }
        if (!current_ && !formats_.empty()) current_ = formats_.front();
        if (current_) g_object_set(capsfilter_.get(), "caps", Yuy2Caps(*current_).get(), nullptr);
    }
    // The first frame resends controls over io_.
    ~V4l2Filter() override { Release(); }

    StreamConfig* QueryStreamConfig() override { return this; }
    VideoProcAmp* QueryVideoProcAmp() override { return &controls_; }
    CameraControl* QueryCameraControl() override { return &controls_; }

    std::vector<VideoFormat> Capabilities() override { return formats_; }
    std::optional<VideoFormat> GetFormat() override { return current_; }
    bool SetFormat(const VideoFormat& format) override {
        std::optional<VideoFormat> match = MatchingFormat(formats_, format);
        if (!match || format.bit_count != 16 || !DriverAcceptsFormat(*io_, *match)) return false;
        current_ = match;
        ReplaceCaps(Bin(), capsfilter_.get(), Yuy2Caps(*match).get());
        return true;
    }

    void FirstFrame() override { controls_.Resend(); }
    void LetGoOfDevice() override { io_->Close(); }
    // The device plugged back streams from the same node: the controls need their node open again too,
    // or the settings sent on its return, and the first frame's resend, would go nowhere.
    void Starting() override {
        if (!io_->Reopen()) DebugLog("media", "cannot open %s for its controls", Info().node.c_str());
    }
    bool LostOnError(const GError* error) const override {
        return error->domain == GST_RESOURCE_ERROR && ::access(Info().node.c_str(), F_OK) != 0;
    }

  private:
    std::unique_ptr<V4l2Io> io_;
    V4l2Controls controls_;
    std::vector<VideoFormat> formats_;
    GstElementPtr capsfilter_;
    std::optional<VideoFormat> current_;
};

// Plays a device's frame source: appsrc asks for a frame, the source renders it, and clocksync holds each
// frame until its time so that the stream runs at the format's frame rate.
class ProviderVideoFilter : public GstCaptureFilter {
  public:
    ProviderVideoFilter(std::unique_ptr<MediaDevice> device, GstElementPtr appsrc, GstElementPtr clocksync)
        : GstCaptureFilter(DeviceCategory::VideoInput, device->Info(),
                           ChainBin({appsrc.get(), clocksync.get()})),
          device_(std::move(device)),
          source_(device_->QueryFrameSource()),
          appsrc_(std::move(appsrc)) {
        g_object_set(appsrc_.get(), "is-live", TRUE, "format", GST_FORMAT_TIME, "max-bytes", guint64{1},
                     nullptr);
        if (StreamConfig* config = device_->QueryStreamConfig()) {
            if (std::optional<VideoFormat> format = config->GetFormat()) SetCaps(*format);
        }
        GstAppSrcCallbacks callbacks{};
        callbacks.need_data = [](GstAppSrc*, guint, gpointer self) {
            static_cast<ProviderVideoFilter*>(self)->Push();
        };
        gst_app_src_set_callbacks(GST_APP_SRC(appsrc_.get()), &callbacks, this, nullptr);
    }
    // The appsrc asks this object for frames until its bin stops.
    ~ProviderVideoFilter() override { Release(); }

    StreamConfig* QueryStreamConfig() override { return device_->QueryStreamConfig(); }
    VideoProcAmp* QueryVideoProcAmp() override { return device_->QueryVideoProcAmp(); }
    CameraControl* QueryCameraControl() override { return device_->QueryCameraControl(); }

    void Starting() override {
        std::lock_guard<std::mutex> lock(mutex_);
        next_pts_ = GST_CLOCK_TIME_NONE;
        lost_posted_ = false;
    }

  private:
    void SetCaps(const VideoFormat& format) {
        caps_format_ = format;
        GstCapsPtr caps = Yuy2Caps(FrameRateOf(format));
        // The sources' frames are BT.601, as the grabber reads them; unsaid, large frames would be
        // previewed as BT.709, in other colours than their stills.
        gst_caps_set_simple(caps.get(), "colorimetry", G_TYPE_STRING, "bt601", nullptr);
        gst_app_src_set_caps(GST_APP_SRC(appsrc_.get()), caps.get());
    }

    static VideoFormat FrameRateOf(VideoFormat format) {
        if (format.interval_numerator <= 0 || format.interval_denominator <= 0) {
            format.interval_numerator = 1;
            format.interval_denominator = kDefaultFramesPerSecond;
        }
        return format;
    }

    // Streaming thread.
    void Push() {
        if (!PushFrame()) {
            // Posted without our lock held: the graph's bus handler takes its own.
            gst_element_post_message(appsrc_.get(),
                                     gst_message_new_element(GST_OBJECT(appsrc_.get()),
                                                             gst_structure_new_empty(kSourceLostMessage)));
        }
    }

    // False the first time the device is found gone: the stream then stalls until the graph is stopped.
    bool PushFrame() {
        std::lock_guard<std::mutex> lock(mutex_);
        VideoFormat format;
        GstBuffer* buffer = nullptr;
        GstMapInfo map{};
        // The source draws straight into a buffer of the pool.
        const bool present = source_->RenderFrame([&](const VideoFormat& drawn) -> uint8_t* {
            if (drawn.width <= 0 || drawn.height <= 0 || buffer != nullptr) return nullptr;
            format = drawn;
            buffer = AcquireBuffer(static_cast<size_t>(drawn.width) * static_cast<size_t>(drawn.height) * 2);
            VELLUMO_TSAN_RECEIVE(
                buffer);  // its memory may have held a buffer another thread was the last to read
            if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
                VELLUMO_TSAN_RECEIVE(map.data);  // the preview may have read it through another wrapper
                return map.data;
            }
            gst_buffer_unref(buffer);
            buffer = nullptr;
            return nullptr;
        });
        if (buffer != nullptr) {
            VELLUMO_TSAN_PUBLISH(map.data);
            gst_buffer_unmap(buffer, &map);
        }
        if (!present) {
            if (buffer != nullptr) gst_buffer_unref(buffer);
            bool first = !lost_posted_;
            lost_posted_ = true;
            return !first;
        }
        if (buffer == nullptr) return true;
        if (!caps_format_ || !(*caps_format_ == format)) SetCaps(format);
        VideoFormat timed = FrameRateOf(format);
        GstClockTime duration =
            gst_util_uint64_scale(GST_SECOND, static_cast<guint64>(timed.interval_numerator),
                                  static_cast<guint64>(timed.interval_denominator));
        // A frame drawn late is stamped with its own time, as a live camera's would be: stamps that fell
        // behind would let the frames after it catch up in a burst.
        if (const GstClockTime now = RunningTime(); next_pts_ == GST_CLOCK_TIME_NONE || next_pts_ < now)
            next_pts_ = now;
        GST_BUFFER_PTS(buffer) = next_pts_;
        GST_BUFFER_DURATION(buffer) = duration;
        next_pts_ += duration;
        VELLUMO_TSAN_PUBLISH(buffer);
        gst_app_src_push_buffer(GST_APP_SRC(appsrc_.get()), buffer);
        return true;
    }

    // A buffer of the pool for frames of this size: the frames downstream let go of come back to be filled
    // again instead of a full frame being allocated for every frame. Without a pool, a buffer of its own.
    GstBuffer* AcquireBuffer(size_t bytes) {
        if (pool_bytes_ != bytes) {
            pool_.reset(gst_buffer_pool_new());
            pool_bytes_ = bytes;
            GstStructure* config = gst_buffer_pool_get_config(pool_.get());
            gst_buffer_pool_config_set_params(config, nullptr, static_cast<guint>(bytes), 0, 0);
            if (!gst_buffer_pool_set_config(pool_.get(), config) ||
                !gst_buffer_pool_set_active(pool_.get(), TRUE)) {
                DebugLog("media", "no buffer pool for frames of %zu bytes", bytes);
                pool_.reset();
            }
        }
        GstBuffer* buffer = nullptr;
        if (pool_ && gst_buffer_pool_acquire_buffer(pool_.get(), &buffer, nullptr) == GST_FLOW_OK)
            return buffer;
        return gst_buffer_new_allocate(nullptr, bytes, nullptr);
    }

    GstClockTime RunningTime() {
        GstClock* clock = gst_element_get_clock(appsrc_.get());
        if (clock == nullptr) return 0;
        GstClockTime now = gst_clock_get_time(clock);
        gst_object_unref(clock);
        GstClockTime base = gst_element_get_base_time(appsrc_.get());
        return now > base ? now - base : 0;
    }

    std::unique_ptr<MediaDevice> device_;
    FrameSource* source_;
    GstElementPtr appsrc_;
    std::mutex mutex_;
    GstBufferPoolPtr pool_;  // streaming thread, under mutex_
    size_t pool_bytes_ = 0;
    std::optional<VideoFormat> caps_format_;
    GstClockTime next_pts_ = GST_CLOCK_TIME_NONE;
    bool lost_posted_ = false;
};

}  // namespace

GstCaptureFilter::GstCaptureFilter(DeviceCategory category, MediaDeviceInfo info, GstElementPtr bin)
    : category_(category), info_(std::move(info)), bin_(std::move(bin)) {}

GstCaptureFilter::~GstCaptureFilter() { Release(); }

void GstCaptureFilter::Release() {
    // Moved out first: the graph clears the handler while it runs.
    if (std::function<void()> detach = std::move(detach_)) detach();
    detach_ = nullptr;
    gst_element_set_state(bin_.get(), GST_STATE_NULL);
}

GstCapsPtr Yuy2Caps(const VideoFormat& format) {
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT,
                                        format.width, "height", G_TYPE_INT, format.height, nullptr);
    if (format.interval_numerator > 0 && format.interval_denominator > 0) {
        gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, format.interval_denominator,
                            format.interval_numerator, nullptr);
    }
    return GstCapsPtr(caps);
}

std::unique_ptr<GstCaptureFilter> MakeV4l2Filter(const MediaDeviceInfo& info) {
    std::unique_ptr<V4l2Io> io = OpenV4l2Node(info.node);
    if (!io) {
        DebugLog("media", "cannot open %s", info.node.c_str());
        return nullptr;
    }
    return MakeV4l2Filter(info, std::move(io));
}

std::unique_ptr<GstCaptureFilter> MakeV4l2Filter(const MediaDeviceInfo& info, std::unique_ptr<V4l2Io> io) {
    if (!io || !IsVideoCaptureNode(*io)) {
        DebugLog("media", "%s is not a video capture device", info.node.c_str());
        return nullptr;
    }
    GstElementPtr source = MakeElement("v4l2src");
    GstElementPtr capsfilter = MakeElement("capsfilter");
    if (!source || !capsfilter) return nullptr;
    g_object_set(source.get(), "device", info.node.c_str(), nullptr);
    return std::make_unique<V4l2Filter>(info, std::move(io), std::move(source), std::move(capsfilter));
}

std::unique_ptr<GstCaptureFilter> MakeProviderVideoFilter(std::unique_ptr<MediaDevice> device) {
    if (!device || device->QueryFrameSource() == nullptr) return nullptr;
    GstElementPtr appsrc = MakeElement("appsrc");
    GstElementPtr clocksync = MakeElement("clocksync");
    if (!appsrc || !clocksync) return nullptr;
    return std::make_unique<ProviderVideoFilter>(std::move(device), std::move(appsrc), std::move(clocksync));
}

std::unique_ptr<GstCaptureFilter> MakeAudioFilter(const MediaDeviceInfo& info, GstElementPtr source) {
    if (!source) return nullptr;
    GstElementPtr bin(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr))));
    gst_bin_add(GST_BIN(bin.get()), source.get());
    // Recording takes the sound from here; in a preview the pad stays unlinked.
    GstPadPtr pad(gst_element_get_static_pad(source.get(), "src"));
    if (pad) gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", pad.get()));
    return std::make_unique<GstCaptureFilter>(DeviceCategory::AudioInput, info, std::move(bin));
}

}  // namespace platform
