#include "outside/zorvex/card_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace outside {

namespace {

// The code point that starts at `at` in UTF-8 text (0 for a malformed one).
char32_t CodePointAt(const std::string& text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return 0;
    char32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; k < length; ++k)
        code = (code << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    return code;
}

size_t CodePoints(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

// Chinese and Japanese print words without blanks between them; Tesseract still parts each glyph or
// run as a word of its own.
bool IsCjk(char32_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

char32_t LastCodePoint(const std::string& text) {
    size_t at = text.size();
    while (at > 0 && (static_cast<unsigned char>(text[at - 1]) & 0xC0) == 0x80) --at;
    return at > 0 ? CodePointAt(text, at - 1) : 0;
}

// A mark of one or two characters that is no word of letters: an icon before or after a contact line
// (a pin read as "9", a telephone as "&", an envelope as "@p"), or a stray rule ("|").
bool IsMark(const std::string& text) {
    if (CodePoints(text) > 2) return false;
    // Letters of other scripts ("田村") are words; signs and symbols (©, •, ☎) are not.
    for (size_t at = 0; at < text.size(); ++at) {
        const char32_t c = CodePointAt(text, at);
        if (c >= 0xC0 && !(c >= 0x2000 && c <= 0x2BFF)) return false;
    }
    const auto all = [&](int (*test)(int)) {
        return std::all_of(text.begin(), text.end(),
                           [&](char c) { return test(static_cast<unsigned char>(c)) != 0; });
    };
    // A single digit may be an icon; two are more likely the end of a number ("... 67 89"). A capital
    // and a full stop are an initial ("R. OLIVEIRA").
    const bool initial =
        text.size() == 2 && std::isupper(static_cast<unsigned char>(text[0])) != 0 && text[1] == '.';
    return !all(std::isalpha) && !(text.size() == 2 && all(std::isdigit)) && !initial;
}

int WordHeight(const Word& word) { return word.bottom - word.top; }

// A telephone's icon read as digits ("☎ 3569-6905" read "42 3569-6905" after the street on its line):
// a word of one or two characters and no letters, read unsurely, set apart from the words before it by
// more than its own height and close before a number, is dropped, or the number would take it for an
// area code.
std::vector<Word> WithoutIcons(const std::vector<Word>& words) {
    constexpr float kUnsure = 60;
    std::vector<Word> kept;
    for (size_t i = 0; i < words.size(); ++i) {
        const Word& w = words[i];
        const int height = WordHeight(w);
        const bool icon = i + 1 < words.size() && CodePoints(w.text) <= 2 && w.confidence < kUnsure &&
                          std::none_of(w.text.begin(), w.text.end(),
                                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }) &&
                          (i == 0 || w.left - words[i - 1].right > height) &&
                          IsAsciiDigit(words[i + 1].text.front()) && words[i + 1].left - w.right < height;
        if (!icon) kept.push_back(w);
    }
    return kept;
}

}  // namespace

int MedianHeight(const std::vector<Word>& words, size_t begin, size_t end) {
    std::vector<int> heights;
    for (size_t i = begin; i < end; ++i) heights.push_back(words[i].bottom - words[i].top);
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

LayoutLine Segment(const std::vector<Word>& words, size_t begin, size_t end, int block) {
    // Icons stand further from the line's text than its words from one another.
    const auto apart = [&](size_t a, size_t b) {
        return words[b].left - words[a].right >= std::max(WordHeight(words[a]), WordHeight(words[b])) * 3 / 5;
    };
    if (end - begin >= 2 && IsMark(words[begin].text) && apart(begin, begin + 1)) ++begin;
    if (end - begin >= 2 && IsMark(words[end - 1].text) && apart(end - 2, end - 1)) --end;
    LayoutLine out;
    out.block = block;
    out.left = words[begin].left;
    out.top = words[begin].top;
    out.right = words[begin].right;
    out.bottom = words[begin].bottom;
    for (size_t i = begin; i < end; ++i) {
        // Glyphs of Chinese or Japanese text close together make one word; a wider gap ("田村  大輝")
        // stays a blank.
        const bool joined =
            i > begin && IsCjk(LastCodePoint(words[i - 1].text)) && IsCjk(CodePointAt(words[i].text, 0)) &&
            words[i].left - words[i - 1].right < std::max(WordHeight(words[i - 1]), WordHeight(words[i])) / 2;
        out.text += (i > begin && !joined ? " " : "") + words[i].text;
        out.left = std::min(out.left, words[i].left);
        out.top = std::min(out.top, words[i].top);
        out.right = std::max(out.right, words[i].right);
        out.bottom = std::max(out.bottom, words[i].bottom);
    }
    out.height = MedianHeight(words, begin, end);
    double weighted = 0, letters = 0;
    for (size_t i = begin; i < end; ++i) {
        weighted += words[i].confidence * static_cast<double>(words[i].text.size());
        letters += static_cast<double>(words[i].text.size());
    }
    if (letters > 0) out.confidence = static_cast<float>(weighted / letters);
    return out;
}

bool HasLetterOrDigit(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || static_cast<unsigned char>(c) >= 0xC0;
    });
}

int PrintHeight(const std::vector<Word>& words, size_t begin, size_t end) {
    std::vector<int> heights;
    for (size_t i = begin; i < end; ++i)
        if (HasLetterOrDigit(words[i].text)) heights.push_back(WordHeight(words[i]));
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

std::vector<LayoutLine> LayoutLines(const PageText& page) {
    // Tesseract joins the lines of two columns that share a baseline ("T +49 711 ...   Königstraße 8"); a
    // gap wider than twice the print's height parts them again, so each column's line stands alone.
    constexpr int kColumnGap = 2;
    std::vector<LayoutLine> lines;
    for (size_t p = 0; p < page.paragraphs.size(); ++p)
        for (const TextLine& line : page.paragraphs[p].lines) {
            const std::vector<Word>& words = line.words;
            if (words.empty()) continue;
            size_t begin = 0;
            for (size_t i = 1; i <= words.size(); ++i) {
                if (i < words.size()) {
                    // A dash or colon between words ("Tatuapé - São Paulo", "Tel : (11) ...") is far
                    // lower than the print around it and sets no scale for the gap.
                    const int left = PrintHeight(words, begin, i);
                    const int right = HasLetterOrDigit(words[i].text) ? WordHeight(words[i]) : 0;
                    const int height = left > 0 && right > 0 ? std::min(left, right)
                                       : left > 0 || right > 0
                                           ? std::max(left, right)
                                           : std::min(MedianHeight(words, begin, i), WordHeight(words[i]));
                    if (words[i].left - words[i - 1].right <= kColumnGap * std::max(height, 1)) continue;
                }
                // The icon goes after the columns are parted: the gap it fills is still a column's.
                const std::vector<Word> part = WithoutIcons(
                    {words.begin() + static_cast<long>(begin), words.begin() + static_cast<long>(i)});
                if (!part.empty()) lines.push_back(Segment(part, 0, part.size(), static_cast<int>(p)));
                begin = i;
            }
        }
    return lines;
}

void JoinRowsPartedBetweenBlocks(std::vector<LayoutLine>& lines) {
    const auto goes_on = [](const LayoutLine& left, const LayoutLine& right) {
        const int print = std::min(left.height, right.height);
        const int gap = right.left - left.right;
        const int centres = std::abs((left.top + left.bottom) - (right.top + right.bottom)) / 2;
        return left.block != right.block && print >= 4 && std::abs(gap) <= print / 5 &&
               centres <= print * 3 / 10 && 2 * left.height <= 3 * right.height &&
               2 * right.height <= 3 * left.height;
    };
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t a = 0; a < lines.size() && !joined; ++a)
            for (size_t b = 0; b < lines.size() && !joined; ++b) {
                if (a == b || !goes_on(lines[a], lines[b])) continue;
                LayoutLine &left = lines[a], &right = lines[b];
                const double letters = static_cast<double>(left.text.size() + right.text.size());
                left.confidence =
                    static_cast<float>((left.confidence * static_cast<double>(left.text.size()) +
                                        right.confidence * static_cast<double>(right.text.size())) /
                                       letters);
                left.text += right.text;
                left.right = right.right;
                left.top = std::min(left.top, right.top);
                left.bottom = std::max(left.bottom, right.bottom);
                lines.erase(lines.begin() + static_cast<long>(b));
                joined = true;
            }
    }
}

}  // namespace outside
