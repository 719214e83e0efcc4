#pragma once
// Where the outside programs were found: the OCR engine's command-line tool and the two business-card
// programs. Filled at start-up and again whenever the card choice commands refresh; read by the hand-over
// threads, so the record is kept behind a lock and handed out as a copy.

#include <mutex>
#include <string>

namespace ocr {

struct ExternalProgramInfo {
    std::string component_path;     // the engine's installer registration, when there is one
    std::string ocr_tool_path;      // full path of FineCmd.exe
    std::string explorer_path;      // ZorvexExplorer.exe
    std::string card_program_path;  // Zorvex.exe
    bool ocr_engine_found = false;
    bool explorer_found = false;
    bool card_program_found = false;
};

class ExternalPrograms {
  public:
    ExternalProgramInfo Get() const {
        std::lock_guard lock(mutex_);
        return info_;
    }
    template <typename Change>
    void Update(Change change) {
        std::lock_guard lock(mutex_);
        change(info_);
    }

  private:
    mutable std::mutex mutex_;
    ExternalProgramInfo info_;
};

// The program's one record.
ExternalPrograms& TheExternalPrograms();

}  // namespace ocr
