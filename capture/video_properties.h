#pragma once
// The preview-resolution commands and what the property commands do around their dialogs: the engine side,
// free of the toolkit (the dialogs themselves are the application's). GUI thread only.

#include <functional>

#include "capture/capture_record.h"

// Commands 1026..1028: index 0 = 640 x 480, 1 = 2048 x 1536, 2 = 2592 x 1944. The still size follows the
// preview size; a new size rebuilds the graph and re-applies the sensor settings and the exposure mode.
// `update_status` refreshes the status text, which shows the size.
void SelectPreviewResolution(CCaptureRecord& record, int index, const std::function<void()>& update_status);

// After the video filter's property dialog (846): the camera's values back into the settings.
void ReadBackVideoProperties(CCaptureRecord& record);

// Command 847: stops and dismantles the preview, runs `show_dialog` with the capture output's stream
// configuration (nullptr when there is none), takes the capture size from the format then current, and
// builds and runs the preview again. The resolution settings stay as they were.
void EditStreamFormat(CCaptureRecord& record,
                      const std::function<void(platform::StreamConfig*)>& show_dialog);
