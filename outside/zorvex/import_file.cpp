#include "outside/zorvex/import_file.h"

#include <strings.h>

#include <cstdlib>
#include <map>
#include <sstream>

namespace outside {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool Same(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

}  // namespace

ImportRequest ParseImportFile(const std::string& text) {
    ImportRequest request;
    std::istringstream lines(text);
    std::string line, section;
    long count = -1;
    std::map<long, std::string> files;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty()) continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, equals));
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (Same(section, "Importfile")) {
            if (Same(key, "Count")) {
                char* end = nullptr;
                count = std::strtol(value.c_str(), &end, 10);
                if (end == value.c_str() || *end != '\0') count = 0;
            } else if (key.size() > 4 && ::strncasecmp(key.c_str(), "File", 4) == 0) {
                char* end = nullptr;
                const long number = std::strtol(key.c_str() + 4, &end, 10);
                if (*end == '\0' && number >= 1 && !value.empty()) files[number] = value;
            }
        } else if (Same(section, "OCROpt") && Same(key, "Lang")) {
            request.language = value;
        }
    }
    for (const auto& [number, path] : files)
        if (number <= count) request.pictures.push_back(path);
    return request;
}

std::string CardTesseractLanguage(const std::string& code) {
    static const std::pair<const char*, const char*> kCodes[] = {
        {"EN", "eng"},  {"SC", "chi_sim"}, {"TC", "chi_tra"}, {"JP", "jpn"},  {"FR", "fra"}, {"GR", "deu"},
        {"IT", "ita"},  {"SP", "spa"},     {"PT", "por"},     {"DU", "nld"},  {"RU", "rus"}, {"PL", "pol"},
        {"DA", "dan"},  {"SW", "swe"},     {"Nor", "nor"},    {"Fin", "fin"}, {"CZ", "ces"}, {"HUN", "hun"},
        {"SLO", "slk"}, {"GRE", "ell"},    {"TUR", "tur"},
    };
    for (const auto& [card, tesseract] : kCodes)
        // English's data reads the Latin-script parts every card has (e-mail, web, numbers, names).
        if (Same(code, card))
            return std::string(tesseract) == "eng" ? "eng" : std::string(tesseract) + "+eng";
    return "eng";
}

}  // namespace outside
