#include "ocr/hand_over_services.h"

#include <memory>
#include <mutex>

#include "app/settings/settings.h"
#include "ocr/cards/card_programs.h"
#include "ocr/engine/ocr_engine.h"
#include "pipeline/naming/file_naming.h"

namespace ocr {
namespace {

// The numbering of OCR documents, shared by every hand-over; one engine run at a time.
struct OcrNaming {
    std::mutex mutex;
    pipeline::CFileNaming naming;
};

}  // namespace

pipeline::HandOverServices MakeHandOverServices(const std::string& program_folder) {
    auto names = std::make_shared<OcrNaming>();
    pipeline::HandOverServices services;
    services.run_ocr = [names](const CVellumoSettings& settings, const std::string& picture) {
        std::lock_guard lock(names->mutex);
        RunOcr(settings, TheExternalPrograms().Get(), picture, names->naming);
    };
    services.run_ocr_on_pages = [names, program_folder](const CVellumoSettings& settings,
                                                        const pipeline::PageFileList& pages) {
        std::lock_guard lock(names->mutex);
        RunOcrOnPages(settings, TheExternalPrograms().Get(), pages, names->naming, program_folder);
    };
    services.send_to_card_program = [program_folder](const CVellumoSettings& settings,
                                                     const pipeline::PageFileList& pages) {
        const ExternalProgramInfo info = TheExternalPrograms().Get();
        if (settings.m_nCardProgram == 0)
            SendToZorvex(settings, info, pages.Paths(), program_folder);
        else
            SendToZorvex6(settings, info, pages.Paths());
    };
    return services;
}

}  // namespace ocr
