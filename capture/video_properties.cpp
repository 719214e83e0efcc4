#include "capture/camera_controls.h"
#include "capture/capture_engine.h"
#include "capture/graph_builder.h"
#include "capture/preview_graph.h"

void capture::CaptureEngine::SelectPreviewResolution(int index, const std::function<void()>& update_status) {
    ResolutionSize(index, settings_.m_nCaptureWidth, settings_.m_nCaptureHeight);
    ResolutionSize(index, settings_.m_nPreviewWidth, settings_.m_nPreviewHeight);
    settings_.m_nSetSize = index;
    if (settings_.m_nSetPreviewSize != index && m_pVideoConfig != nullptr) {
        RestartPreview(settings_.m_nPreviewWidth, settings_.m_nPreviewHeight);
        if (settings_.m_bDevicePresent) ApplySensorSettings();
        ApplyExposureMode();
    }
    settings_.m_nSetPreviewSize = index;
    settings_.m_nSetSize = index;
    if (update_status) update_status();
}

void capture::CaptureEngine::ReadBackVideoProperties() {
    if (!m_pVideoCapture) return;
    long value = 0;
    long flags = 0;
    if (platform::VideoProcAmp* amp = m_pVideoCapture->QueryVideoProcAmp()) {
        if (amp->Get(platform::VideoProcProperty::Brightness, &value, &flags) >= 0)
            settings_.m_nBrightness = static_cast<int>(value);
        if (amp->Get(platform::VideoProcProperty::Contrast, &value, &flags) >= 0)
            settings_.m_nContrast = static_cast<int>(value);
    }
    if (platform::CameraControl* control = m_pVideoCapture->QueryCameraControl()) {
        if (control->Get(platform::CameraControlProperty::Focus, &value, &flags) >= 0) {
            settings_.m_nFocus = static_cast<int>(value);
            settings_.m_bAutoFocus = flags != platform::kControlFlagsManual ? 1 : 0;
        }
        if (control->Get(platform::CameraControlProperty::Iris, &value, &flags) >= 0)
            settings_.m_nExposureManual = static_cast<int>(value);
    }
}

void capture::CaptureEngine::EditStreamFormat(
    const std::function<void(platform::StreamConfig*)>& show_dialog) {
    if (m_bWantPreview) HaltPreview();
    if (State() != GraphState::Empty) DismantleGraph();
    platform::StreamConfig* config = FindVideoStreamConfig(m_pBuilder.get(), m_pVideoCapture.get());
    if (show_dialog) show_dialog(config);
    if (m_pVideoConfig != nullptr) {
        if (std::optional<platform::VideoFormat> format = m_pVideoConfig->GetFormat()) {
            settings_.m_nCaptureWidth = format->width;
            settings_.m_nCaptureHeight = format->height;
        }
    }
    if (m_bWantPreview) {
        AssemblePreviewGraph();
        RunPreview();
    }
}
