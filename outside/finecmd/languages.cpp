#include "outside/finecmd/languages.h"

#include <strings.h>

namespace outside {
namespace {

struct Mapping {
    const char* engine;
    const char* tesseract;
};

// Every language of the engine's table for which Tesseract has trained data.
const Mapping kMappings[] = {
    {"Afrikaans", "afr"},
    {"Albanian", "sqi"},
    {"ArmenianEastern", "hye"},
    {"ArmenianWestern", "hye"},
    {"AzeriCyrillic", "aze_cyrl"},
    {"AzeriLatin", "aze"},
    {"Basque", "eus"},
    {"Belarusian", "bel"},
    {"Breton", "bre"},
    {"Bulgarian", "bul"},
    {"Catalan", "cat"},
    {"Corsican", "cos"},
    {"Croatian", "hrv"},
    {"Czech", "ces"},
    {"Danish", "dan"},
    {"Dutch", "nld"},
    {"DutchBelgian", "nld"},
    {"English", "eng"},
    {"Esperanto", "epo"},
    {"Estonian", "est"},
    {"Faeroese", "fao"},
    {"Finnish", "fin"},
    {"French", "fra"},
    {"Frisian", "fry"},
    {"Galician", "glg"},
    {"German", "deu"},
    {"GermanLuxembourg", "deu"},
    {"GermanNewSpelling", "deu"},
    {"Greek", "ell"},
    {"Hungarian", "hun"},
    {"Icelandic", "isl"},
    {"Indonesian", "ind"},
    {"Irish", "gle"},
    {"Italian", "ita"},
    {"Kazakh", "kaz"},
    {"Kirgiz", "kir"},
    {"Kurdish", "kmr"},
    {"Latin", "lat"},
    {"Latvian", "lav"},
    {"Lithuanian", "lit"},
    {"Macedonian", "mkd"},
    {"Malay", "msa"},
    {"Maltese", "mlt"},
    {"Maori", "mri"},
    {"Mongol", "mon"},
    {"RomanianMoldavia", "ron"},
    {"Norwegian", "nor"},
    {"NorwegianBokmal", "nor"},
    {"NorwegianNynorsk", "nor"},
    {"Polish", "pol"},
    {"PortugueseStandard", "por"},
    {"PortugueseBrazilian", "por"},
    {"Provencal", "oci"},
    {"Quechua", "que"},
    {"Romanian", "ron"},
    {"Russian", "rus"},
    {"RussianOldSpelling", "rus"},
    {"GaelicScottish", "gla"},
    {"SerbianCyrillic", "srp"},
    {"SerbianLatin", "srp_latn"},
    {"Slovak", "slk"},
    {"Slovenian", "slv"},
    {"Spanish", "spa"},
    {"Sunda", "sun"},
    {"Swahili", "swa"},
    {"Swedish", "swe"},
    {"Tagalog", "tgl"},
    {"Tajik", "tgk"},
    {"Tatar", "tat"},
    {"Tongan", "ton"},
    {"Turkish", "tur"},
    {"Ukrainian", "ukr"},
    {"Visayan", "ceb"},
    {"Welsh", "cym"},
    {"ChinesePRC", "chi_sim"},
    {"ChineseTaiwan", "chi_tra"},
    {"Japanese", "jpn"},
    {"Thai", "tha"},
    {"UzbekCyrillic", "uzb_cyrl"},
    {"UzbekLatin", "uzb"},
    {"ChineseTaiwan_English", "chi_tra+eng"},
    {"ChinesePRC_English", "chi_sim+eng"},
    {"Japanese_English", "jpn+eng"},
};

}  // namespace

std::string TesseractLanguage(const std::string& engine_name) {
    for (const Mapping& m : kMappings)
        if (::strcasecmp(m.engine, engine_name.c_str()) == 0) return m.tesseract;
    return {};
}

}  // namespace outside
