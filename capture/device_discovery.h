#pragma once
// Finding the camera among the video inputs by its identity text, collecting the audio inputs, and binding
// the chosen devices into capture filters in a new graph. GUI thread only.

#include "capture/capture_record.h"

// 1 when both categories could be listed; m_bDevicePresent tells whether the camera was found. Upper-cases
// m_szPidVid in place. An audio device whose name cannot be read (empty) leaves its slot as it was.
int FindCameraDevice(CCaptureRecord& record);
// Selects the found camera and the first audio input; nothing when no camera was found.
void BindCameraDevices(CCaptureRecord& record);
// Makes the devices current and rebuilds filters and preview, unless they are the current ones already.
void SelectDevices(CCaptureRecord& record, const capture::DeviceMoniker& video,
                   const capture::DeviceMoniker& audio);
int CreateDeviceFilters(CCaptureRecord& record);
void ReleaseDeviceFilters(CCaptureRecord& record);

// Two devices are the same when every property discovery read agrees.
bool SameDevice(const capture::DeviceMoniker& a, const capture::DeviceMoniker& b);
