#include "outside/zorvex/vcard.h"

#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>
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

// Recognition may put a blank after a dot or around the "@"; addresses are written in lower case.
bool FindEmail(const std::string& line, std::string& email) {
    static const std::regex kEmail(R"([A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+)");
    static const std::regex kLooseSigns(R"(\s*([.@])\s*)");
    if (line.find('@') == std::string::npos) return false;
    // The label goes first, or joining the loose dot of "E-mail. anna@..." would keep it.
    std::string text = line;
    static const std::regex kLabel(R"(^\s*(e-?mail|mail|e|courriel|correo|posta)\s*[.:]?\s+)",
                                   std::regex::icase);
    text = std::regex_replace(text, kLabel, "");
    const std::string joined = std::regex_replace(text, kLooseSigns, "$1");
    std::smatch m;
    if (!std::regex_search(joined, m, kEmail)) return false;
    email = Lower(m[0].str());
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

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool HasDigit(const std::string& text) { return std::any_of(text.begin(), text.end(), IsDigit); }

// A word lowered with the dots, colons and commas around it removed.
std::string Bare(const std::string& word) {
    std::string out;
    for (char c : Lower(word))
        if (c != '.' && c != ':' && c != ';' && c != ',' && c != '(' && c != ')' && c != '|') out += c;
    return out;
}

bool InList(const std::string& word, std::initializer_list<const char*> keys) {
    const std::string bare = Bare(word);
    for (const char* key : keys)
        if (bare == key) return true;
    return false;
}

// Job words in the languages the card program reads; a line with one of them is a title.
bool IsTitleWord(const std::string& word) {
    return InList(
        word, {"manager",   "director",   "engineer",   "designer",       "ceo",         "cto",
               "cfo",       "coo",        "president",  "officer",        "consultant",  "assistant",
               "developer", "architect",  "founder",    "partner",        "specialist",  "analyst",
               "head",      "chief",      "lead",       "representative", "advisor",     "researcher",
               "scientist", "professor",  "sales",      "marketing",      "executive",   "coordinator",
               "owner",     "secretary",  "accountant", "attorney",       "lawyer",      "geschäftsführer",
               "leiter",    "leiterin",   "vertrieb",   "ingenieur",      "berater",     "beraterin",
               "directeur", "directrice", "gérant",     "ingénieur",      "responsable", "chef",
               "director",  "gerente",    "jefe",       "ingeniero",      "direttore",   "responsabile",
               "directeur", "manager",    "directör",   "direktor",       "direktør",    "johtaja",
               "dyrektor",  "kierownik",  "ředitel",    "igazgató",       "müdür",       "riaditeľ"});
}

// Legal forms that end (or start) a company's name.
bool IsLegalForm(const std::string& word) {
    return InList(word, {"ltd",  "inc", "gmbh", "llc",     "corp",    "corporation", "co",  "ag",  "sa",
                         "sarl", "sas", "plc",  "company", "kg",      "bv",          "nv",  "oy",  "ab",
                         "as",   "asa", "srl",  "spa",     "limited", "kk",          "pte", "pty", "sl",
                         "lda",  "sp",  "zoo",  "sro",     "kft",     "group",       "gbr", "ug",  "se"});
}

bool IsHonorific(const std::string& word) {
    return InList(word, {"dr", "mr", "mrs", "ms", "prof", "herr", "frau", "mme", "m"});
}

enum class Label { kNone, kWork, kCell, kFax };

// The telephone label just before a number: "T", "TEL", "Phone", "M", "Mobile", "F", "FAX" and their
// forms in other languages.
Label TelephoneLabel(const std::string& before) {
    const std::vector<std::string> words = Words(before);
    if (words.empty()) return Label::kNone;
    const std::string word = Bare(words.back());
    if (InList(word, {"m", "mob", "mobile", "cell", "cellular", "handy", "mobil", "portable", "port", "móvil",
                      "movil", "celular", "cellulare", "gsm", "mobiel", "matkapuhelin", "komórka", "tel/m"}))
        return Label::kCell;
    if (InList(word, {"f", "fax", "telefax", "fx"})) return Label::kFax;
    if (InList(word,
               {"t", "tel", "tél", "phone", "ph", "telephone", "téléphone", "telefon", "telefono", "teléfono",
                "telefone", "office", "direct", "work", "p", "puh", "tlf", "telefoon", "d"}))
        return Label::kWork;
    return Label::kNone;
}

// Recognition reads a 0 as "O" and a 1 as "l" now and then; inside a run of digits they are digits.
std::string DigitsRepaired(const std::string& line) {
    std::string out = line;
    // Token by token: one of digits and number signs (at least three digits) with an O or l among them.
    for (size_t start = 0; start < out.size();) {
        size_t end = out.find(' ', start);
        if (end == std::string::npos) end = out.size();
        int digits = 0;
        bool number_like = true;
        for (size_t i = start; i < end; ++i) {
            const char c = out[i];
            if (IsDigit(c))
                ++digits;
            else if (c != 'O' && c != 'o' && c != 'l' && c != 'I' && c != '-' && c != '.' && c != '(' &&
                     c != ')' && c != '/' && c != '+')
                number_like = false;
        }
        if (number_like && digits >= 3) {
            for (size_t i = start; i < end; ++i) {
                if (out[i] == 'O' || out[i] == 'o') out[i] = '0';
                if (out[i] == 'l' || out[i] == 'I') out[i] = '1';
            }
        }
        start = end + 1;
    }
    return out;
}

// The telephone numbers on a line, found and written in international form by libphonenumber; what is
// left of the line (labels, separators) goes back in `rest`.
std::vector<Telephone> FindTelephones(const std::string& line, const std::string& region, std::string& rest) {
    using i18n::phonenumbers::PhoneNumberMatch;
    using i18n::phonenumbers::PhoneNumberMatcher;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    const std::string text = DigitsRepaired(line);
    // "T.+82.53..." glues the label to the number; a blank after a label's dot lets the matcher see it.
    std::string spaced;
    for (size_t i = 0; i < text.size(); ++i) {
        spaced += text[i];
        if ((text[i] == '.' || text[i] == ':') && i + 1 < text.size() &&
            (text[i + 1] == '+' || text[i + 1] == '('))
            spaced += ' ';
    }
    PhoneNumberMatcher matcher(util, spaced, region.empty() ? "ZZ" : region, PhoneNumberMatcher::POSSIBLE,
                               20);
    std::vector<Telephone> found;
    rest.clear();
    size_t taken = 0;
    Label label = Label::kNone;
    PhoneNumberMatch match;
    while (matcher.HasNext() && matcher.Next(&match)) {
        const std::string before = spaced.substr(taken, match.start() - taken);
        const Label here = TelephoneLabel(before);
        if (here != Label::kNone) label = here;  // "Tel/Fax" style lines keep the last label
        rest += before;
        taken = match.start() + match.length();
        // Without a label or a '+' a run of digits is as likely a postal code or a date: only a number
        // the numbering plan knows is taken then.
        const bool marked = here != Label::kNone || match.raw_string().front() == '+';
        if (!marked && !util.IsValidNumber(match.number())) {
            rest += match.raw_string();
            continue;
        }
        Telephone tel;
        util.Format(match.number(), PhoneNumberUtil::INTERNATIONAL, &tel.number);
        tel.type = label == Label::kFax ? "FAX" : label == Label::kCell ? "CELL" : "WORK,VOICE";
        found.push_back(std::move(tel));
    }
    rest += spaced.substr(taken);
    return found;
}

std::string FindWeb(const std::string& line) {
    static const std::regex kWeb(R"((https?://[^\s]+|www\.[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+[^\s]*))",
                                 std::regex::icase);
    std::smatch m;
    if (line.find('@') != std::string::npos || !std::regex_search(line, m, kWeb)) return {};
    return Lower(m[0].str());
}

// Two to four words, each starting with a capital (or a letter beyond ASCII), no digits and no signs
// of a contact line; an honorific may lead.
bool NameShaped(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2 || words.size() > 4 || HasDigit(line)) return false;
    for (const std::string& w : words) {
        const auto first = static_cast<unsigned char>(w[0]);
        if (!(std::isupper(first) || first >= 0x80)) return false;
        for (unsigned char c : w)
            if (!std::isalpha(c) && c < 0x80 && c != '.' && c != '-' && c != '\'') return false;
        if (IsTitleWord(w) || IsLegalForm(w)) return false;
    }
    return true;
}

bool AnyWord(const std::string& line, bool (*test)(const std::string&)) {
    for (const std::string& w : Words(line))
        if (test(w)) return true;
    return false;
}

// A line that ends an address: a postal code (four to six digits, a British or Canadian code) or a US
// state and ZIP code.
bool HasPostalCode(const std::string& line) {
    static const std::regex kCode(
        R"((\b\d{4,6}\b|\b[A-Z]{1,2}\d[A-Z\d]? ?\d[A-Z]{2}\b|\b[A-Z]\d[A-Z] ?\d[A-Z]\d\b))");
    return std::regex_search(line, kCode);
}

// The address's last line split into town, region and postal code where their shape is plain.
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

}  // namespace

CardFields ExtractCardFields(const std::vector<LayoutLine>& layout, const std::string& region) {
    CardFields card;
    std::vector<LayoutLine> lines;
    for (const LayoutLine& line : layout) {
        LayoutLine clean = line;
        clean.text = ValidUtf8(line.text);
        if (Words(clean.text).empty()) continue;
        card.note += (card.note.empty() ? "" : "\n") + clean.text;
        lines.push_back(std::move(clean));
    }
    const size_t n = lines.size();
    std::vector<bool> used(n, false);
    for (size_t i = 0; i < n; ++i) {
        std::string email;
        if (FindEmail(lines[i].text, email)) {
            card.emails.push_back(email);
            used[i] = true;
            continue;
        }
        if (const std::string web = FindWeb(lines[i].text); !web.empty()) {
            if (card.web.empty()) card.web = web;
            used[i] = true;
            continue;
        }
        std::string rest;
        std::vector<Telephone> tels = FindTelephones(lines[i].text, region, rest);
        if (!tels.empty()) {
            card.telephones.insert(card.telephones.end(), tels.begin(), tels.end());
            used[i] = true;
        }
    }
    // The name: of the name-shaped lines, the one in the largest print.
    size_t name_at = n;
    for (size_t i = 0; i < n; ++i)
        if (!used[i] && NameShaped(lines[i].text) &&
            (name_at == n || lines[i].height > lines[name_at].height))
            name_at = i;
    if (name_at < n) {
        used[name_at] = true;
        card.full_name = lines[name_at].text;
        std::vector<std::string> words = Words(card.full_name);
        if (words.size() > 2 && IsHonorific(words.front())) {
            card.name_prefix = words.front();
            words.erase(words.begin());
        }
        card.given_name = words.front();
        card.family_name = words.back();
    }
    // The title: a line with a job word, the nearest to the name.
    size_t title_at = n;
    for (size_t i = 0; i < n; ++i) {
        if (used[i] || !AnyWord(lines[i].text, IsTitleWord) || HasDigit(lines[i].text)) continue;
        const auto distance = [&](size_t k) {
            return name_at == n ? k : (k > name_at ? k - name_at : name_at - k);
        };
        if (title_at == n || distance(i) < distance(title_at)) title_at = i;
    }
    if (title_at < n) {
        card.title = lines[title_at].text;
        used[title_at] = true;
    }
    // The organisation: a legal form, else the largest print left if larger than the name's, else the
    // first line when it comes before the name.
    size_t org_at = n;
    for (size_t i = 0; i < n && org_at == n; ++i)
        if (!used[i] && AnyWord(lines[i].text, IsLegalForm) && !HasPostalCode(lines[i].text)) org_at = i;
    const auto org_shaped = [&](size_t i) {
        const size_t words = Words(lines[i].text).size();
        return !used[i] && words <= 4 && !HasDigit(lines[i].text) &&
               std::isalpha(static_cast<unsigned char>(lines[i].text[0]));
    };
    if (org_at == n && name_at < n)
        for (size_t i = 0; i < n; ++i)
            if (org_shaped(i) && lines[i].height > lines[name_at].height * 5 / 4 &&
                (org_at == n || lines[i].height > lines[org_at].height))
                org_at = i;
    if (org_at == n && name_at < n && name_at > 0 && org_shaped(0)) org_at = 0;
    if (org_at < n) {
        card.organisation = lines[org_at].text;
        used[org_at] = true;
    }
    // The address: the lines left that carry a digit, and a line of words just before one of them in the
    // same block ("Paddington, London, W2 6BD" after "2 Kingdom Street"), from the first such line to
    // the one with the postal code.
    for (size_t i = 0; i < n; ++i) {
        if (used[i]) continue;
        // A labelled number that could not be read as one stays in the note only.
        const std::vector<std::string> words = Words(lines[i].text);
        const bool digit = HasDigit(lines[i].text) && TelephoneLabel(words.front()) == Label::kNone;
        const bool joins = !digit && i + 1 < n && !used[i + 1] && HasPostalCode(lines[i + 1].text) &&
                           lines[i + 1].block == lines[i].block && Words(lines[i].text).size() <= 6 &&
                           Lower(lines[i].text).find("www") == std::string::npos;
        if (digit || joins) {
            card.address_lines.push_back(lines[i].text);
            used[i] = true;
        }
    }
    SplitAddress(card);
    return card;
}

std::string VCard(const CardFields& card) {
    std::string v = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    const std::string name = !card.full_name.empty()      ? card.full_name
                             : !card.organisation.empty() ? card.organisation
                             : !card.emails.empty()       ? card.emails.front()
                                                          : "Unknown";
    v += Fold("FN:" + Escape(name));
    v += Fold("N:" + Escape(card.family_name) + ";" + Escape(card.given_name) + ";;" +
              Escape(card.name_prefix) + ";");
    if (!card.organisation.empty()) v += Fold("ORG:" + Escape(card.organisation));
    if (!card.title.empty()) v += Fold("TITLE:" + Escape(card.title));
    for (const Telephone& tel : card.telephones) v += Fold("TEL;TYPE=" + tel.type + ":" + Escape(tel.number));
    for (const std::string& email : card.emails) v += Fold("EMAIL;TYPE=INTERNET:" + Escape(email));
    if (!card.web.empty()) v += Fold("URL:" + Escape(card.web));
    if (!card.address_lines.empty()) {
        // The parts where the rules could tell them, else every line in the street part.
        std::string street = card.address.street;
        if (card.address.postal_code.empty() && card.address.locality.empty())
            for (const std::string& line : card.address_lines) street += (street.empty() ? "" : "\n") + line;
        v += Fold("ADR;TYPE=WORK:;;" + Escape(street) + ";" + Escape(card.address.locality) + ";" +
                  Escape(card.address.region) + ";" + Escape(card.address.postal_code) + ";");
    }
    if (!card.note.empty()) v += Fold("NOTE:" + Escape(card.note));
    v += "END:VCARD\r\n";
    return v;
}

}  // namespace outside
