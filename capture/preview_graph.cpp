#include "capture/preview_graph.h"

#include <optional>

#include "capture/capture_engine.h"
#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/graph_builder.h"
#include "capture/recording.h"
#include "capture/video_fit.h"

namespace {

bool Rendered(int32_t result) { return result == platform::S_OK || result == platform::VFW_S_NOPREVIEWPIN; }

}  // namespace

bool capture::CaptureEngine::ApplyPreviewFormat(int width, int height) {
    platform::StreamConfig* config = FindVideoStreamConfig(m_pBuilder.get(), m_pVideoCapture.get());
    if (config == nullptr) return false;
    for (const platform::VideoFormat& format : config->Capabilities()) {
        if (format.fourcc == platform::kFourccYuy2 && format.width == width && format.height == height &&
            format.bit_count == 16 && config->SetFormat(format))
            return true;
    }
    return false;
}

int capture::CaptureEngine::AssemblePreviewGraph() {
    if (PreviewGraphBuilt()) return 1;
    if (Recording() || !m_pVideoCapture || (!m_pAudioCapture && settings_.m_bStreamB)) return 0;
    if (!m_pGraph || !m_pBuilder) return 0;
    if (RecordGraphBuilt()) DismantleGraph();

    // A new grabber for every build; the callback is the one program-wide object.
    m_pGrabber = &g_grabberCallback;
    int32_t result = m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Interleaved,
                                              m_pVideoCapture.get(), m_pGrabber);
    if (!Rendered(result))
        result = m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Video, m_pVideoCapture.get(),
                                          m_pGrabber);
    if (!Rendered(result)) return 0;
    if (!m_pGraph->GrabberConnected()) return 0;

    m_pVideoWindow = m_pGraph->QueryVideoWindow();
    if (m_pVideoWindow != nullptr) {
        m_pVideoWindow->SetOwner(m_pCaptureView != nullptr ? m_pCaptureView->Surface() : nullptr);
        FitVideoWindow();
        // Hidden while a still is taken, so the user does not see the stream switch sizes.
        if (settings_.m_bCaptureBusy) m_pVideoWindow->SetWindowPosition(0, 0, 0, 0);
        m_pVideoWindow->SetVisible(true);
    }

    m_pMediaEvents = m_pGraph->QueryMediaEvents();
    if (m_pMediaEvents != nullptr)
        m_pMediaEvents->SetNotifyWindow(m_pFrameTarget, platform::WM_GRAPHNOTIFY, 0);

    SetState(GraphState::PreviewBuilt);
    return 1;
}

void capture::CaptureEngine::FitVideoWindow() {
    if (m_pCaptureView == nullptr) return;
    int width = 0;
    int height = 0;
    m_pCaptureView->ClientSize(&width, &height);
    const VideoPlacement placement = FitVideoRect(width, height);
    if (m_pVideoWindow != nullptr)
        m_pVideoWindow->SetWindowPosition(placement.x, placement.y, placement.width, placement.height);
    m_pCaptureView->SetVideoRect(placement.x, placement.y, placement.x + placement.width,
                                 placement.y + placement.height);
}

int capture::CaptureEngine::RunPreview() {
    if (Previewing()) return 1;
    if (!PreviewGraphBuilt() || !m_pGraph) return 0;
    if (m_pGraph->Run() < 0) {
        m_pGraph->Stop();
        return 0;
    }
    SetState(GraphState::Previewing);
    return 1;
}

int capture::CaptureEngine::HaltPreview() {
    if (!m_pGraph) return 0;
    if (m_pGraph->Stop() < 0) return 0;
    if (Previewing()) SetState(GraphState::PreviewBuilt);
    return 1;
}

void capture::CaptureEngine::RemoveDownstream(platform::CaptureFilter* filter) {
    // The graph takes away everything behind its capture filters in one walk.
    if (filter != nullptr && m_pGraph) m_pGraph->RemoveDownstream();
}

void capture::CaptureEngine::DismantleGraph() {
    m_pMux = nullptr;
    m_pMediaEvents = nullptr;
    m_pDroppedFrames = nullptr;
    if (m_pVideoWindow != nullptr) {
        m_pVideoWindow->SetOwner(nullptr);
        m_pVideoWindow->SetVisible(false);
        m_pVideoWindow = nullptr;
    }
    // One walk removes what lies behind both capture filters; the audio filter has nothing behind it.
    if (m_pVideoCapture)
        RemoveDownstream(m_pVideoCapture.get());
    else if (m_pAudioCapture)
        RemoveDownstream(m_pAudioCapture.get());
    m_pGrabber = nullptr;
    SetState(GraphState::Empty);
}

bool capture::CaptureEngine::RestartPreview(int width, int height) {
    if (m_bWantPreview) HaltPreview();
    if (State() != GraphState::Empty) DismantleGraph();
    const bool applied = ApplyPreviewFormat(width, height);
    if (m_bWantPreview) {
        AssemblePreviewGraph();
        // Whatever the build gave: RunPreview runs what the graph holds.
        if (State() == GraphState::Empty) SetState(GraphState::PreviewBuilt);
        RunPreview();
    }
    return applied;
}

void capture::CaptureEngine::ReturnToPreviewSize() {
    if (settings_.m_nSetPreviewSize == settings_.m_nSetSize) return;
    int width = 0;
    int height = 0;
    ResolutionSize(settings_.m_nSetPreviewSize, width, height);
    settings_.m_nPreviewWidth = width;
    settings_.m_nPreviewHeight = height;
    if (m_pVideoConfig != nullptr) RestartPreview(width, height);
    if (settings_.m_bDevicePresent) ApplySensorSettings();
}

bool capture::CaptureEngine::StreamRunsAtCaptureSize() {
    int width = 0;
    int height = 0;
    if (!Previewing() || m_pVideoConfig == nullptr || !ResolutionSize(settings_.m_nSetSize, width, height))
        return false;
    const std::optional<platform::VideoFormat> format = m_pVideoConfig->GetFormat();
    if (!format || format->width != width || format->height != height) return false;
    settings_.m_nCaptureWidth = width;
    settings_.m_nCaptureHeight = height;
    return true;
}

bool capture::CaptureEngine::SwitchStreamToCaptureSize() {
    ResolutionSize(settings_.m_nSetSize, settings_.m_nCaptureWidth,
                   settings_.m_nCaptureHeight);  // another index keeps the size
    if (settings_.m_nSetPreviewSize == settings_.m_nSetSize) return false;
    if (m_pVideoConfig != nullptr && !RestartPreview(settings_.m_nCaptureWidth, settings_.m_nCaptureHeight)) {
        // A size the camera does not offer: the stream keeps the one it has, and that is the still's size.
        if (std::optional<platform::VideoFormat> format = m_pVideoConfig->GetFormat()) {
            settings_.m_nCaptureWidth = format->width;
            settings_.m_nCaptureHeight = format->height;
        }
    }
    return true;
}

void RequestFrame() { g_grabberCallback.m_bGrabRequested.store(1); }

void capture::CaptureEngine::ShutdownEngine() {
    if (m_bWantPreview) HaltPreview();  // a running recording's file gets its end here
    EndRecording();
    DismantleGraph();
    ReleaseDeviceFilters();
    m_pGrabber = nullptr;
}
