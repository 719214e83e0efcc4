#include "ocr/hand_over_services.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "ocr/cards/card_programs.h"
#include "ocr/engine/ocr_engine.h"
#include "pipeline/capture/capture_request.h"
#include "pipeline/naming/file_naming.h"

namespace ocr {
namespace {

// The numbering of OCR documents, shared by every hand-over; one engine run at a time.
struct OcrNaming {
    std::mutex mutex;
    pipeline::CFileNaming naming;
};

pipeline::HandOverResult FromRun(const OcrRun& run) {
    return run.saved ? pipeline::HandOverResult::Succeeded() : pipeline::HandOverResult::Fail(run.problem);
}

}  // namespace

pipeline::HandOverServices MakeHandOverServices(const std::string& program_folder) {
    auto names = std::make_shared<OcrNaming>();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    pipeline::HandOverServices services;
    services.run_ocr = [names, cancelled](const pipeline::CaptureRequest& request,
                                          const std::string& picture) {
        std::lock_guard lock(names->mutex);
        return FromRun(RunOcr(request, TheExternalPrograms().Get(), picture, names->naming, 1,
                              kOcrBoundPerPage, cancelled.get()));
    };
    services.run_ocr_on_pages = [names, cancelled, program_folder](const pipeline::CaptureRequest& request,
                                                                   const pipeline::PageFileList& pages) {
        std::lock_guard lock(names->mutex);
        return FromRun(RunOcrOnPages(request, TheExternalPrograms().Get(), pages, names->naming,
                                     program_folder, kOcrBoundPerPage, cancelled.get()));
    };
    services.send_to_card_program = [cancelled, program_folder](const pipeline::CaptureRequest& request,
                                                                const pipeline::PageFileList& pages) {
        const ExternalProgramInfo info = TheExternalPrograms().Get();
        if (request.card_program == 0)
            return SendToZorvex(request.card_language, info, pages.Paths(), program_folder);
        return SendToZorvex6(request.card6_language, info, pages.Paths(), kCardProgramBound, cancelled.get());
    };
    services.cancel = [cancelled] { cancelled->store(true); };
    return services;
}

}  // namespace ocr
