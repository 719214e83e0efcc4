// Recording cost on the virtual camera at 640 x 480, 30 frames a second, through the program's engine: for
// each file format, the frames written and dropped, the CPU the recording adds to the live preview (the
// camera's own rendering is in both and cancels out), and the file's size per minute.
//
// Usage: bench_recording [seconds per recording]   (default 10)

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench/support/virtual_camera_bench.h"
#include "capture/device_discovery.h"
#include "capture/preview_graph.h"
#include "capture/recording.h"
#include "media/gst_capture_graph.h"
#include "virtualcam/virtual_camera.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// The frame's messages go nowhere: the bench reads the counters itself.
struct NoFrame : platform::MessageTarget {
    void PostMessage(const platform::WindowMessage&) override {}
    intptr_t SendMessage(const platform::WindowMessage&) override { return 0; }
};

// CPU share of one core over `seconds` of whatever runs now.
double CpuShare(double seconds) {
    const double cpu = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (ProcessCpuSeconds() - cpu) / wall;
}

long Counter(CCaptureRecord& record, bool dropped) {
    long count = 0;
    platform::DroppedFrames* counters =
        record.m_engine.m_pVideoCapture ? record.m_engine.m_pVideoCapture->QueryDroppedFrames() : nullptr;
    if (counters == nullptr) return 0;
    if (dropped) {
        counters->GetNumDropped(&count);
        return count - record.m_engine.m_nDroppedAtStart;
    }
    counters->GetNumNotDropped(&count);
    return count - record.m_engine.m_nNotDroppedAtStart;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    char folder[] = "/tmp/vellumo-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;

    std::unique_ptr<virtualcam::VirtualCamera> camera;  // outlives the record, as the system's devices do
    NoFrame frame;
    CCaptureRecord record;
    camera = bench::BindVirtualCamera(record, &frame);
    if (record.m_engine.m_pVideoConfig == nullptr || record.m_engine.m_pAudioCapture == nullptr) {
        std::fprintf(stderr, "the virtual camera or microphone was not bound\n");
        return 1;
    }
    record.m_engine.RestartPreview(640, 480);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double preview = CpuShare(seconds);
    std::printf("preview alone: %.1f%% of a core\n", preview * 100);

    RecordingHooks hooks;
    for (int format : {0, 1}) {
        const std::string file = std::string(folder) + (format == 0 ? "/bench.wmv" : "/bench.avi");
        hooks.make_video_file_name = [&] { return file; };
        record.m_nVideoFormat = format;
        record.m_bStreamB = 1;
        record.m_engine.RecordCommand(hooks);
        if (!record.m_engine.Recording()) {
            std::fprintf(stderr, "%s: the recording did not start\n", file.c_str());
            return 1;
        }
        const double share = CpuShare(seconds);
        const long written_before_stop = Counter(record, false);
        record.m_engine.ToggleRecording(hooks);
        const long written = Counter(record, false);
        const long dropped = Counter(record, true);
        const double recorded = (record.m_engine.m_dwRecordStop - record.m_engine.m_dwRecordStart) / 1000.0;
        struct stat info {};
        ::stat(file.c_str(), &info);
        const double megabytes = info.st_size / 1e6;
        std::printf(
            "%s with sound: %.1f s, %ld frames written (%.1f a second; %ld by the stop's start), %ld "
            "dropped, "
            "recording adds %.1f%% of a core, %.2f MB (%.1f MB a minute)\n",
            format == 0 ? "WMV" : "AVI", recorded, written, written / recorded, written_before_stop, dropped,
            (share - preview) * 100, megabytes, megabytes * 60 / recorded);
        ::unlink(file.c_str());
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    record.m_engine.ShutdownEngine();
    camera->Uninstall();
    ::rmdir(folder);
    return 0;
}
