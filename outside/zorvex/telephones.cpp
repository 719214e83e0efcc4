#include "outside/zorvex/telephones.h"

#include <phonenumbers/phonenumbermatch.h>
#include <phonenumbers/phonenumbermatcher.h>
#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "outside/zorvex/card_text.h"
#include "outside/zorvex/card_words.h"

namespace outside::card_rules {

const std::regex& PostalLabelled() {
    static const std::regex kCode(
        R"(\b(cep\s*[:.]?\s*\d{5}-?\d{3}|plz\s*[:.]?\s*\d{4,5}|zip(\s*code)?\s*[:.]?\s*\d{5}(-\d{4})?|)"
        R"(c\.\s?p\.\s*\d{4,5}|post(al)?\s*code\s*[:.]?\s*[A-Z\d]{2,4} ?[A-Z\d]{3})\b)",
        std::regex::icase);
    return kCode;
}

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

bool LocalShaped(const std::string& raw) {
    static const std::regex kGrouped(R"(^\d[\d.\- ]*[.\- ]\d{4}$)");
    static const std::regex kDate(R"(^\d{1,2}[./-]\d{1,2}[./-]\d{4}$)");
    return std::regex_match(raw, kGrouped) && !std::regex_match(raw, kDate);
}

std::vector<Telephone> FindTelephones(const std::string& line, const std::string& region, std::string& rest,
                                      std::string* carried) {
    using i18n::phonenumbers::PhoneNumberMatch;
    using i18n::phonenumbers::PhoneNumberMatcher;
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    // A dash between a number's groups is read as a colon now and then ("Tel:2685:2862"); a time's groups
    // are of two digits.
    static const std::regex kColon(R"(\b(\d{3,5}):(\d{4})\b)");
    std::string text = std::regex_replace(DigitsRepaired(line), kColon, "$1-$2");
    // A postal code after its label ("CEP 01014-000", "PLZ 10117") is dialled by nobody.
    std::smatch postal;
    if (std::regex_search(text, postal, PostalLabelled()))
        text = postal.prefix().str() + std::string(postal.length(), ' ') + postal.suffix().str();
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
    std::string area = carried ? *carried : "";  // the area code of the line's last whole number
    // The length of the region's whole fixed-line numbers, from the numbering plan's own example.
    size_t whole = 0;
    i18n::phonenumbers::PhoneNumber example;
    std::string example_area;
    if (!region.empty() && util.GetExampleNumberForType(region, PhoneNumberUtil::FIXED_LINE, &example)) {
        whole = std::to_string(example.national_number()).size();
        std::string national;
        util.GetNationalSignificantNumber(example, &national);
        example_area = national.substr(0, static_cast<size_t>(util.GetLengthOfGeographicalAreaCode(example)));
    }
    // A whole number the plan no longer knows, printed before the region's mobiles took a leading 9
    // ("(11) 9933-6564" in Brazil), is a mobile one where the plan types it so with that 9; it stays as
    // printed. Only one that starts with a 9 itself: the old mobile range, where 6 to 8 also held other
    // services (a radio's "6909-6968").
    const auto mobile_before_ninth = [&](const i18n::phonenumbers::PhoneNumber& number) {
        const std::string national = std::to_string(number.national_number());
        if (example_area.empty() || national.size() != whole || national[example_area.size()] != '9')
            return false;
        i18n::phonenumbers::PhoneNumber ninth = number;
        ninth.set_national_number(std::stoull(national.substr(0, example_area.size()) + "9" +
                                              national.substr(example_area.size())));
        return !util.IsValidNumber(number) && util.IsValidNumber(ninth) &&
               util.GetNumberType(ninth) == PhoneNumberUtil::MOBILE;
    };
    PhoneNumberMatch match;
    while (matcher.HasNext() && matcher.Next(&match)) {
        const std::string before = spaced.substr(taken, match.start() - taken);
        const Label here = TelephoneLabel(before);
        if (here != Label::kNone) label = here;  // "Tel/Fax" style lines keep the last label
        rest += before;
        taken = match.start() + match.length();
        // Without a label or a '+' a run of digits is as likely a postal code or a date: only a number
        // the numbering plan knows is taken then, or a local one printed as telephones are.
        const bool marked = here != Label::kNone || match.raw_string().front() == '+';
        i18n::phonenumbers::PhoneNumber number = match.number();
        // Shorter than the region's whole numbers, yet possible: a local one, its area code left out.
        const bool local = !util.IsValidNumber(number) && match.raw_string().front() != '+' &&
                           util.IsPossibleNumber(number) &&
                           std::to_string(number.national_number()).size() < whole;
        // A local number listed after a whole one ("(11) 2747-8430 / 2746-6245") shares its area code.
        if (local && !area.empty()) {
            i18n::phonenumbers::PhoneNumber with_area = number;
            with_area.set_national_number(std::stoull(area + std::to_string(number.national_number())));
            if (util.IsValidNumber(with_area)) number = with_area;
        }
        const bool dialable = util.IsValidNumber(number);
        // A number after a '+' that no plan dials is left to the rule for such numbers below, which
        // takes only one of a telephone's length: the matcher takes "+43262" (a Nextel ID's tail, "35*65*
        // 43262" read "35°65+43262") as a local number of Austria.
        const bool unknown_international = !dialable && match.raw_string().front() == '+';
        if (unknown_international || (!dialable && !marked && !(local && LocalShaped(match.raw_string())))) {
            rest += match.raw_string();
            continue;
        }
        Telephone tel;
        if (dialable || !local) {
            util.Format(number, PhoneNumberUtil::INTERNATIONAL, &tel.number);
        } else {
            // No plan dials it without the area code the card leaves out: kept as printed, not guessed.
            tel.number = match.raw_string();
        }
        // An unlabelled number is a mobile one where the numbering plan says so.
        Label kind = label;
        if (kind == Label::kNone && util.GetNumberType(match.number()) == PhoneNumberUtil::MOBILE)
            kind = Label::kCell;
        if (kind == Label::kNone && !dialable && !local && mobile_before_ninth(number)) kind = Label::kCell;
        // A local number is typed as the plan would type it behind the region's own example area code
        // ("9.9679-9468" is a mobile one in any Brazilian area); the number itself stays as printed.
        if (kind == Label::kNone && local && !dialable && !example_area.empty()) {
            i18n::phonenumbers::PhoneNumber typed = number;
            typed.set_national_number(std::stoull(example_area + std::to_string(number.national_number())));
            if (util.IsValidNumber(typed) && util.GetNumberType(typed) == PhoneNumberUtil::MOBILE)
                kind = Label::kCell;
        }
        tel.type = kind == Label::kFax ? "FAX" : kind == Label::kCell ? "CELL" : "WORK,VOICE";
        tel.labelled = label != Label::kNone;
        if (dialable) {
            std::string national;
            util.GetNationalSignificantNumber(number, &national);
            area = national.substr(0, static_cast<size_t>(util.GetLengthOfGeographicalAreaCode(number)));
        }
        found.push_back(std::move(tel));
    }
    rest += spaced.substr(taken);
    if (carried) *carried = area;
    // A number after a '+' that the numbering plans do not know (a sample card's "+123-456-7890") is
    // still the card's number, and so is a run of nine digits or more that has its line to itself:
    // postal codes and dates are shorter. Both are kept as printed, in international form where the
    // country code is plain.
    static const std::regex kPlus(R"((^|[\s:.])(\+\d[\d\-. ()/]{5,}\d))");
    static const std::regex kAlone(R"(^\W*(\(?\d[\d\-. ()/]{7,}\d)\W*$)");
    std::smatch m;
    std::string kept, remaining = rest;
    while (std::regex_search(remaining, m, kPlus)) {
        const std::string before = m.prefix().str() + m[1].str();
        const std::string digits = m[2].str();
        const Label here = TelephoneLabel(kept + before);
        kept += before;
        remaining = m.suffix().str();
        i18n::phonenumbers::PhoneNumber number;
        if (util.Parse(digits, "ZZ", &number) != PhoneNumberUtil::NO_PARSING_ERROR) {
            kept += digits;
            continue;
        }
        Telephone tel;
        util.Format(number, PhoneNumberUtil::INTERNATIONAL, &tel.number);
        tel.type = here == Label::kFax ? "FAX" : here == Label::kCell ? "CELL" : "WORK,VOICE";
        tel.labelled = here != Label::kNone;
        found.push_back(std::move(tel));
    }
    rest = kept + remaining;
    int digit_count = 0;
    for (char c : rest) digit_count += IsDigit(c);
    if (found.empty() && digit_count >= 9 && !region.empty() && std::regex_match(rest, m, kAlone)) {
        i18n::phonenumbers::PhoneNumber number;
        if (util.Parse(m[1].str(), region, &number) == PhoneNumberUtil::NO_PARSING_ERROR) {
            Telephone tel;
            util.Format(number, PhoneNumberUtil::INTERNATIONAL, &tel.number);
            tel.type = mobile_before_ninth(number) ? "CELL" : "WORK,VOICE";
            found.push_back(std::move(tel));
            rest.clear();
        }
    }
    return found;
}

void OneEntryPerNumber(std::vector<Telephone>& telephones) {
    // The same number under the same type, read twice: once, labelled if either reading was.
    for (size_t k = telephones.size(); k-- > 1;) {
        const Telephone& tel = telephones[k];
        const auto earlier =
            std::find_if(telephones.begin(), telephones.begin() + static_cast<long>(k),
                         [&](const Telephone& t) { return t.number == tel.number && t.type == tel.type; });
        if (earlier == telephones.begin() + static_cast<long>(k)) continue;
        earlier->labelled = earlier->labelled || tel.labelled;
        telephones.erase(telephones.begin() + static_cast<long>(k));
    }
    const auto digits = [](const std::string& number) {
        std::string out;
        for (char c : number)
            if (IsDigit(c)) out += c;
        return out;
    };
    // The same number: the same digits, or a local one's (six or more) ending a whole one's.
    const auto same_number = [&](const Telephone& local, const Telephone& whole) {
        const std::string a = digits(local.number), b = digits(whole.number);
        return a == b ||
               (a.size() >= 6 && b.size() > a.size() && b.compare(b.size() - a.size(), a.size(), a) == 0);
    };
    std::vector<Telephone> kept;
    for (const Telephone& tel : telephones)
        if (tel.labelled || std::none_of(telephones.begin(), telephones.end(), [&](const Telephone& t) {
                return t.labelled && t.type != tel.type && same_number(tel, t);
            }))
            kept.push_back(tel);
    telephones = std::move(kept);
}

std::string BeforeTheNumbers(const std::string& line, const std::string& region) {
    const std::vector<std::string> words = Words(line);
    const auto numbers = [&](size_t from) {
        std::string tail, rest;
        for (size_t w = from; w < words.size(); ++w) tail += (tail.empty() ? "" : " ") + words[w];
        std::vector<std::string> found;
        for (const Telephone& tel : FindTelephones(tail, region, rest)) found.push_back(tel.number);
        return found;
    };
    const std::vector<std::string> all = numbers(0);
    if (all.empty()) return {};
    size_t k = 0;
    while (k + 1 < words.size() && numbers(k + 1) == all) ++k;
    // A telephone icon just before the number is read as a lone letter ("São Paulo, SP - B (11) ...") or
    // two small ones ("- SP qr 3569-6905"); a state's two letters are capitals.
    const auto icon = [&](const std::string& w) {
        const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
        const auto small = [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; };
        return (w.size() == 1 && letter(w[0])) || (w.size() == 2 && small(w[0]) && small(w[1]));
    };
    // A word with a colon just before the number labels it, however misread ("携帯:" read "HEP:").
    const auto label = [&](const std::string& w) { return IsTelephoneLabelWord(w) || w.back() == ':'; };
    while (k > 0 && (label(words[k - 1]) || SignsOnly(words[k - 1]) || icon(words[k - 1]))) --k;
    std::string out;
    for (size_t w = 0; w < k; ++w) out += (out.empty() ? "" : " ") + words[w];
    return out;
}

}  // namespace outside::card_rules
