#include "cli/capture_batch.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <vector>

#include "ocr/cards/card_languages.h"
#include "ocr/cards/card_programs.h"
#include "ocr/engine/external_programs.h"
#include "ocr/engine/ocr_languages.h"
#include "ocr/hand_over_services.h"
#include "pipeline/capture/capture_request.h"
#include "pipeline/capture/capture_session.h"
#include "platform/files/files.h"
#include "settings/settings.h"

namespace cli {
namespace {

std::set<std::string> Entries(const std::string& folder) {
    auto names = platform::FolderEntries(folder);
    return names ? std::set<std::string>(names->begin(), names->end()) : std::set<std::string>();
}

// The names that came into the folder since `before`; hidden files are a writer's work in progress.
std::vector<std::string> NewEntries(const std::string& folder, const std::set<std::string>& before) {
    std::vector<std::string> added;
    for (const std::string& name : Entries(folder))
        if (!before.count(name) && name[0] != '.') added.push_back(name);
    return added;
}

// The flags the grabber and the program keep; here only this batch's session reads them.
struct Flags {
    std::atomic<uint8_t> grab_requested{0};
    std::atomic<uint8_t> ocr_capture{0};
    std::atomic<uint8_t> card_capture{0};
    std::atomic<uint8_t> capture_busy{0};
};

}  // namespace

int RunPictureBatch(const CaptureOptions& options, CVellumoSettings& settings, const PictureReader& read,
                    std::ostream& out, std::ostream& err) {
    const std::string folder = platform::WithTrailingSeparator(options.out_folder);
    const auto attributes = platform::GetFileAttributes(folder);
    if (!attributes || !attributes->is_directory || !platform::FolderWritable(folder)) {
        err << "vellumo-capture: " << options.out_folder << ": "
            << (attributes ? "cannot write to this folder" : "no such folder") << "\n";
        return 1;
    }

    settings.m_szSavePath = folder;
    settings.m_bAutoDeskew = (options.deskew || options.cards) ? 1 : 0;
    settings.m_bPdfOption = options.image_format == 2 ? 1 : 0;
    // One picture at a time, each its own document: no series, no dialogs to continue them.
    settings.m_bContinuousCapture = 0;
    settings.m_bContinuousFile = 0;
    settings.m_bCardContinuous = 0;
    if (options.ocr_format) settings.m_nOcrFormat = *options.ocr_format;
    if (options.ocr_language >= 0) settings.m_nOcrLanguage = options.ocr_language;
    const bool ocr = options.ocr_format.has_value() || options.cards;
    const int target = options.cards && !options.ocr_format ? 1 : 0;
    pipeline::CaptureRequest request = pipeline::MakeCaptureRequest(settings, options.image_format, target);
    request.ocr_gather = false;

    if (ocr) ocr::FindOutsidePrograms(settings, ocr::TheExternalPrograms(), platform::ProgramFolder());
    if (ocr && target == 0 && settings.m_bOcrEngineFound == 0) {
        err << "vellumo-capture: the text recognition (FineCmd.exe) is not installed beside the program\n";
        return 1;
    }
    if (target == 1) {
        // The shipped settings choose the explorer program, seldom installed: the cards go to whichever
        // card program is there, as the window's menu hands the choice over.
        const int program = ocr::CardProgramToUse(settings);
        if (program < 0) {
            err << "vellumo-capture: the business-card program (Zorvex.exe) is not installed beside the "
                   "program\n";
            return 1;
        }
        request.card_program = program;
        if (options.ocr_language >= 0) {
            // The cards are read in the language given, as pages are: read as English, a Portuguese
            // card's accented words and its addresses come out garbled.
            const std::optional<int> language = ocr::CardLanguageOfText(options.ocr_language);
            const int count = program == 0 ? ocr::kExplorerLanguageCount : ocr::kCardProgramLanguageCount;
            if (!language || *language >= count) {
                err << "vellumo-capture: the business-card program reads no cards in "
                    << ocr::OcrLanguageDisplayName(options.ocr_language) << " (it reads "
                    << ocr::CardLanguageNames(count) << ")\n";
                return 2;
            }
            (program == 0 ? request.card_language : request.card6_language) = *language;
        }
    }

    Flags flags;
    int failures = 0;
    {
        pipeline::CaptureSession session(
            {flags.grab_requested, flags.ocr_capture, flags.card_capture, flags.capture_busy});
        session.m_handOver = ocr::MakeHandOverServices(platform::ProgramFolder());
        // What failed is not left behind: the picture it came from is still where it was.
        std::string problem;
        session.m_reportUnsaved = [&](const std::string&, const std::string& kept) {
            problem = "cannot be saved in " + options.out_folder;
            platform::DeleteFile(kept);
        };
        session.m_reportHandOver = [&](const std::string& why, const std::vector<std::string>& kept) {
            problem = why.empty() ? "the text recognition failed" : why;
            for (const std::string& picture : kept) platform::DeleteFile(picture);
        };
        session.m_reportUnwritten = [&](const std::string& why) { problem = "cannot be written: " + why; };

        for (const std::string& path : options.pictures) {
            PictureOrError loaded = read(path);
            if (!loaded.picture) {
                err << "vellumo-capture: " << path << ": " << loaded.error << "\n";
                ++failures;
                continue;
            }
            const std::set<std::string> before = Entries(folder);
            problem.clear();
            flags.ocr_capture = ocr ? 1 : 0;
            flags.card_capture = options.cards ? 1 : 0;
            flags.capture_busy = 1;
            session.PrepareCapture(request);
            const Picture& p = *loaded.picture;
            session.SaveFrameToTemp(
                pipeline::CaptureFrame{p.bytes.data(), p.bytes.size(), p.width, p.height});
            session.WaitIdle();
            const std::vector<std::string> added = NewEntries(folder, before);
            if (!problem.empty()) {
                // A hand-over that failed halfway (one card of three) may have written the others.
                err << "vellumo-capture: " << path << ": " << problem << "\n";
                ++failures;
            } else if (added.empty() && target == 1) {
                // The card program reads the cards on its own and writes its cards where it keeps them.
                out << path << ": the cards went to the business-card program\n";
                continue;
            } else if (added.empty() && (ocr || options.image_format != 2)) {
                err << "vellumo-capture: " << path << ": nothing was saved\n";
                ++failures;
            } else if (added.empty()) {
                out << path << ": page " << session.m_pages.Count() << " of the PDF\n";
                continue;
            }
            for (const std::string& name : added) out << path << " -> " << folder << name << "\n";
        }
        if (options.image_format == 2 && session.m_pages.Count() > 0) {
            const std::set<std::string> before = Entries(folder);
            if (!session.MakeGatheredPdf({})) {
                err << "vellumo-capture: the PDF of " << session.m_pages.Count()
                    << " pages cannot be written in " << options.out_folder << "\n";
                session.m_pages.DeletePageFiles();
                ++failures;
            }
            for (const std::string& name : NewEntries(folder, before))
                out << "PDF -> " << folder << name << "\n";
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace cli
