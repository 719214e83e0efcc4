#include "ocr/cards/card_languages.h"

#include <cstring>

#include "ocr/engine/ocr_languages.h"

namespace ocr {
namespace {

struct CardLanguage {
    const char* ocr_name;  // as the OCR language dialog names it
    int card_language;
};

// The first name of each card language is the one it is listed by.
constexpr CardLanguage kCardLanguages[] = {
    {"English", 0},
    {"Chinese Simplified", 1},
    {"Chinese Simplified + English", 1},
    {"Chinese Traditional", 2},
    {"Chinese Traditional + English", 2},
    {"Japanese", 3},
    {"Japanese + English", 3},
    {"French", 4},
    {"German", 5},
    {"GermanNewSpelling", 5},
    {"GermanLuxembourg", 5},
    {"Italian", 6},
    {"Spanish", 7},
    {"PortugueseStandard", 8},
    {"PortugueseBrazilian", 8},
    {"Dutch", 9},
    {"DutchBelgian", 9},
    {"Russian", 10},
    {"RussianOldSpelling", 10},
    {"Polish", 11},
    {"Danish", 12},
    {"Swedish", 13},
    {"Norwegian", 14},
    {"NorwegianBokmal", 14},
    {"NorwegianNynorsk", 14},
    {"Finnish", 15},
    {"Czech", 16},
    {"Hungarian", 17},
    {"Slovak", 18},
    {"Greek", 19},
    {"Turkish", 20},
};

}  // namespace

std::optional<int> CardLanguageOfText(int ocr_language) {
    const char* name = OcrLanguageDisplayName(ocr_language);
    if (name == nullptr) return std::nullopt;
    for (const CardLanguage& language : kCardLanguages)
        if (std::strcmp(language.ocr_name, name) == 0) return language.card_language;
    return std::nullopt;
}

std::string CardLanguageNames(int count) {
    std::string names;
    int listed = 0;
    for (const CardLanguage& language : kCardLanguages)
        if (language.card_language == listed && listed < count) {
            names += (names.empty() ? "" : ", ") + std::string(language.ocr_name);
            ++listed;
        }
    return names;
}

}  // namespace ocr
