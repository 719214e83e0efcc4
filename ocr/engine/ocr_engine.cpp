#include "ocr/engine/ocr_engine.h"

#include "ocr/engine/ocr_languages.h"
#include "outside/bmp2tiff/bmp2tiff.h"
#include "pipeline/capture/capture_request.h"
#include "pipeline/naming/file_naming.h"
#include "pipeline/pagelist/page_file_list.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/library/library.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"

namespace ocr {

ExternalPrograms& TheExternalPrograms() {
    static ExternalPrograms programs;
    return programs;
}

int FindOcrEngine(CVellumoSettings& settings, ExternalProgramInfo& info, const std::string& program_folder) {
    std::string tool;
    const char* source = nullptr;
    auto component = platform::RegistryReadString(platform::RegistryHive::LocalMachine, kOcrComponentKey,
                                                  kOcrComponentValue, 1024);
    if (component) {
        info.component_path = *component;
        const size_t cut = component->find_last_of('/');
        std::string candidate =
            (cut == std::string::npos ? std::string() : component->substr(0, cut + 1)) + kOcrToolName;
        if (platform::GetFileAttributes(candidate).has_value()) {
            tool = candidate;
            source = "installer registration";
        }
    }
    if (tool.empty()) {
        std::string beside = platform::JoinPath(program_folder, kOcrToolName);
        if (platform::IsExecutableProgram(beside)) {
            tool = beside;
            source = "program folder";
        }
    }
    if (tool.empty()) {
        info.ocr_engine_found = false;
        settings.m_bOcrEngineFound = 0;
        platform::DebugLog("ocr", "no OCR engine: no registration and no %s in %s", kOcrToolName,
                           program_folder.c_str());
        return 0;
    }
    info.ocr_tool_path = tool;
    info.ocr_engine_found = true;
    settings.m_bOcrEngineFound = 1;
    ++settings.m_nOcrEngineCount;
    platform::DebugLog("ocr", "OCR engine %s (from the %s)", tool.c_str(), source);
    return 1;
}

std::optional<std::vector<std::string>> BuildOcrCommand(bool engine_found, const std::string& tool,
                                                        const std::string& picture,
                                                        const std::string& language,
                                                        const std::string& output) {
    std::vector<std::string> argv;
    if (engine_found)
        argv = {tool, picture, "/fastmode", "/lang", language, "/out", output};
    else
        argv = {tool, "/out", output, picture};
    size_t length = 0;
    for (const std::string& arg : argv)
        length += arg.size() + 1;  // a space after each, the zero after the last
    if (length > kOcrCommandBufferSize) {
        platform::DebugLog("ocr", "the engine command would take %zu bytes, more than %zu; not run", length,
                           kOcrCommandBufferSize);
        return std::nullopt;
    }
    return argv;
}

namespace {

std::string EngineProblem(const platform::ProcessOutcome& outcome) {
    switch (outcome.kind) {
        case platform::ProcessOutcome::Kind::NotStarted:
            return "the OCR engine could not be started";
        case platform::ProcessOutcome::Kind::TimedOut:
            return "the OCR engine took too long and was stopped";
        case platform::ProcessOutcome::Kind::Cancelled:
            return "the program was closed before the text was read";
        case platform::ProcessOutcome::Kind::Signalled:
            return "the OCR engine stopped unexpectedly";
        case platform::ProcessOutcome::Kind::Exited:
            break;
    }
    return "the OCR engine could not read the page (is its language data installed?)";
}

}  // namespace

OcrRun RunOcr(const pipeline::CaptureRequest& request, const ExternalProgramInfo& info,
              const std::string& picture, pipeline::CFileNaming& naming, int pages,
              std::chrono::milliseconds bound_per_page, const std::atomic<bool>* cancel) {
    OcrRun run;
    auto extension = pipeline::OcrExtension(request.naming.ocr_format);
    if (!extension) {
        platform::DebugLog("ocr", "OCR format %d has no document type; nothing recognised",
                           request.naming.ocr_format);
        run.problem = "no OCR document format is chosen";
        return run;
    }
    if (info.ocr_tool_path.empty()) {
        platform::DebugLog("ocr", "no OCR engine to run on %s", picture.c_str());
        run.problem = "no OCR engine is installed";
        return run;
    }
    const std::string engine_output = pipeline::OcrResultFileName(pipeline::CurrentUtcTime(), *extension);
    auto argv = BuildOcrCommand(info.ocr_engine_found, info.ocr_tool_path, picture,
                                EngineLanguageName(request.ocr_language), engine_output);
    if (!argv) {
        run.problem = "the page's file name is too long for the OCR engine";
        return run;
    }

    const platform::ProcessOutcome outcome =
        platform::RunAndWaitBounded(*argv, bound_per_page * std::max(1, pages), cancel);
    platform::DebugLog("ocr", "engine on %s: %s", picture.c_str(),
                       platform::DescribeOutcome(outcome).c_str());
    const bool written = platform::GetFileAttributes(engine_output).has_value();
    if (outcome.Succeeded() && written) {
        pipeline::NamingSettings names = request.naming;
        names.image_format = 0;
        // A number taken meanwhile is never overwritten: the next free one is tried.
        for (int tries = 0; !run.saved && tries < 100 && naming.MakeOcrFileNames(names) != 0; ++tries) {
            if (platform::CopyFileNoReplace(engine_output, naming.m_szOutputFile)) {
                run.saved = true;
                run.document = naming.m_szOutputFile;
                platform::DebugLog("ocr", "document saved as %s", run.document.c_str());
            } else if (!platform::GetFileAttributes(naming.m_szOutputFile)) {
                break;
            }
        }
        if (!run.saved) {
            platform::DebugLog("ocr", "the document could not be saved as %s", naming.m_szOutputFile.c_str());
            run.problem = "the document could not be saved in the save folder";
        }
    } else if (outcome.Succeeded()) {
        platform::DebugLog("ocr", "the engine wrote no document %s", engine_output.c_str());
        run.problem = "the OCR engine wrote no document";
    } else {
        run.problem = EngineProblem(outcome);
    }
    if (written) platform::DeleteFile(engine_output);
    return run;
}

OcrRun RunOcrOnPages(const pipeline::CaptureRequest& request, const ExternalProgramInfo& info,
                     const pipeline::PageFileList& pages, pipeline::CFileNaming& naming,
                     const std::string& program_folder, std::chrono::milliseconds bound_per_page,
                     const std::atomic<bool>* cancel) {
    std::string joined;
    for (std::string_view path : pages.Paths()) {
        if (!joined.empty()) joined += '*';
        joined += path;
    }
    const std::string tiff = pipeline::OcrTiffFileName(pipeline::CurrentUtcTime());
    {
        platform::Library library = platform::Library::LoadFrom(program_folder, "bmp2tiff.dll");
        auto convert = library.Get<ConvertMutilFn>("ConvertMutil");
        if (convert == nullptr) {
            platform::DebugLog("ocr", "bmp2tiff.dll or its ConvertMutil is missing: %s",
                               library.Error().c_str());
            OcrRun missing;
            missing.problem = "the pages could not be joined for the OCR engine (bmp2tiff.dll is missing)";
            return missing;
        }
        if (convert(joined.c_str(), tiff.c_str(), 2, 80) != 1) {
            platform::DeleteFile(tiff);
            OcrRun failed;
            failed.problem = "the pages could not be joined for the OCR engine";
            return failed;
        }
    }
    OcrRun run = RunOcr(request, info, tiff, naming, pages.Count(), bound_per_page, cancel);
    platform::DeleteFile(tiff);
    return run;
}

}  // namespace ocr
