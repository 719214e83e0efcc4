#include "cli/camera_still.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "capture/capture_record.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "cli/capture_batch.h"
#include "media/gst_capture_graph.h"
#include "pipeline/capturecmd/capture_command.h"
#include "platform/profile/profile_store.h"
#include "virtualcam/virtual_camera.h"

namespace cli {
namespace {

// The one frame the grabber hands over, copied on the streaming thread.
struct StillSlot {
    std::mutex mutex;
    std::condition_variable arrived;
    std::optional<Picture> picture;
};
StillSlot* g_slot = nullptr;

void KeepFrame(CSampleGrabberCB&, const platform::GrabbedFrame& frame) {
    Picture picture;
    picture.bytes.assign(frame.bytes, frame.bytes + frame.length);
    picture.width = frame.width;
    picture.height = frame.height;
    std::lock_guard lock(g_slot->mutex);
    g_slot->picture = std::move(picture);
    g_slot->arrived.notify_all();
}

}  // namespace

int RunCameraStill(const CaptureOptions& options, const std::string& ini_path, std::ostream& out,
                   std::ostream& err) {
    if (options.virtual_camera) ::setenv("VELLUMO_VIRTUALCAM", "1", 1);
    virtualcam::AttachFromEnvironment();
    CCaptureRecord record;
    record.m_szIniPath = ini_path;
    record.LoadSettings(platform::CProfileStore(ini_path));
    ResolutionSize(record.m_nSetSize, record.m_nCaptureWidth, record.m_nCaptureHeight);
    record.m_engine.m_pMediaFactory = std::make_unique<platform::GstMediaFactory>(false);
    record.m_engine.FindCameraDevice();
    if (record.m_bDevicePresent == 0) {
        err << "vellumo-capture: no document camera is attached (--virtual-camera uses the built-in one)\n";
        return 1;
    }
    record.m_engine.BindCameraDevices();
    if (record.m_engine.m_pVideoConfig == nullptr) {
        err << "vellumo-capture: the camera cannot be opened\n";
        return 1;
    }
    // The stream runs at the capture size from the start and settles as long as the capture command lets it.
    record.m_engine.RestartPreview(record.m_nCaptureWidth, record.m_nCaptureHeight);
    std::this_thread::sleep_for(std::chrono::milliseconds(kStreamSettleMs));

    StillSlot slot;
    g_slot = &slot;
    g_grabberCallback.SetFrameHandler(&KeepFrame);
    RequestFrame();
    std::optional<Picture> still;
    {
        std::unique_lock lock(slot.mutex);
        slot.arrived.wait_for(lock, std::chrono::milliseconds(kReadyWaitBoundMs),
                              [&] { return slot.picture.has_value(); });
        still = std::move(slot.picture);
    }
    g_grabberCallback.SetFrameHandler(nullptr);
    record.m_engine.ShutdownEngine();
    g_slot = nullptr;
    if (!still) {
        err << "vellumo-capture: the camera sent no picture\n";
        return 1;
    }

    CaptureOptions batch = options;
    batch.pictures = {"camera"};
    return RunPictureBatch(
        batch, record,
        [&still](const std::string&) {
            return PictureOrError{std::move(still), {}};
        },
        out, err);
}

}  // namespace cli
