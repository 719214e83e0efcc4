#pragma once
// The two commands that choose the business-card program (1085 explorer, 1092 card program). Their
// state rule looks for both programs again at every refresh; see UpdateCardChoice.

#include <string>

class CommandTable;
class CVellumoSettings;

namespace ocr {

class ExternalPrograms;

// Adds (or replaces) 1085 and 1092. `settings` and `programs` must outlive the table's use.
void AddCardProgramCommands(CommandTable& table, CVellumoSettings& settings, ExternalPrograms& programs,
                            const std::string& program_folder);

}  // namespace ocr
