#include "capture/camera_controls.h"

#include <cstdint>

#include "capture/capture_engine.h"
#include "device/facade/facade.h"

namespace {

using platform::CameraControlProperty;
using platform::kControlFlagsAuto;
using platform::kControlFlagsManual;
using platform::VideoProcProperty;

// The image sensor on the bridge's secondary bus, and its registers the program changes: three of the
// light-flicker (mains frequency) filter, and the two timing registers whose bits 1-2 flip and mirror the
// picture. A register's number goes out on the bus high byte first.
constexpr uint8_t kSensorBusAddress = 0x78;
constexpr uint16_t kRegFlickerSelect = 0x3C00;
constexpr uint16_t kRegFlickerControl = 0x3C01;
constexpr uint16_t kRegFlickerDetected = 0x3C0C;
constexpr uint16_t kRegTimingFlip = 0x3820;
constexpr uint16_t kRegTimingMirror = 0x3821;
constexpr uint8_t kOrientationBits = 0x06;

enum class BitChange { Set, Clear, Toggle };

// One read-modify-write of a sensor register. `value` is shared by a whole sequence: a failed read leaves
// what the previous step had, and the change is applied to that and written.
void UpdateSensorBits(uint16_t reg, BitChange change, uint8_t bits, uint32_t& value) {
    uint8_t sub_address[2] = {static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg & 0xFF)};

    uint8_t read = static_cast<uint8_t>(value & 0xFF);
    devctl::CamBusRead(kSensorBusAddress, 2, sub_address, 1, &read);  // written only on success
    value = (value & ~0xFFu) | read;
    switch (change) {
        case BitChange::Set:
            value |= bits;
            break;
        case BitChange::Clear:
            value &= ~static_cast<uint32_t>(bits);
            break;
        case BitChange::Toggle:
            value ^= bits;
            break;
    }
    devctl::CamSelectBus(2, 1);
    const uint8_t data = static_cast<uint8_t>(value & 0xFF);
    devctl::CamBusWrite(kSensorBusAddress, 2, sub_address, 1, &data);
}

void SetProcAmp(capture::CaptureEngine& engine, VideoProcProperty property, long value) {
    if (!engine.m_pVideoCapture) return;
    if (platform::VideoProcAmp* amp = engine.m_pVideoCapture->QueryVideoProcAmp())
        amp->Set(property, value, kControlFlagsManual);
}

void SetCameraControl(capture::CaptureEngine& engine, CameraControlProperty property, long value,
                      long flags) {
    if (!engine.m_pVideoCapture) return;
    if (platform::CameraControl* control = engine.m_pVideoCapture->QueryCameraControl())
        control->Set(property, value, flags);
}

void ApplyExposureRow(capture::CaptureEngine& engine, int index) {
    switch (index) {
        case 1:
            engine.SetIrisAuto();
            engine.SetBacklightCompensation(1);
            break;
        case 2:
            engine.SetIrisValue(engine.Settings().m_nExposurePhoto);
            engine.SetBacklightCompensation(0);
            break;
        case 3:
            engine.SetIrisValue(engine.Settings().m_nExposureManual);
            engine.SetBacklightCompensation(0);
            break;
        default:
            engine.SetIrisAuto();
            engine.SetBacklightCompensation(0);
            break;
    }
}

}  // namespace

void capture::CaptureEngine::SetBrightness(long value) {
    SetProcAmp(*this, VideoProcProperty::Brightness, value);
}
void capture::CaptureEngine::SetContrast(long value) {
    SetProcAmp(*this, VideoProcProperty::Contrast, value);
}
void capture::CaptureEngine::SetBacklightCompensation(long value) {
    SetProcAmp(*this, VideoProcProperty::BacklightCompensation, value);
}

long capture::CaptureEngine::GetFocusPosition() {
    long value = 0;
    long flags = 0;
    if (!m_pVideoCapture) return 0;
    platform::CameraControl* control = m_pVideoCapture->QueryCameraControl();
    if (control == nullptr || control->Get(CameraControlProperty::Focus, &value, &flags) < 0) return 0;
    return value;
}

void capture::CaptureEngine::SetFocusPosition(long value) {
    SetCameraControl(*this, CameraControlProperty::Focus, value, kControlFlagsManual);
}
void capture::CaptureEngine::SetFocusAuto() {
    SetCameraControl(*this, CameraControlProperty::Focus, 0, kControlFlagsAuto);
}
void capture::CaptureEngine::SetIrisValue(long value) {
    SetCameraControl(*this, CameraControlProperty::Iris, value, kControlFlagsManual);
}
void capture::CaptureEngine::SetIrisAuto() {
    SetCameraControl(*this, CameraControlProperty::Iris, 0, kControlFlagsAuto);
}

void ApplyFrequencyMode(int mode) {
    uint32_t value = 0;
    switch (mode) {
        case 0:
            UpdateSensorBits(kRegFlickerControl, BitChange::Clear, 0x80, value);
            UpdateSensorBits(kRegFlickerControl, BitChange::Clear, 0x20, value);
            break;
        case 1:
            UpdateSensorBits(kRegFlickerControl, BitChange::Set, 0x80, value);
            UpdateSensorBits(kRegFlickerSelect, BitChange::Set, 0x04, value);
            UpdateSensorBits(kRegFlickerDetected, BitChange::Set, 0x01, value);
            break;
        case 2:
            UpdateSensorBits(kRegFlickerControl, BitChange::Set, 0x80, value);
            UpdateSensorBits(kRegFlickerSelect, BitChange::Clear, 0x04, value);
            UpdateSensorBits(kRegFlickerDetected, BitChange::Clear, 0x01, value);
            break;
        default:
            break;
    }
}

void ApplyOrientationFlip() {
    uint32_t value = 0;
    UpdateSensorBits(kRegTimingFlip, BitChange::Toggle, kOrientationBits, value);
    UpdateSensorBits(kRegTimingMirror, BitChange::Toggle, kOrientationBits, value);
}

void capture::CaptureEngine::ApplySensorSettings() {
    ApplyFrequencyMode(settings_.m_nFrequency);
    if (!settings_.m_bDirectionSwitch) ApplyOrientationFlip();
}

void capture::CaptureEngine::ApplyExposureMode() {
    if (settings_.m_nExposureIndex >= 0 && settings_.m_nExposureIndex <= 3)
        ApplyExposureRow(*this, settings_.m_nExposureIndex);
}

void capture::CaptureEngine::ApplyCameraSettings() {
    ApplySensorSettings();
    if (settings_.m_bAutoFocus)
        SetFocusAuto();
    else
        SetFocusPosition(settings_.m_nFocus);
    ApplyExposureRow(*this, settings_.m_nExposureIndex);
}
