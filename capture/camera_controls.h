#pragma once
// The camera's picture controls: standard properties of the video capture filter (brightness, contrast,
// backlight compensation, focus, and the iris, which drives exposure) and the image sensor's own registers
// for the mains-frequency mode and the image direction, reached over the bridge's serial bus through the
// device-control facade. Failures are ignored: the settings record keeps what was asked. GUI thread only.

#include "capture/capture_record.h"

// Picture properties, manual at the value.
void SetBrightness(CCaptureRecord& record, long value);
void SetContrast(CCaptureRecord& record, long value);
void SetBacklightCompensation(CCaptureRecord& record, long value);
// Camera properties. GetFocusPosition gives 0 when the focus cannot be read.
long GetFocusPosition(CCaptureRecord& record);
void SetFocusPosition(CCaptureRecord& record, long value);
void SetFocusAuto(CCaptureRecord& record);
void SetIrisValue(CCaptureRecord& record, long value);
void SetIrisAuto(CCaptureRecord& record);

// The sensor register changes of a mains-frequency mode 0..2; nothing for another mode.
void ApplyFrequencyMode(int mode);
// The direction change (0x3820, then 0x3821, each exclusive-or 0x06), whatever the setting.
void ApplyOrientationFlip();
// Frequency mode, then the direction change when m_bDirectionSwitch is off. Only while the camera is present.
void ApplySensorSettings(CCaptureRecord& record);
// Iris and backlight compensation of m_nExposureIndex 0..3; another index sends nothing.
void ApplyExposureMode(CCaptureRecord& record);
// Everything stored: sensor settings, focus, and the exposure mode (another index counts as mode 0).
void ApplyCameraSettings(CCaptureRecord& record);
