#pragma once
// The threads of the series dialogs. Each asks the GUI thread to show its dialog and waits; the button's
// command then runs on the dialog's own thread (the next capture with its waits, the PDF with its progress,
// the OCR hand-over), so the window never freezes. Also the capture-command hooks for either thread.

#include <functional>

#include "capture/capture_record.h"
#include "pipeline/capture/capture_session.h"
#include "pipeline/capturecmd/capture_command.h"

class QAbstractButton;
class QWidget;

struct SeriesContext {
    CCaptureRecord* record = nullptr;
    pipeline::CaptureSession* session = nullptr;
    platform::MessageTarget* frame = nullptr;  // the main frame's; the dialogs are shown through it
    std::function<QWidget*()> owner;           // the dialogs' owner; asked on the GUI thread
    // On the GUI thread before the grab request: the capture area of the view to the session;
    // `restarted`: the stream was just restarted at the capture size.
    std::function<void(int capture_width, int capture_height, bool restarted)> prepare;
    // On the GUI thread: the page to be taken is known to lie still (auto-capture took it).
    std::function<bool()> page_lies_still;
    // On the GUI thread in place of the grab request: the frame auto-capture kept, handed to the session.
    std::function<bool(int capture_width, int capture_height)> hand_kept_frame;
};

// The dialogs' thread procedures for the session.
pipeline::SeriesDialogs MakeSeriesDialogs(const SeriesContext& context);

// Hooks for a capture sequence run on the GUI thread (waits keep the window painting).
CaptureCommandHooks WindowThreadCaptureHooks(const SeriesContext& context);
// Hooks for one run on a dialog's thread (waits sleep; the window's work goes through the frame).
CaptureCommandHooks DialogThreadCaptureHooks(const SeriesContext& context);

// The capture button of a series dialog that waits for its next page (next page of a gathered PDF, next
// picture, next OCR page), or nullptr when none is shown. GUI thread only. The dialogs that gather pages
// are not modal, so the page strip beside the view stays usable while they wait; a capture command given
// meanwhile presses this button instead of starting a second series.
QAbstractButton* WaitingSeriesCaptureButton();
// The same, for the dialogs that gather pages only (a page list is being reviewed): CTransform,
// COcrTransform.
bool PagesWaitForNext();
