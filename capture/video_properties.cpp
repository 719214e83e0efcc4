#include "capture/video_properties.h"

#include "capture/camera_controls.h"
#include "capture/graph_builder.h"
#include "capture/preview_graph.h"

void SelectPreviewResolution(CCaptureRecord& record, int index, const std::function<void()>& update_status) {
    ResolutionSize(index, record.m_nCaptureWidth, record.m_nCaptureHeight);
    ResolutionSize(index, record.m_nPreviewWidth, record.m_nPreviewHeight);
    record.m_nSetSize = index;
    if (record.m_nSetPreviewSize != index && record.m_pVideoConfig != nullptr) {
        RestartPreview(record, record.m_nPreviewWidth, record.m_nPreviewHeight);
        if (record.m_bDevicePresent) ApplySensorSettings(record);
        ApplyExposureMode(record);
    }
    record.m_nSetPreviewSize = index;
    record.m_nSetSize = index;
    if (update_status) update_status();
}

void ReadBackVideoProperties(CCaptureRecord& record) {
    if (!record.m_pVideoCapture) return;
    long value = 0;
    long flags = 0;
    if (platform::VideoProcAmp* amp = record.m_pVideoCapture->QueryVideoProcAmp()) {
        if (amp->Get(platform::VideoProcProperty::Brightness, &value, &flags) >= 0)
            record.m_nBrightness = static_cast<int>(value);
        if (amp->Get(platform::VideoProcProperty::Contrast, &value, &flags) >= 0)
            record.m_nContrast = static_cast<int>(value);
    }
    if (platform::CameraControl* control = record.m_pVideoCapture->QueryCameraControl()) {
        if (control->Get(platform::CameraControlProperty::Focus, &value, &flags) >= 0) {
            record.m_nFocus = static_cast<int>(value);
            record.m_bAutoFocus = flags != platform::kControlFlagsManual ? 1 : 0;
        }
        if (control->Get(platform::CameraControlProperty::Iris, &value, &flags) >= 0)
            record.m_nExposureManual = static_cast<int>(value);
    }
}

void EditStreamFormat(CCaptureRecord& record,
                      const std::function<void(platform::StreamConfig*)>& show_dialog) {
    if (record.m_bWantPreview) HaltPreview(record);
    if (record.m_bRecordGraphBuilt || record.m_bPreviewGraphBuilt) DismantleGraph(record);
    platform::StreamConfig* config =
        FindVideoStreamConfig(record.m_pBuilder.get(), record.m_pVideoCapture.get());
    if (show_dialog) show_dialog(config);
    if (record.m_pVideoConfig != nullptr) {
        if (std::optional<platform::VideoFormat> format = record.m_pVideoConfig->GetFormat()) {
            record.m_nCaptureWidth = format->width;
            record.m_nCaptureHeight = format->height;
        }
    }
    if (record.m_bWantPreview) {
        AssemblePreviewGraph(record);
        RunPreview(record);
    }
}
