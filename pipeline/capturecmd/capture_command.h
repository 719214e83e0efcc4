#pragma once
// The capture sequence: busy set, the stream switched to the capture size with the sensor settings sent
// again (unless it already runs at that size, as while auto-capture holds it there), a wait for the camera
// to be ready, then the grab request, set last (or, for a page auto-capture took, the frame it was seen
// still in, handed on at once). The view's capture command runs
// it on the GUI thread; the series dialogs' buttons run it on their dialog's thread, where everything that
// touches the graph or the view goes through the window (the hooks).

#include <cstdint>
#include <functional>

#include "capture/capture_record.h"

enum class CaptureForm {
    View,             // command 800
    ContinueCapture,  // CContinueCapture 1010
    Transform,        // CTransform 1002
    ContinueOcr,      // CContinueOcr 1014
    OcrTransform,     // COcrTransform 1008
};

struct CaptureCommandHooks {
    // Waits on the calling thread (keeping the window painting when that is the GUI thread).
    std::function<void(int ms)> wait;
    // Asks `done` every interval until it answers true or the bound passes; true when it did.
    std::function<bool(const std::function<bool()>& done, int interval_ms, int bound_ms)> poll;
    // Runs `work` on the GUI thread (directly when called there); false when the window has gone and the
    // work was not run.
    std::function<bool(const std::function<void()>& work)> on_window_thread;
    // On the GUI thread, just before the grab request: hands the frame size and the view's capture area to
    // the pipeline; `restarted`: the stream was just restarted at the capture size.
    std::function<void(int capture_width, int capture_height, bool restarted)> prepare;
    // The camera's one-byte status 0xC4; false when it could not be read.
    std::function<bool(uint32_t* status)> read_status;
    // Where an OCR capture goes (0 the OCR engine, 1 a card program).
    std::function<int()> hand_over_target;
    // Asked on the GUI thread: auto-capture has seen the page lie still, so the dialogs' pause that lets
    // a hand leave the page (DelayTime) is not needed.
    std::function<bool()> page_lies_still;
    // Asked on the GUI thread in place of the grab request: auto-capture kept the frame it saw the page
    // lie still in, at this capture size, and has handed it to the capture (true); else the camera's next
    // frame is grabbed.
    std::function<bool(int capture_width, int capture_height)> hand_kept_frame;
};

constexpr int kStreamSettleMs = 3000;
constexpr int kViewReadyPollMs = 500;
constexpr int kDialogReadyPollMs = 100;
constexpr int kReadyWaitBoundMs = 10000;

// True when the grab request was set (or the kept frame handed on); false when the view's command gave up
// waiting for the camera (the busy flag is clear again and the preview back at its size) or the window has
// gone.
bool RunCaptureSequence(CCaptureRecord& record, CaptureForm form, const CaptureCommandHooks& hooks);
