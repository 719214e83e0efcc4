#pragma once
// What the capture engine needs from the media platform, in the engine's own terms: a bound capture
// device's stream formats and picture/camera controls, a graph that renders a preview through a frame
// grabber into a video window, and the graph's events. Qt-free and GStreamer-free; the GStreamer
// implementation is gst_capture_graph.h, the tests use fakes.
//
// Threads: every call here is for the GUI thread, except FrameSink::OnFrame, which runs on the streaming
// thread, and VideoSurface::Present, which may be called from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/device_controls.h"
#include "media/media_device.h"
#include "platform/window/window_messages.h"

namespace platform {

// Results as the engine has always seen them.
constexpr int32_t S_OK = 0;
constexpr int32_t VFW_S_NOPREVIEWPIN = 0x4027E;
constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005);
// An element the graph needs (a muxer or an encoder) is not installed.
constexpr int32_t REGDB_E_CLASSNOTREG = static_cast<int32_t>(0x80040154);

// IAMDroppedFrames of a video capture output: counters since the filter was bound, for the frames it
// recorded. Read on the GUI thread while the streaming threads count.
class DroppedFrames {
  public:
    virtual ~DroppedFrames() = default;
    virtual int32_t GetNumDropped(long* count) = 0;
    virtual int32_t GetNumNotDropped(long* count) = 0;
    // Mean bytes of a recorded frame as written (after encoding); fails before any frame was written.
    virtual int32_t GetAverageFrameSize(long* bytes) = 0;
};

// The recording file's container.
enum class FileContainer { WindowsMedia, Avi };

// A bound capture filter: the video or audio input the engine works with. Interfaces it does not offer
// are nullptr; they live as long as the filter.
class CaptureFilter {
  public:
    virtual ~CaptureFilter() = default;
    virtual const MediaDeviceInfo& Info() const = 0;
    virtual DeviceCategory Category() const = 0;
    virtual StreamConfig* QueryStreamConfig() { return nullptr; }
    virtual VideoProcAmp* QueryVideoProcAmp() { return nullptr; }
    virtual CameraControl* QueryCameraControl() { return nullptr; }
    // The device offers a separate preview output (else the preview is split off the capture output).
    virtual bool HasPreviewPin() const { return false; }
    // The frame counters of the capture output (video inputs that can record).
    virtual DroppedFrames* QueryDroppedFrames() { return nullptr; }
};

// One frame as the grabber hands it on: 24-bit B,G,R, bottom-up, rows of (3 x width + 3) / 4 x 4 bytes.
// The bytes are valid only during the call.
struct GrabbedFrame {
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    int width = 0;
    int height = 0;
    double sample_time = 0;
};

// The grabber's callback (BufferCB); runs on the streaming thread for every frame and must return at once
// unless it wants the frame.
class FrameSink {
  public:
    virtual ~FrameSink() = default;
    virtual void OnFrame(const GrabbedFrame& frame) = 0;
    // Cheap question asked before a frame is converted: false skips the conversion and OnFrame.
    virtual bool WantsFrame() const = 0;
};

// A preview frame for the window: 32-bit B,G,R,x top-down, `stride` bytes a row; shared and read-only.
struct PreviewFrame {
    std::vector<uint8_t> pixels;
    int width = 0;
    int height = 0;
    int stride = 0;
    uint64_t sequence = 0;
    // When the camera took it, in milliseconds of the stream's own clock (its running time); -1 unknown.
    // Only differences within one run of the stream mean anything.
    int64_t time_ms = -1;
};

// Where the video window shows: the view provides it (a child widget). Present may come from the streaming
// thread; the surface keeps only the latest frame and repaints on its own thread.
class VideoSurface {
  public:
    virtual ~VideoSurface() = default;
    virtual void Present(std::shared_ptr<const PreviewFrame> frame) = 0;
    // GUI thread.
    virtual void SetGeometry(int x, int y, int width, int height) = 0;
    virtual void SetVisible(bool visible) = 0;
};

// IVideoWindow: the renderer's window, placed in its owner.
class VideoWindow {
  public:
    virtual ~VideoWindow() = default;
    virtual void SetOwner(VideoSurface* surface) = 0;  // nullptr detaches
    virtual void SetWindowPosition(int x, int y, int width, int height) = 0;
    virtual void SetVisible(bool visible) = 0;
};

// Graph event codes.
constexpr long EC_ERRORABORT = 0x03;
constexpr long EC_DEVICE_LOST = 0x1F;

struct GraphEvent {
    long code = 0;
    intptr_t param1 = 0;  // EC_DEVICE_LOST: the filter (see GraphEventNamesFilter); EC_ERRORABORT: result
    intptr_t param2 = 0;  // EC_DEVICE_LOST: 0 removed, 1 back
    std::string text;  // EC_ERRORABORT: the media library's own words for the error (its detail goes to the
                       // debug log)
};

// IMediaEventEx: events wait in a queue; the graph posts `message` to the target whenever one arrives.
class MediaEvents {
  public:
    virtual ~MediaEvents() = default;
    virtual void SetNotifyWindow(MessageTarget* target, uint32_t message, intptr_t instance) = 0;
    // False when no event waits.
    virtual bool GetEvent(GraphEvent* event) = 0;
};

// The filter graph with what the capture graph builder does on it.
class FilterGraph {
  public:
    virtual ~FilterGraph() = default;
    virtual int32_t AddFilter(CaptureFilter* filter, const std::string& name) = 0;
    // Renders the video filter's preview (or, lacking a preview output, its capture output split by a tee)
    // through the grabber into the default renderer. S_OK, VFW_S_NOPREVIEWPIN (split) or a failure.
    virtual int32_t RenderPreview(CaptureFilter* video, FrameSink* grabber) = 0;
    // The grabber is connected and its callback in place.
    virtual bool GrabberConnected() const = 0;
    // Removes everything downstream of the capture filters.
    virtual void RemoveDownstream() = 0;
    virtual int32_t Run() = 0;
    virtual int32_t Stop() = 0;
    virtual VideoWindow* QueryVideoWindow() = 0;
    virtual MediaEvents* QueryMediaEvents() = 0;
    // True when the event's param1 names this filter.
    virtual bool EventNamesFilter(const GraphEvent& event, const CaptureFilter* filter) const = 0;

    // Recording. A graph that cannot record keeps these defaults.
    // Creates the file's multiplexer and writer (not yet connected); REGDB_E_CLASSNOTREG when an element
    // it needs is missing.
    virtual int32_t SetOutputFileName(FileContainer /*container*/, const std::string& /*path*/) {
        return E_FAIL;
    }
    // Connects the filter's capture output (video, or audio) to the file's multiplexer; the preview, when
    // rendered too, keeps running beside it.
    virtual int32_t RenderCaptureToFile(CaptureFilter* /*source*/) { return E_FAIL; }
    // Stream control of the capture outputs: `write` false holds them back (the graph runs, nothing reaches
    // the file), true lets the next frames through. E_FAIL when nothing is rendered to a file.
    virtual int32_t ControlCaptureStream(bool /*write*/) { return E_FAIL; }
    // Stop also ends a running recording first: the file gets its end (headers, index) before the graph
    // stops, within a few seconds even when a source has gone.
};

// What creates the engine's objects: the GStreamer one in the program, fakes in tests.
class MediaFactory {
  public:
    virtual ~MediaFactory() = default;
    virtual std::vector<MediaDeviceInfo> ListDevices(DeviceCategory category) = 0;
    virtual std::unique_ptr<CaptureFilter> Bind(DeviceCategory category, const MediaDeviceInfo& info) = 0;
    virtual std::unique_ptr<FilterGraph> CreateGraph() = 0;
};

}  // namespace platform
