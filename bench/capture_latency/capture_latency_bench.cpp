// The capture command to the saved file on the virtual camera, per format, at 640 x 480 (the preview size,
// no stream switch) and at 2592 x 1944 (switched from a 640 x 480 preview and back): the whole time, the
// fixed waits in it (the 3000 ms settling, the readiness polls) reported apart, and the peak memory a
// capture adds; then a page for text recognition to its text document. The main thread plays the window's
// part: it runs the command and the return to the preview.
//
// Usage: bench_capture_latency [repetitions]   (default 3; the median counts)

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "app/events/device_events.h"
#include "bench/support/capture_bench.h"
#include "bench/support/virtual_camera_bench.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "device/facade/facade.h"
#include "media/gst_capture_graph.h"
#include "ocr/cards/card_programs.h"
#include "ocr/engine/external_programs.h"
#include "ocr/hand_over_services.h"
#include "pipeline/capture/capture_session.h"
#include "pipeline/capturecmd/capture_command.h"
#include "platform/files/files.h"
#include "virtualcam/virtual_camera.h"

namespace {

using bench::Clock;
using bench::DoneTarget;
using bench::Median;
using bench::PeakKilobytes;

pipeline::CaptureSession* g_session = nullptr;

void ToSession(CSampleGrabberCB&, const platform::GrabbedFrame& frame) {
    g_session->SaveFrameToTemp(pipeline::CaptureFrame{frame.bytes, frame.length, frame.width, frame.height});
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char folder[] = "/tmp/vellumo-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;

    std::unique_ptr<virtualcam::VirtualCamera> camera;  // outlives the record, as the system's devices do
    DoneTarget frame;
    CCaptureRecord record;
    record.m_szSavePath = std::string(folder) + "/";
    record.m_szPrefix = "Bench";
    record.m_bAutoDeskew = 1;
    camera = bench::BindVirtualCamera(record, &frame);
    if (record.m_engine.m_pVideoConfig == nullptr || devctl::CamOpen() == 0) {
        std::fprintf(stderr, "the virtual camera was not bound\n");
        return 1;
    }
    record.m_nSetPreviewSize = 0;
    record.m_engine.RestartPreview(640, 480);
    std::this_thread::sleep_for(std::chrono::seconds(1));

    pipeline::CaptureSession session({g_grabberCallback.m_bGrabRequested, g_grabberCallback.m_bOcrCapture,
                                      g_grabberCallback.m_bCardCapture, record.m_bCaptureBusy});
    session.m_pFrameTarget = &frame;
    g_session = &session;
    g_grabberCallback.SetFrameHandler(&ToSession);

    double waited_ms = 0;
    CaptureCommandHooks hooks;
    hooks.wait = [&](int ms) {
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        waited_ms += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    hooks.poll = [&](const std::function<bool()>& done, int interval, int bound) {
        const auto start = Clock::now();
        bool met = done();
        while (!met && Clock::now() - start < std::chrono::milliseconds(bound)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            met = done();
        }
        waited_ms += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        return met;
    };
    hooks.on_window_thread = [](const std::function<void()>& work) {
        work();
        return true;
    };
    hooks.prepare = [&](int width, int height, bool restarted) {
        pipeline::CaptureRequest request = pipeline::MakeCaptureRequest(record, g_nImageFormat.load(), 0);
        request.capture_width = width;
        request.capture_height = height;
        request.stream_restarted = restarted;
        session.PrepareCapture(std::move(request));
    };
    hooks.read_status = [](uint32_t* status) {
        return devctl::CamReadRegister(0xC4, 1, status) == devctl::kCamOk;
    };

    // The stream at the capture size costs memory of its own (the camera's and the converters' buffers);
    // it is measured first, so that what the captures add stands apart.
    const long preview_kb = PeakKilobytes();
    record.m_engine.RestartPreview(2592, 1944);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long large_stream_kb = PeakKilobytes();
    record.m_engine.RestartPreview(640, 480);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::printf("peak memory of the stream at 2592x1944 beyond the 640x480 preview: %.1f MB\n",
                (large_stream_kb - preview_kb) / 1024.0);
    std::printf("%-6s %-10s %10s %12s %10s\n", "format", "size", "total ms", "fixed waits", "rest ms");
    const struct {
        int index;
        const char* name;
    } formats[] = {{0, "BMP"}, {1, "JPEG"}, {3, "TIFF"}, {4, "PDF"}};
    for (int size : {0, 2}) {
        record.m_nSetSize = size;
        const long before_kb = PeakKilobytes();
        for (const auto& format : formats) {
            g_nImageFormat = format.index;
            std::vector<double> totals, waits;
            for (int i = 0; i < repetitions; ++i) {
                waited_ms = 0;
                const auto start = Clock::now();
                if (!RunCaptureSequence(record, CaptureForm::View, hooks)) {
                    std::fprintf(stderr, "the capture did not start\n");
                    return 1;
                }
                frame.Wait();
                totals.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                waits.push_back(waited_ms);
                session.WaitIdle();
                OnCaptureDone(record, DeviceEventHooks{});  // the window's part: the preview size again
            }
            const double total = Median(totals), wait = Median(waits);
            std::printf("%-6s %-10s %10.0f %12.0f %10.0f\n", format.name, size == 0 ? "640x480" : "2592x1944",
                        total, wait, total - wait);
        }
        std::printf("peak memory the %s captures added beyond what ran before them: %.1f MB\n",
                    size == 0 ? "640x480" : "2592x1944", (PeakKilobytes() - before_kb) / 1024.0);
    }

    // A page for text recognition (command 1021) to its text document, the OCR engine's run included.
    ocr::FindOutsidePrograms(record, ocr::TheExternalPrograms(), platform::ProgramFolder());
    session.m_handOver = ocr::MakeHandOverServices(platform::ProgramFolder());
    record.m_nOcrFormat = 4;
    DeviceEventHooks events;
    events.wait = hooks.wait;
    events.poll = hooks.poll;
    events.control_open = [] { return true; };
    events.set_hand_over_target = [&](int target) { session.m_nHandOverTarget = target; };
    events.prepare_capture = hooks.prepare;
    std::vector<double> totals;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        if (!CaptureAtCaptureResolution(record, events, false)) {
            std::fprintf(stderr, "the OCR capture did not start\n");
            return 1;
        }
        frame.Wait();
        OnCaptureDone(record, DeviceEventHooks{});
        session.WaitIdle();  // the hand-over thread has the engine's document saved by now
        totals.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf(
        "OCR page at 2592x1944 to its .txt, the engine's run and the return to the preview included: %.0f "
        "ms\n",
        Median(totals));

    g_grabberCallback.SetFrameHandler(nullptr);
    record.m_engine.ShutdownEngine();
    devctl::CamClose();
    std::filesystem::remove_all(folder);
    return 0;
}
