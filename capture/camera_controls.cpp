#include "capture/camera_controls.h"

#include <cstdlib>

#include "capture/capture_engine.h"
#include "device/facade/facade.h"

namespace {

using platform::CameraControlProperty;
using platform::kControlFlagsAuto;
using platform::kControlFlagsManual;
using platform::VideoProcProperty;

// The sensor's bus address and register sub-addresses, as hexadecimal text whose number's two low bytes,
// low byte first, go out on the bus: "013C" is register 0x3C01.
constexpr const char kSensorDevice[] = "78";
constexpr const char kReg3C01[] = "013C";
constexpr const char kReg3C00[] = "003C";
constexpr const char kReg3C0C[] = "0C3C";
constexpr const char kReg3820[] = "2038";
constexpr const char kReg3821[] = "2138";

enum class BitChange { Set, Clear, Toggle };

// One read-modify-write of a sensor register. `value` is shared by a whole sequence: a failed read leaves
// what the previous step had, and the change is applied to that and written.
void UpdateSensorBits(const char* sub_address_text, BitChange change, uint8_t bits, uint32_t& value) {
    const auto device = static_cast<uint8_t>(std::strtoul(kSensorDevice, nullptr, 16));
    const auto number = static_cast<uint32_t>(std::strtoul(sub_address_text, nullptr, 16));
    uint8_t sub_address[2] = {static_cast<uint8_t>(number & 0xFF),
                              static_cast<uint8_t>((number >> 8) & 0xFF)};

    uint8_t read = static_cast<uint8_t>(value & 0xFF);
    devctl::CamBusRead(device, 2, sub_address, 1, &read);  // written only on success
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
    devctl::CamBusWrite(device, 2, sub_address, 1, &data);
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
            UpdateSensorBits(kReg3C01, BitChange::Clear, 0x80, value);
            UpdateSensorBits(kReg3C01, BitChange::Clear, 0x20, value);
            break;
        case 1:
            UpdateSensorBits(kReg3C01, BitChange::Set, 0x80, value);
            UpdateSensorBits(kReg3C00, BitChange::Set, 0x04, value);
            UpdateSensorBits(kReg3C0C, BitChange::Set, 0x01, value);
            break;
        case 2:
            UpdateSensorBits(kReg3C01, BitChange::Set, 0x80, value);
            UpdateSensorBits(kReg3C00, BitChange::Clear, 0x04, value);
            UpdateSensorBits(kReg3C0C, BitChange::Clear, 0x01, value);
            break;
        default:
            break;
    }
}

void ApplyOrientationFlip() {
    uint32_t value = 0;
    UpdateSensorBits(kReg3820, BitChange::Toggle, 0x06, value);
    UpdateSensorBits(kReg3821, BitChange::Toggle, 0x06, value);
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
