#pragma once
// The capture filters of the GStreamer graph: a V4L2 node (v4l2src with exact caps), a provider's device
// that renders its own frames (appsrc at the format's frame rate), and audio inputs (pulsesrc/alsasrc from
// the device monitor, audiotestsrc for a tone source). Each owns a source bin; a graph adds it to its
// pipeline. GUI thread, except the streaming-thread hooks named below.

#include <functional>
#include <memory>

#include "media/capture_graph.h"
#include "media/gst_ptr.h"
#include "media/gst_recording.h"
#include "media/v4l2_io.h"

namespace platform {

// Name of the element message a provider's source posts when its device stops giving frames.
inline constexpr char kSourceLostMessage[] = "vellumo-source-lost";

class GstCaptureFilter : public CaptureFilter {
  public:
    GstCaptureFilter(DeviceCategory category, MediaDeviceInfo info, GstElementPtr bin);
    ~GstCaptureFilter() override;
    GstCaptureFilter(const GstCaptureFilter&) = delete;
    GstCaptureFilter& operator=(const GstCaptureFilter&) = delete;

    const MediaDeviceInfo& Info() const override { return info_; }
    DeviceCategory Category() const override { return category_; }

    // Video inputs count what they record.
    DroppedFrames* QueryDroppedFrames() override {
        return category_ == DeviceCategory::VideoInput ? &counters_ : nullptr;
    }
    RecordingCounters* Counters() { return &counters_; }

    // The source bin, with the always pad "src".
    GstElement* Bin() const { return bin_.get(); }
    // The graph holding the bin is told when the filter goes first.
    void SetDetachHandler(std::function<void()> handler) { detach_ = std::move(handler); }

    // Before the pipeline starts (GUI thread).
    virtual void Starting() {}
    // The first frame after a start (streaming thread): UVC cameras reset some controls at stream start.
    virtual void FirstFrame() {}
    // The bus error came from this source because its device is gone.
    virtual bool LostOnError(const GError* /*error*/) const { return false; }
    // The device has gone and the stream is stopped: whatever still holds the device open lets go of it.
    virtual void LetGoOfDevice() {}

  protected:
    // Stops the bin and takes it out of its graph; once done, no streaming thread calls into the filter.
    // A subclass whose hooks or sources use its own members calls this first in its destructor, since by
    // the time the base destructor runs those members are gone. Safe to call more than once.
    void Release();

  private:
    DeviceCategory category_;
    MediaDeviceInfo info_;
    GstElementPtr bin_;
    std::function<void()> detach_;
    RecordingCounters counters_;
};

// nullptr when the node cannot be opened or is not a capture device (with a debug line).
std::unique_ptr<GstCaptureFilter> MakeV4l2Filter(const MediaDeviceInfo& info);
// The same over a node already open (or a stand-in for one).
std::unique_ptr<GstCaptureFilter> MakeV4l2Filter(const MediaDeviceInfo& info, std::unique_ptr<V4l2Io> io);
// A provider's video device with a frame source.
std::unique_ptr<GstCaptureFilter> MakeProviderVideoFilter(std::unique_ptr<MediaDevice> device);
// Audio: `source` is the input's element.
std::unique_ptr<GstCaptureFilter> MakeAudioFilter(const MediaDeviceInfo& info, GstElementPtr source);

// "video/x-raw,format=YUY2,width=..,height=..,framerate=.." (no frame rate when the interval is unknown).
GstCapsPtr Yuy2Caps(const VideoFormat& format);

}  // namespace platform
