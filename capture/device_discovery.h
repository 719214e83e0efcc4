#pragma once
// Comparing devices as discovery found them (CaptureEngine finds and binds them).

#include "capture/capture_engine.h"

// Two devices are the same when every property discovery read agrees.
bool SameDevice(const capture::DeviceMoniker& a, const capture::DeviceMoniker& b);
