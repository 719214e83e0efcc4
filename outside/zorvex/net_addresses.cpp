#include "outside/zorvex/net_addresses.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "outside/zorvex/card_text.h"

namespace outside::card_rules {

namespace {

// The country's own top-level domain for a region (ISO 3166, "GB" is "uk"), empty when unknown.
std::string CountryDomain(const std::string& region) {
    if (region.size() != 2 || !std::isalpha(static_cast<unsigned char>(region[0])) ||
        !std::isalpha(static_cast<unsigned char>(region[1])))
        return {};
    std::string domain = Lower(region);
    return domain == "gb" ? "uk" : domain;
}

// Small print loses the dot before the top-level domain ("michael@creativestudioscom",
// "priya@apexconsultin" on an Indian card): after `lead` (an "@" or a "www."), a label that ends in
// "com", "net" or "org", or in the region's own domain with four letters or more before it, gets its
// dot back.
std::string DotBeforeDomain(const std::string& text, const std::string& lead, const std::string& region) {
    std::string out = std::regex_replace(
        text, std::regex("(" + lead + R"([A-Za-z0-9-]{2,}?)(com|net|org)(?=$|\s))", std::regex::icase),
        "$1.$2");
    if (const std::string country = CountryDomain(region); !country.empty())
        out = std::regex_replace(
            out,
            std::regex("(" + lead + R"([A-Za-z0-9-]{4,}?)()" + country + R"()(?=$|\s))", std::regex::icase),
            "$1.$2");
    return out;
}

// Whether `b` is `a` with one letter left out: a letter recognition added inside a word.
bool OneLetterMore(const std::string& a, const std::string& b) {
    if (a.size() != b.size() + 1) return false;
    size_t front = 0;
    while (front < b.size() && a[front] == b[front]) ++front;
    return a.compare(front + 1, std::string::npos, b, front, std::string::npos) == 0;
}

// The large public mail services' names with a letter recognition added ("gqmail.com", a stroke of the
// "g" read again): no one registers such an address to print on a card. A changed or a lost letter is
// left alone, since "ymail", "email" and "mail" are services of their own.
std::string MailServiceRepaired(const std::string& email) {
    const size_t at = email.find('@');
    const size_t dot = email.find('.', at);
    if (at == std::string::npos || dot == std::string::npos) return email;
    const std::string label = email.substr(at + 1, dot - at - 1);
    for (const char* service : {"gmail", "hotmail", "yahoo", "outlook"})
        if (OneLetterMore(label, service)) return email.substr(0, at + 1) + service + email.substr(dot);
    return email;
}

// A word with the letters recognition confuses in small print made one: "rn" and "m", "cl" and "d", "vv"
// and "w", h and n, i, l and 1, o and 0, c and e, u and v.
std::string Confusable(const std::string& word) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        const std::string two = word.substr(i, 2);
        if (two == "rn" || two == "cl" || two == "vv") {
            out += two == "rn" ? 'm' : two == "cl" ? 'd' : 'w';
            ++i;
            continue;
        }
        const char c = word[i];
        out += c == 'h'                 ? 'n'
               : (c == 'i' || c == '1') ? 'l'
               : c == '0'               ? 'o'
               : c == 'e'               ? 'c'
               : c == 'v'               ? 'u'
                                        : c;
    }
    return out;
}

}  // namespace

bool FindEmail(const std::string& line, std::string& email, std::string& rest, const std::string& region) {
    static const std::regex kEmail(R"([A-Za-z0-9._%+-]+@[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+)");
    static const std::regex kLooseSigns(R"(\s*([.@])\s*)");
    static const std::regex kMisreadAt(
        R"((^|\s)([a-z0-9._-]{2,})(?:[QG]|\([D@]|©|®)([a-z0-9-]+(\.[a-z0-9-]+)*\.[a-z]{2,})(?=\s|$))");
    std::string text = DotBeforeDomain(std::regex_replace(line, kMisreadAt, "$1$2@$3"), "@", region);
    if (text.find('@') == std::string::npos) return false;
    // The label goes first, or joining the loose dot of "E-mail. anna@..." would keep it.
    static const std::regex kLabel(R"(^\s*(e-?mail|mail|e|courriel|correo|posta|mél)\s*[.:]?\s+)",
                                   std::regex::icase);
    text = std::regex_replace(text, kLabel, "");
    // Joined first, so "emily.davis@ peoplepluscom" gets its dot back too.
    const std::string joined = DotBeforeDomain(std::regex_replace(text, kLooseSigns, "$1"), "@", region);
    std::smatch m;
    if (!std::regex_search(joined, m, kEmail)) return false;
    email = MailServiceRepaired(Lower(m[0].str()));
    std::string before = m.prefix().str();
    static const std::regex kLostDot(R"(^\s*([a-z]{2,})\s+$)");
    if (std::smatch w; email.find('.') > email.find('@') && std::regex_match(before, w, kLostDot)) {
        email = w[1].str() + "." + email;
        before.clear();
    }
    rest = before + " " + m.suffix().str();
    return true;
}

std::string FindWeb(const std::string& line, const std::string& region) {
    static const std::regex kWeb(R"((https?://[^\s]+|www ?\. ?[A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+[^\s]*))",
                                 std::regex::icase);
    static const std::regex kDomain(
        R"((^|\s)([a-z0-9][a-z0-9-]{2,}(\.[a-z0-9-]{2,})*\.(com|net|org|io|info|biz|[a-z]{2})(/[^\s]*)?)(?=\s|$))");
    // Recognition parts "https://" ("https:/ /"), loses its first letter in small print ("ttps://") and
    // reads the dot before a top-level domain as a blank ("www.contoso com").
    static const std::regex kLooseSlashes(R"((^|\s)h?(ttps?:)\s*/\s*/\s*)", std::regex::icase);
    static const std::regex kLostDot(
        R"((www ?\. ?[A-Za-z0-9-]+) (com|net|org|info|biz|co|de|fr|jp|uk|us|in|io|eu|nl|it|es)\b)",
        std::regex::icase);
    std::string text;
    for (const std::string& word : Words(line))
        if (word.find('@') == std::string::npos) text += (text.empty() ? "" : " ") + word;
    // A line that is a web address alone, parted by recognition ("www. neocode. io", "Www. people
    // pluscom"), is one word.
    static const std::regex kWebAlone(R"(^www\b[^@]*$)", std::regex::icase);
    if (std::regex_match(text, kWebAlone) && Words(text).size() <= 4) {
        text = std::regex_replace(text, kLostDot, "$1.$2");
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    }
    // Of "www." at a line's start faint print may leave one or two w's ("w.apexconsultin"), or lose the
    // dot ("wwwbuffetbrunau.com.br").
    static const std::regex kShortWww(R"(^w{1,2}\.(?=[a-z0-9-]{3,}))");
    static const std::regex kGluedWww(R"(^www(?=[a-z0-9-]{3,}\.[a-z]))", std::regex::icase);
    text = std::regex_replace(std::regex_replace(text, kLooseSlashes, "$1h$2//"), kLostDot, "$1.$2");
    text = std::regex_replace(std::regex_replace(text, kShortWww, "www."), kGluedWww, "www.");
    text = DotBeforeDomain(text, R"(\bwww ?\. ?)", region);
    std::smatch m;
    if (std::regex_search(text, m, kWeb)) {
        std::string web = Lower(m[0].str());
        web.erase(std::remove(web.begin(), web.end(), ' '), web.end());
        // A rule or bracket after the address is no part of it.
        while (!web.empty() && std::string("|.,;:)]").find(web.back()) != std::string::npos) web.pop_back();
        // Inside it a comma is a misread dot ("www.contoso.co,jp").
        std::replace(web.begin(), web.end(), ',', '.');
        return web;
    }
    if (std::regex_search(text, m, kDomain)) return m[2].str();
    return {};
}

bool IsWebAddress(const std::string& web) {
    const size_t scheme = web.find("://");
    const std::string rest = scheme == std::string::npos ? web : web.substr(scheme + 3);
    const std::string host = rest.substr(0, rest.find('/'));
    static const std::regex kHost(R"(^([a-z0-9]([a-z0-9-]*[a-z0-9])?\.)+[a-z]{2,}$)");
    return std::regex_match(host, kHost);
}

AddressHints Hints(const std::vector<std::string>& emails, const std::string& web) {
    AddressHints hints;
    std::string domain;
    if (!emails.empty()) {
        const std::string& email = emails.front();
        const size_t at = email.find('@');
        std::string part;
        for (char c : email.substr(0, at) + ".") {
            if (c == '.' || c == '_' || c == '-') {
                if (!part.empty()) hints.person.push_back(part);
                part.clear();
            } else if (std::isalpha(static_cast<unsigned char>(c))) {
                part += c;
            }
        }
        for (const char* desk : {"info", "sales", "office", "hello", "hallo", "contact", "kontakt", "mail",
                                 "biuro", "bureau", "team", "service", "support", "admin", "ventas"})
            if (hints.person.size() == 1 && hints.person.front() == desk) hints.person.clear();
        for (const std::string& p : hints.person) hints.person_compact += p;
        domain = email.substr(at + 1);
    }
    // A mail provider's domain ("dimariorestaurante@gmail.com", "brunau@r7.com") names no company: the
    // web address's does.
    const std::string provider = Lower(domain.substr(0, domain.find('.')));
    static const char* const kProviders[] = {
        "gmail",   "googlemail", "hotmail", "outlook",    "live",     "msn",      "yahoo",     "ymail",
        "aol",     "icloud",     "me",      "gmx",        "web",      "t-online", "freenet",   "orange",
        "wanadoo", "free",       "laposte", "libero",     "virgilio", "terra",    "bol",       "uol",
        "ig",      "r7",         "globo",   "yandex",     "mail",     "qq",       "163",       "126",
        "naver",   "daum",       "hanmail", "protonmail", "proton",   "zoho",     "rediffmail"};
    const bool from_provider = !emails.empty() && std::find(std::begin(kProviders), std::end(kProviders),
                                                            provider) != std::end(kProviders);
    if (emails.empty() || from_provider) {
        domain = web.substr(web.find("://") == std::string::npos ? 0 : web.find("://") + 3);
        domain = domain.substr(0, domain.find('/'));
    }
    // The longest label before the top-level domain: "brightline" of "brightline.co.uk".
    std::vector<std::string> labels;
    for (size_t start = 0; start <= domain.size();) {
        const size_t dot = std::min(domain.find('.', start), domain.size());
        labels.push_back(domain.substr(start, dot - start));
        start = dot + 1;
    }
    for (size_t k = 0; k + 1 < labels.size(); ++k)
        if (labels[k] != "www" && labels[k].size() > hints.company.size()) hints.company = Compact(labels[k]);
    return hints;
}

std::string EmailMendedByName(const std::string& email, const std::string& name) {
    const size_t at = email.find('@');
    std::vector<std::string> names;
    for (const std::string& w : Words(name))
        if (std::string c = Compact(w); c.size() >= 3) names.push_back(c);
    std::string out, part;
    const auto flush = [&] {
        for (const std::string& word : names)
            if (part != word && Confusable(part) == Confusable(word)) part = word;
        out += part;
        part.clear();
    };
    for (size_t i = 0; i < at; ++i) {
        if (std::isalnum(static_cast<unsigned char>(email[i]))) {
            part += email[i];
            continue;
        }
        flush();
        out += email[i];
    }
    flush();
    return out + email.substr(at);
}

}  // namespace outside::card_rules
