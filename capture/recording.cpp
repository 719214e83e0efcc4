#include "capture/recording.h"

#include <chrono>

#include "capture/camera_controls.h"
#include "capture/capture_engine.h"
#include "capture/graph_builder.h"
#include "capture/preview_graph.h"
#include "platform/debuglog/debuglog.h"

int g_bRecordStatistics = 0;

uint32_t timeGetTime() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

bool Rendered(int32_t result) { return result == platform::S_OK || result == platform::VFW_S_NOPREVIEWPIN; }

int FailBuild(capture::CaptureEngine& engine, int32_t result) {
    engine.m_hrRecordResult = result;
    engine.DismantleGraph();
    return 0;
}

void StartRecording(capture::CaptureEngine& engine, const RecordingHooks& hooks) {
    engine.m_nSavedPreviewSize = engine.Settings().m_nSetPreviewSize;
    if (engine.m_nSavedPreviewSize != 0) engine.SelectPreviewResolution(0, hooks.update_status_text);
    engine.m_szVideoFile = hooks.make_video_file_name ? hooks.make_video_file_name() : std::string();
    if (engine.Previewing()) engine.HaltPreview();
    if (engine.PreviewGraphBuilt()) engine.DismantleGraph();
    engine.m_hrRecordResult = platform::S_OK;
    engine.AssembleRecordingGraph();
    engine.BeginRecording();
    if (!engine.Settings().m_bDirectionSwitch) ApplyOrientationFlip();
    engine.SetIrisAuto();  // automatic exposure while recording
}

void StopRecording(capture::CaptureEngine& engine, const RecordingHooks& hooks) {
    engine.EndRecording();
    if (engine.m_bWantPreview) {
        engine.AssemblePreviewGraph();  // takes the recording graph apart first
        engine.RunPreview();
    }
    if (engine.m_nSavedPreviewSize != 0)
        engine.SelectPreviewResolution(engine.m_nSavedPreviewSize == 2 ? 2 : 1, hooks.update_status_text);
    else if (!engine.Settings().m_bDirectionSwitch)
        ApplyOrientationFlip();
    if (engine.Settings().m_bAutoFocus) {
        engine.SetFocusAuto();
    } else {
        engine.Settings().m_nFocus = static_cast<int>(engine.GetFocusPosition());
        engine.SetFocusPosition(engine.Settings().m_nFocus);
    }
    engine.ApplyExposureMode();
    if (hooks.update_recording_status) hooks.update_recording_status(1);
}

}  // namespace

void capture::CaptureEngine::ToggleRecording(const RecordingHooks& hooks) {
    g_bRecordStatistics = !g_bRecordStatistics;
    if (settings_.m_bNotRecording)
        StartRecording(*this, hooks);
    else
        StopRecording(*this, hooks);
    // Also when the graph could not be built: the next press then runs the stop branch.
    settings_.m_bNotRecording = !settings_.m_bNotRecording;
}

int capture::CaptureEngine::AssembleRecordingGraph() {
    if (RecordGraphBuilt()) return 1;
    if (Previewing() || !m_pVideoCapture || (!m_pAudioCapture && settings_.m_bStreamB)) return 0;
    if (!m_pGraph || !m_pBuilder) return 0;
    if (PreviewGraphBuilt()) DismantleGraph();

    const MediaSubtype subtype = settings_.m_nVideoFormat == 0 ? MediaSubtype::Asf : MediaSubtype::Avi;
    int32_t result = m_pBuilder->SetOutputFileName(subtype, m_szVideoFile, &m_pMux);
    if (result != platform::S_OK) return FailBuild(*this, result);
    // avimux always writes both the old index and the large-file one, and interleaves by time: there is
    // nothing to set for compatibility or a master stream.

    platform::CaptureFilter* video = m_pVideoCapture.get();
    result =
        m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Interleaved, video, nullptr, m_pMux);
    if (result != platform::S_OK)
        result =
            m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Video, video, nullptr, m_pMux);
    if (result != platform::S_OK) return FailBuild(*this, result);

    if (m_bWantPreview) {
        result = m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Interleaved, video, nullptr);
        if (!Rendered(result))
            result = m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Video, video, nullptr);
        if (!Rendered(result)) return FailBuild(*this, result);
    }
    if (settings_.m_bStreamB) {
        result = m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Audio, m_pAudioCapture.get(),
                                          nullptr, m_pMux);
        if (result != platform::S_OK) return FailBuild(*this, result);
    }

    if (m_bWantPreview) m_pVideoWindow = m_pGraph->QueryVideoWindow();
    if (m_pVideoWindow != nullptr) {
        m_pVideoWindow->SetOwner(m_pCaptureView != nullptr ? m_pCaptureView->Surface() : nullptr);
        FitVideoWindow();
        m_pVideoWindow->SetVisible(true);
    }
    m_pMediaEvents = m_pGraph->QueryMediaEvents();
    if (m_pMediaEvents != nullptr)
        m_pMediaEvents->SetNotifyWindow(m_pFrameTarget, platform::WM_GRAPHNOTIFY, 0);
    SetState(GraphState::RecordingBuilt);
    return 1;
}

int capture::CaptureEngine::BeginRecording() {
    if (Recording()) return 1;
    if (Previewing()) HaltPreview();
    if (!RecordGraphBuilt() || !m_pGraph || !m_pBuilder) return 0;
    m_nDroppedAtStart = 0;
    m_nNotDroppedAtStart = 0;

    // The graph runs (the preview flowing) before the first frame goes to the file.
    const int64_t forever = MAXLONGLONG;
    const bool stream_control =
        m_pBuilder->ControlStream(PinCategory::Capture, &forever, nullptr) == platform::S_OK;
    // Our graphs have no paused state to hold a stream in: without stream control the graph simply runs.
    const int32_t result = m_pGraph->Run();
    if (result < 0) {
        m_pGraph->Stop();
        m_hrRecordResult = result;
        return 0;
    }
    if (stream_control) {
        if (m_pDroppedFrames == nullptr &&
            m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Interleaved,
                                      m_pVideoCapture.get(), &m_pDroppedFrames) != platform::S_OK)
            m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Video, m_pVideoCapture.get(),
                                      &m_pDroppedFrames);
        m_pBuilder->ControlStream(PinCategory::Capture, nullptr, &forever);
        if (m_pDroppedFrames != nullptr) {
            long count = 0;
            if (m_pDroppedFrames->GetNumDropped(&count) == platform::S_OK)
                m_nDroppedAtStart = static_cast<int>(count);
            if (m_pDroppedFrames->GetNumNotDropped(&count) == platform::S_OK)
                m_nNotDroppedAtStart = static_cast<int>(count);
        }
    }
    m_dwRecordStart = timeGetTime();
    SetState(GraphState::Recording);
    return 1;
}

int capture::CaptureEngine::EndRecording() {
    if (!Recording() || !m_pGraph) return 0;
    // The file ends where the stop was asked for; the writer finishing it is not recorded time.
    const uint32_t stop = timeGetTime();
    if (m_pGraph->Stop() < 0) return 0;
    m_dwRecordStop = stop;
    SetState(GraphState::RecordingBuilt);
    return 1;
}

void capture::CaptureEngine::RecordCommand(const RecordingHooks& hooks) {
    const bool starting = settings_.m_bNotRecording != 0;
    ToggleRecording(hooks);
    if (!starting || Recording()) return;
    platform::DebugLog("*this", "the recording of %s did not start (0x%08X)", m_szVideoFile.c_str(),
                       static_cast<unsigned>(m_hrRecordResult));
    if (hooks.report_failure) hooks.report_failure(*this, false);
    ToggleRecording(hooks);
}

void capture::CaptureEngine::RecordingFailed(const RecordingHooks& hooks) {
    if (settings_.m_bNotRecording || !Recording()) return;
    ToggleRecording(hooks);
    if (hooks.report_failure) hooks.report_failure(*this, true);
}
