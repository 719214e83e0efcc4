// The session's frame, its threads and the two series finishes; the worker's steps are in
// capture_worker.cpp.
#include "pipeline/capture/capture_session.h"

#include <system_error>
#include <vector>

#include "app/settings/settings.h"
#include "pipeline/capture/pdf_output.h"
#include "platform/debuglog/debuglog.h"
#include "platform/window/window_messages.h"

namespace pipeline {
namespace {

NamingSettings NamingFor(const CVellumoSettings& settings) {
    NamingSettings names;
    names.save_path = settings.m_szSavePath;
    names.prefix = settings.m_szPrefix;
    names.image_format = g_nImageFormat.load();
    names.ocr_format = settings.m_nOcrFormat;
    names.video_format = settings.m_nVideoFormat;
    return names;
}

}  // namespace

CaptureSession::CaptureSession(const CVellumoSettings& settings, CaptureFlags flags)
    : settings_(settings), flags_(flags) {}

CaptureSession::~CaptureSession() {
    WaitIdle();
    std::lock_guard lock(threads_mutex_);
    if (!threads_.empty()) {
        // Only a session destroyed on one of its own threads gets here; that thread cannot wait for itself.
        platform::DebugLog("capture", "the capture session ends on one of its own threads");
        for (SessionThread& entry : threads_) entry.thread.detach();
    }
}

void CaptureSession::PrepareCapture(int capture_width, int capture_height, const ViewRect& selection,
                                    const ViewRect& video) {
    capture_width_ = capture_width;
    capture_height_ = capture_height;
    selection_ = selection;
    video_ = video;
}

void CaptureSession::SaveFrameToTemp(const CaptureFrame& frame) {
    // Names first: the card and OCR captures name their output by their own rules.
    const NamingSettings names = NamingFor(settings_);
    if (flags_.ocr_capture.load() == 0)
        m_naming.MakeImageFileNames(names);
    else if (flags_.card_capture.load() != 0)
        m_naming.MakeCardFileNames(names);
    else
        m_naming.MakeOcrFileNames(names);

    if (capture_width_ != 0 && (frame.width != capture_width_ || frame.height != capture_height_))
        platform::DebugLog("capture", "the frame is %dx%d, the capture asked for %dx%d", frame.width, frame.height,
                           capture_width_, capture_height_);
    // The frame's own size is what the file gets; the worker shapes pages by it too.
    frame_width_ = frame.width;
    frame_height_ = frame.height;
    const std::optional<FrameArea> area = ScaleCaptureArea(selection_, video_, frame.width, frame.height);
    std::optional<PageShape> shape;
    if (!area && settings_.m_bAutoDeskew == 0 && settings_.m_nScaleMode != 0) shape = PageShapeFor(frame.width);

    if (!WriteCaptureFile(m_naming.m_szTempFile, frame, area, shape, PixelsPerMetre(frame.width))) {
        AbandonCapture();
        return;
    }
    if (!StartThread([this] { CaptureWorker(); })) AbandonCapture();
}

void CaptureSession::AbandonCapture() {
    platform::DebugLog("capture", "the frame is dropped; the capture ends");
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    flags_.capture_busy.store(0);
    // Posted, not sent: the frame's handler restarts the stream, which waits for this very thread.
    platform::PostMessage(m_hFrameWnd, platform::WM_CAPTUREDONE);
}

void CaptureSession::EndCapture() {
    flags_.capture_busy.store(0);
    platform::SendMessage(m_hFrameWnd, platform::WM_CAPTUREDONE);
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
    const std::string target = m_naming.m_szOutputFile;
    if (!MakePdf(m_pages.Count(), JoinPagesForPdf(m_pages), target, progress)) {
        // The pages stay listed for another try.
        return false;
    }
    m_pages.DeletePageFiles();
    return true;
}

void CaptureSession::FinishOcrSeries() {
    flags_.grab_requested.store(0);
    flags_.ocr_capture.store(0);
    const int target = m_nHandOverTarget.load();
    bool handed = false;
    if (target == 1) {
        if (m_handOver.send_to_card_program) {
            m_handOver.send_to_card_program(settings_, m_pages);
            handed = true;
        }
    } else if (m_pages.Count() > 1) {
        if (m_handOver.run_ocr_on_pages) {
            m_handOver.run_ocr_on_pages(settings_, m_pages);
            handed = true;
        }
    } else if (m_pages.Count() == 1) {
        if (m_handOver.run_ocr) {
            m_handOver.run_ocr(settings_, std::string(m_pages.Paths().front()));
            handed = true;
        }
    } else {
        handed = true;  // nothing to hand over
    }
    if (target == 1 && settings_.m_bCardContinuous != 0) DeleteCardSeriesPictures();
    flags_.card_capture.store(0);
    if (handed)
        m_pages.DeletePageFiles();
    else
        platform::DebugLog("capture", "no %s service; the %d series page(s) stay", target == 1 ? "card program" : "OCR",
                           m_pages.Count());
    m_nHandOverTarget.store(0);
}

}  // namespace pipeline
