// Preview cost on the GStreamer graph over a provider's frame source: process CPU per second of preview
// with the source's own rendering measured apart, frames painted against frames delivered, and the time
// from a frame request to the frame handler.
//
// Usage: bench_media_preview [seconds per size]   (default 6)

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "media/gst_capture_graph.h"

namespace {

using namespace platform;
using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// A picture rendered once per format and copied out for every frame, as a cheap camera does.
class BenchCamera : public MediaDevice, public StreamConfig, public FrameSource {
  public:
    BenchCamera(MediaDeviceInfo info, VideoFormat format) : info_(std::move(info)), format_(format) {}
    const MediaDeviceInfo& Info() const override { return info_; }
    StreamConfig* QueryStreamConfig() override { return this; }
    FrameSource* QueryFrameSource() override { return this; }
    std::vector<VideoFormat> Capabilities() override { return {format_}; }
    bool SetFormat(const VideoFormat& format) override { return format.width == format_.width; }
    std::optional<VideoFormat> GetFormat() override { return format_; }

    bool RenderFrame(const FrameRoom& room) override {
        double start = ThreadCpuSeconds();
        size_t bytes = size_t(format_.width) * format_.height * 2;
        if (picture_.size() != bytes) {
            picture_.resize(bytes);
            for (size_t i = 0; i < bytes; i += 2) {
                picture_[i] = uint8_t(16 + (i / 2) % 219);
                picture_[i + 1] = 128;
            }
        }
        if (uint8_t* yuy2 = room(format_)) std::memcpy(yuy2, picture_.data(), bytes);
        delivered.fetch_add(1);
        render_cpu_ns.fetch_add(uint64_t((ThreadCpuSeconds() - start) * 1e9));
        return true;
    }

    std::atomic<uint64_t> delivered{0};
    std::atomic<uint64_t> render_cpu_ns{0};

  private:
    MediaDeviceInfo info_;
    VideoFormat format_;
    std::vector<uint8_t> picture_;
};

class BenchProvider : public MediaDeviceProvider {
  public:
    MediaDeviceInfo info{"Bench Camera", "\\\\?\\bench#camera", "bench-camera"};
    VideoFormat format;
    BenchCamera* bound = nullptr;
    std::vector<MediaDeviceInfo> List(DeviceCategory category) override {
        return category == DeviceCategory::VideoInput ? std::vector<MediaDeviceInfo>{info}
                                                      : std::vector<MediaDeviceInfo>{};
    }
    std::unique_ptr<MediaDevice> Bind(DeviceCategory, const MediaDeviceInfo& listed) override {
        auto camera = std::make_unique<BenchCamera>(listed, format);
        bound = camera.get();
        return camera;
    }
};

// The view's side: one latest-frame slot and a painter thread that repaints once per pending frame.
class BenchSurface : public VideoSurface {
  public:
    BenchSurface() : painter_([this] { Paint(); }) {}
    ~BenchSurface() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        painter_.join();
    }
    void Present(std::shared_ptr<const PreviewFrame> frame) override {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = std::move(frame);
        ++presented;
        changed_.notify_all();
    }
    void SetGeometry(int, int, int, int) override {}
    void SetVisible(bool) override {}
    uint64_t Presented() {
        std::lock_guard<std::mutex> lock(mutex_);
        return presented;
    }
    uint64_t Painted() {
        std::lock_guard<std::mutex> lock(mutex_);
        return painted;
    }

  private:
    void Paint() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            changed_.wait(lock, [&] { return stop_ || latest_ != nullptr; });
            if (stop_) break;
            std::shared_ptr<const PreviewFrame> frame = std::move(latest_);
            lock.unlock();
            // Stands for the widget's blit: every row touched once.
            uint64_t sum = 0;
            for (int y = 0; y < frame->height; ++y) sum += frame->pixels[size_t(y) * frame->stride];
            checksum_ += sum;
            lock.lock();
            ++painted;
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<const PreviewFrame> latest_;
    uint64_t presented = 0, painted = 0, checksum_ = 0;
    bool stop_ = false;
    std::thread painter_;
};

class BenchGrabber : public FrameSink {
  public:
    void Request() {
        std::lock_guard<std::mutex> lock(mutex_);
        requested_at_ = Clock::now();
        got_ = false;
        requested_.store(true);
    }
    bool WantsFrame() const override { return requested_.load(); }
    void OnFrame(const GrabbedFrame&) override {
        if (!requested_.exchange(false)) return;
        std::lock_guard<std::mutex> lock(mutex_);
        latency_ms_ = std::chrono::duration<double, std::milli>(Clock::now() - requested_at_).count();
        got_ = true;
        changed_.notify_all();
    }
    // Milliseconds, or a negative number when no frame came within the bound.
    double Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, std::chrono::seconds(5), [&] { return got_; })) return -1;
        return latency_ms_;
    }

  private:
    std::atomic<bool> requested_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point requested_at_;
    double latency_ms_ = 0;
    bool got_ = false;
};

void RunSize(GstMediaFactory& factory, int width, int height, int interval_num, int interval_den,
             double seconds) {
    BenchProvider provider;
    provider.format = VideoFormat{kFourccYuy2, width, height, 16, interval_num, interval_den};
    RegisterDeviceProvider(&provider);
    std::unique_ptr<CaptureFilter> camera = factory.Bind(DeviceCategory::VideoInput, provider.info);
    BenchSurface surface;
    BenchGrabber grabber;
    std::unique_ptr<FilterGraph> graph = factory.CreateGraph();
    if (!camera || graph->AddFilter(camera.get(), "Bench Camera") != S_OK ||
        graph->RenderPreview(camera.get(), &grabber) < 0) {
        std::printf("%dx%d: the graph could not be built\n", width, height);
        UnregisterDeviceProvider(&provider);
        return;
    }
    graph->QueryVideoWindow()->SetOwner(&surface);
    graph->Run();
    // Let the stream settle before measuring.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    uint64_t delivered0 = provider.bound->delivered.load(), presented0 = surface.Presented(),
             painted0 = surface.Painted();
    uint64_t render0 = provider.bound->render_cpu_ns.load();
    double cpu0 = ProcessCpuSeconds();
    auto start = Clock::now();
    std::vector<double> latencies;
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        // Varying pauses, so that requests fall anywhere between frames.
        std::this_thread::sleep_for(std::chrono::milliseconds(400 + (latencies.size() * 37) % 400));
        grabber.Request();
        latencies.push_back(grabber.Wait());
    }
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    double cpu = ProcessCpuSeconds() - cpu0;
    double render = (provider.bound->render_cpu_ns.load() - render0) / 1e9;
    uint64_t delivered = provider.bound->delivered.load() - delivered0;
    uint64_t presented = surface.Presented() - presented0, painted = surface.Painted() - painted0;
    graph->Stop();
    graph->QueryVideoWindow()->SetOwner(nullptr);
    graph.reset();
    camera.reset();
    UnregisterDeviceProvider(&provider);

    std::sort(latencies.begin(), latencies.end());
    double frame_ms = 1000.0 * interval_num / interval_den;
    std::printf("%dx%d @ %.1f fps over %.1f s\n", width, height, double(interval_den) / interval_num, wall);
    std::printf("  preview CPU   %.1f%% of one core (process %.1f%%, source rendering %.1f%% apart)\n",
                100 * (cpu - render) / wall, 100 * cpu / wall, 100 * render / wall);
    std::printf("  frames        delivered %llu, presented %llu, painted %llu\n",
                (unsigned long long)delivered, (unsigned long long)presented, (unsigned long long)painted);
    if (!latencies.empty()) {
        std::printf(
            "  request->handler  median %.1f ms, worst %.1f ms (frame time %.1f ms; goal <= %.1f ms)\n",
            latencies[latencies.size() / 2], latencies.back(), frame_ms, frame_ms + 5);
    }
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 6;
    GstMediaFactory factory(false);
    RunSize(factory, 640, 480, 1, 30, seconds);
    RunSize(factory, 2592, 1944, 2, 5, seconds * 2);
    return 0;
}
