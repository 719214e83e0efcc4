#pragma once
// The OCR side of the capture pipeline's hand-over: one picture or a page series to the OCR engine, card
// pictures to the business-card program that "Zorvex Index" chooses. The services read the program
// record (TheExternalPrograms) at each call, so they see what start-up and the card commands found.

#include <string>

#include "pipeline/capture/hand_over.h"

namespace ocr {

pipeline::HandOverServices MakeHandOverServices(const std::string& program_folder);

}  // namespace ocr
