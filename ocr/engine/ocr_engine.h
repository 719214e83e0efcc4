#pragma once
// Text recognition through the outside OCR engine's command-line tool, FineCmd.exe: finding the tool,
// building its command, running it with a time bound, and saving its document under the next free OCR
// name of the save folder. Every call blocks its thread until the engine has ended. No toolkit.

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ocr/engine/external_programs.h"

class CVellumoSettings;

namespace pipeline {
class CFileNaming;
class PageFileList;
struct CaptureRequest;
}  // namespace pipeline

namespace ocr {

constexpr const char* kOcrToolName = "FineCmd.exe";
constexpr const char* kOcrComponentKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\"
    "0F0DA9E40A9E50E4BA507330FBBDE678";
constexpr const char* kOcrComponentValue = "0000009F810000000000709475387300";
// The engine's whole command line had to fit this buffer; a longer one is refused, not cut.
constexpr size_t kOcrCommandBufferSize = 860;
// How long the engine may take per page before it is given up and killed.
constexpr std::chrono::seconds kOcrBoundPerPage{120};

// Looks for the tool: the folder of the component path in the engine's installer registration (local
// machine hive), else FineCmd.exe in the program folder. Fills the record and, when found, sets
// m_bOcrEngineFound and counts the engine in m_nOcrEngineCount. Returns 1 when found.
int FindOcrEngine(CVellumoSettings& settings, ExternalProgramInfo& info, const std::string& program_folder);

// The engine's argument list: with the engine found, "tool picture /fastmode /lang LANGUAGE /out OUTPUT",
// otherwise "tool /out OUTPUT picture". Nothing when the command, written out with single spaces, would
// not fit the command buffer with its terminating zero.
std::optional<std::vector<std::string>> BuildOcrCommand(bool engine_found, const std::string& tool,
                                                        const std::string& picture,
                                                        const std::string& language,
                                                        const std::string& output);

struct OcrRun {
    bool saved = false;
    std::string document;  // where the document was saved
    std::string problem;   // when not saved: what went wrong, in plain words for the user
};

// Runs the engine on one picture (a BMP or a multi-page TIFF of `pages` pages) and copies its document,
// named from the UTC time in the private temporary folder, to the next free OCR name of the request's
// save folder; the engine's file is deleted. Nothing is copied when the engine cannot be started, fails,
// runs past the bound, is cancelled (`cancel` turning true) or writes nothing.
OcrRun RunOcr(const pipeline::CaptureRequest& request, const ExternalProgramInfo& info,
              const std::string& picture, pipeline::CFileNaming& naming, int pages = 1,
              std::chrono::milliseconds bound_per_page = kOcrBoundPerPage,
              const std::atomic<bool>* cancel = nullptr);

// Several pages as one document: the pages joined into one TIFF by bmp2tiff.dll (loaded by name from
// the program folder), recognised by RunOcr, the TIFF deleted. The pages themselves are left alone.
OcrRun RunOcrOnPages(const pipeline::CaptureRequest& request, const ExternalProgramInfo& info,
                     const pipeline::PageFileList& pages, pipeline::CFileNaming& naming,
                     const std::string& program_folder,
                     std::chrono::milliseconds bound_per_page = kOcrBoundPerPage,
                     const std::atomic<bool>* cancel = nullptr);

}  // namespace ocr
