#include "outside/zorvex/card_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <sstream>

namespace outside::card_rules {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string Lower(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        text[i] = static_cast<char>(std::tolower(c));
        if (c == 0xC3 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) text[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
    return text;
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool HasDigit(const std::string& text) { return std::any_of(text.begin(), text.end(), IsDigit); }

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

std::string Compact(const std::string& text) {
    static const char kLatin[] =
        "aaaaaaaceeeeiiiidnooooo?ouuuuytsaaaaaaaceeeeiiiidnooooo?ouuuuyty"
        "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkkllllllllllnnnnnnnnnoooooooorrrrrrsssssssstt"
        "ttttuuuuuuuuuuuuwwyyyzzzzzzs";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isalnum(c)) {
            out += static_cast<char>(std::tolower(c));
        } else if ((c >> 5) == 0x6 && i + 1 < text.size()) {
            const uint32_t code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            if (code >= 0xC0 && code < 0x180 && kLatin[code - 0xC0] != '?') out += kLatin[code - 0xC0];
            ++i;
        }
    }
    return out;
}

size_t CharacterBytes(const std::string& text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(length, text.size() - at);
}

bool AnyWord(const std::string& line, bool (*test)(const std::string&)) {
    for (const std::string& w : Words(line))
        if (test(w)) return true;
    return false;
}

int LetterCount(const std::string& text) {
    int count = 0;
    for (unsigned char c : text) count += std::isalnum(c) || c >= 0xC0;
    return count;
}

bool HasWordOfLetters(const std::string& text, int count) {
    int run = 0;
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const size_t length = std::min(CharacterBytes(text, at), text.size() - at);
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        for (size_t k = 1; k < length; ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
        const bool letter = code < 0x80 ? std::isalpha(lead) != 0
                                        : code >= 0xC0 && code != 0xD7 && code != 0xF7 &&
                                              !(code >= 0x2000 && code <= 0x2BFF) &&
                                              !(code >= 0x3000 && code <= 0x303F);
        run = letter ? run + 1 : 0;
        if (run >= count) return true;
        at += length;
    }
    return false;
}

bool SignsOnly(const std::string& word) { return !HasDigit(word) && !HasWordOfLetters(word, 1); }

}  // namespace outside::card_rules
