#include "capture/recording.h"

#include <chrono>

#include "capture/camera_controls.h"
#include "capture/graph_builder.h"
#include "capture/preview_graph.h"
#include "capture/video_properties.h"
#include "platform/debuglog/debuglog.h"

int g_bRecordStatistics = 0;

uint32_t timeGetTime() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

bool Rendered(int32_t result) { return result == platform::S_OK || result == platform::VFW_S_NOPREVIEWPIN; }

int FailBuild(CCaptureRecord& record, int32_t result) {
    record.m_hrRecordResult = result;
    DismantleGraph(record);
    return 0;
}

void StartRecording(CCaptureRecord& record, const RecordingHooks& hooks) {
    record.m_nSavedPreviewSize = record.m_nSetPreviewSize;
    if (record.m_nSavedPreviewSize != 0) SelectPreviewResolution(record, 0, hooks.update_status_text);
    record.m_szVideoFile = hooks.make_video_file_name ? hooks.make_video_file_name() : std::string();
    if (record.m_bPreviewing) HaltPreview(record);
    if (record.m_bPreviewGraphBuilt) DismantleGraph(record);
    record.m_hrRecordResult = platform::S_OK;
    AssembleRecordingGraph(record);
    BeginRecording(record);
    if (!record.m_bDirectionSwitch) ApplyOrientationFlip();
    SetIrisAuto(record);  // automatic exposure while recording
}

void StopRecording(CCaptureRecord& record, const RecordingHooks& hooks) {
    EndRecording(record);
    if (record.m_bWantPreview) {
        AssemblePreviewGraph(record);  // takes the recording graph apart first
        RunPreview(record);
    }
    if (record.m_nSavedPreviewSize != 0)
        SelectPreviewResolution(record, record.m_nSavedPreviewSize == 2 ? 2 : 1, hooks.update_status_text);
    else if (!record.m_bDirectionSwitch)
        ApplyOrientationFlip();
    if (record.m_bAutoFocus) {
        SetFocusAuto(record);
    } else {
        record.m_nFocus = static_cast<int>(GetFocusPosition(record));
        SetFocusPosition(record, record.m_nFocus);
    }
    ApplyExposureMode(record);
    if (hooks.update_recording_status) hooks.update_recording_status(1);
}

}  // namespace

void ToggleRecording(CCaptureRecord& record, const RecordingHooks& hooks) {
    g_bRecordStatistics = !g_bRecordStatistics;
    if (record.m_bNotRecording)
        StartRecording(record, hooks);
    else
        StopRecording(record, hooks);
    // Also when the graph could not be built: the next press then runs the stop branch.
    record.m_bNotRecording = !record.m_bNotRecording;
}

int AssembleRecordingGraph(CCaptureRecord& record) {
    if (record.m_bRecordGraphBuilt) return 1;
    if (record.m_bRecording || record.m_bPreviewing || !record.m_pVideoCapture ||
        (!record.m_pAudioCapture && record.m_bStreamB))
        return 0;
    if (!record.m_pGraph || !record.m_pBuilder) return 0;
    if (record.m_bPreviewGraphBuilt) DismantleGraph(record);

    const MediaSubtype subtype = record.m_nVideoFormat == 0 ? MediaSubtype::Asf : MediaSubtype::Avi;
    int32_t result = record.m_pBuilder->SetOutputFileName(subtype, record.m_szVideoFile, &record.m_pMux);
    if (result != platform::S_OK) return FailBuild(record, result);
    // avimux always writes both the old index and the large-file one, and interleaves by time: there is
    // nothing to set for compatibility or a master stream.

    platform::CaptureFilter* video = record.m_pVideoCapture.get();
    result = record.m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Interleaved, video,
                                             nullptr, record.m_pMux);
    if (result != platform::S_OK)
        result = record.m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Video, video, nullptr,
                                                 record.m_pMux);
    if (result != platform::S_OK) return FailBuild(record, result);

    if (record.m_bWantPreview) {
        result = record.m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Interleaved, video,
                                                 nullptr);
        if (!Rendered(result))
            result =
                record.m_pBuilder->RenderStream(PinCategory::Preview, MediaMajorType::Video, video, nullptr);
        if (!Rendered(result)) return FailBuild(record, result);
        if (result == platform::VFW_S_NOPREVIEWPIN) record.m_bPreviewFaked = 1;
    }
    if (record.m_bStreamB) {
        result = record.m_pBuilder->RenderStream(PinCategory::Capture, MediaMajorType::Audio,
                                                 record.m_pAudioCapture.get(), nullptr, record.m_pMux);
        if (result != platform::S_OK) return FailBuild(record, result);
    }

    if (record.m_bWantPreview) record.m_pVideoWindow = record.m_pGraph->QueryVideoWindow();
    if (record.m_pVideoWindow != nullptr) {
        record.m_pVideoWindow->SetOwner(record.m_pCaptureView != nullptr ? record.m_pCaptureView->Surface()
                                                                         : nullptr);
        FitVideoWindow(record);
        record.m_pVideoWindow->SetVisible(true);
    }
    record.m_pMediaEvents = record.m_pGraph->QueryMediaEvents();
    if (record.m_pMediaEvents != nullptr)
        record.m_pMediaEvents->SetNotifyWindow(record.m_hFrameWnd, platform::WM_GRAPHNOTIFY, 0);
    record.m_bRecordGraphBuilt = 1;
    return 1;
}

int BeginRecording(CCaptureRecord& record) {
    if (record.m_bRecording) return 1;
    if (record.m_bPreviewing) HaltPreview(record);
    if (!record.m_bRecordGraphBuilt || !record.m_pGraph || !record.m_pBuilder) return 0;
    record.m_nDroppedAtStart = 0;
    record.m_nNotDroppedAtStart = 0;

    // The graph runs (the preview flowing) before the first frame goes to the file.
    const int64_t forever = MAXLONGLONG;
    const bool stream_control =
        record.m_pBuilder->ControlStream(PinCategory::Capture, &forever, nullptr) == platform::S_OK;
    // Our graphs have no paused state to hold a stream in: without stream control the graph simply runs.
    const int32_t result = record.m_pGraph->Run();
    if (result < 0) {
        record.m_pGraph->Stop();
        record.m_hrRecordResult = result;
        return 0;
    }
    if (stream_control) {
        if (record.m_pDroppedFrames == nullptr &&
            record.m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Interleaved,
                                             record.m_pVideoCapture.get(),
                                             &record.m_pDroppedFrames) != platform::S_OK)
            record.m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Video,
                                             record.m_pVideoCapture.get(), &record.m_pDroppedFrames);
        record.m_pBuilder->ControlStream(PinCategory::Capture, nullptr, &forever);
        if (record.m_pDroppedFrames != nullptr) {
            long count = 0;
            if (record.m_pDroppedFrames->GetNumDropped(&count) == platform::S_OK)
                record.m_nDroppedAtStart = static_cast<int>(count);
            if (record.m_pDroppedFrames->GetNumNotDropped(&count) == platform::S_OK)
                record.m_nNotDroppedAtStart = static_cast<int>(count);
        }
    }
    record.m_dwRecordStart = timeGetTime();
    record.m_bRecording = 1;
    return 1;
}

int EndRecording(CCaptureRecord& record) {
    if (!record.m_bRecording || !record.m_pGraph) return 0;
    // The file ends where the stop was asked for; the writer finishing it is not recorded time.
    const uint32_t stop = timeGetTime();
    if (record.m_pGraph->Stop() < 0) return 0;
    record.m_dwRecordStop = stop;
    record.m_bRecording = 0;
    return 1;
}

void RecordCommand(CCaptureRecord& record, const RecordingHooks& hooks) {
    const bool starting = record.m_bNotRecording != 0;
    ToggleRecording(record, hooks);
    if (!starting || record.m_bRecording) return;
    platform::DebugLog("record", "the recording of %s did not start (0x%08X)", record.m_szVideoFile.c_str(),
                       static_cast<unsigned>(record.m_hrRecordResult));
    if (hooks.report_failure) hooks.report_failure(record, false);
    ToggleRecording(record, hooks);
}

void RecordingFailed(CCaptureRecord& record, const RecordingHooks& hooks) {
    if (record.m_bNotRecording || !record.m_bRecording) return;
    ToggleRecording(record, hooks);
    if (hooks.report_failure) hooks.report_failure(record, true);
}
