#include "app/series/series_threads.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <chrono>
#include <memory>
#include <thread>
#include <type_traits>

#include "app/series/series_dialogs.h"
#include "app/wait/gui_wait.h"
#include "device/facade/facade.h"
#include "platform/debuglog/debuglog.h"
#include "platform/window/window_messages.h"

namespace {

bool ReadCameraStatus(uint32_t* status) { return devctl::CamReadRegister(0xC4, 1, status) == devctl::kCamOk; }

// A dialog that lives on the GUI thread while its thread runs. Only the GUI thread touches the pointer;
// the owner deletes a dialog left behind when the program closes first.
template <typename Dialog>
class WindowDialog {
  public:
    explicit WindowDialog(const SeriesContext& context) : context_(context) {}
    ~WindowDialog() {
        platform::RunOnWindowThread(context_.frame, [this] {
            delete dialog_.data();
            return intptr_t{1};
        });
    }
    // Shows the dialog modally; the ID of the button pressed, or 0 when it was closed otherwise.
    int Run() {
        const intptr_t result = platform::RunOnWindowThread(context_.frame, [this] {
            if (!dialog_) dialog_ = new Dialog(context_.owner ? context_.owner() : nullptr);
            if constexpr (std::is_same_v<Dialog, CTransform> || std::is_same_v<Dialog, COcrTransform>) {
                // Beside the window, not over it: the page strip stays in reach while the next page is
                // awaited.
                return static_cast<intptr_t>(dialog_->RunBeside());
            } else {
                return static_cast<intptr_t>(dialog_->DoModal());
            }
        });
        return result > 2 ? static_cast<int>(result) : 0;  // Accepted (1) and Rejected (0) are no buttons
    }
    // Runs `work` with the dialog on the GUI thread.
    void With(const std::function<void(Dialog&)>& work) {
        platform::RunOnWindowThread(context_.frame, [&] {
            if (dialog_) work(*dialog_);
            return intptr_t{1};
        });
    }

  private:
    SeriesContext context_;
    QPointer<Dialog> dialog_;
};

void ContinueCaptureThread(const SeriesContext& c) {
    const int button = WindowDialog<CContinueCapture>(c).Run();
    if (button == 1010) {
        RunCaptureSequence(*c.record, CaptureForm::ContinueCapture, DialogThreadCaptureHooks(c));
    } else {
        c.record->m_bContinuousRunning = 0;  // stopped (or closed): the series ends
    }
}

void TransformThread(const SeriesContext& c) {
    WindowDialog<CTransform> dialog(c);
    const int button = dialog.Run();
    if (button == 1002) {
        RunCaptureSequence(*c.record, CaptureForm::Transform, DialogThreadCaptureHooks(c));
    } else if (button == 1001) {
        dialog.With([](CTransform& d) {
            d.ShowWriting();
            d.setModal(true);
            d.show();
        });
        const bool written = c.session->MakeGatheredPdf([&](unsigned long total, unsigned long done) {
            dialog.With([&](CTransform& d) { d.SetProgress(total, done); });
        });
        if (!written) platform::DebugLog("capture", "the gathered PDF could not be written");
    }
    // Closed without a button: the pages stay listed for the next capture's dialog.
}

void ContinueOcrThread(const SeriesContext& c) {
    if (WindowDialog<CContinueOcr>(c).Run() == 1014)
        RunCaptureSequence(*c.record, CaptureForm::ContinueOcr, DialogThreadCaptureHooks(c));
}

void OcrTransformThread(const SeriesContext& c) {
    const int button = WindowDialog<COcrTransform>(c).Run();
    if (button == 1008)
        RunCaptureSequence(*c.record, CaptureForm::OcrTransform, DialogThreadCaptureHooks(c));
    else if (button == 1006)
        c.session->FinishOcrSeries();
}

CaptureCommandHooks CommonHooks(const SeriesContext& c) {
    CaptureCommandHooks hooks;
    hooks.prepare = c.prepare;
    hooks.page_lies_still = c.page_lies_still;
    hooks.hand_kept_frame = c.hand_kept_frame;
    hooks.read_status = ReadCameraStatus;
    pipeline::CaptureSession* session = c.session;
    hooks.hand_over_target = [session] { return session->m_nHandOverTarget.load(); };
    return hooks;
}

// The capture buttons of the series dialogs: next page of a gathered PDF, next OCR page, next picture.
constexpr int kGatheringButtons[] = {1002, 1008};
constexpr int kOtherSeriesButtons[] = {1010, 1014};

QAbstractButton* FindShownButton(std::initializer_list<int> ids) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || qobject_cast<QDialog*>(window) == nullptr) continue;
        for (int id : ids) {
            auto* button = window->findChild<QAbstractButton*>(QString::number(id));
            if (button != nullptr && button->isVisible() && button->isEnabled()) return button;
        }
    }
    return nullptr;
}

}  // namespace

QAbstractButton* WaitingSeriesCaptureButton() {
    return FindShownButton(
        {kGatheringButtons[0], kGatheringButtons[1], kOtherSeriesButtons[0], kOtherSeriesButtons[1]});
}

bool PagesWaitForNext() { return FindShownButton({kGatheringButtons[0], kGatheringButtons[1]}) != nullptr; }

pipeline::SeriesDialogs MakeSeriesDialogs(const SeriesContext& c) {
    pipeline::SeriesDialogs dialogs;
    dialogs.continue_capture = [c] { ContinueCaptureThread(c); };
    dialogs.transform = [c] { TransformThread(c); };
    dialogs.continue_ocr = [c] { ContinueOcrThread(c); };
    dialogs.ocr_transform = [c] { OcrTransformThread(c); };
    return dialogs;
}

CaptureCommandHooks WindowThreadCaptureHooks(const SeriesContext& c) {
    CaptureCommandHooks hooks = CommonHooks(c);
    hooks.wait = WaitPainting;
    hooks.poll = PollPainting;
    hooks.on_window_thread = [](const std::function<void()>& work) {
        work();
        return true;
    };
    return hooks;
}

CaptureCommandHooks DialogThreadCaptureHooks(const SeriesContext& c) {
    CaptureCommandHooks hooks = CommonHooks(c);
    hooks.wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    hooks.poll = [](const std::function<bool()>& done, int interval_ms, int bound_ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(interval_ms));
        }
        return true;
    };
    platform::MessageTarget* frame = c.frame;
    hooks.on_window_thread = [frame](const std::function<void()>& work) {
        return platform::RunOnWindowThread(frame, [&] {
                   work();
                   return intptr_t{1};
               }) != 0;
    };
    return hooks;
}
