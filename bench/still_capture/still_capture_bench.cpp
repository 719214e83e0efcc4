// A still capture at 2592 x 1944 from the grabbed frame to the saved file: how long the frame handler
// holds the streaming thread (SaveFrameToTemp) and how long the worker takes per format, with the peak
// memory the captures add. Usage: bench_still_capture [repetitions]   (default 5; the median counts)

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "bench/support/capture_bench.h"
#include "pipeline/capture/capture_session.h"
#include "platform/window/window_messages.h"
#include "settings/settings.h"

namespace {

using bench::DoneTarget;
using bench::Median;
using bench::PeakKilobytes;

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    char folder[] = "/tmp/vellumo-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string root = folder;
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);  // the private temporary folder goes there

    // A page on a dark desk, as the grabber delivers it: bottom-up rows padded to 4 bytes. Drawn here
    // rather than by the scene renderer, whose own peak would hide the captures' memory.
    const size_t stride = (kWidth * 3 + 3) / 4 * 4;
    std::vector<uint8_t> frame(stride * kHeight);
    const int page_w = 1210, page_h = 1710, left = (kWidth - page_w) / 2, top = (kHeight - page_h) / 2;
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = &frame[stride * (kHeight - 1 - y)];
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool page = x >= left && x < left + page_w && y >= top && y < top + page_h;
            const bool ink =
                page && y % 40 < 12 && (x / 9) % 7 != 0 && x > left + 100 && x < left + page_w - 100;
            const int base = !page ? 60 : ink ? 40 : 235;
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<uint8_t>(base + ((seed >> (20 + 3 * c)) & 7));
        }
    }
    const pipeline::CaptureFrame view{frame.data(), frame.size(), kWidth, kHeight};

    CVellumoSettings settings;
    settings.m_szSavePath = root + "/save/";
    settings.m_szPrefix = "bench";
    settings.m_nOutputMode = 2;
    std::atomic<uint8_t> grab{0}, ocr{0}, card{0}, busy{0};
    DoneTarget target;
    pipeline::CaptureSession session(pipeline::CaptureFlags{grab, ocr, card, busy});
    session.m_pFrameTarget = &target;

    const long idle_kb = PeakKilobytes();
    struct Row {
        const char* name;
        int format;
        bool deskew;
    };
    const Row rows[] = {{"BMP", 0, false},
                        {"JPEG", 1, false},
                        {"TIFF", 3, false},
                        {"PDF", 4, false},
                        {"JPEG, deskewed page", 1, true}};
    std::printf("still capture at %dx%d, median of %d\n", kWidth, kHeight, repetitions);
    std::printf("%-22s %16s %14s\n", "format", "frame handler ms", "worker ms");
    for (const Row& row : rows) {
        g_nImageFormat = row.format;
        settings.m_bAutoDeskew = row.deskew ? 1 : 0;
        settings.m_nScaleMode = row.deskew ? 1 : 0;
        std::vector<double> handler, worker;
        for (int i = 0; i < repetitions; ++i) {
            busy = 1;
            session.PrepareCapture(pipeline::MakeCaptureRequest(settings, row.format, 0));
            const auto start = Clock::now();
            session.SaveFrameToTemp(view);
            const auto returned = Clock::now();
            const auto done = target.Wait();
            session.WaitIdle();
            handler.push_back(Milliseconds(returned - start));
            worker.push_back(Milliseconds(done - returned));
        }
        uintmax_t bytes = 0;
        size_t files = 0;
        for (auto& entry : std::filesystem::directory_iterator(settings.m_szSavePath)) {
            bytes += entry.file_size();
            ++files;
            std::filesystem::remove(entry.path());
        }
        std::printf("%-22s %16.1f %14.1f   %zu files, %.1f MB each\n", row.name, Median(handler),
                    Median(worker), files, files ? bytes / 1048576.0 / files : 0.0);
    }
    const long peak_kb = PeakKilobytes();
    std::printf(
        "peak memory: %.1f MB before the captures (the frame held), %.1f MB more during them "
        "(one frame is %.1f MB)\n",
        idle_kb / 1024.0, (peak_kb - idle_kb) / 1024.0, frame.size() / 1048576.0);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
