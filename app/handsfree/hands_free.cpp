#include "app/handsfree/hands_free.h"

#include <QAbstractButton>
#include <QTimer>

#include "app/mainframe/main_frame.h"
#include "app/series/series_threads.h"
#include "app/view/vellumo_view.h"
#include "capture/capture_record.h"
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
            if (report->taken == taken_) Trigger();
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

void CHandsFree::Trigger() {
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
    worker_->Taken();
    ++taken_;
    waiting_for_capture_ = true;
    SetStatus(pipeline::WatchStatusText(pipeline::WatchState::HoldStill));
}

void CHandsFree::OnCaptureDone() {
    if (!waiting_for_capture_) return;
    waiting_for_capture_ = false;
    ++captured_;
    SetStatus("Captured page " + std::to_string(captured_));
}

void CHandsFree::SetStatus(std::string text) {
    if (text == status_) return;
    status_ = std::move(text);
    if (hooks_.status_changed) hooks_.status_changed();
}
