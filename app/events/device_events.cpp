#include "app/events/device_events.h"

#include <optional>

#include "capture/camera_controls.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "device/facade/facade.h"
#include "platform/debuglog/debuglog.h"

namespace {

void Wait(const DeviceEventHooks& hooks, int ms) {
    if (hooks.wait) hooks.wait(ms);
}

void SetControlOpen(const DeviceEventHooks& hooks, bool open) {
    if (hooks.set_control_open) hooks.set_control_open(open);
}

bool ControlOpen(const DeviceEventHooks& hooks) { return hooks.control_open && hooks.control_open(); }

// Brightness and contrast after a rebuild, when the stored values are ones the camera takes.
void SendBrightnessContrast(CCaptureRecord& r) {
    if (static_cast<unsigned>(r.m_nBrightness) <= 256) r.m_engine.SetBrightness(r.m_nBrightness);
    if (static_cast<unsigned>(r.m_nContrast) <= 31) r.m_engine.SetContrast(r.m_nContrast);
}

// Focus, then the exposure mode's iris and backlight compensation (any other index counts as mode 0).
void SendFocusAndExposure(CCaptureRecord& r) {
    if (r.m_bAutoFocus)
        r.m_engine.SetFocusAuto();
    else
        r.m_engine.SetFocusPosition(r.m_nFocus);
    switch (r.m_nExposureIndex) {
        case 1:
            r.m_engine.SetIrisAuto();
            r.m_engine.SetBacklightCompensation(1);
            break;
        case 2:
            r.m_engine.SetIrisValue(r.m_nExposurePhoto);
            r.m_engine.SetBacklightCompensation(0);
            break;
        case 3:
            r.m_engine.SetIrisValue(r.m_nExposureManual);
            r.m_engine.SetBacklightCompensation(0);
            break;
        default:
            r.m_engine.SetIrisAuto();
            r.m_engine.SetBacklightCompensation(0);
            break;
    }
}

// The preview at its resolution again, with focus and exposure right after it runs.
void RestartAtPreviewSize(CCaptureRecord& r) {
    if (r.m_nSetSize < 0 || !r.m_bDevicePresent) return;
    int width = 0;
    int height = 0;
    ResolutionSize(r.m_nSetPreviewSize, width, height);
    r.m_nPreviewWidth = width;
    r.m_nPreviewHeight = height;
    r.m_engine.RestartPreview(width, height);
    SendFocusAndExposure(r);
}

// Set while the graph's events are handled. The handlers wait with the window alive, so a second 0x7E8
// can arrive inside them; it leaves the events queued for the loop that is already fetching them.
bool g_handlingGraphEvents = false;

void OnDeviceBack(CCaptureRecord& r, const DeviceEventHooks& hooks) {
    if (r.m_bNoCameraWarned) return;  // the arrival path handles a camera that was never there
    Wait(hooks, kDeviceBackWaitMs);
    if (OpenControlLink(hooks)) SetControlOpen(hooks, true);
    if (hooks.refresh_window_handles) hooks.refresh_window_handles();
    if (!r.m_engine.FindCameraDevice() && r.m_engine.m_pMediaEvents == nullptr) {
        SetControlOpen(hooks, false);
        devctl::CamClose();
        return;
    }
    if (!r.m_bDevicePresent || r.m_engine.m_pMediaEvents == nullptr) return;
    r.m_engine.BindCameraDevices();
    SendBrightnessContrast(r);
    RestartAtPreviewSize(r);
    if (ControlOpen(hooks) && r.m_engine.Previewing() && r.m_engine.m_pMediaEvents != nullptr)
        r.m_engine.ApplyCameraSettings();
}

void OnDeviceGone(CCaptureRecord& r, const DeviceEventHooks& hooks, const platform::GraphEvent& event) {
    if (ControlOpen(hooks)) {
        SetControlOpen(hooks, false);
        devctl::CamClose();
    }
    if (r.m_engine.m_pGraph &&
        r.m_engine.m_pGraph->EventNamesFilter(event, r.m_engine.m_pVideoCapture.get())) {
        // A still asked for and not yet taken cannot come now: the capture ends rather than leaving the
        // capture commands disabled. Taking the request in one step keeps a frame that won the race.
        if (g_grabberCallback.m_bGrabRequested.exchange(0) != 0) {
            g_grabberCallback.m_bOcrCapture = 0;
            g_grabberCallback.m_bCardCapture = 0;
            r.m_bCaptureBusy = 0;
            platform::DebugLog("events", "the camera left before the still was taken; the capture is ended");
        }
        if (r.m_engine.Previewing()) r.m_engine.HaltPreview();
        if (hooks.repaint_frame) hooks.repaint_frame();
    }
}

}  // namespace

int OpenControlLink(const DeviceEventHooks& hooks) {
    const int opened = devctl::CamOpen();
    if (devctl::CamTakePermissionNotice() && hooks.link_refused) hooks.link_refused();
    return opened;
}

void OnDeviceChange(CCaptureRecord& r, const DeviceEventHooks& hooks, uintptr_t event) {
    if (event != platform::DBT_DEVICEARRIVAL || !r.m_bNoCameraWarned) return;
    r.m_engine.FindCameraDevice();
    r.m_engine.BindCameraDevices();
    SendBrightnessContrast(r);
    RestartAtPreviewSize(r);
    if (OpenControlLink(hooks)) SetControlOpen(hooks, true);
    if (r.m_bDevicePresent) {
        r.m_engine.ApplyCameraSettings();
        // The camera has come: from now on its graph reports it leaving and coming back, and other
        // devices arriving (a USB stick, another webcam) must not rebuild a working preview.
        r.m_bNoCameraWarned = 0;
    }
}

void OnGraphNotify(CCaptureRecord& r, const DeviceEventHooks& hooks) {
    if (g_handlingGraphEvents) return;
    g_handlingGraphEvents = true;
    struct Done {
        ~Done() { g_handlingGraphEvents = false; }
    } done;
    platform::GraphEvent event;
    // Each handler may rebuild the graph, so the event source is looked up again every time.
    while (r.m_engine.m_pMediaEvents != nullptr && r.m_engine.m_pMediaEvents->GetEvent(&event)) {
        switch (event.code) {
            case platform::EC_ERRORABORT:
                platform::DebugLog("events", "graph error 0x%lX: %s",
                                   static_cast<unsigned long>(event.param1), event.text.c_str());
                if (r.m_engine.Recording() && hooks.recording_failed) {
                    hooks.recording_failed();
                } else if (r.m_engine.Previewing()) {
                    // Only the error that stops the preview is told; the ones queued behind it find it
                    // stopped.
                    r.m_engine.HaltPreview();
                    if (hooks.repaint_frame) hooks.repaint_frame();
                    if (hooks.preview_failed) hooks.preview_failed(event.text);
                }
                break;
            case platform::EC_DEVICE_LOST:
                if (event.param2 == 1) {
                    OnDeviceBack(r, hooks);
                    if (!r.m_bDevicePresent || r.m_engine.m_pMediaEvents == nullptr) return;
                } else {
                    // The file is finished while the rest of the graph still stands.
                    if (r.m_engine.Recording() && hooks.recording_failed && r.m_engine.m_pGraph &&
                        r.m_engine.m_pGraph->EventNamesFilter(event, r.m_engine.m_pVideoCapture.get()))
                        hooks.recording_failed();
                    OnDeviceGone(r, hooks, event);
                }
                break;
            default:
                break;
        }
    }
}

void OnCaptureDone(CCaptureRecord& r, const DeviceEventHooks& hooks) {
    if (r.m_nSetPreviewSize == r.m_nSetSize) return;
    if (hooks.keep_capture_size && hooks.keep_capture_size() && r.m_engine.StreamRunsAtCaptureSize()) return;
    r.m_engine.ReturnToPreviewSize();
}

bool WaitForFocus(const DeviceEventHooks& hooks, int bound_ms) {
    uint32_t status = 0;
    // A camera pulled out during the wait closes the link (the graph's event is handled meanwhile): the
    // status can no longer come, so the wait ends there rather than at the bound.
    const bool link_was_open = ControlOpen(hooks);
    bool camera_left = false;
    auto focused = [&] {
        if (link_was_open && !ControlOpen(hooks)) return camera_left = true;
        devctl::CamReadRegister(0xC4, 1, &status);  // a failed read keeps the last value read
        return status == 1;
    };
    const bool ended = hooks.poll ? hooks.poll(focused, kFocusPollMs, bound_ms) : focused();
    return ended && !camera_left;
}

bool CaptureAtCaptureResolution(CCaptureRecord& r, const DeviceEventHooks& hooks, bool business_card) {
    r.m_bCaptureBusy = 1;
    if (r.m_nSetSize != 2 && hooks.ask_yes && hooks.ask_yes(business_card ? 157 : 129, 133)) {
        r.m_bCaptureBusy = 0;
        return false;
    }
    const bool switched = !r.m_engine.StreamRunsAtCaptureSize() && r.m_engine.SwitchStreamToCaptureSize();
    if (switched && r.m_bDevicePresent) r.m_engine.ApplySensorSettings();
    const bool link_was_open = ControlOpen(hooks);
    if (!WaitForFocus(hooks, kFocusWaitBoundMs)) {
        const int command = business_card ? 1069 : 1021;
        r.m_bCaptureBusy = 0;
        if (link_was_open && !ControlOpen(hooks)) {
            // Pulled out: its return rebuilds the preview at the preview size.
            platform::DebugLog("events", "the camera left during the focus wait; capture %d ended", command);
            return false;
        }
        // The camera never reported focus: give the preview back and let the user try again.
        platform::DebugLog("events", "focus wait passed %d ms without focus; capture %d ended",
                           kFocusWaitBoundMs, command);
        OnCaptureDone(r, hooks);
        return false;
    }
    if (hooks.set_hand_over_target) hooks.set_hand_over_target(business_card ? 1 : 0);
    if (hooks.prepare_capture) hooks.prepare_capture(r.m_nCaptureWidth, r.m_nCaptureHeight, switched);
    g_grabberCallback.m_bOcrCapture = 1;
    if (business_card) g_grabberCallback.m_bCardCapture = 1;
    RequestFrame();  // the request is set last: the streaming thread acts on it at once
    return true;
}
