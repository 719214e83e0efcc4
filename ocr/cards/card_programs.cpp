#include "ocr/cards/card_programs.h"

#include <span>
#include <thread>

#include "ocr/engine/ocr_engine.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/files/private_temp.h"
#include "platform/library/library.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "settings/settings.h"

namespace ocr {
namespace {

std::optional<std::string> InstallLocation(const char* guid) {
    return platform::RegistryReadString(platform::RegistryHive::LocalMachine,
                                        std::string(kUninstallKey) + guid, "InstallLocation", 260);
}

// The same name with its last four characters (".tmp") replaced.
std::string WithLastFourReplaced(const std::string& name, const char* ending) {
    return name.substr(0, name.size() >= 4 ? name.size() - 4 : 0) + ending;
}

}  // namespace

int FindExplorerProgram(CVellumoSettings& settings, ExternalProgramInfo& info) {
    std::string path;
    if (auto location = InstallLocation(kExplorerGuid)) path = *location + "/" + kExplorerProgramName;
    const bool found = !path.empty() && platform::IsExecutableProgram(path);
    info.explorer_found = found;
    info.explorer_path = found ? path : std::string();
    settings.m_bCardExplorerFound = found ? 1 : 0;
    return found ? 1 : 0;
}

int FindCardProgram(CVellumoSettings& settings, ExternalProgramInfo& info,
                    const std::string& program_folder) {
    std::string path;
    if (auto location = InstallLocation(kCardProgramGuid)) {
        path = *location;
        if (path.empty() || path.back() != '/') path += '/';
        path += kCardProgramName;
        if (!platform::IsExecutableProgram(path)) path.clear();
    } else {
        // No registration (a build run where it was made): our own card program beside Vellumo.
        path = platform::JoinPath(program_folder, kCardProgramName);
        if (!platform::IsExecutableProgram(path)) path.clear();
    }
    const bool found = !path.empty();
    info.card_program_found = found;
    info.card_program_path = path;
    settings.m_bCardProgramFound = found ? 1 : 0;
    return found ? 1 : 0;
}

void FindOutsidePrograms(CVellumoSettings& settings, ExternalPrograms& programs,
                         const std::string& program_folder) {
    programs.Update([&](ExternalProgramInfo& info) {
        FindOcrEngine(settings, info, program_folder);
        FindExplorerProgram(settings, info);
        FindCardProgram(settings, info, program_folder);
        if (FindExplorerProgram(settings, info) == 0) FindCardProgram(settings, info, program_folder);
        platform::DebugLog("ocr", "card programs: explorer %s, card program %s",
                           info.explorer_found ? info.explorer_path.c_str() : "not found",
                           info.card_program_found ? info.card_program_path.c_str() : "not found");
    });
}

int CardProgramToUse(const CVellumoSettings& settings) {
    const bool found[2] = {settings.m_bCardExplorerFound != 0, settings.m_bCardProgramFound != 0};
    const int chosen = settings.m_nCardProgram == 0 ? 0 : 1;
    if (found[chosen]) return chosen;
    return found[1 - chosen] ? 1 - chosen : -1;
}

char ExplorerLanguageLetter(int card_language) {
    if (card_language == 1 || card_language == 2) return 'c';
    if (card_language == 3) return 'j';
    if (card_language >= 4 && card_language <= 8) return 'o';
    return 'e';
}

const char* CardProgramLanguageCode(int card6_language) {
    static const char* const kCodes[] = {"EN",  "SC",  "TC", "JP",  "FR",  "GR",  "IT",
                                         "SP",  "PT",  "DU", "RU",  "PL",  "DA",  "SW",
                                         "Nor", "Fin", "CZ", "HUN", "SLO", "GRE", "TUR"};
    if (card6_language < 0 || card6_language >= static_cast<int>(std::size(kCodes))) return "EN";
    return kCodes[card6_language];
}

std::string ExplorerListFile(const std::vector<std::string_view>& pictures) {
    std::string text;
    for (std::string_view picture : pictures) {
        text += picture;
        text += "1\r\n";
    }
    return text;
}

std::string ExplorerParameters(int card_language, const std::string& list_path) {
    std::string parameters = " /r";
    parameters += ExplorerLanguageLetter(card_language);
    parameters += "an\"" + list_path + "\"";
    return parameters;
}

std::vector<std::string> SplitParameters(const std::string& parameters) {
    std::vector<std::string> arguments;
    std::string current;
    bool in_argument = false, quoted = false;
    for (char c : parameters) {
        if (c == '"') {
            quoted = !quoted;
            in_argument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_argument) arguments.push_back(current);
            current.clear();
            in_argument = false;
        } else {
            current += c;
            in_argument = true;
        }
    }
    if (in_argument) arguments.push_back(current);
    return arguments;
}

std::string CardImportFile(const std::vector<std::string_view>& pictures, int card6_language) {
    std::string text = "[Importfile]\r\nCount=" + std::to_string(pictures.size()) + "\r\n";
    int number = 1;
    for (std::string_view picture : pictures)
        text += "File" + std::to_string(number++) + "=\"" + std::string(picture) + "\"\r\n";
    text += "[OCROpt]\r\nLang=";
    text += CardProgramLanguageCode(card6_language);
    text += "\r\n[ScanOpt]\r\nDuplex=0\r\n";
    return text;
}

namespace {

bool WriteList(const std::string& path, const std::string& text) {
    const std::string_view part(text);
    return platform::WritePrivateFile(path, std::span<const std::string_view>(&part, 1)).ok();
}

}  // namespace

pipeline::HandOverResult SendToZorvex(int card_language, const ExternalProgramInfo& info,
                                      const std::vector<std::string_view>& pictures,
                                      const std::string& program_folder) {
    auto unique = platform::CreateUniquePrivateFile("Zorvex");
    if (!unique) return pipeline::HandOverResult::Fail("the list for the card program could not be written");
    const std::string list = WithLastFourReplaced(*unique, ".cfg");
    if (!WriteList(list, ExplorerListFile(pictures))) {
        platform::DeleteFile(*unique);
        return pipeline::HandOverResult::Fail("the list for the card program could not be written");
    }
    std::vector<std::string> argv{info.explorer_path};
    for (std::string& argument : SplitParameters(ExplorerParameters(card_language, list)))
        argv.push_back(std::move(argument));
    // The program reads the list and the pictures whenever it likes: they go once it has ended.
    std::vector<std::string> files{list, *unique};
    for (std::string_view picture : pictures) files.emplace_back(picture);
    const bool started = platform::StartDetached(argv, [files] {
        for (const std::string& file : files) platform::DeleteFile(file);
    });
    if (!started) {
        platform::DebugLog("ocr", "the explorer program %s could not be started", info.explorer_path.c_str());
        platform::DeleteFile(list);
        platform::DeleteFile(*unique);
        return pipeline::HandOverResult::Fail("the business-card program could not be started");
    }
    platform::Library library = platform::Library::LoadFrom(program_folder, "ZorvexMsg.dll");
    using GetZorvexMsgFn = int (*)(int);
    if (auto notify = library.Get<GetZorvexMsgFn>("GetZorvexMsg")) {
        notify(static_cast<int>(pictures.size()));
        return {pipeline::HandOverResult::Kind::TakenOver, {}};
    }
    platform::DebugLog("ocr", "ZorvexMsg.dll or its GetZorvexMsg is missing: %s", library.Error().c_str());
    return pipeline::HandOverResult::Fail(
        "the business-card program could not be told of the cards (ZorvexMsg.dll)");
}

pipeline::HandOverResult SendToZorvex6(int card6_language, const ExternalProgramInfo& info,
                                       const std::vector<std::string_view>& pictures,
                                       std::chrono::milliseconds bound, const std::atomic<bool>* cancel) {
    auto unique = platform::CreateUniquePrivateFile("Zorvex6");
    if (!unique)
        return pipeline::HandOverResult::Fail("the import file for the card program could not be written");
    const std::string import = WithLastFourReplaced(*unique, ".ini");
    if (!WriteList(import, CardImportFile(pictures, card6_language))) {
        platform::DeleteFile(*unique);
        return pipeline::HandOverResult::Fail("the import file for the card program could not be written");
    }
    bool taken = false;
    std::string problem;
    if (platform::StartDetached({info.card_program_path, import})) {
        // The program removes the import file once it has read it and the pictures it names.
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!(taken = !platform::GetFileAttributes(import).has_value())) {
            if (cancel != nullptr && cancel->load()) {
                problem = "the program was closed before the card program took the cards";
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                platform::DebugLog(
                    "ocr", "the card program did not take %s within %lld s", import.c_str(),
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(bound).count()));
                problem = "the business-card program did not take the cards";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(cancel != nullptr ? 50 : 200));
        }
    } else {
        platform::DebugLog("ocr", "the card program %s could not be started", info.card_program_path.c_str());
        problem = "the business-card program could not be started";
    }
    // Nobody will read it any more once the program is gone or the wait is over.
    if (!taken) platform::DeleteFile(import);
    platform::DeleteFile(*unique);
    return taken ? pipeline::HandOverResult::Succeeded() : pipeline::HandOverResult::Fail(problem);
}

CardChoiceState UpdateCardChoice(CVellumoSettings& settings, ExternalPrograms& programs,
                                 const std::string& program_folder, int program) {
    ExternalProgramInfo info;
    programs.Update([&](ExternalProgramInfo& record) {
        FindExplorerProgram(settings, record);
        FindCardProgram(settings, record, program_folder);
        info = record;
    });
    const bool mine = program == 0 ? info.explorer_found : info.card_program_found;
    const bool other = program == 0 ? info.card_program_found : info.explorer_found;
    if (!mine && other) settings.m_nCardProgram = 1 - program;
    CardChoiceState state;
    state.enabled = mine && settings.m_bDevicePresent != 0 && settings.m_bCaptureBusy == 0;
    state.checked = settings.m_nCardProgram == program;
    return state;
}

}  // namespace ocr
