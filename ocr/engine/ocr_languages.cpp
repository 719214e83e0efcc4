#include "ocr/engine/ocr_languages.h"

#include <cstring>

namespace ocr {
namespace {

const char* const kDisplayNames[kOcrLanguageCount] = {
    "Abkhaz", "Adyghe", "Afrikaans", "Agul", "Albanian", "Altai", "ArmenianEastern", "ArmenianGrabar",
    "ArmenianWestern", "Avar", "Aymara", "AzeriCyrillic", "AzeriLatin", "Bashkir", "Basque", "Belarusian",
    "Bemba", "Blackfoot", "Breton", "Bugotu", "Bulgarian", "Buryat", "Catalan", "Chamorro", "Chechen",
    "Chukchee", "Chuvash", "Corsican", "Crimean Tatar", "Croatian", "Crow", "Czech", "Danish", "Dargwa",
    "Dungan", "Dutch", "DutchBelgian", "English", "EskimoCyrillic", "EskimoLatin", "Esperanto", "Estonian",
    "Even", "Evenki", "Faeroese", "Fijian", "Finnish", "French", "Frisian", "Friulian", "Gagauz", "Galician",
    "Ganda", "German", "GermanLuxembourg", "GermanNewSpelling", "Greek", "Guarani", "Hani", "Hausa",
    "Hawaiian", "Hungarian", "Icelandic", "Ido", "Indonesian", "Ingush", "Interlingua", "Irish", "Italian",
    "Kabardian", "Kalmyk", "Karachay-balkar", "Karakalpak", "Kasub", "Kawa", "Kazakh", "Khakass", "Khanty",
    "Kikuyu", "Kirghiz", "Kongo", "Koryak", "Kpelle", "Kumyk", "Kurdish", "Lak", "Lappish", "Latin",
    "Latvian", "Lezgi", "Lithuanian", "Luba", "Macedonian", "Malagasy", "Malay", "Malinke", "Maltese",
    "Mansy", "Maori", "Mari", "Maya", "Miao", "Minankabaw", "Mohawk", "Mongol", "Mordvin",
    "RomanianMoldavia", "Nahuatl", "Nenets", "Nivkh", "Nogay", "Norwegian", "NorwegianBokmal",
    "NorwegianNynorsk", "Nyanja", "Occidental", "Ojibway", "Ossetian", "Papiamento", "PidginEnglish",
    "Polish", "PortugueseStandard", "PortugueseBrazilian", "Provencal", "Quechua", "RhaetoRomanic",
    "Romanian", "Romany", "Ruanda", "Rundi", "Russian", "RussianOldSpelling", "Mixed", "Samoan",
    "GaelicScottish", "Selkup", "SerbianCyrillic", "SerbianLatin", "Shona", "Chemistry", "Sioux", "Slovak",
    "Slovenian", "Somali", "Sorbian", "Sotho", "Spanish", "Sunda", "Swahili", "Swazi", "Swedish",
    "Tabasaran", "Tagalog", "Tahitian", "Tajik", "Tatar", "Tinpo", "Tongan", "Tswana", "Tun", "Turkish",
    "Turkmen", "Tuvinian", "Udmurt", "Ukrainian", "Visayan", "Welsh", "Wolof", "Xhosa", "Yakut", "Zapotec",
    "Zulu", "Chinese Simplified", "Chinese Traditional", "Japanese", "Thai", "Uzbek (Cyrillic)",
    "Uzbek (Latin)", "Chinese Traditional + English", "Chinese Simplified + English", "Japanese + English",
};

struct Replacement {
    const char* display;
    const char* engine;
};

const Replacement kReplacements[] = {
    {"Uzbek (Cyrillic)", "UzbekCyrillic"},
    {"Uzbek (Latin)", "UzbekLatin"},
    {"Chinese Traditional + English", "ChineseTaiwan_English"},
    {"Chinese Simplified + English", "ChinesePRC_English"},
    {"Chinese Simplified", "ChinesePRC"},
    {"Chinese Traditional", "ChineseTaiwan"},
    {"Altai", "Altaic"},
    {"Avar", "Awar"},
    {"Chukchee", "Chukcha"},
    {"Tuvinian", "Tuvin"},
    {"Kirghiz", "Kirgiz"},
    {"Khakass", "Khakas"},
    {"Lezgi", "Lezgin"},
    {"Ossetian", "Ossetic"},
    {"Tabasaran", "Tabassaran"},
    {"Crimean Tatar", "CrimeanTatar"},
    {"Japanese + English", "Japanese_English"},
};

constexpr int kEnglish = 37;

}  // namespace

const char* OcrLanguageDisplayName(int index) {
    if (index < 0 || index >= kOcrLanguageCount) return nullptr;
    return kDisplayNames[index];
}

std::string EngineLanguageName(int index) {
    const char* display = OcrLanguageDisplayName(index);
    if (display == nullptr) display = kDisplayNames[kEnglish];
    for (const Replacement& r : kReplacements)
        if (std::strcmp(r.display, display) == 0) return r.engine;
    return display;
}

}  // namespace ocr
