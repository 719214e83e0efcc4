#pragma once
// vellumo-capture's work: each picture goes through the program's own still capture (the capture session:
// detection, turn, colours, the writers and the hand-overs), one at a time, as if the camera had sent it.

#include <functional>
#include <ostream>
#include <string>

#include "cli/capture_options.h"
#include "cli/picture_file.h"

class CVellumoSettings;

namespace cli {

using PictureReader = std::function<PictureOrError(const std::string& path)>;

// Runs the batch with `settings` (the shipped ones) changed by the options; a line per picture on `out`,
// one per failure on `err`. What failed leaves nothing in the output folder. The exit status: 0 all done,
// 1 something failed.
int RunPictureBatch(const CaptureOptions& options, CVellumoSettings& settings, const PictureReader& read,
                    std::ostream& out, std::ostream& err);

}  // namespace cli
