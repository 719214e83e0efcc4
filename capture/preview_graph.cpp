#include "capture/preview_graph.h"

#include <optional>

#include "capture/device_discovery.h"
#include "capture/grabber_callback.h"
#include "capture/graph_builder.h"
#include "capture/recording.h"
#include "capture/video_fit.h"

namespace {

bool Rendered(int32_t result) { return result == platform::S_OK || result == platform::VFW_S_NOPREVIEWPIN; }

}  // namespace

bool ApplyPreviewFormat(CCaptureRecord& record, int width, int height) {
    platform::StreamConfig* config =
        FindVideoStreamConfig(record.m_pBuilder.get(), record.m_pVideoCapture.get());
    if (config == nullptr) return false;
    for (const platform::VideoFormat& format : config->Capabilities()) {
        if (format.fourcc == platform::kFourccYuy2 && format.width == width && format.height == height &&
            format.bit_count == 16 && config->SetFormat(format))
            return true;
    }
    return false;
}

int AssemblePreviewGraph(CCaptureRecord& record) {
    if (record.m_bPreviewGraphBuilt) return 1;
    if (record.m_bRecording || record.m_bPreviewing || !record.m_pVideoCapture ||
        (!record.m_pAudioCapture && record.m_bStreamB))
        return 0;
    if (!record.m_pGraph || !record.m_pBuilder) return 0;
    if (record.m_bRecordGraphBuilt) DismantleGraph(record);

    // A new grabber for every build; the callback is the one program-wide object.
    record.m_pGrabber = &g_grabberCallback;
    int32_t result = record.m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Interleaved,
                                                     record.m_pVideoCapture.get(), record.m_pGrabber);
    if (!Rendered(result))
        result = record.m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Video,
                                                 record.m_pVideoCapture.get(), record.m_pGrabber);
    if (!Rendered(result)) {
        record.m_bPreviewGraphBuilt = 0;
        return 0;
    }
    if (result == platform::VFW_S_NOPREVIEWPIN) record.m_bPreviewFaked = 1;
    if (!record.m_pGraph->GrabberConnected()) return 0;

    record.m_pVideoWindow = record.m_pGraph->QueryVideoWindow();
    if (record.m_pVideoWindow != nullptr) {
        record.m_pVideoWindow->SetOwner(record.m_pCaptureView != nullptr ? record.m_pCaptureView->Surface()
                                                                         : nullptr);
        FitVideoWindow(record);
        // Hidden while a still is taken, so the user does not see the stream switch sizes.
        if (record.m_bCaptureBusy) record.m_pVideoWindow->SetWindowPosition(0, 0, 0, 0);
        record.m_pVideoWindow->SetVisible(true);
    }

    record.m_pMediaEvents = record.m_pGraph->QueryMediaEvents();
    if (record.m_pMediaEvents != nullptr)
        record.m_pMediaEvents->SetNotifyWindow(record.m_hFrameWnd, platform::WM_GRAPHNOTIFY, 0);

    record.m_bPreviewGraphBuilt = 1;
    return 1;
}

void FitVideoWindow(CCaptureRecord& record) {
    if (record.m_pCaptureView == nullptr) return;
    int width = 0;
    int height = 0;
    record.m_pCaptureView->ClientSize(&width, &height);
    const VideoPlacement placement = FitVideoRect(width, height);
    if (record.m_pVideoWindow != nullptr)
        record.m_pVideoWindow->SetWindowPosition(placement.x, placement.y, placement.width, placement.height);
    record.m_pCaptureView->SetVideoRect(placement.x, placement.y, placement.x + placement.width,
                                        placement.y + placement.height);
}

int RunPreview(CCaptureRecord& record) {
    if (record.m_bPreviewing) return 1;
    if (!record.m_bPreviewGraphBuilt || !record.m_pGraph) return 0;
    if (record.m_pGraph->Run() < 0) {
        record.m_pGraph->Stop();
        return 0;
    }
    record.m_bPreviewing = 1;
    return 1;
}

int HaltPreview(CCaptureRecord& record) {
    if (!record.m_pGraph) return 0;
    if (record.m_pGraph->Stop() < 0) return 0;
    record.m_bPreviewing = 0;
    return 1;
}

void RemoveDownstream(CCaptureRecord& record, platform::CaptureFilter* filter) {
    // The graph takes away everything behind its capture filters in one walk.
    if (filter != nullptr && record.m_pGraph) record.m_pGraph->RemoveDownstream();
}

void DismantleGraph(CCaptureRecord& record) {
    record.m_pMux = nullptr;
    record.m_pMediaEvents = nullptr;
    record.m_pDroppedFrames = nullptr;
    if (record.m_pVideoWindow != nullptr) {
        record.m_pVideoWindow->SetOwner(nullptr);
        record.m_pVideoWindow->SetVisible(false);
        record.m_pVideoWindow = nullptr;
    }
    // One walk removes what lies behind both capture filters; the audio filter has nothing behind it.
    if (record.m_pVideoCapture)
        RemoveDownstream(record, record.m_pVideoCapture.get());
    else if (record.m_pAudioCapture)
        RemoveDownstream(record, record.m_pAudioCapture.get());
    if (record.m_pVideoCapture && record.m_pBuilder) record.m_pBuilder->ReleaseFilters();
    record.m_pGrabber = nullptr;
    record.m_bRecordGraphBuilt = 0;
    record.m_bPreviewGraphBuilt = 0;
    record.m_bPreviewFaked = 0;
}

bool RestartPreview(CCaptureRecord& record, int width, int height) {
    if (record.m_bWantPreview) HaltPreview(record);
    if (record.m_bRecordGraphBuilt || record.m_bPreviewGraphBuilt) DismantleGraph(record);
    const bool applied = ApplyPreviewFormat(record, width, height);
    if (record.m_bWantPreview) {
        AssemblePreviewGraph(record);
        record.m_bPreviewGraphBuilt = 1;  // whatever the build gave; RunPreview runs what the graph holds
        RunPreview(record);
    }
    return applied;
}

bool SwitchStreamToCaptureSize(CCaptureRecord& r) {
    ResolutionSize(r.m_nSetSize, r.m_nCaptureWidth, r.m_nCaptureHeight);  // another index keeps the size
    if (r.m_nSetPreviewSize == r.m_nSetSize) return false;
    if (r.m_pVideoConfig != nullptr && !RestartPreview(r, r.m_nCaptureWidth, r.m_nCaptureHeight)) {
        // A size the camera does not offer: the stream keeps the one it has, and that is the still's size.
        if (std::optional<platform::VideoFormat> format = r.m_pVideoConfig->GetFormat()) {
            r.m_nCaptureWidth = format->width;
            r.m_nCaptureHeight = format->height;
        }
    }
    return true;
}

void RequestFrame() { g_grabberCallback.m_bGrabRequested.store(1); }

bool IsSameComObject(const platform::CaptureFilter* a, const platform::CaptureFilter* b) { return a == b; }

void ShutdownEngine(CCaptureRecord& record) {
    if (record.m_bWantPreview) HaltPreview(record);  // a running recording's file gets its end here
    EndRecording(record);
    DismantleGraph(record);
    ReleaseDeviceFilters(record);
    record.m_pGrabber = nullptr;
}
