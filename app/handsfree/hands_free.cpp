#include "app/handsfree/hands_free.h"

#include <QAbstractButton>
#include <QTimer>

#include "app/events/device_events.h"
#include "app/mainframe/main_frame.h"
#include "app/series/series_threads.h"
#include "app/view/vellumo_view.h"
#include "capture/camera_controls.h"
#include "capture/capture_record.h"
#include "capture/preview_graph.h"
#include "platform/debuglog/debuglog.h"
#include "platform/window/window_messages.h"

namespace {

// How often the deskew setting and the device are looked at again.
constexpr int kRefreshMs = 300;

}  // namespace

CHandsFree::CHandsFree(CMainFrame* frame, CCaptureRecord& record, Hooks hooks)
    : frame_(frame), record_(record), hooks_(std::move(hooks)), choices_(handsfree::ReadChoices()) {
    platform::MessageTarget* target = frame_->MessageTarget();
    worker_ = std::make_unique<pipeline::PageWatchWorker>(
        [this, target](const pipeline::WatchReport& report) {
            bool post = false;
            {
                std::lock_guard<std::mutex> lock(report_mutex_);
                post = !report_;  // a report still waiting takes this one's place
                report_ = report;
            }
            if (post) platform::PostMessage(target, platform::WM_PAGEWATCH);
        },
        pipeline::PageWatchSettings{choices_.still_ms});
    frame_->SetMessageHandler(platform::WM_PAGEWATCH, [this](uintptr_t, intptr_t) {
        OnReport();
        return intptr_t{0};
    });
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CHandsFree::Refresh);
    timer->start(kRefreshMs);
    Refresh();
}

CHandsFree::~CHandsFree() { worker_.reset(); }

bool CHandsFree::Watching() const {
    return record_.m_bAutoDeskew != 0 && record_.m_bDevicePresent != 0 &&
           (choices_.live_outline || choices_.auto_capture);
}

void CHandsFree::AddCommands() {
    CommandTable& commands = frame_->Commands();
    auto toggle = [this](bool handsfree::Choices::*field) {
        return [this, field] {
            choices_.*field = !(choices_.*field);
            if (field == &handsfree::Choices::auto_capture) {
                // A new run: the page taken last in an earlier run may be taken again.
                worker_->Forget();
                captured_ = 0;
                waiting_for_capture_ = false;
                page_frame_ = {};
            }
            handsfree::WriteChoices(choices_);
            Refresh();
        };
    };
    auto deskew_rule = [this](bool handsfree::Choices::*field) {
        return [this, field](CommandState& state) {
            state.enabled = record_.m_bAutoDeskew != 0;
            state.SetCheck(choices_.*field);
        };
    };
    commands.Add(handsfree::ID_LIVE_OUTLINE, toggle(&handsfree::Choices::live_outline),
                 deskew_rule(&handsfree::Choices::live_outline));
    commands.Add(handsfree::ID_AUTO_CAPTURE, toggle(&handsfree::Choices::auto_capture),
                 deskew_rule(&handsfree::Choices::auto_capture));
    commands.Add(handsfree::ID_STILL_TIME, [] {});
    int id = handsfree::ID_STILL_TIME_FIRST;
    for (int still_ms : handsfree::kStillTimesMs) {
        commands.Add(
            id++,
            [this, still_ms] {
                choices_.still_ms = still_ms;
                worker_->SetStillMs(still_ms);
                handsfree::WriteChoices(choices_);
            },
            [this, still_ms](CommandState& state) { state.SetRadio(choices_.still_ms == still_ms); });
    }
}

void CHandsFree::SetCaptureCommand(int id) { capture_command_ = id; }

void CHandsFree::OnPreviewFrame(std::shared_ptr<const platform::PreviewFrame> frame) {
    worker_->Submit(std::move(frame));
}

void CHandsFree::Refresh() {
    const bool watching = Watching();
    worker_->SetActive(watching);
    if (!watching || !choices_.live_outline) frame_->View()->SetPageOutline(std::nullopt);
    if (!watching || !choices_.auto_capture)
        SetStatus("");
    else if (status_.empty())
        SetStatus(pipeline::WatchStatusText(pipeline::WatchState::NoPage));
    HoldStream();
}

bool CHandsFree::RestartStream(int size_index) {
    int width = 0;
    int height = 0;
    if (!ResolutionSize(size_index, width, height)) return false;
    platform::DebugLog("handsfree", "the stream goes to %dx%d", width, height);
    record_.m_engine.RestartPreview(width, height);
    if (record_.m_bDevicePresent) record_.m_engine.ApplySensorSettings();
    return true;
}

void CHandsFree::HoldStream() {
    CCaptureRecord& r = record_;
    // Never under a capture or a recording, nor without a running stream to restart.
    if (r.m_bCaptureBusy != 0 || r.m_engine.Recording() || !r.m_engine.Previewing() ||
        r.m_engine.m_pVideoConfig == nullptr || r.m_bDevicePresent == 0)
        return;
    const bool want = Watching() && choices_.auto_capture;
    if (want) {
        // Also after something else put the stream back at the preview size (the camera back, a failed
        // capture, a recording's end).
        if (r.m_engine.StreamRunsAtCaptureSize()) {
            holding_ = true;
        } else if (unoffered_size_ != r.m_nSetSize) {
            RestartStream(r.m_nSetSize);
            holding_ = true;
            // A size the camera does not offer is not tried again: its captures switch as manual ones do.
            if (!r.m_engine.StreamRunsAtCaptureSize()) unoffered_size_ = r.m_nSetSize;
        }
    } else if (holding_) {
        holding_ = false;
        if (r.m_nSetPreviewSize != r.m_nSetSize && r.m_engine.StreamRunsAtCaptureSize())
            RestartStream(r.m_nSetPreviewSize);
    }
}

void CHandsFree::ReleaseStream() {
    if (!holding_) return;
    holding_ = false;
    if (record_.m_bCaptureBusy == 0 && record_.m_nSetPreviewSize != record_.m_nSetSize &&
        record_.m_engine.StreamRunsAtCaptureSize())
        RestartStream(record_.m_nSetPreviewSize);
}

void CHandsFree::OnReport() {
    std::optional<pipeline::WatchReport> report;
    {
        std::lock_guard<std::mutex> lock(report_mutex_);
        report.swap(report_);
    }
    if (!report || !Watching()) return;
    if (choices_.live_outline) {
        std::optional<std::array<QPointF, 4>> outline;
        if (report->outline) {
            outline.emplace();
            for (int i = 0; i < 4; ++i)
                (*outline)[i] = QPointF((*report->outline)[i].x / report->frame_width,
                                        (*report->outline)[i].y / report->frame_height);
        }
        frame_->View()->SetPageOutline(outline);
    }
    if (!choices_.auto_capture) return;
    switch (report->state) {
        case pipeline::WatchState::CaptureNow:
            if (report->taken == taken_ && report->page)
                Trigger(std::move(report->frame), report->outline, *report->page);
            break;
        case pipeline::WatchState::HoldStill:
            SetStatus(pipeline::WatchStatusText(report->state));
            break;
        case pipeline::WatchState::SamePage:
            // The page just taken stays named until another one comes.
            if (captured_ == 0) SetStatus(pipeline::WatchStatusText(report->state));
            break;
        case pipeline::WatchState::NoPage:
            SetStatus(pipeline::WatchStatusText(report->state));
            break;
    }
}

CHandsFree::PageFrame CHandsFree::TakePageFrame(int width, int height) {
    PageFrame taken = std::move(page_frame_);
    page_frame_ = {};
    if (!waiting_for_capture_ || !taken.frame || taken.frame->width != width || taken.frame->height != height)
        return {};
    return taken;
}

void CHandsFree::Trigger(std::shared_ptr<const platform::PreviewFrame> frame,
                         const std::optional<pipeline::PageOutline>& outline,
                         const pipeline::PageThumbnail& page) {
    if (QAbstractButton* button = WaitingSeriesCaptureButton()) {
        // The series dialog's own capture button: its thread takes the next page as if it was pressed.
        QTimer::singleShot(0, button, &QAbstractButton::click);
    } else if (record_.m_bCaptureBusy == 0 && (!hooks_.session_idle || hooks_.session_idle()) &&
               frame_->Commands().State(capture_command_).enabled) {
        // Not from inside the frame's message: the command may wait with the event loop running.
        const int command = capture_command_;
        QTimer::singleShot(0, frame_, [frame = frame_, command] { frame->OnCommand(command); });
    } else {
        return;  // a capture or its series step is still under way: the page waits for the next frame
    }
    platform::DebugLog("handsfree", "taking page %d", captured_ + 1);
    page_frame_ = PageFrame{std::move(frame), outline};
    worker_->Taken(page);
    ++taken_;
    waiting_for_capture_ = true;
    SetStatus(pipeline::WatchStatusText(pipeline::WatchState::HoldStill));
}

void CHandsFree::OnCaptureDone() {
    // Only a capture that kept a page counts.
    const uint64_t kept = hooks_.pages_kept ? hooks_.pages_kept() : kept_seen_ + 1;
    const bool gave_page = kept != kept_seen_;
    kept_seen_ = kept;
    const bool ours = waiting_for_capture_;
    waiting_for_capture_ = false;
    page_frame_ = {};
    if (!ours) {
        if (!Watching() || !choices_.auto_capture) return;
        // The user's own capture took the page lying there: auto-capture does not take it again (also when
        // the watch has not seen it yet), and counts it with the run's pages.
        worker_->Taken();
        ++taken_;
    } else if (!gave_page) {
        // After a failed capture the page lying there is not taken again on its own (the user has been
        // told why), but any other page is.
        platform::DebugLog("handsfree", "page %d was not captured", captured_ + 1);
        SetStatus("Page " + std::to_string(captured_ + 1) + " not captured");
        return;
    }
    if (!gave_page) return;
    ++captured_;
    SetStatus("Captured page " + std::to_string(captured_));
}

void CHandsFree::SetStatus(std::string text) {
    if (text == status_) return;
    status_ = std::move(text);
    if (hooks_.status_changed) hooks_.status_changed();
}
