// The session's frame, its threads and the two series finishes; the worker's steps are in
// capture_worker.cpp.
#include "pipeline/capture/capture_session.h"

#include <system_error>
#include <vector>

#include "pipeline/capture/pdf_output.h"
#include "platform/debuglog/debuglog.h"
#include "platform/window/window_messages.h"

namespace pipeline {

CaptureSession::CaptureSession(CaptureFlags flags) : flags_(flags) {}

CaptureSession::~CaptureSession() {
    {
        std::lock_guard lock(request_mutex_);
        closing_ = true;
    }
    frame_signal_.notify_all();
    if (m_handOver.cancel) m_handOver.cancel();
    WaitIdle();
    std::lock_guard lock(threads_mutex_);
    if (!threads_.empty()) {
        // Only a session destroyed on one of its own threads gets here; that thread cannot wait for itself.
        platform::DebugLog("capture", "the capture session ends on one of its own threads");
        for (SessionThread& entry : threads_) entry.thread.detach();
    }
}

void CaptureSession::PrepareCapture(CaptureRequest request) {
    uint64_t armed = 0;
    const auto bound = request.stream_restarted ? m_grabBound + m_restartAllowance : m_grabBound;
    {
        std::lock_guard lock(request_mutex_);
        pending_ = std::make_shared<const CaptureRequest>(std::move(request));
        armed = ++armed_;
    }
    frame_signal_.notify_all();  // an older capture's wait ends: its request is gone
    if (!StartThread([this, armed, bound] { WatchForFrame(armed, bound); }))
        platform::DebugLog("capture",
                           "the wait for the frame cannot start; a frame that never comes is not noticed");
}

void CaptureSession::WatchForFrame(uint64_t armed, std::chrono::milliseconds bound) {
    std::unique_lock lock(request_mutex_);
    const bool settled =
        frame_signal_.wait_for(lock, bound, [&] { return closing_ || armed_ != armed || framed_ >= armed; });
    // Taking the request in one step: a frame that wins the race keeps its capture. Under the lock, so
    // that a newer capture (armed before its request is set) is never the one given up.
    if (settled || flags_.grab_requested.exchange(0) == 0) return;
    lock.unlock();
    platform::DebugLog("capture", "no frame came within %lld ms of the grab request; the capture is given up",
                       static_cast<long long>(bound.count()));
    AbandonCapture();
    if (m_reportNoFrame) m_reportNoFrame();
}

CaptureSession::Request CaptureSession::FrameCame() {
    Request request;
    {
        std::lock_guard lock(request_mutex_);
        request = pending_;
        framed_ = armed_;
    }
    frame_signal_.notify_all();
    if (!request) {
        platform::DebugLog("capture", "a frame came with no capture asked for; it is dropped");
        AbandonCapture();
    }
    return request;
}

void CaptureSession::SaveKeptFrame(std::shared_ptr<const platform::PreviewFrame> kept,
                                   std::optional<PageOutline> outline) {
    const Request request = FrameCame();
    if (!request) return;
    if (!kept || kept->width <= 0 || kept->height <= 0 || kept->stride < 4 * kept->width ||
        kept->pixels.size() < static_cast<size_t>(kept->stride) * static_cast<size_t>(kept->height)) {
        platform::DebugLog("capture", "the kept frame cannot be used; the capture ends without a picture");
        AbandonCapture();
        return;
    }
    platform::DebugLog("capture", "frame of %dx%d taken (the one the page was seen still in%s)", kept->width,
                       kept->height, outline ? ", with its outline" : "");
    auto owned = std::make_shared<OwnedFrame>();
    owned->width = kept->width;
    owned->height = kept->height;
    owned->kept = std::move(kept);
    owned->outline = outline;
    // Converted on the worker's thread, and only when the whole frame is needed.
    if (!StartThread([this, request, owned] { CaptureWorker(request, *owned); })) AbandonCapture();
}

void CaptureSession::SaveFrameToTemp(const CaptureFrame& frame) {
    const Request request = FrameCame();
    if (!request) return;
    // Only the copy happens here: the streaming thread goes back to the camera at once.
    auto owned = std::make_shared<OwnedFrame>();
    const size_t stride = (static_cast<size_t>(frame.width) * 3 + 3) / 4 * 4;
    if (frame.bytes == nullptr || frame.width <= 0 || frame.height <= 0 ||
        frame.length < stride * static_cast<size_t>(frame.height)) {
        platform::DebugLog("capture", "the frame of %zu bytes cannot hold %dx%d pixels; it is dropped",
                           frame.length, frame.width, frame.height);
        AbandonCapture();
        return;
    }
    platform::DebugLog("capture", "frame of %dx%d taken", frame.width, frame.height);
    owned->bytes.assign(frame.bytes, frame.bytes + stride * static_cast<size_t>(frame.height));
    owned->width = frame.width;
    owned->height = frame.height;
    if (!StartThread([this, request, owned] { CaptureWorker(request, *owned); })) AbandonCapture();
}

void CaptureSession::AbandonCapture() {
    platform::DebugLog("capture", "the capture ends without a picture");
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    flags_.capture_busy.store(0);
    // Posted, not sent: the frame's handler restarts the stream, which may wait for the calling thread.
    platform::PostMessage(m_pFrameTarget, platform::WM_CAPTUREDONE);
}

void CaptureSession::EndCapture() {
    flags_.capture_busy.store(0);
    platform::SendMessage(m_pFrameTarget, platform::WM_CAPTUREDONE);
}

void CaptureSession::StartDialog(const std::function<void()>& dialog, const char* name) {
    if (!dialog) {
        platform::DebugLog("capture", "no %s dialog to show", name);
        return;
    }
    if (!StartThread(dialog)) platform::DebugLog("capture", "the %s dialog cannot be shown", name);
}

void CaptureSession::ShowHere(const std::function<void()>& dialog, const char* name) {
    if (dialog)
        dialog();
    else
        platform::DebugLog("capture", "no %s dialog to show", name);
}

bool CaptureSession::Idle() {
    std::lock_guard lock(threads_mutex_);
    for (const SessionThread& entry : threads_)
        if (!entry.ended.load()) return false;
    return true;
}

bool CaptureSession::StartThread(std::function<void()> procedure) {
    std::list<SessionThread> ended;
    bool started = true;
    {
        std::lock_guard lock(threads_mutex_);
        for (auto it = threads_.begin(); it != threads_.end();) {
            const auto next = std::next(it);
            if (it->ended.load()) ended.splice(ended.end(), threads_, it);
            it = next;
        }
        SessionThread& entry = threads_.emplace_back();
        try {
            entry.thread = std::thread([procedure = std::move(procedure), &entry] {
                procedure();
                entry.ended.store(true);
            });
        } catch (const std::system_error& error) {
            platform::DebugLog("capture", "cannot start a thread: %s", error.what());
            threads_.pop_back();
            started = false;
        }
    }
    for (SessionThread& entry : ended) entry.thread.join();
    return started;
}

void CaptureSession::WaitIdle() {
    const std::thread::id self = std::this_thread::get_id();
    // A thread may start another before it ends (the worker a dialog's), so take them until none is left.
    for (;;) {
        std::list<SessionThread> taken;
        {
            std::lock_guard lock(threads_mutex_);
            for (auto it = threads_.begin(); it != threads_.end();) {
                const auto next = std::next(it);
                if (it->thread.get_id() != self) taken.splice(taken.end(), threads_, it);
                it = next;
            }
        }
        if (taken.empty()) return;
        for (SessionThread& entry : taken) entry.thread.join();
    }
}

bool CaptureSession::MakeGatheredPdf(const PdfProgressFn& progress) {
    flags_.grab_requested.store(0);
    if (m_pages.Count() == 0) {
        platform::DebugLog("capture", "no gathered pages to write");
        return false;
    }
    Request request;
    {
        std::lock_guard lock(request_mutex_);
        request = series_;
    }
    const std::optional<std::string> written = PublishUnderFreeName(
        m_naming.m_szOutputFile,
        [&](const std::string& path) {
            return MakePdf(m_pages.Count(), JoinPagesForPdf(m_pages), path, progress);
        },
        [&] {
            return request && m_naming.MakeImageFileNames(request->naming) != 0 ? m_naming.m_szOutputFile
                                                                                : std::string();
        });
    // When not written the pages stay listed for another try.
    if (!written) return false;
    m_pages.DeletePageFiles();
    return true;
}

void CaptureSession::FinishOcrSeries() {
    flags_.grab_requested.store(0);
    flags_.ocr_capture.store(0);
    Request request;
    {
        std::lock_guard lock(request_mutex_);
        request = series_;
    }
    CaptureRequest fallback;
    fallback.hand_over_target = m_nHandOverTarget.load();
    const CaptureRequest& r = request ? *request : fallback;
    const int target = r.hand_over_target;
    std::vector<std::string> pages;
    for (std::string_view path : m_pages.Paths()) pages.emplace_back(path);
    HandOverResult result = HandOverResult::Succeeded();  // nothing to hand over is done at once
    const char* missing = nullptr;
    if (target == 1) {
        if (m_handOver.send_to_card_program)
            result = m_handOver.send_to_card_program(r, m_pages);
        else
            missing = "card program";
    } else if (m_pages.Count() > 1) {
        if (m_handOver.run_ocr_on_pages)
            result = m_handOver.run_ocr_on_pages(r, m_pages);
        else
            missing = "OCR";
    } else if (m_pages.Count() == 1) {
        if (m_handOver.run_ocr)
            result = m_handOver.run_ocr(r, pages.front());
        else
            missing = "OCR";
    }
    if (target == 1 && r.card_continuous) DeleteCardSeriesPictures();
    flags_.card_capture.store(0);
    if (missing != nullptr) {
        platform::DebugLog("capture", "no %s service; the %d series page(s) stay", missing, m_pages.Count());
    } else {
        ReportKept(result.problem, SettleHandOver(r, result, pages));
        m_pages.Clear();
    }
    m_nHandOverTarget.store(0);
}

}  // namespace pipeline
