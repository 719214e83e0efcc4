#pragma once
// The two business-card programs: the explorer program (ZorvexExplorer.exe, given a list file on its
// command line and then called through its library ZorvexMsg.dll) and the card program (Zorvex.exe,
// given an import INI file). Finding them through their uninstall registrations, the files they are
// handed, and the hand-overs. Each hand-over blocks its thread. No toolkit.

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "ocr/engine/external_programs.h"
#include "pipeline/capture/hand_over.h"

class CVellumoSettings;

namespace ocr {

// Uninstall registrations (local machine hive) of the two programs.
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kExplorerGuid = "{6B2E9A41-3F7C-4D58-9E0A-5C1D2B7F8E34}";
constexpr const char* kCardProgramGuid = "{A8D4C219-7E05-4B3F-8C6A-91F2E0B5D7C3}";
constexpr const char* kExplorerProgramName = "ZorvexExplorer.exe";
constexpr const char* kCardProgramName = "Zorvex.exe";
// How long the card program may take to take its import file.
constexpr std::chrono::seconds kCardProgramBound{60};

// Each sets (or clears) its found byte in the settings and the record; 1 when the program is there.
int FindExplorerProgram(CVellumoSettings& settings, ExternalProgramInfo& info);
// Without a registration, the card program of our own beside Vellumo stands in.
int FindCardProgram(CVellumoSettings& settings, ExternalProgramInfo& info, const std::string& program_folder);

// Start-up: the engine, then explorer, card, explorer again and, when that finds nothing, card again.
void FindOutsidePrograms(CVellumoSettings& settings, ExternalPrograms& programs,
                         const std::string& program_folder);

// The program cards go to where nothing asks the user (the command line): the chosen one ("Zorvex Index":
// 0 explorer, 1 card program) where it was found, else the other where that was; -1 when neither was.
int CardProgramToUse(const CVellumoSettings& settings);

// The explorer program's language letter for ZorvexLanguage: 1, 2 "c"; 3 "j"; 4 to 8 "o"; others "e".
char ExplorerLanguageLetter(int card_language);
// The card program's language code for Zorvex6Language ("EN" outside 0 to 20).
const char* CardProgramLanguageCode(int card6_language);

// The list file: a line "path" "1" CR LF per picture.
std::string ExplorerListFile(const std::vector<std::string_view>& pictures);
// " /r" letter "an" and the quoted list path.
std::string ExplorerParameters(int card_language, const std::string& list_path);
// Splits parameters as a program's start-up code does: at blanks outside double quotes, the quotes
// themselves removed.
std::vector<std::string> SplitParameters(const std::string& parameters);
// The import INI, lines ended by CR LF.
std::string CardImportFile(const std::vector<std::string_view>& pictures, int card6_language);

// The hand-overs. `pictures` are the picture paths in order; the list and import files go to the private
// temporary folder.
// The explorer program reads its list and the pictures whenever it likes: once it is started and told,
// they are its own (TakenOver), removed when it has ended.
pipeline::HandOverResult SendToZorvex(int card_language, const ExternalProgramInfo& info,
                                      const std::vector<std::string_view>& pictures,
                                      const std::string& program_folder);
// Done when the card program took its import file (it has read the pictures then) within the bound;
// `cancel` turning true ends the wait.
pipeline::HandOverResult SendToZorvex6(int card6_language, const ExternalProgramInfo& info,
                                       const std::vector<std::string_view>& pictures,
                                       std::chrono::milliseconds bound = kCardProgramBound,
                                       const std::atomic<bool>* cancel = nullptr);

// The state rule of the two choice commands (0 explorer, 1 card program): looks for both programs
// again, then tells whether the command is enabled and checked; a missing program hands "Zorvex Index"
// over to the other one when that is there.
struct CardChoiceState {
    bool enabled = false;
    bool checked = false;
};
CardChoiceState UpdateCardChoice(CVellumoSettings& settings, ExternalPrograms& programs,
                                 const std::string& program_folder, int program);

}  // namespace ocr
