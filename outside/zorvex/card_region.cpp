#include "outside/zorvex/card_region.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <utility>

namespace outside {

namespace {

using i18n::phonenumbers::PhoneNumberUtil;

// The countries a number printed after a '+' dials into, one for each such number.
void DialledCountries(const std::string& line, std::map<std::string, int>& votes) {
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    for (size_t plus = line.find('+'); plus != std::string::npos; plus = line.find('+', plus + 1)) {
        size_t end = plus + 1;
        while (end < line.size() && end - plus < 24 &&
               (std::isdigit(static_cast<unsigned char>(line[end])) != 0 ||
                std::string(" ().-/").find(line[end]) != std::string::npos))
            ++end;
        i18n::phonenumbers::PhoneNumber number;
        if (util.Parse(line.substr(plus, end - plus), "ZZ", &number) != PhoneNumberUtil::NO_PARSING_ERROR)
            continue;
        std::string country;
        util.GetRegionCodeForCountryCode(number.country_code(), &country);
        if (country.size() == 2 && country != "ZZ") ++votes[country];
    }
}

// The countries the line's e-mail and web addresses' domains name ("com.br", "co.uk", "de").
void DomainCountries(const std::string& line, std::map<std::string, int>& votes) {
    // Two-letter domains that name a country but are taken for other things ("co" for company, "tv").
    static const std::set<std::string> kTaken = {"co", "io", "tv", "me", "ai", "ly",
                                                 "fm", "cc", "ws", "to", "gg", "im"};
    static const std::regex kAddress(R"((@|www\.|https?://)[a-z0-9-]+(\.[a-z0-9-]+)*\.([a-z]{2})\b)");
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::set<std::string> known = [] {
        std::set<std::string> regions;
        PhoneNumberUtil::GetInstance()->GetSupportedRegions(&regions);
        return regions;
    }();
    for (auto it = std::sregex_iterator(lower.begin(), lower.end(), kAddress); it != std::sregex_iterator();
         ++it) {
        std::string domain = (*it)[3].str();
        if (kTaken.count(domain)) continue;
        std::string country = domain == "uk" ? "GB"
                                             : std::string{static_cast<char>(std::toupper(domain[0])),
                                                           static_cast<char>(std::toupper(domain[1]))};
        if (known.count(country)) ++votes[country];
    }
}

// Brazil, where a Portuguese card's address shows it: a postal code (CEP, "04880-045") or a state's
// abbreviation after its city ("Jardim Fernandes - SP", "São Paulo/SP"). Brazilian cards seldom print the
// country's calling code, and their local numbers (no area code) no plan dials.
void AddressCountries(const std::string& line, std::map<std::string, int>& votes) {
    static const std::regex kBrazil(
        R"((\b\d{5}-\d{3}\b)|([-/]\s*(AC|AL|AP|AM|BA|CE|DF|ES|GO|MA|MT|MS|MG|PA|PB|PR|PE|PI|RJ|RN|RS|RO|RR|SC|SP|SE|TO)\b))");
    if (std::regex_search(line, kBrazil)) ++votes["BR"];
}

}  // namespace

std::string LanguageRegion(const std::string& language) {
    static const std::pair<const char*, const char*> kRegions[] = {
        {"JP", "JP"}, {"SC", "CN"},  {"TC", "TW"},  {"FR", "FR"},  {"GR", "DE"},
        {"IT", "IT"}, {"SP", "ES"},  {"PT", "PT"},  {"DU", "NL"},  {"RU", "RU"},
        {"PL", "PL"}, {"DA", "DK"},  {"SW", "SE"},  {"Nor", "NO"}, {"Fin", "FI"},
        {"CZ", "CZ"}, {"HUN", "HU"}, {"SLO", "SK"}, {"GRE", "GR"}, {"TUR", "TR"},
    };
    for (const auto& [code, region] : kRegions)
        if (language == code) return region;
    return {};
}

std::string HomeRegion(const std::string& language, const std::string& locale) {
    static const std::pair<const char*, const char*> kLanguages[] = {
        {"EN", "en"},  {"SC", "zh"},  {"TC", "zh"},  {"JP", "ja"},  {"FR", "fr"}, {"GR", "de"},
        {"IT", "it"},  {"SP", "es"},  {"PT", "pt"},  {"DU", "nl"},  {"RU", "ru"}, {"PL", "pl"},
        {"DA", "da"},  {"SW", "sv"},  {"Nor", "nb"}, {"Fin", "fi"}, {"CZ", "cs"}, {"HUN", "hu"},
        {"SLO", "sk"}, {"GRE", "el"}, {"TUR", "tr"},
    };
    // "ll_CC" with an optional ".codeset" and "@modifier".
    static const std::regex kLocale(R"(^([a-z]{2,3})_([A-Z]{2})([.@].*)?$)");
    std::smatch parts;
    if (std::regex_match(locale, parts, kLocale))
        for (const auto& [code, iso] : kLanguages) {
            const bool norwegian = std::string(code) == "Nor" && (parts[1] == "nn" || parts[1] == "no");
            if (language == code && (parts[1] == iso || norwegian)) return parts[2].str();
        }
    return LanguageRegion(language);
}

std::string RegionOnCard(const std::vector<std::string>& lines, const std::string& region) {
    std::map<std::string, int> votes;
    for (const std::string& line : lines) {
        DialledCountries(line, votes);
        DomainCountries(line, votes);
        if (region == "PT") AddressCountries(line, votes);
    }
    if (!votes.empty()) {
        // The most named; of as many, the language's own where it is one of them.
        const auto most = std::max_element(votes.begin(), votes.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        if (const auto own = votes.find(region); own != votes.end() && own->second == most->second)
            return region;
        return most->first;
    }
    return region;
}

std::string RegionOnCard(const std::vector<LayoutLine>& lines, const std::string& region) {
    std::vector<std::string> texts;
    for (const LayoutLine& line : lines) texts.push_back(line.text);
    return RegionOnCard(texts, region);
}

}  // namespace outside
