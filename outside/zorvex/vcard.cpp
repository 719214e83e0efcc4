#include "outside/zorvex/vcard.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <regex>
#include <sstream>

namespace outside {

std::string ValidUtf8(const std::string& text) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[k])); };
    for (size_t i = 0; i < text.size();) {
        const uint32_t lead = byte(i);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end are not characters either.
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool HasWord(const std::string& line, std::initializer_list<const char*> keys) {
    for (const std::string& w : Words(line)) {
        std::string word = Lower(w);
        word.erase(std::remove_if(word.begin(), word.end(), [](char c) { return c == ',' || c == '.'; }),
                   word.end());
        for (const char* key : keys)
            if (word == key) return true;
    }
    return false;
}

// A telephone line: an optional label, then digits and number signs only. Recognition reads a 0 as "O"
// and a 1 as "l" now and then; inside a number they are taken as the digits.
bool MatchTelephone(const std::string& line, Telephone& tel) {
    static const std::regex kPhone(
        R"(^\s*(?:(tel|telephone|phone|ph|t|mobile|mob|cell|m|fax|f)\b\.?:?\s*)?(\+?[0-9Ool][0-9Ool ()./-]{5,}[0-9Ool])\s*$)",
        std::regex::icase);
    std::smatch m;
    if (!std::regex_match(line, m, kPhone)) return false;
    std::string digits = m[2].str();
    for (char& c : digits) c = (c == 'O' || c == 'o') ? '0' : c == 'l' ? '1' : c;
    if (std::count_if(digits.begin(), digits.end(),
                      [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) < 6)
        return false;
    const std::string label = Lower(m[1].str());
    tel.number = digits;
    tel.type = (label == "fax" || label == "f")                                           ? "FAX"
               : (label == "mobile" || label == "mob" || label == "cell" || label == "m") ? "CELL"
                                                                                          : "WORK,VOICE";
    return true;
}

// Recognition may put a blank after a dot or around the "@"; addresses are written in lower case.
bool FindEmail(const std::string& line, std::string& email) {
    static const std::regex kEmail(R"([A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+)");
    static const std::regex kLooseSigns(R"(\s*([.@])\s*)");
    if (line.find('@') == std::string::npos) return false;
    const std::string joined = std::regex_replace(line, kLooseSigns, "$1");
    std::smatch m;
    if (!std::regex_search(joined, m, kEmail)) return false;
    email = Lower(m[0].str());
    return true;
}

bool LooksLikeName(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2 || words.size() > 4) return false;
    for (const std::string& w : words) {
        if (!std::isupper(static_cast<unsigned char>(w[0]))) return false;
        for (char c : w)
            if (!std::isalpha(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '\'')
                return false;
    }
    return true;
}

std::string Escape(const std::string& value) {
    std::string out;
    for (char c : ValidUtf8(value)) {
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// The bytes of the character that starts at `at`: its lead byte's length, cut short at the text's end, and
// one for a byte that cannot lead, so every step moves on.
size_t CharacterBytes(const std::string& text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(length, text.size() - at);
}

// Folds a content line at 75 bytes (74 after the leading blank of a continuation) between characters.
std::string Fold(const std::string& line) {
    std::string out;
    size_t line_bytes = 0, limit = 75;
    for (size_t at = 0; at < line.size();) {
        const size_t bytes = CharacterBytes(line, at);
        if (line_bytes > 0 && line_bytes + bytes > limit) {
            out += "\r\n ";
            line_bytes = 0;
            limit = 74;
        }
        out.append(line, at, bytes);
        line_bytes += bytes;
        at += bytes;
    }
    return out + "\r\n";
}

}  // namespace

CardFields ExtractCardFields(const std::vector<std::string>& lines) {
    CardFields card;
    std::vector<bool> used(lines.size(), false);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!card.note.empty()) card.note += '\n';
        card.note += lines[i];
        Telephone tel;
        std::string email;
        if (FindEmail(lines[i], email)) {
            card.emails.push_back(email);
            used[i] = true;
        } else if (MatchTelephone(lines[i], tel)) {
            card.telephones.push_back(tel);
            used[i] = true;
        }
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (used[i]) continue;
        if (card.title.empty() &&
            HasWord(lines[i],
                    {"manager",   "director",  "engineer",       "designer",   "ceo",       "cto",
                     "cfo",       "president", "officer",        "consultant", "assistant", "developer",
                     "architect", "founder",   "partner",        "specialist", "analyst",   "head",
                     "chief",     "lead",      "representative", "advisor"})) {
            card.title = lines[i];
            used[i] = true;
        } else if (card.organisation.empty() &&
                   HasWord(lines[i], {"ltd", "inc", "gmbh", "llc", "corp", "corporation", "co", "ag", "sa",
                                      "plc", "company", "kg", "bv", "oy", "ab", "srl", "limited"})) {
            card.organisation = lines[i];
            used[i] = true;
        }
    }
    size_t name_at = lines.size();
    for (size_t i = 0; i < lines.size(); ++i)
        if (!used[i] && LooksLikeName(lines[i])) {
            card.full_name = lines[i];
            used[i] = true;
            name_at = i;
            const std::vector<std::string> words = Words(lines[i]);
            card.given_name = words.front();
            card.family_name = words.back();
            break;
        }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (used[i]) continue;
        const bool digit = std::any_of(lines[i].begin(), lines[i].end(),
                                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
        if (digit) {
            card.address_lines.push_back(lines[i]);
            used[i] = true;
        } else if (card.organisation.empty() && (name_at == lines.size() || i > name_at) &&
                   Words(lines[i]).size() >= 2) {
            card.organisation = lines[i];
            used[i] = true;
        }
    }
    return card;
}

CardFields ExtractCardFields(const std::vector<LayoutLine>& lines, const std::string&) {
    std::vector<std::string> texts;
    for (const LayoutLine& line : lines) texts.push_back(line.text);
    return ExtractCardFields(texts);
}

std::string VCard(const CardFields& card) {
    std::string v = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    const std::string name = !card.full_name.empty()      ? card.full_name
                             : !card.organisation.empty() ? card.organisation
                             : !card.emails.empty()       ? card.emails.front()
                                                          : "Unknown";
    v += Fold("FN:" + Escape(name));
    v += Fold("N:" + Escape(card.family_name) + ";" + Escape(card.given_name) + ";;;");
    if (!card.organisation.empty()) v += Fold("ORG:" + Escape(card.organisation));
    if (!card.title.empty()) v += Fold("TITLE:" + Escape(card.title));
    for (const Telephone& tel : card.telephones) v += Fold("TEL;TYPE=" + tel.type + ":" + Escape(tel.number));
    for (const std::string& email : card.emails) v += Fold("EMAIL;TYPE=INTERNET:" + Escape(email));
    if (!card.address_lines.empty()) {
        std::string street;
        for (const std::string& line : card.address_lines) street += (street.empty() ? "" : "\n") + line;
        v += Fold("ADR;TYPE=WORK:;;" + Escape(street) + ";;;;");
    }
    if (!card.note.empty()) v += Fold("NOTE:" + Escape(card.note));
    v += "END:VCARD\r\n";
    return v;
}

}  // namespace outside
