#include "ocr/engine/ocr_engine.h"

#include "app/settings/settings.h"
#include "ocr/engine/ocr_languages.h"
#include "outside/bmp2tiff/bmp2tiff.h"
#include "pipeline/naming/file_naming.h"
#include "pipeline/pagelist/page_file_list.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/library/library.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"

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

OcrRun RunOcr(const CVellumoSettings& settings, const ExternalProgramInfo& info, const std::string& picture,
              pipeline::CFileNaming& naming, int pages, std::chrono::milliseconds bound_per_page) {
    OcrRun run;
    auto extension = pipeline::OcrExtension(settings.m_nOcrFormat);
    if (!extension) {
        platform::DebugLog("ocr", "OCR format %d has no document type; nothing recognised",
                           settings.m_nOcrFormat);
        return run;
    }
    const std::string engine_output = pipeline::OcrResultFileName(pipeline::CurrentUtcTime(), *extension);
    auto argv = BuildOcrCommand(info.ocr_engine_found, info.ocr_tool_path, picture,
                                EngineLanguageName(settings.m_nOcrLanguage), engine_output);
    if (!argv) return run;

    const platform::ProcessOutcome outcome =
        platform::RunAndWaitBounded(*argv, bound_per_page * std::max(1, pages));
    platform::DebugLog("ocr", "engine on %s: %s", picture.c_str(),
                       platform::DescribeOutcome(outcome).c_str());
    const bool written = platform::GetFileAttributes(engine_output).has_value();
    if (outcome.Succeeded() && written) {
        pipeline::NamingSettings names{settings.m_szSavePath, settings.m_szPrefix, 0, settings.m_nOcrFormat,
                                       0};
        if (naming.MakeOcrFileNames(names) != 0 &&
            platform::CopyFileNoReplace(engine_output, naming.m_szOutputFile)) {
            run.saved = true;
            run.document = naming.m_szOutputFile;
            platform::DebugLog("ocr", "document saved as %s", run.document.c_str());
        } else {
            platform::DebugLog("ocr", "the document could not be saved as %s", naming.m_szOutputFile.c_str());
        }
    } else if (outcome.Succeeded()) {
        platform::DebugLog("ocr", "the engine wrote no document %s", engine_output.c_str());
    }
    if (written) platform::DeleteFile(engine_output);
    return run;
}

OcrRun RunOcrOnPages(const CVellumoSettings& settings, const ExternalProgramInfo& info,
                     const pipeline::PageFileList& pages, pipeline::CFileNaming& naming,
                     const std::string& program_folder, std::chrono::milliseconds bound_per_page) {
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
            return {};
        }
        convert(joined.c_str(), tiff.c_str(), 2, 80);
    }
    OcrRun run = RunOcr(settings, info, tiff, naming, pages.Count(), bound_per_page);
    platform::DeleteFile(tiff);
    return run;
}

}  // namespace ocr
