#pragma once
// A media factory for engine tests: devices as the test lists them, filters with stream formats and
// controls, and a graph that records what is done to it in one shared log. Frames are delivered by the
// test itself (DeliverFrame), from whatever thread it likes.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "capture/capture_record.h"
#include "media/capture_graph.h"

namespace fake {

struct Log {
    std::vector<std::string> lines;
    void Add(std::string line) { lines.push_back(std::move(line)); }
    void Clear() { lines.clear(); }
};

struct Controls : platform::VideoProcAmp, platform::CameraControl {
    explicit Controls(Log& log) : log_(log) {}
    std::map<int, std::pair<long, long>> proc;  // property -> value, flags
    std::map<int, std::pair<long, long>> camera;

    // Picture controls are manual only; camera controls may also be automatic.
    int32_t GetRange(platform::VideoProcProperty, platform::ControlRange* r) override {
        *r = {0, 255, 1, 128, platform::kControlFlagsManual};
        return platform::S_OK;
    }
    int32_t GetRange(platform::CameraControlProperty, platform::ControlRange* r) override {
        *r = {0, 255, 1, 0, platform::kControlFlagsManual | platform::kControlFlagsAuto};
        return platform::S_OK;
    }
    int32_t Set(platform::VideoProcProperty p, long v, long f) override {
        return Put(proc, "proc", int(p), v, f);
    }
    int32_t Set(platform::CameraControlProperty p, long v, long f) override {
        return Put(camera, "camera", int(p), v, f);
    }
    int32_t Get(platform::VideoProcProperty p, long* v, long* f) override { return Take(proc, int(p), v, f); }
    int32_t Get(platform::CameraControlProperty p, long* v, long* f) override {
        return Take(camera, int(p), v, f);
    }

  private:
    int32_t Put(std::map<int, std::pair<long, long>>& map, const char* kind, int p, long v, long f) {
        map[p] = {v, f};
        log_.Add(std::string(kind) + " " + std::to_string(p) + "=" + std::to_string(v) +
                 (f == 1 ? " auto" : ""));
        return platform::S_OK;
    }
    static int32_t Take(const std::map<int, std::pair<long, long>>& map, int p, long* v, long* f) {
        auto it = map.find(p);
        if (it == map.end()) return platform::E_FAIL;
        *v = it->second.first;
        *f = it->second.second;
        return platform::S_OK;
    }
    Log& log_;
};

struct Formats : platform::StreamConfig {
    explicit Formats(Log& log) : log_(log) {}
    std::vector<platform::VideoFormat> caps;
    platform::VideoFormat current;
    std::vector<platform::VideoFormat> Capabilities() override { return caps; }
    bool SetFormat(const platform::VideoFormat& f) override {
        log_.Add("format " + std::to_string(f.width) + "x" + std::to_string(f.height));
        current = f;
        return true;
    }
    std::optional<platform::VideoFormat> GetFormat() override { return current; }

  private:
    Log& log_;
};

// The capture pin's frame counters, as the test sets them.
struct Counters : platform::DroppedFrames {
    long dropped = 0, written = 0, average_bytes = 0;
    int32_t GetNumDropped(long* n) override { return *n = dropped, platform::S_OK; }
    int32_t GetNumNotDropped(long* n) override { return *n = written, platform::S_OK; }
    int32_t GetAverageFrameSize(long* n) override {
        return written > 0 ? (*n = average_bytes, platform::S_OK) : platform::E_FAIL;
    }
};

class Filter : public platform::CaptureFilter {
  public:
    Filter(Log& log, platform::DeviceCategory category, platform::MediaDeviceInfo info)
        : info_(std::move(info)), category_(category), formats_(log), controls_(log) {
        for (auto [w, h] : {std::pair{640, 480}, {2048, 1536}, {2592, 1944}})
            formats_.caps.push_back(platform::VideoFormat{platform::kFourccYuy2, w, h, 16, 1, 30});
        formats_.current = formats_.caps[0];
    }
    const platform::MediaDeviceInfo& Info() const override { return info_; }
    platform::DeviceCategory Category() const override { return category_; }
    platform::StreamConfig* QueryStreamConfig() override { return &formats_; }
    platform::VideoProcAmp* QueryVideoProcAmp() override { return video() ? &controls_ : nullptr; }
    platform::CameraControl* QueryCameraControl() override { return video() ? &controls_ : nullptr; }
    platform::DroppedFrames* QueryDroppedFrames() override { return video() ? &counters_ : nullptr; }
    Controls& controls() { return controls_; }
    Counters& counters() { return counters_; }
    Formats& formats() { return formats_; }

  private:
    bool video() const { return category_ == platform::DeviceCategory::VideoInput; }
    platform::MediaDeviceInfo info_;
    platform::DeviceCategory category_;
    Formats formats_;
    Controls controls_;
    Counters counters_;
};

class Graph : public platform::FilterGraph, platform::VideoWindow, platform::MediaEvents {
  public:
    explicit Graph(Log& log) : log_(log) {}
    int32_t AddFilter(platform::CaptureFilter*, const std::string& name) override {
        log_.Add("add " + name);
        return platform::S_OK;
    }
    int32_t RenderPreview(platform::CaptureFilter*, platform::FrameSink* grabber) override {
        log_.Add("render");
        std::lock_guard<std::mutex> lock(mutex_);
        grabber_ = grabber;
        return platform::S_OK;
    }
    bool GrabberConnected() const override { return true; }
    void RemoveDownstream() override {
        log_.Add("remove downstream");
        std::lock_guard<std::mutex> lock(mutex_);
        grabber_ = nullptr;
    }
    int32_t Run() override {
        log_.Add("run");
        return platform::S_OK;
    }
    int32_t Stop() override {
        log_.Add("stop");
        return platform::S_OK;
    }
    // Recording: what SetOutputFileName answers is the test's choice.
    int32_t file_result = platform::S_OK;
    int32_t SetOutputFileName(platform::FileContainer container, const std::string& path) override {
        log_.Add(std::string("file ") +
                 (container == platform::FileContainer::WindowsMedia ? "wmv " : "avi ") + path);
        return file_result;
    }
    int32_t RenderCaptureToFile(platform::CaptureFilter* source) override {
        log_.Add("record " + source->Info().friendly_name);
        return platform::S_OK;
    }
    int32_t ControlCaptureStream(bool write) override {
        log_.Add(write ? "write" : "hold");
        return platform::S_OK;
    }
    platform::VideoWindow* QueryVideoWindow() override { return this; }
    platform::MediaEvents* QueryMediaEvents() override { return this; }
    bool EventNamesFilter(const platform::GraphEvent&, const platform::CaptureFilter*) const override {
        return false;
    }

    void SetOwner(platform::VideoSurface* surface) override { log_.Add(surface ? "owner" : "no owner"); }
    void SetWindowPosition(int x, int y, int w, int h) override {
        log_.Add("window " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(w) + "x" +
                 std::to_string(h));
    }
    void SetVisible(bool) override {}
    void SetNotifyWindow(platform::MessageTarget*, uint32_t message, intptr_t) override {
        log_.Add("notify " + std::to_string(message));
    }
    bool GetEvent(platform::GraphEvent*) override { return false; }

    // The streaming thread's part: one frame through the grabber, as the platform hands it on.
    void DeliverFrame(const platform::GrabbedFrame& frame) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (grabber_ != nullptr && grabber_->WantsFrame()) grabber_->OnFrame(frame);
    }

  private:
    Log& log_;
    std::mutex mutex_;
    platform::FrameSink* grabber_ = nullptr;
};

class Factory : public platform::MediaFactory {
  public:
    std::vector<platform::MediaDeviceInfo> videos, audios;
    Log log;
    Filter* video = nullptr;  // the last bound video filter
    Graph* graph = nullptr;   // the last graph made
    int binds = 0;
    int graphs = 0;

    std::vector<platform::MediaDeviceInfo> ListDevices(platform::DeviceCategory category) override {
        return category == platform::DeviceCategory::VideoInput ? videos : audios;
    }
    std::unique_ptr<platform::CaptureFilter> Bind(platform::DeviceCategory category,
                                                  const platform::MediaDeviceInfo& info) override {
        ++binds;
        auto filter = std::make_unique<Filter>(log, category, info);
        if (category == platform::DeviceCategory::VideoInput) video = filter.get();
        return filter;
    }
    std::unique_ptr<platform::FilterGraph> CreateGraph() override {
        ++graphs;
        auto made = std::make_unique<Graph>(log);
        graph = made.get();
        return made;
    }
};

// The view: a client area of a size the test sets, keeping the video rectangle it is told.
struct View : capture::CaptureView, platform::VideoSurface {
    int width = 1000, height = 600;
    int rect[4] = {};
    platform::VideoSurface* Surface() override { return this; }
    void ClientSize(int* w, int* h) const override {
        *w = width;
        *h = height;
    }
    void SetVideoRect(int l, int t, int r, int b) override {
        rect[0] = l, rect[1] = t, rect[2] = r, rect[3] = b;
    }
    void Present(std::shared_ptr<const platform::PreviewFrame>) override {}
    void SetGeometry(int, int, int, int) override {}
    void SetVisible(bool) override {}
};

}  // namespace fake
