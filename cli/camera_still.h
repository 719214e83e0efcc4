#pragma once
// vellumo-capture --camera: one still from the attached camera (or the built-in virtual one) without a
// window, then the same batch as a picture from a file.

#include <ostream>

#include "cli/capture_options.h"

namespace cli {

// The settings are loaded from `ini_path` into the camera's record. The exit status as RunPictureBatch's.
int RunCameraStill(const CaptureOptions& options, const std::string& ini_path, std::ostream& out,
                   std::ostream& err);

}  // namespace cli
