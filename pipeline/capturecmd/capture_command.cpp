#include "pipeline/capturecmd/capture_command.h"

#include "capture/camera_controls.h"
#include "capture/grabber_callback.h"
#include "capture/preview_graph.h"
#include "platform/debuglog/debuglog.h"

namespace {

bool ReadStatus(const CaptureCommandHooks& hooks, uint32_t* status) {
    return hooks.read_status && hooks.read_status(status);
}

// The view's command: the status must read exactly 1. A camera that cannot report its status at all (no
// control link) is taken as ready, so that it can still be captured from.
bool WaitUntilReady(const CaptureCommandHooks& hooks) {
    uint32_t status = 0;
    if (!ReadStatus(hooks, &status)) {
        platform::DebugLog("capture", "the camera's status cannot be read; capturing without waiting");
        return true;
    }
    if (status == 1) return true;
    auto ready = [&] {
        ReadStatus(hooks, &status);  // a failed read keeps the last value read
        return status == 1;
    };
    return hooks.poll && hooks.poll(ready, kViewReadyPollMs, kReadyWaitBoundMs);
}

// The dialogs' form: wait while the camera reports itself busy (bit 1), at most the bound, then go on.
void WaitWhileBusy(const CaptureCommandHooks& hooks) {
    auto idle = [&] {
        uint32_t status = 0;
        return !ReadStatus(hooks, &status) || (status & 2u) == 0;
    };
    if (hooks.poll && !hooks.poll(idle, kDialogReadyPollMs, kReadyWaitBoundMs))
        platform::DebugLog("capture", "the camera stayed busy for %d ms; capturing anyway",
                           kReadyWaitBoundMs);
}

}  // namespace

bool RunCaptureSequence(CCaptureRecord& r, CaptureForm form, const CaptureCommandHooks& hooks) {
    if (form == CaptureForm::ContinueCapture) r.m_bContinuousRunning = 1;
    r.m_bCaptureBusy = 1;

    // The record is the GUI thread's: what a dialog's thread needs of it is read there.
    bool switched = false;
    int delay_ms = 0;
    if (!hooks.on_window_thread([&] {
            switched = !r.m_engine.StreamRunsAtCaptureSize() && r.m_engine.SwitchStreamToCaptureSize();
            delay_ms = hooks.page_lies_still && hooks.page_lies_still() ? 0 : r.m_nDelayTime;
        })) {
        r.m_bCaptureBusy = 0;
        return false;
    }
    if (switched) {
        if (form == CaptureForm::View && hooks.wait) hooks.wait(kStreamSettleMs);
        hooks.on_window_thread([&] {
            if (r.m_bDevicePresent) r.m_engine.ApplySensorSettings();
        });
    }

    if (form == CaptureForm::View) {
        if (!WaitUntilReady(hooks)) {
            platform::DebugLog("capture", "the camera was not ready within %d ms; the capture is ended",
                               kReadyWaitBoundMs);
            hooks.on_window_thread([&] {
                r.m_bCaptureBusy = 0;
                r.m_engine.ReturnToPreviewSize();
            });
            return false;
        }
    } else {
        WaitWhileBusy(hooks);
        if (delay_ms > 0 && hooks.wait) hooks.wait(delay_ms);
    }

    if (!hooks.on_window_thread([&] {
            if (hooks.prepare) hooks.prepare(r.m_nCaptureWidth, r.m_nCaptureHeight, switched);
        })) {
        r.m_bCaptureBusy = 0;
        return false;
    }
    if (form == CaptureForm::ContinueOcr || form == CaptureForm::OcrTransform) {
        g_grabberCallback.m_bOcrCapture = 1;
        if (form == CaptureForm::OcrTransform && hooks.hand_over_target && hooks.hand_over_target() == 1)
            g_grabberCallback.m_bCardCapture = 1;
    }
    bool handed = false;
    if (hooks.hand_kept_frame && hooks.on_window_thread([&] {
            handed = hooks.hand_kept_frame(r.m_nCaptureWidth, r.m_nCaptureHeight);
        }) &&
        handed)
        return true;
    platform::DebugLog("capture", "grab requested at %dx%d%s", r.m_nCaptureWidth, r.m_nCaptureHeight,
                       switched ? " after a switch of sizes" : "");
    RequestFrame();  // set last: the streaming thread acts on it at once
    return true;
}
