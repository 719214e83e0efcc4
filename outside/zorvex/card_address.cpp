#include "outside/zorvex/card_address.h"

#include <cctype>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "outside/zorvex/card_text.h"
#include "outside/zorvex/card_words.h"

namespace outside::card_rules {

namespace {

// The runs of Latin letters in `text`: ASCII ones and the two-byte letters of Latin-1 and Latin
// Extended-A (U+00C0 to U+017F), as [start, end) byte spans.
std::vector<std::pair<size_t, size_t>> LatinRuns(const std::string& text) {
    std::vector<std::pair<size_t, size_t>> runs;
    size_t start = std::string::npos;
    for (size_t i = 0; i <= text.size();) {
        const auto c = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        const size_t letter = std::isalpha(c) ? 1
                              : c >= 0xC3 && c <= 0xC5 && i + 1 < text.size() &&
                                      (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80
                                  ? 2
                                  : 0;
        if (letter > 0 && start == std::string::npos) start = i;
        if (letter == 0 && start != std::string::npos) {
            runs.emplace_back(start, i);
            start = std::string::npos;
        }
        i += letter > 0 ? letter : 1;
    }
    return runs;
}

// `accented` and `plain` spell their ASCII letters alike, capitals too: "JOÃO" is not how "Joao" is printed.
bool SameAscii(const std::string& accented, const std::string& plain) {
    size_t j = 0;
    for (size_t i = 0; i < accented.size(); ++j) {
        if (j >= plain.size()) return false;
        if (static_cast<unsigned char>(accented[i]) < 0x80) {
            if (accented[i] != plain[j]) return false;
            ++i;
        } else {
            i += 2;
        }
    }
    return j == plain.size();
}

}  // namespace

bool HasPostalCode(const std::string& line) {
    static const std::regex kCode(
        R"((\b\d{4,6}\b|\b[A-Z]{1,2}\d[A-Z\d]? ?\d[A-Z]{2}\b|\b[A-Z]\d[A-Z] ?\d[A-Z]\d\b))");
    return std::regex_search(line, kCode);
}

void SplitAddress(CardFields& card) {
    if (card.address_lines.empty()) return;
    std::string last = card.address_lines.back();
    static const std::regex kUs(R"(^(.*?),?\s+([A-Z]{2})\s+(\d{5}(-\d{4})?)$)");
    static const std::regex kTrailingCode(R"(^(.*?),?\s+(\d{4,6}|[A-Z]{1,2}\d[A-Z\d]? ?\d[A-Z]{2})$)");
    static const std::regex kLeadingCode(R"(^(\d{4,5})\s+(.+)$)");
    std::smatch m;
    std::string before;
    if (std::regex_match(last, m, kUs)) {
        before = m[1].str();
        card.address.region = m[2].str();
        card.address.postal_code = m[3].str();
    } else if (std::regex_match(last, m, kTrailingCode)) {
        before = m[1].str();
        card.address.postal_code = m[2].str();
    } else if (std::regex_match(last, m, kLeadingCode)) {
        card.address.postal_code = m[1].str();
        card.address.locality = m[2].str();
    } else {
        return;
    }
    std::vector<std::string> street(card.address_lines.begin(), card.address_lines.end() - 1);
    if (!before.empty()) {
        // "Paddington, London": the town is the last part before the code, the rest is street.
        const size_t comma = before.rfind(',');
        card.address.locality = comma == std::string::npos ? before : before.substr(comma + 1);
        card.address.locality.erase(0, card.address.locality.find_first_not_of(' '));
        if (comma != std::string::npos) street.push_back(before.substr(0, comma));
        // A street and town on one line ("4001 1st Ave NE Redmond"): without a comma the town is unclear.
        if (comma == std::string::npos && HasDigit(before)) {
            card.address.locality.clear();
            street.push_back(before);
        }
    }
    for (const std::string& line : street)
        card.address.street += (card.address.street.empty() ? "" : "\n") + line;
}

bool StreetShaped(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    for (size_t k = 0; k < std::min<size_t>(3, words.size()); ++k)
        if (IsStreetWord(words[k]))
            for (size_t after = k + 1; after < words.size(); ++after)
                if (HasDigit(words[after])) return true;
    return false;
}

std::string WithoutTrailingSigns(const std::string& line) {
    std::vector<std::string> words = Words(line);
    while (!words.empty() && SignsOnly(words.back())) words.pop_back();
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

bool SplitBrazilianAddress(CardFields& card) {
    static const std::regex kCep(R"(\bcep\s*[:.]?\s*(\d{5})-?(\d{3})\b)", std::regex::icase);
    static const std::regex kState(
        R"(^(.*?)[\s,|/-]+(AC|AL|AP|AM|BA|CE|DF|ES|GO|MA|MT|MS|MG|PA|PB|PR|PE|PI|RJ|RN|RS|RO|RR|SC|SP|SE|TO)\.?$)");
    static const std::regex kLastPart(R"(^(.*?)(?:\s+-\s*|\s*[,|]\s*|^)([^,|]+?)$)");
    static const std::regex kEnds(R"(^[\s,|.-]+|[\s,|.-]+$)");
    CardFields::Address parts;
    std::vector<std::string> street;
    for (const std::string& line : card.address_lines) {
        std::string rest = line;
        bool after_code = false;
        std::smatch m;
        if (parts.postal_code.empty() && std::regex_search(line, m, kCep)) {
            parts.postal_code = m[1].str() + "-" + m[2].str();
            after_code = std::regex_replace(m.suffix().str(), kEnds, "").size() > 0;
            rest = m.prefix().str() + " - " + m.suffix().str();
            rest = std::regex_replace(rest, kEnds, "");
        }
        if (const std::string trimmed = std::regex_replace(rest, kEnds, "");
            parts.region.empty() && std::regex_match(trimmed, m, kState)) {
            parts.region = m[2].str();
            rest = m[1].str();
            std::smatch town;
            const std::string before_state = std::regex_replace(rest, kEnds, "");
            if (std::regex_match(before_state, town, kLastPart)) {
                const std::string name = town[2].str();
                const bool district =
                    InList(Words(name).front(),
                           {"jd", "jardim", "vila", "vl", "pq", "parque", "centro", "cid", "bairro", "conj"});
                const bool alone = town[1].str().empty();
                if ((alone || after_code) && !district && !HasDigit(name) && Words(name).size() <= 3 &&
                    HasWordOfLetters(name, 3)) {
                    parts.locality = name;
                    rest = town[1].str();
                }
            }
        }
        if (rest = std::regex_replace(rest, kEnds, ""); !rest.empty()) street.push_back(rest);
    }
    if (parts.postal_code.empty() && parts.region.empty()) return false;
    for (const std::string& line : street) parts.street += (parts.street.empty() ? "" : "\n") + line;
    card.address = parts;
    return true;
}

std::string CanadianCodeMended(const std::string& line) {
    static const std::regex kCode(
        R"(^(.*\b(?:AB|BC|MB|NB|NL|NS|NT|NU|ON|PE|QC|SK|YT),?\s+)(\S{3})\s?(\S{3})$)");
    std::smatch m;
    if (!std::regex_match(line, m, kCode)) return line;
    std::string code = m[2].str() + m[3].str();
    for (size_t k = 0; k < code.size(); ++k) {
        char& c = code[k];
        if (k % 2 == 0) {
            static const std::string kDigits = "0158)", kLetters = "OISBJ";
            if (const size_t at = kDigits.find(c); at != std::string::npos) c = kLetters[at];
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (!std::isupper(static_cast<unsigned char>(c))) return line;
        } else {
            static const std::string kLetters = "OoIlSB", kDigits = "001158";
            if (const size_t at = kLetters.find(c); at != std::string::npos) c = kDigits[at];
            if (!IsDigit(c)) return line;
        }
    }
    return m[1].str() + code.substr(0, 3) + " " + code.substr(3);
}

std::string AccentsFromCard(const std::string& line, const std::vector<LayoutLine>& card) {
    std::vector<std::string> accented;
    for (const LayoutLine& other : card)
        for (const auto& [from, to] : LatinRuns(other.text)) {
            const std::string run = other.text.substr(from, to - from);
            if (Compact(run).size() != run.size() && Compact(run).size() >= 3) accented.push_back(run);
        }
    std::string out;
    size_t at = 0;
    for (const auto& [from, to] : LatinRuns(line)) {
        const std::string run = line.substr(from, to - from);
        std::string spelling;
        bool one = true;
        for (const std::string& candidate : accented)
            if (Compact(candidate) == Compact(run) && Compact(run).size() == run.size() &&
                SameAscii(candidate, run)) {
                one = one && (spelling.empty() || spelling == candidate);
                spelling = candidate;
            }
        out += line.substr(at, from - at) + (one && !spelling.empty() ? spelling : run);
        at = to;
    }
    return out + line.substr(at);
}

std::string MarksFrom(const std::string& line, const std::string& again) {
    const std::vector<std::string> words = Words(line), other = Words(again);
    if (words.size() != other.size()) return line;
    // Plain ASCII, or ASCII with Latin letters of two bytes (U+00C0 to U+017F) and nothing else beyond it: a
    // sign read into a word ("’", "°") is no mark.
    const auto latin = [](const std::string& w, bool& marked) {
        marked = false;
        for (size_t i = 0; i < w.size(); ++i) {
            const auto c = static_cast<unsigned char>(w[i]);
            if (c < 0x80) continue;
            if (c < 0xC3 || c > 0xC5 || i + 1 >= w.size() ||
                (static_cast<unsigned char>(w[i + 1]) & 0xC0) != 0x80)
                return false;
            marked = true;
            ++i;
        }
        return true;
    };
    std::string out;
    bool changed = false;
    for (size_t k = 0; k < words.size(); ++k) {
        bool first_marked = false, again_marked = false;
        const bool takes = latin(words[k], first_marked) && !first_marked && latin(other[k], again_marked) &&
                           again_marked && SameAscii(other[k], words[k]) &&
                           Compact(other[k]) == Compact(words[k]);
        changed = changed || takes;
        out += (k == 0 ? "" : " ") + (takes ? other[k] : words[k]);
    }
    return changed ? out : line;
}

}  // namespace outside::card_rules
