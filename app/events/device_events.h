#pragma once
// How the program follows the camera: a device arriving after a start without a camera, the graph's
// events (the camera lost and back, errors), the return to the preview resolution after a still, and the
// two commands that take a still at the capture resolution once the camera has focused.
// GUI thread only. The waits go through the hooks so that the window keeps painting while they run.

#include <cstdint>
#include <functional>
#include <string>

#include "capture/capture_record.h"

struct DeviceEventHooks {
    // Waits, keeping the window alive.
    std::function<void(int ms)> wait;
    // Asks `done` every interval until it answers true or the bound passes; true when it did.
    std::function<bool(const std::function<bool()>& done, int interval_ms, int bound_ms)> poll;
    // The view's flag: the control link is open for it.
    std::function<bool()> control_open;
    std::function<void(bool)> set_control_open;
    // Records the frame's and the view's message targets in the record again.
    std::function<void()> refresh_window_handles;
    // Repaints the whole main window.
    std::function<void()> repaint_frame;
    // Asks a yes/no question (text and caption are string IDs); true for Yes.
    std::function<bool(unsigned text, unsigned caption)> ask_yes;
    // Where the next still goes: 0 the OCR engine, 1 a business-card program.
    std::function<void(int target)> set_hand_over_target;
    // Just before the grab request: the frame size and the view's capture area to the capture pipeline.
    std::function<void(int capture_width, int capture_height, bool restarted)> prepare_capture;
    // A running recording failed (a graph error, or the camera went): stop it and tell the user.
    std::function<void()> recording_failed;
    // The camera's HID interface is there but this user may not open it: tell how to install the udev rule.
    std::function<void()> link_refused;
    // The preview stopped on a graph error: tell the user, with the media library's words for it.
    std::function<void(const std::string& error_text)> preview_failed;
    // Auto-capture keeps the stream at the capture size: a finished still leaves it there.
    std::function<bool()> keep_capture_size;
};

constexpr int kFocusPollMs = 500;
constexpr int kFocusWaitBoundMs = 10000;
constexpr int kDeviceBackWaitMs = 1000;

// Opens the control link as CamOpen does and, the first time in a run that it was refused for want of
// permission, says so through the hook. Nonzero when open.
int OpenControlLink(const DeviceEventHooks& hooks);

// WM_DEVICECHANGE.
void OnDeviceChange(CCaptureRecord& record, const DeviceEventHooks& hooks, uintptr_t event);
// Message 0x7E8: every waiting graph event.
void OnGraphNotify(CCaptureRecord& record, const DeviceEventHooks& hooks);
// Message 0x7E9.
void OnCaptureDone(CCaptureRecord& record, const DeviceEventHooks& hooks);
// Commands 1021 (text recognition) and 1069 (business card). False when the command ended before the grab
// was armed (the user declined, or the camera did not finish focusing within the bound); the busy flag is
// then clear again.
bool CaptureAtCaptureResolution(CCaptureRecord& record, const DeviceEventHooks& hooks, bool business_card);

// Polls the bridge's focus-status register 0xC4 until it reads exactly 1; false when the bound passed or
// the camera was pulled out (the control link, open at the start, was closed meanwhile).
bool WaitForFocus(const DeviceEventHooks& hooks, int bound_ms);
