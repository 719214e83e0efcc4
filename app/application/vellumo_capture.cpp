// The application's side of still capture: the capture session with its hand-overs and series dialogs, the
// grabber's frame handler, and the view's capture command.
#include <QAbstractButton>
#include <QMetaObject>
#include <cstdio>
#include <string>

#include "app/application/vellumo_app.h"
#include "app/handsfree/hands_free.h"
#include "app/mainframe/main_frame.h"
#include "app/resources/resource_library.h"
#include "app/series/series_threads.h"
#include "app/view/vellumo_view.h"
#include "capture/grabber_callback.h"
#include "ocr/hand_over_services.h"
#include "platform/debuglog/debuglog.h"
#include "platform/ui/prompt.h"

namespace {

// The grabber's frame handler, on the streaming thread: the requested frame goes to the session.
void SaveGrabbedFrame(CSampleGrabberCB&, const platform::GrabbedFrame& frame) {
    if (pipeline::CaptureSession* session = theApp.CaptureSession())
        session->SaveFrameToTemp(
            pipeline::CaptureFrame{frame.bytes, frame.length, frame.width, frame.height});
}

pipeline::ViewRect ToViewRect(const Rect& rc) {
    return pipeline::ViewRect{rc.left, rc.top, rc.right, rc.bottom};
}

}  // namespace

SeriesContext CVellumoApp::CaptureContext() {
    SeriesContext context;
    context.record = this;
    context.session = m_pCaptureSession.get();
    context.frame = m_pMainFrame->MessageTarget();
    context.owner = [this]() -> QWidget* { return m_pMainFrame.get(); };
    context.prepare = [this](int width, int height, bool restarted) {
        NoteCaptureSize(width, height);
        CVellumoView* view = m_pMainFrame->View();
        pipeline::CaptureRequest request = pipeline::MakeCaptureRequest(
            *this, g_nImageFormat.load(), m_pCaptureSession->m_nHandOverTarget.load());
        request.capture_width = width;
        request.capture_height = height;
        request.selection = ToViewRect(view->m_rcSelection);
        request.video = ToViewRect(view->m_rcVideo);
        request.stream_restarted = restarted;
        m_pCaptureSession->PrepareCapture(std::move(request));
    };
    context.page_lies_still = [this] { return m_pHandsFree && m_pHandsFree->TakingPage(); };
    context.hand_kept_frame = [this](int width, int height) {
        CHandsFree::PageFrame page =
            m_pHandsFree ? m_pHandsFree->TakePageFrame(width, height) : CHandsFree::PageFrame{};
        if (!page.frame) return false;
        m_pCaptureSession->SaveKeptFrame(std::move(page.frame), page.outline);
        return true;
    };
    return context;
}

void CVellumoApp::NoteCaptureSize(int width, int height) {
    int asked_width = 0;
    int asked_height = 0;
    if (!ResolutionSize(m_nSetSize, asked_width, asked_height)) return;
    UpdateStatusText();
    const std::string asked = std::to_string(asked_width) + "x" + std::to_string(asked_height);
    if ((asked_width == width && asked_height == height) || m_szUnofferedSizeTold == asked) return;
    m_szUnofferedSizeTold = asked;
    platform::DebugLog("capture", "the camera does not offer %s; the still is %dx%d", asked.c_str(), width,
                       height);
    char text[400];
    std::snprintf(text, sizeof text, LoadResString(193).c_str(), asked.c_str(), width, height);
    // After the capture has its frame: the message must not hold up the request.
    QMetaObject::invokeMethod(
        m_pMainFrame.get(),
        [message = std::string(text)] {
            platform::MessageBox(message, LoadResString(133), platform::MB_OK | platform::MB_ICONINFORMATION);
        },
        Qt::QueuedConnection);
}

void CVellumoApp::StartCapturePipeline() {
    m_pCaptureSession = std::make_unique<pipeline::CaptureSession>(
        pipeline::CaptureFlags{g_grabberCallback.m_bGrabRequested, g_grabberCallback.m_bOcrCapture,
                               g_grabberCallback.m_bCardCapture, m_bCaptureBusy});
    m_pCaptureSession->m_pFrameTarget = m_pMainFrame->MessageTarget();
    m_pCaptureSession->m_handOver = ocr::MakeHandOverServices(m_szProgramFolder);
    m_pCaptureSession->m_dialogs = MakeSeriesDialogs(CaptureContext());
    // Gathered pages keep their order on disk, for the next start when this run ends before the document.
    m_pCaptureSession->m_pages.SetListFile(pipeline::PageOrderListPath());
    m_pCaptureSession->m_reportUnsaved = [](const std::string& output, const std::string& kept) {
        char text[1200];
        std::snprintf(text, sizeof text, LoadResString(178).c_str(), output.c_str(), kept.c_str());
        platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONWARNING);
    };
    m_pCaptureSession->m_reportHandOver = [](const std::string& problem,
                                             const std::vector<std::string>& kept) {
        std::string names;
        for (const std::string& name : kept) names += "\n" + name;
        char text[4000];
        std::snprintf(text, sizeof text, LoadResString(190).c_str(), problem.c_str(), names.c_str());
        platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONWARNING);
    };
    m_pCaptureSession->m_reportUnwritten = [](const std::string& reason) {
        char text[1200];
        std::snprintf(text, sizeof text, LoadResString(194).c_str(), reason.c_str());
        platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONWARNING);
    };
    m_pCaptureSession->m_reportNoFrame = [] {
        platform::MessageBox(LoadResString(191), LoadResString(133),
                             platform::MB_OK | platform::MB_ICONWARNING);
    };
    g_grabberCallback.SetFrameHandler(
        &SaveGrabbedFrame);  // the session is complete before a frame can reach it
}

void CVellumoApp::SaveLeftoverPictures() {
    const std::vector<std::string> saved =
        pipeline::SaveLeftoverPictures(pipeline::MakeCaptureRequest(*this, g_nImageFormat.load(), 0).naming);
    if (saved.empty()) return;
    char text[1200];
    std::snprintf(text, sizeof text, LoadResString(192).c_str(), static_cast<int>(saved.size()),
                  m_szSavePath.c_str());
    platform::MessageBox(text, LoadResString(133), platform::MB_OK | platform::MB_ICONINFORMATION);
}

void CVellumoApp::StopCapturePipeline() {
    g_grabberCallback.SetFrameHandler(nullptr);
    m_pCaptureSession.reset();  // waits for its threads; the closed frame lets go of any that wait on it
}

void CVellumoApp::OnCapture() {
    // A series dialog waits beside the window: the command takes its next page.
    if (QAbstractButton* next = WaitingSeriesCaptureButton()) {
        next->click();
        return;
    }
    RunCaptureSequence(*this, CaptureForm::View, WindowThreadCaptureHooks(CaptureContext()));
}
