#pragma once
// Where a capture for text recognition or a business-card program goes once the pipeline has its
// picture(s). The OCR side fills these at start-up; a service left empty logs and hands nothing over.
// Each call runs on the calling thread (the capture worker, a hand-over thread or a series dialog's
// thread) and blocks it until the hand-over is done, and says how it went: the pipeline deletes a
// picture only once its document is written or the card program has taken it, and otherwise keeps it
// in the save folder and tells the user.

#include <functional>
#include <string>

#include "pipeline/pagelist/page_file_list.h"

namespace pipeline {

struct CaptureRequest;

struct HandOverResult {
    enum class Kind {
        Done,       // the document is written, or the card program has read the pictures: delete them
        TakenOver,  // a program still reads the pictures; it removes them itself once it has ended
        Failed,     // nothing came of it: the pictures stay
    };
    Kind kind = Kind::Failed;
    std::string problem;  // for Failed: what went wrong, in a few plain words for the user

    static HandOverResult Succeeded() { return {Kind::Done, {}}; }
    static HandOverResult Fail(std::string why) { return {Kind::Failed, std::move(why)}; }
};

struct HandOverServices {
    // One picture to the OCR engine; the document is saved under the next OCR name (RunOcr).
    std::function<HandOverResult(const CaptureRequest& request, const std::string& picture)> run_ocr;
    // Every listed page to the OCR engine as one document (RunOcrOnPages).
    std::function<HandOverResult(const CaptureRequest& request, const PageFileList& pages)> run_ocr_on_pages;
    // The listed pictures to the business-card program that "Zorvex Index" chooses (SendToZorvex or
    // SendToZorvex6).
    std::function<HandOverResult(const CaptureRequest& request, const PageFileList& pages)>
        send_to_card_program;
    // Ends the hand-overs under way and every later one at once (the program ends): the engine is
    // stopped, and the calls come back as failed, so their pictures are kept.
    std::function<void()> cancel;
};

}  // namespace pipeline
