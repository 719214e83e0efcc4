#pragma once
// The image sensor's own registers for the mains-frequency mode and the image direction, reached over the
// bridge's serial bus through the device-control facade (CaptureEngine applies them with the settings).
// Failures are ignored. GUI thread only.

// The sensor register changes of a mains-frequency mode 0..2; nothing for another mode.
void ApplyFrequencyMode(int mode);
// The direction change (0x3820, then 0x3821, each exclusive-or 0x06), whatever the setting.
void ApplyOrientationFlip();
