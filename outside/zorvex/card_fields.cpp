#include "outside/zorvex/card_fields.h"

#include <phonenumbers/phonenumberutil.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "outside/zorvex/card_address.h"
#include "outside/zorvex/card_text.h"
#include "outside/zorvex/card_words.h"
#include "outside/zorvex/net_addresses.h"
#include "outside/zorvex/telephones.h"
#include "outside/zorvex/vcard.h"

namespace outside {

using namespace card_rules;  // NOLINT: the card rules are this file's own helpers

namespace {

// Two to four words, each starting with a capital (or a letter beyond ASCII) but for a family name's
// particle or a slash between two people's names, no digits and no signs of a contact line; an honorific
// may lead.
bool NameShaped(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2 || words.size() > 4 || HasDigit(line)) return false;
    for (size_t k = 0; k < words.size(); ++k) {
        const std::string& w = words[k];
        const auto first = static_cast<unsigned char>(w[0]);
        // Family names' particles stay in lower case ("Sanne de Vries", "Ludwig van Beek").
        const bool particle = k > 0 && k + 1 < words.size() && IsParticle(w);
        // Two people sharing a card ("Eliete / Ana Paula") are parted by a slash.
        if (w == "/" && k > 0 && k + 1 < words.size()) continue;
        if (TelephoneLabel(w) != Label::kNone && Bare(w).size() >= 3) return false;  // "Tel / Fax"
        // A Latin-1 letter in lower case ("ção de Impressoras", the rest of a cut word) starts no name.
        const bool lower_latin = first == 0xC3 && w.size() > 1 && static_cast<unsigned char>(w[1]) >= 0x9F;
        // Nor does a dash, a quote or another sign ("— Ses CS Cer"): U+0080 to U+00BF, U+2000 to U+2BFF.
        const bool sign = first == 0xC2 || first == 0xE2;
        if (!(std::isupper(first) || (first >= 0x80 && !lower_latin && !sign) || particle)) return false;
        for (unsigned char c : w)
            if (!std::isalpha(c) && c < 0x80 && c != '.' && c != '-' && c != '\'') return false;
        if (IsTitleWord(w) || IsLegalForm(w) || IsBusinessWord(w) || IsWeekday(w)) return false;
        // A street named after a person ("Rua Antonio Carneiro", the rest of its address on another line,
        // or "Av. Waldemar Carlos Pereii", its number lost) is no name; a short street word that is a
        // name's initial or a name may be one ("R. OLIVEIRA", "Al", "Rod").
        if (k == 0 && IsStreetWord(w) && !InList(w, {"r", "al", "rod"})) return false;
        // A line ending in "and" was cut short of its second part ("FLÁVIO E", the rest of "FLÁVIO E
        // VALDEQUE" left unread).
        if (k > 0 && k + 1 == words.size() && InList(w, {"e", "y", "et", "und", "and", "&"})) return false;
    }
    return true;
}

size_t CommonRun(const std::string& a, const std::string& b) {
    size_t best = 0;
    std::vector<size_t> previous(b.size() + 1, 0), current(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            current[j] = a[i - 1] == b[j - 1] ? previous[j - 1] + 1 : 0;
            best = std::max(best, current[j]);
        }
        std::swap(previous, current);
    }
    return best;
}

// The line names the e-mail's owner: it holds a part of the local part ("laura.becker"), or its initials
// are the local part ("mj"), or an initial and the family name are ("jromero").
bool NamesPerson(const std::string& line, const AddressHints& hints) {
    if (hints.person.empty()) return false;
    const std::string compact = Compact(line);
    for (const std::string& part : hints.person)
        if (part.size() >= 3 && compact.find(Compact(part)) != std::string::npos) return true;
    const std::vector<std::string> words = Words(line);
    std::string initials;
    for (const std::string& w : words) initials += Compact(w).substr(0, 1);
    const std::string local = Compact(hints.person_compact);
    if (words.size() >= 2 && local == initials) return true;
    return words.size() >= 2 && local.size() > 2 && local == initials.substr(0, 1) + Compact(words.back());
}

// A name Tesseract letter-spaced ("Ai no Vi rta ne n") put back together where its letters are exactly
// the e-mail's local part ("aino.virtanen" -> "Aino Virtanen"); empty when they are not.
std::string Respaced(const std::string& line, const AddressHints& hints) {
    if (hints.person.size() < 2) return {};
    std::string letters;
    for (char c : line) {
        if (c == ' ') continue;
        if (!std::isalpha(static_cast<unsigned char>(c))) return {};
        letters += c;
    }
    if (Lower(letters) != hints.person_compact) return {};
    std::string out;
    size_t at = 0;
    for (const std::string& part : hints.person) {
        out += (out.empty() ? "" : " ") + letters.substr(at, part.size());
        at += part.size();
    }
    return out;
}

// The line without the signs before and after its words: a band's edges or a logo's strokes read as
// dashes or bars ("- MECÂNICA, FUNILARIA E PINTURA —").
std::string WithoutSignsAtEnds(const std::string& line) {
    std::vector<std::string> words = Words(line);
    const auto letters = std::find_if_not(words.begin(), words.end(), SignsOnly);
    std::string out;
    for (auto w = letters; w != words.end(); ++w) out += (out.empty() ? "" : " ") + *w;
    // A logo's registered sign before the line, read as a quote glued to its first word ("\"IT Solutions").
    static const std::regex kQuote(R"(^("|'|“|”|‘|’|«)+(?=[A-Za-z\x80-\xff]))");
    return WithoutTrailingSigns(std::regex_replace(out, kQuote, ""));
}

// The two lines share some of their width: one stands under the other.
bool Overlapping(const LayoutLine& a, const LayoutLine& b) {
    return std::min(a.right, b.right) > std::max(a.left, b.left);
}

// Whether two lines stand in one place: each covers most (three quarters) of the other's box, as two
// readings of one row do.
bool SamePlace(const LayoutLine& a, const LayoutLine& b) {
    const long width = std::min(a.right, b.right) - std::max(a.left, b.left);
    const long height = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    if (width <= 0 || height <= 0) return false;
    const auto area = [](const LayoutLine& l) {
        return static_cast<long>(l.right - l.left) * (l.bottom - l.top);
    };
    return width * height * 4 >= std::max(area(a), area(b)) * 3;
}

// `next` carries on the line before it: same block, same print within a sixth, under it.
bool RunsOn(const LayoutLine& line, const LayoutLine& next) {
    return next.block == line.block && std::abs(next.height - line.height) * 6 <= line.height &&
           Overlapping(line, next);
}

// `next` goes on from `name`, a trade's name of four words or more just above it, in print as large or up
// to a quarter larger ("MECÂNICA, FUNILARIA E PINTURA" / "FLÁVIO E VALDEQUE"): a trade's name goes on to
// whose it is, where a person's name would stand apart from it. Lettering on a band is read with the
// band's edges as signs around it, in boxes as tall as the band and not the print: under such a line,
// print a quarter smaller goes on from it. Tesseract lays out such lines in blocks of their own now and
// then: in another block, the next line stands under it within its own height.
bool GoesOnFromTradeName(const LayoutLine& name, const LayoutLine& next) {
    const size_t words = Words(WithoutSignsAtEnds(name.text)).size();
    const bool banded = words < Words(name.text).size();
    return words >= 4 && Overlapping(name, next) && next.top >= name.top &&
           (next.block == name.block || next.top - name.bottom <= next.height) &&
           (next.height >= name.height || (banded && next.height * 4 >= name.height * 3)) &&
           next.height * 4 <= name.height * 5;
}

// `brand`, one or two words in print a quarter larger or more, stands just above `trade`: no more than
// the brand's own height between them (a logo's name leaves room around it).
bool BrandOver(const LayoutLine& brand, const LayoutLine& trade) {
    return Words(brand.text).size() <= 2 && brand.height * 4 >= trade.height * 5 &&
           Overlapping(brand, trade) && trade.top >= brand.bottom && trade.top - brand.bottom <= brand.height;
}

// `upper` stands just above `lower` in the same block, in print a third smaller at most (a line without
// descenders over one with them), no further below it than its own height.
bool LargePrintAbove(const LayoutLine& upper, const LayoutLine& lower) {
    return upper.block == lower.block && Overlapping(upper, lower) && upper.height * 4 >= lower.height * 3 &&
           upper.height <= lower.height && lower.top >= upper.bottom &&
           lower.top - upper.bottom <= upper.height;
}

// The line just above a title is its person's name when it is one to three words of letters (a given
// name alone, or one in lower case) in print no smaller than the title's, above it. A name in capitals
// has no descenders, so its words' boxes may stand a fifth lower than a title's in the same print.
bool NameAboveTitle(const LayoutLine& line, const LayoutLine& title) {
    const std::vector<std::string> words = Words(line.text);
    if (words.empty() || words.size() > 3 || line.height * 5 < title.height * 4 || !Overlapping(line, title))
        return false;
    // A name starts with a capital; a line starting in lower case is a piece of one ("do Nogue").
    if (std::islower(static_cast<unsigned char>(words.front()[0])) != 0) return false;
    for (const std::string& w : words) {
        if (IsTitleWord(w) || IsLegalForm(w) || LetterCount(w) < 2) return false;
        for (unsigned char c : w)
            if (!std::isalpha(c) && c < 0x80 && c != '.' && c != '-' && c != '\'') return false;
    }
    return true;
}

// Large print letter-spaced by recognition ("An na Kowalczyk"): a fragment of one to three lower-case
// letters after a short capitalised one is the rest of its word.
std::string FragmentsJoined(const std::string& line) {
    std::vector<std::string> words;
    for (const std::string& w : Words(line)) {
        const bool fragment = w.size() <= 3 && std::all_of(w.begin(), w.end(), [](char c) {
                                  return std::islower(static_cast<unsigned char>(c)) != 0;
                              });
        if (fragment && !words.empty() && words.back().size() <= 3 &&
            std::isupper(static_cast<unsigned char>(words.back()[0])) && !IsParticle(w))
            words.back() += w;
        else
            words.push_back(w);
    }
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

// A shop card signs a number with its owner's name after a slash ("2783-6958 - ID 45*8*12146 / Valdeci"):
// one or two capitalised words of letters at the line's end, a number just before the slash. A dash
// there parts the shop's own name ("Tel/Fax: 2131-3400 - Patricauto"), not its owner's. Empty when
// the line ends otherwise.
std::string NameAfterNumber(const std::string& line) {
    static const std::regex kSigned(R"(\d\s*/\s*([^\s\d/]+( [^\s\d/]+)?)\s*$)");
    std::smatch m;
    if (!std::regex_search(line, m, kSigned)) return {};
    for (const std::string& w : Words(m[1].str())) {
        const auto first = static_cast<unsigned char>(w[0]);
        const bool latin_capital = first == 0xC3 && w.size() > 1 && static_cast<unsigned char>(w[1]) < 0x9F;
        if (!(std::isupper(first) || latin_capital) || !HasWordOfLetters(w, 3) || IsTelephoneLabelWord(w) ||
            IsTitleWord(w) || IsLegalForm(w) || IsBusinessWord(w) || IsStreetWord(w) || IsWeekday(w) ||
            // The number's carrier, messenger or extension is printed there too ("9.8697-6934 / Vivo").
            InList(w, {"vivo", "claro", "tim", "nextel", "whatsapp", "whats", "zap", "telegram", "signal",
                       "skype", "viber", "wechat", "line", "ramal", "ext", "durchwahl", "poste"}))
            return {};
        for (unsigned char c : w)
            if (!std::isalpha(c) && c < 0x80) return {};
    }
    return m[1].str();
}

// A slogan ("Innovation in Digital Solutions", "Trabalhamos com todas as marcas"): a company's name, a
// street or a town has no such small words.
bool SloganShaped(const std::string& line) {
    return AnyWord(line, [](const std::string& w) {
        return InList(w, {"in", "for", "your", "with", "to", "we", "our", "you", "für", "pour", "para", "dla",
                          "voor", "com", "con"});
    });
}

}  // namespace

bool HasCompanyLegalForm(const std::string& line) { return HasLegalForm(line) || HasCjkLegalForm(line); }

bool TitleShaped(const std::string& line) {
    return AnyWord(line, IsJobWord) && !HasDigit(line) && Words(line).size() <= 6;
}

bool LooksLikeContactLine(const std::string& line) {
    // An e-mail's label stands where its "@" was misread ("E-mail: sonaocasaúbol.").
    const std::string lower = Lower(line);
    if (line.find('@') != std::string::npos || lower.find("www") != std::string::npos ||
        lower.find("mail") != std::string::npos || line.find('+') != std::string::npos)
        return true;
    int digits = 0;
    for (char c : line) digits += IsDigit(c);
    if (digits >= 6) return true;
    // A label leads its number; the number itself may be misread into letters ("Tel: (II) 2S47-...").
    const std::vector<std::string> words = Words(line);
    return words.size() >= 2 && digits >= 2 && TelephoneLabel(words.front()) != Label::kNone;
}

ContactCount ContactEvidence(const std::string& line, const std::string& region) {
    using i18n::phonenumbers::PhoneNumberUtil;
    const PhoneNumberUtil& util = *PhoneNumberUtil::GetInstance();
    ContactCount evidence;
    std::string email, rest = line;
    // An address of the usual shape: a top-level domain of letters only.
    static const std::regex kWhole(R"(^[a-z0-9._%+-]+@[a-z0-9-]+(\.[a-z0-9-]+)*\.[a-z]{2,6}$)");
    if (FindEmail(line, email, rest, region) && std::regex_match(email, kWhole)) ++evidence.emails;
    if (IsWebAddress(FindWeb(rest, region))) ++evidence.webs;
    std::string left;
    for (const Telephone& tel : FindTelephones(rest, region, left)) {
        // A number the plan dials, a local one printed as telephones are (the matcher kept it only so), or
        // one printed after a '+', which the card's telephones keep even where no plan knows it.
        i18n::phonenumbers::PhoneNumber number;
        const bool valid = util.Parse(tel.number, region.empty() ? "ZZ" : region, &number) ==
                               PhoneNumberUtil::NO_PARSING_ERROR &&
                           util.IsValidNumber(number);
        evidence.telephones += valid || LocalShaped(tel.number) || tel.number.rfind('+', 0) == 0 ? 1 : 0;
        evidence.dialled += valid ? 1 : 0;
    }
    return evidence;
}

bool NothingRead(const CardFields& card) {
    return card.full_name.empty() && card.title.empty() && card.organisation.empty() &&
           card.telephones.empty() && card.emails.empty() && card.web.empty() && card.address_lines.empty() &&
           !card_rules::HasWordOfLetters(card.note, 4);
}

CardFields ExtractCardFields(const std::vector<LayoutLine>& layout, const std::string& region) {
    CardFields card;
    std::vector<LayoutLine> lines;
    for (const LayoutLine& line : layout) {
        LayoutLine clean = line;
        clean.text = ValidUtf8(line.text);
        if (Words(clean.text).empty()) continue;
        // Japanese addresses start with the postal mark, which recognition reads as a "T"; as a "T" it
        // would be taken for a telephone label.
        static const std::regex kPostalMark(R"(^(T|Ｔ|丁) ?(\d{3}-\d{4}) (?=.*[\x80-\xff]))");
        clean.text = std::regex_replace(clean.text, kPostalMark, "〒$2 ");
        card.note += (card.note.empty() ? "" : "\n") + clean.text;
        lines.push_back(std::move(clean));
    }
    const size_t n = lines.size();
    std::vector<bool> used(n, false), telephone_line(n, false);
    // The area code of the last whole number on each telephone's line, as far as the lines are read.
    std::vector<std::string> areas(n);
    // The line `i` stands right under, the nearest above it sharing some of its width; n where none. A
    // line read again alone comes after the others in reading order, wherever it stands on the card.
    const auto line_over = [&](size_t i) {
        size_t over = n;
        for (size_t j = 0; j < n; ++j)
            if (j != i && Overlapping(lines[j], lines[i]) && lines[i].top > lines[j].top &&
                lines[i].top - lines[j].bottom < std::max(lines[i].height, lines[j].height) &&
                (over == n || lines[j].top > lines[over].top))
                over = j;
        return over;
    };
    // The line each e-mail was read from.
    std::vector<size_t> email_lines;
    for (size_t i = 0; i < n; ++i) {
        // One line may hold an e-mail and a web address ("anna@nord.example  www.nord.example").
        // What is left of an e-mail line beside it ("Anna Kowalczyk  biuro@...", two columns Tesseract
        // read as one line with a narrow gap) stays for the other rules.
        std::string email, rest_of_email;
        if (FindEmail(lines[i].text, email, rest_of_email, region)) {
            // A row read again where it was read already ("brunau@r7.com" and, over it, "brumau@r7.com")
            // gives one address: the surer reading's.
            const auto same_place = std::find_if(email_lines.begin(), email_lines.end(),
                                                 [&](size_t j) { return SamePlace(lines[j], lines[i]); });
            if (same_place == email_lines.end()) {
                card.emails.push_back(email);
                email_lines.push_back(i);
            } else if (lines[i].confidence > lines[*same_place].confidence) {
                card.emails[static_cast<size_t>(same_place - email_lines.begin())] = email;
                *same_place = i;
            }
            lines[i].text = rest_of_email;
        }
        if (const std::string web = FindWeb(lines[i].text, region); !web.empty()) {
            if (card.web.empty()) card.web = web;
            used[i] = true;
            continue;
        }
        if (!email.empty()) {
            lines[i].text = std::regex_replace(lines[i].text, std::regex(R"(^\s+|\s+$)"), "");
            // A number may share the e-mail's line ("Cel.: 11 99884-8929 e-mail: guina@...").
            std::string rest;
            const std::vector<Telephone> tels = FindTelephones(lines[i].text, region, rest);
            card.telephones.insert(card.telephones.end(), tels.begin(), tels.end());
            used[i] = !tels.empty() || Words(lines[i].text).size() < 2;
            telephone_line[i] = !tels.empty();
            continue;
        }
        std::string rest;
        // A number printed under one with its area code ("(11) 2684-7988" over "3854-7828") shares the
        // code, as one after it on its line does, whichever of the two was read first.
        std::string area;
        if (const size_t over = line_over(i); over < i && telephone_line[over])
            area = areas[over];
        else if (over > i && over < n)
            FindTelephones(lines[over].text, region, rest, &area);
        std::vector<Telephone> tels = FindTelephones(lines[i].text, region, rest, &area);
        areas[i] = area;
        if (!tels.empty()) {
            card.telephones.insert(card.telephones.end(), tels.begin(), tels.end());
            used[i] = true;
            telephone_line[i] = true;
        }
    }
    OneEntryPerNumber(card.telephones);
    // What recognition was unsure of (a logo, a picture read as letters: "Ryn Ulead a Geshe") names no
    // one and no company; it stays in the note. Numbers and addresses above were checked by their shape.
    constexpr float kDoubtful = 50;
    // A name is printed to be read: a line recognition is only half sure of, shaped like a name, is more
    // often a logo or a company's lettering ("ATI TBO SOCORRO"), and a wrong name is worse than none.
    constexpr float kSureName = 75;
    // A person's name is not printed smaller than most of the card's lines (a small-print remark
    // shaped like a name is not one). Only lines read surely measure the print: one read half sure was
    // often read in a box round more than its print ("Acellames os cartões" twice its own height).
    std::vector<int> heights;
    for (size_t i = 0; i < n; ++i) {
        if (lines[i].confidence < kDoubtful)
            used[i] = true;
        else if (LetterCount(lines[i].text) >= 3 && lines[i].confidence >= kSureName)
            heights.push_back(lines[i].height);
    }
    std::sort(heights.begin(), heights.end());
    const int smallest_name = heights.empty() ? 0 : heights[(heights.size() - 1) / 2] * 17 / 20;
    const AddressHints hints = Hints(card.emails, card.web);
    // A company's lettering is judged without the signs around it; they are dropped with its mark below.
    const auto lettering = [&](size_t i) { return WithoutSignsAtEnds(lines[i].text); };
    const auto read_org_shaped = [&](size_t i, float least) {
        const std::string text = lettering(i);
        const std::string lower = Lower(text);
        const size_t words = Words(text).size();
        // A label left alone on its line ("Tel." above its number) names no company.
        const bool label = words == 1 && TelephoneLabel(text) != Label::kNone;
        // Nor does a slogan ("Innovation in Digital Solutions").
        const bool slogan = SloganShaped(text);
        // A company named by no legal form is taken only from a sure reading, as a name is: a wrong
        // company is worse than none.
        return !used[i] && !label && !slogan && words >= 1 && words <= 5 && !HasDigit(text) &&
               lines[i].confidence >= least && std::isalpha(static_cast<unsigned char>(text[0])) &&
               lower.find("www") == std::string::npos && lower.find("http") == std::string::npos;
    };
    const auto org_shaped = [&](size_t i) { return read_org_shaped(i, kSureName); };
    // The organisation: a line with a legal form, else the line that spells the company's domain (the
    // one in the larger print when two do).
    size_t org_at = n;
    for (size_t i = 0; i < n && org_at == n; ++i)
        if (!used[i] && (HasLegalForm(lines[i].text) || HasCjkLegalForm(lines[i].text)) &&
            !HasPostalCode(lines[i].text) &&
            (!HasDigit(lines[i].text) || AnyWord(lines[i].text, IsPlainLegalForm)))
            org_at = i;
    // Else a short line with a business's noun ("Family Restaurant"), in the largest print of such lines.
    if (org_at == n) {
        // The noun alone on its line carries on the line above it ("Family" / "Restaurant").
        const auto carried_on = [&](size_t i) {
            return i > 0 && org_shaped(i - 1) && !NameShaped(lines[i - 1].text) &&
                   (RunsOn(lines[i - 1], lines[i]) || BrandOver(lines[i - 1], lines[i]));
        };
        for (size_t i = 0; i < n; ++i)
            if (org_shaped(i) && (Words(lettering(i)).size() >= 2 || carried_on(i)) &&
                Words(lettering(i)).size() <= 4 && AnyWord(lines[i].text, IsBusinessWord) &&
                (org_at == n || lines[i].height > lines[org_at].height))
                org_at = i;
        // The noun ends a name printed large over two lines ("GLOBAL" / "INSURANCE").
        // So does a brand in larger print just above its trade ("DOMÍNIO" over "AUTO PEÇAS").
        if (org_at < n && org_at > 0 && org_shaped(org_at - 1) && !NameShaped(lines[org_at - 1].text) &&
            (RunsOn(lines[org_at - 1], lines[org_at]) || BrandOver(lines[org_at - 1], lines[org_at]))) {
            lines[org_at].text = lettering(org_at - 1) + " " + lettering(org_at);
            used[org_at - 1] = true;
        }
    }
    if (org_at == n && hints.company.size() >= 4) {
        size_t best = 0;
        for (size_t i = 0; i < n; ++i) {
            if (!org_shaped(i) || NamesPerson(lines[i].text, hints)) continue;
            const size_t run = CommonRun(Compact(lines[i].text), hints.company);
            if (run < std::min<size_t>(5, hints.company.size())) continue;
            if (run > best || (run == best && lines[i].height > lines[org_at].height)) {
                best = run;
                org_at = i;
            }
        }
    }
    // A company's name printed in two sizes ("Brunau" over "Buffet eventos") is whole where its domain
    // spells both parts.
    if (org_at < n && org_at > 0 && hints.company.size() >= 4 && org_shaped(org_at - 1) &&
        !NameShaped(lines[org_at - 1].text) && lines[org_at - 1].block == lines[org_at].block) {
        const std::string joined = lines[org_at - 1].text + " " + lines[org_at].text;
        if (CommonRun(Compact(joined), hints.company) >
            CommonRun(Compact(lines[org_at].text), hints.company) + 2) {
            lines[org_at].text = joined;
            used[org_at - 1] = true;
        }
    }
    if (org_at < n) used[org_at] = true;
    // The name: a name-shaped line that names the e-mail's owner, else the name-shaped line in the
    // largest print.
    size_t name_at = n;
    bool owner = false;
    for (size_t i = 0; i < n; ++i) {
        if (used[i]) continue;
        if (const std::string respaced = Respaced(lines[i].text, hints);
            !respaced.empty() && !NameShaped(lines[i].text))
            lines[i].text = respaced;
        // Small print loses the blank between given and family name ("MichaelChen"); put back where the
        // e-mail names that person (a brand written so, "TechVision", stays whole).
        static const std::regex kGlued(R"(^([A-Z][a-z]+)([A-Z][a-z]+)$)");
        if (std::smatch m;
            std::regex_match(lines[i].text, m, kGlued) && NamesPerson(m[1].str() + " " + m[2].str(), hints))
            lines[i].text = m[1].str() + " " + m[2].str();
        if (const std::string joined = FragmentsJoined(lines[i].text);
            !NameShaped(lines[i].text) && NameShaped(joined))
            lines[i].text = joined;
        // A shop card prints its owner small over the owner's own number ("José Carlos" / "(11) 9933-6564").
        const bool over_number = i + 1 < n && telephone_line[i + 1] && RunsOn(lines[i], lines[i + 1]);
        if (!NameShaped(lines[i].text) || (lines[i].height < smallest_name && !over_number)) continue;
        // The e-mail's local part spelling the line vouches for a doubtful reading ("MichaelChen").
        const bool names = NamesPerson(lines[i].text, hints);
        if (lines[i].confidence < kSureName && !names) continue;
        // A line inside running text in its own print ("ALUGUEL DE VESTIDOS PARA NOIVAS" / "MADRINHAS E
        // FORMANDAS" / "ALUGUEL DE TRAJES PARA NOIVOS") is part of that text.
        const auto running = [&](size_t k) {
            return k < n && Words(lines[k].text).size() >= 3 && !NameShaped(lines[k].text) &&
                   (k < i ? RunsOn(lines[k], lines[i]) : RunsOn(lines[i], lines[k]));
        };
        // So is a line going on from the company's name just above it.
        if (i > 0 && i - 1 == org_at && GoesOnFromTradeName(lines[org_at], lines[i])) continue;
        if ((i > 0 && running(i - 1) && running(i + 1)) ||
            (i > 0 && running(i - 1) && Words(lines[i - 1].text).size() >= 4) ||
            (running(i + 1) && Words(lines[i + 1].text).size() >= 4))
            continue;
        if (name_at == n || (names && !owner) ||
            (names == owner && lines[i].height > lines[name_at].height)) {
            name_at = i;
            owner = names;
        }
    }
    if (name_at < n) used[name_at] = true;
    // The title: a line with a job word, the nearest to the name.
    size_t title_at = n;
    for (size_t i = 0; i < n; ++i) {
        if (used[i] || !TitleShaped(lines[i].text)) continue;
        const auto distance = [&](size_t k) {
            return name_at == n ? k : (k > name_at ? k - name_at : name_at - k);
        };
        // Titles stand under names more often than over them.
        if (title_at == n || distance(i) < distance(title_at) ||
            (distance(i) == distance(title_at) && name_at < n && i > name_at))
            title_at = i;
    }
    if (title_at < n) {
        card.title = lines[title_at].text;
        used[title_at] = true;
    }
    // No name of two capitalised words: the name is the line printed just above the title, in print no
    // smaller, of one to three words of letters ("KARTHICK", "Amit kumar"). Just above on the card, not
    // in reading order: a title read on a second reading comes after the page's own lines.
    if (name_at == n && title_at < n) {
        const LayoutLine& title = lines[title_at];
        size_t above = n;
        for (size_t i = 0; i < n; ++i)
            if (i != title_at && !Words(lines[i].text).empty() && lines[i].bottom <= title.top &&
                Overlapping(lines[i], title) && (above == n || lines[i].bottom > lines[above].bottom))
                above = i;
        // A company's name over the title ("CONTOSO", the person's own name unread) is the one the card's
        // domain spells and not the e-mail's local part.
        const auto company = [&](size_t i) {
            return hints.company.size() >= 4 &&
                   Compact(lines[i].text).find(hints.company) != std::string::npos &&
                   !NamesPerson(lines[i].text, hints);
        };
        if (above < n && !used[above] && lines[above].confidence >= kSureName &&
            title.top - lines[above].bottom <= 2 * lines[above].height &&
            NameAboveTitle(lines[above], title) && !company(above)) {
            name_at = above;
            used[above] = true;
        }
    }
    // Else the owner who signs a number of the card's ("... / Valdeci").
    std::string signed_name;
    for (size_t i = 0; i < n && name_at == n && signed_name.empty(); ++i)
        if (telephone_line[i] && lines[i].confidence >= kSureName)
            signed_name = NameAfterNumber(lines[i].text);
    if (name_at < n || !signed_name.empty()) {
        card.full_name = name_at < n ? lines[name_at].text : signed_name;
        std::vector<std::string> words = Words(card.full_name);
        if (words.size() > 2 && IsHonorific(words.front())) {
            card.name_prefix = words.front();
            words.erase(words.begin());
        }
        // Chinese, Japanese and Korean names put the family name first; a single name is a given one.
        if (static_cast<unsigned char>(words.front()[0]) >= 0xE3 && words.size() > 1) {
            card.family_name = words.front();
            card.given_name = words.back();
        } else {
            card.given_name = words.front();
            if (words.size() > 1) card.family_name = words.back();
        }
        for (std::string& email : card.emails) email = EmailMendedByName(email, card.full_name);
    }
    // Else the organisation: the largest print left if larger than the name's, else the first line when
    // it comes before the name.
    const bool by_print = org_at == n;
    if (org_at == n && name_at < n)
        for (size_t i = 0; i < n; ++i)
            if (org_shaped(i) && Words(lines[i].text).size() <= 4 &&
                lines[i].height > lines[name_at].height * 5 / 4 &&
                (org_at == n || lines[i].height > lines[org_at].height))
                org_at = i;
    // The largest print drawn over two lines ("selva" / "digitals"): the line just above in its block
    // joins it where its print is as large but for the descenders one line has and the other lacks.
    if (by_print && org_at < n && org_at > 0 && org_shaped(org_at - 1) &&
        !NameShaped(lines[org_at - 1].text) && LargePrintAbove(lines[org_at - 1], lines[org_at])) {
        lines[org_at].text = lines[org_at - 1].text + " " + lines[org_at].text;
        used[org_at - 1] = true;
    }
    if (org_at == n && name_at < n && name_at > 0 && org_shaped(0) && Words(lines[0].text).size() <= 4)
        org_at = 0;
    if (org_at < n) {
        // "Ltd" after "Co." is read as "Lid" or "L1d" now and then.
        static const std::regex kLimited(R"((Co\.?,? )L[i1]d\b)");
        // An Estonian "OÜ" loses its dots.
        static const std::regex kOu(R"(\bOU$)");
        // A logo's mark read as a lone small letter or sign before the name ("a Eletrônica ADACHI Ltda.").
        static const std::regex kMark(R"(^([a-z]|[^\w\s\x80-\xff]{1,2}) +(?=[A-Z\x80-\xff]))");
        // A name printed large runs on to a second line ("GLOBAL" / "INSURANCE"). In the print of a name
        // read surely, the second line needs not be read as surely to be of it ("FLÁVIO E VALDEQUE").
        // Told by the line as read, the signs of a band's edges around it too.
        const bool runs_on = org_at + 1 < n && read_org_shaped(org_at + 1, kDoubtful) &&
                             (RunsOn(lines[org_at], lines[org_at + 1]) ||
                              GoesOnFromTradeName(lines[org_at], lines[org_at + 1])) &&
                             !AnyWord(lines[org_at + 1].text, IsTitleWord);
        // So is a logo's edge after it ("IT Solutions |").
        lines[org_at].text = WithoutSignsAtEnds(std::regex_replace(lines[org_at].text, kMark, ""));
        card.organisation =
            std::regex_replace(std::regex_replace(lines[org_at].text, kLimited, "$1Ltd"), kOu, "OÜ");
        used[org_at] = true;
        if (runs_on) {
            card.organisation += " " + lettering(org_at + 1);
            used[org_at + 1] = true;
        }
    }
    // The address: the lines left that carry a digit, and a line of words just before one of them in the
    // same block ("Paddington, London, W2 6BD" after "2 Kingdom Street"), from the first such line to
    // the one with the postal code. Each line stands under the one before (a stray mark elsewhere on
    // the card is none of it), and a line of one or two signs is no address line. A shop card prints
    // its address and number on one line ("Av. Itaquera, 2994 - SP  3569-6905", "São Paulo, SP - Tel
    // ..."): what such a line prints before its numbers is an address line too where it names a street,
    // or where it goes on from the line above (the town).
    // A round bullet before a street is read as an "e" or, sampled a pixel further on, an "o" ("e Av.
    // Sapopemba", "eR. Pinhal", "o Av. do Cursino"); these streets are feminine, so no article "o" precedes.
    static const std::regex kBullet(R"((^|: )[eo] ?(?=(Av|Avenida|R|Rua|Al|Alameda|Estrada|Rod)\.? ))");
    std::vector<std::string> texts(n);
    for (size_t i = 0; i < n; ++i)
        texts[i] = std::regex_replace(!used[i] ? lines[i].text
                                      : telephone_line[i] && lines[i].confidence >= kDoubtful
                                          ? BeforeTheNumbers(lines[i].text, region)
                                          : "",
                                      kBullet, "$1");
    // Where a line names a street, the address starts there (or on the line just above it): a line with
    // digits elsewhere ("Marcos 9:23" of a motto) is none of it.
    bool street_named = false;
    for (size_t i = 0; i < n; ++i) street_named = street_named || StreetShaped(texts[i]);
    size_t previous = n;
    for (size_t i = 0; i < n; ++i) {
        const std::string& source = texts[i];
        if (source.empty() || LetterCount(source) < 3) continue;
        // A labelled number that could not be read as one stays in the note only.
        const std::vector<std::string> words = Words(source);
        // Nor is a number no plan could dial without its area code ("2294-9284"): no word of letters.
        static const std::regex kWord(R"([A-Za-z\x80-\xff]{3,})");
        int digits = 0;
        for (char c : source) digits += IsDigit(c);
        const bool telephone_shaped = digits >= 8 && !std::regex_search(source, kWord);
        const bool digit = HasDigit(source) && !telephone_shaped &&
                           (TelephoneLabel(words.front()) == Label::kNone ||
                            std::regex_search(DigitsRepaired(source), PostalLabelled()));
        const bool joins = !digit && !SloganShaped(source) && i + 1 < n && !used[i + 1] &&
                           HasPostalCode(lines[i + 1].text) && lines[i + 1].block == lines[i].block &&
                           Words(source).size() <= 6 && Lower(source).find("www") == std::string::npos &&
                           Overlapping(lines[i], lines[i + 1]);
        // A stray mark read between two lines of the address (a rule under the street, "—") parts nothing.
        bool adjacent = previous != n && previous < i;
        for (size_t k = previous + 1; adjacent && k < i; ++k)
            adjacent = lines[k].confidence < kDoubtful && LetterCount(lines[k].text) < 3;
        const bool follows = adjacent && Overlapping(lines[previous], lines[i]);
        // A landmark under the street ("Próximo a Escola Astolfo") belongs to it.
        const bool landmark =
            follows && !used[i] && words.size() <= 8 &&
            InList(words.front(), {"próximo", "proximo", "próxima", "proxima", "próx", "prox", "perto",
                                   "esquina", "junto", "near", "opposite", "cerca"});
        const bool taken = used[i]
                               ? StreetShaped(source) || (follows && !HasDigit(source) && words.size() <= 5)
                               : digit || joins || landmark;
        // Digits alone ("1000" of a logo, half a number "(11) 2684"), or with a label of two letters ("ID.
        // 35 65 43262", a radio's number), may carry an address on (its postal code) but never start one:
        // a street or a place is named in a word of letters.
        const bool starts = HasWordOfLetters(source, 3) && (!street_named || StreetShaped(source) ||
                                                            (i + 1 < n && StreetShaped(texts[i + 1])));
        if (taken && (previous == n ? starts : Overlapping(lines[previous], lines[i]))) {
            // A pin icon before the house number is read as a lone digit ("9 123 ABC St.").
            static const std::regex kPin(R"(^\d (?=\d+ ))");
            // A German "ß" is read as "B" ("FriedrichstraBe"): no word ends in a capital B and an "e".
            static const std::regex kSharpS(R"(([a-zäöü])B(e|en)\b)");
            // A Canadian postal code keeps its blank ("M5V 3A8").
            static const std::regex kCanadian(R"(\b([A-Z]\d[A-Z])(\d[A-Z]\d)\b)");
            // After a number a degree sign is the ordinal one ("17º andar"), and in a run of digits an O
            // or I is a digit ("Cep OII37-000").
            static const std::regex kOrdinal(R"((\d)°)");
            std::string text = std::regex_replace(DigitsRepaired(source), kPin, "");
            text = std::regex_replace(std::regex_replace(text, kSharpS, "$1ß$2"), kCanadian, "$1 $2");
            card.address_lines.push_back(AccentsFromCard(
                WithoutTrailingSigns(CanadianCodeMended(std::regex_replace(text, kOrdinal, "$1º"))), lines));
            used[i] = true;
            previous = i;
        }
    }
    if (region != "BR" || !SplitBrazilianAddress(card)) SplitAddress(card);
    return card;
}

}  // namespace outside
