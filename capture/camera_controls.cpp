#include "capture/camera_controls.h"

#include <cstdlib>

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

void SetProcAmp(CCaptureRecord& record, VideoProcProperty property, long value) {
    if (!record.m_pVideoCapture) return;
    if (platform::VideoProcAmp* amp = record.m_pVideoCapture->QueryVideoProcAmp())
        amp->Set(property, value, kControlFlagsManual);
}

void SetCameraControl(CCaptureRecord& record, CameraControlProperty property, long value, long flags) {
    if (!record.m_pVideoCapture) return;
    if (platform::CameraControl* control = record.m_pVideoCapture->QueryCameraControl())
        control->Set(property, value, flags);
}

void ApplyExposureRow(CCaptureRecord& record, int index) {
    switch (index) {
        case 1:
            SetIrisAuto(record);
            SetBacklightCompensation(record, 1);
            break;
        case 2:
            SetIrisValue(record, record.m_nExposurePhoto);
            SetBacklightCompensation(record, 0);
            break;
        case 3:
            SetIrisValue(record, record.m_nExposureManual);
            SetBacklightCompensation(record, 0);
            break;
        default:
            SetIrisAuto(record);
            SetBacklightCompensation(record, 0);
            break;
    }
}

}  // namespace

void SetBrightness(CCaptureRecord& record, long value) {
    SetProcAmp(record, VideoProcProperty::Brightness, value);
}
void SetContrast(CCaptureRecord& record, long value) {
    SetProcAmp(record, VideoProcProperty::Contrast, value);
}
void SetBacklightCompensation(CCaptureRecord& record, long value) {
    SetProcAmp(record, VideoProcProperty::BacklightCompensation, value);
}

long GetFocusPosition(CCaptureRecord& record) {
    long value = 0;
    long flags = 0;
    if (!record.m_pVideoCapture) return 0;
    platform::CameraControl* control = record.m_pVideoCapture->QueryCameraControl();
    if (control == nullptr || control->Get(CameraControlProperty::Focus, &value, &flags) < 0) return 0;
    return value;
}

void SetFocusPosition(CCaptureRecord& record, long value) {
    SetCameraControl(record, CameraControlProperty::Focus, value, kControlFlagsManual);
}
void SetFocusAuto(CCaptureRecord& record) {
    SetCameraControl(record, CameraControlProperty::Focus, 0, kControlFlagsAuto);
}
void SetIrisValue(CCaptureRecord& record, long value) {
    SetCameraControl(record, CameraControlProperty::Iris, value, kControlFlagsManual);
}
void SetIrisAuto(CCaptureRecord& record) {
    SetCameraControl(record, CameraControlProperty::Iris, 0, kControlFlagsAuto);
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

void ApplySensorSettings(CCaptureRecord& record) {
    ApplyFrequencyMode(record.m_nFrequency);
    if (!record.m_bDirectionSwitch) ApplyOrientationFlip();
}

void ApplyExposureMode(CCaptureRecord& record) {
    if (record.m_nExposureIndex >= 0 && record.m_nExposureIndex <= 3)
        ApplyExposureRow(record, record.m_nExposureIndex);
}

void ApplyCameraSettings(CCaptureRecord& record) {
    ApplySensorSettings(record);
    if (record.m_bAutoFocus)
        SetFocusAuto(record);
    else
        SetFocusPosition(record, record.m_nFocus);
    ApplyExposureRow(record, record.m_nExposureIndex);
}
