#pragma once
// Where a capture for text recognition or a business-card program goes once the pipeline has its
// picture(s). The OCR side fills these at start-up; a service left empty logs and hands nothing over,
// and the pictures stay where they are. Each call runs on the calling thread (the capture worker, a
// hand-over thread or a series dialog's thread) and blocks it until the hand-over is done.

#include <functional>
#include <string>

#include "pipeline/pagelist/page_file_list.h"

class CVellumoSettings;

namespace pipeline {

struct HandOverServices {
    // One picture to the OCR engine; the document is saved under the next OCR name (RunOcr).
    std::function<void(const CVellumoSettings& settings, const std::string& picture)> run_ocr;
    // Every listed page to the OCR engine as one document (RunOcrOnPages).
    std::function<void(const CVellumoSettings& settings, const PageFileList& pages)> run_ocr_on_pages;
    // The listed pictures to the business-card program that "Zorvex Index" chooses (SendToZorvex or
    // SendToZorvex6).
    std::function<void(const CVellumoSettings& settings, const PageFileList& pages)> send_to_card_program;
};

}  // namespace pipeline
