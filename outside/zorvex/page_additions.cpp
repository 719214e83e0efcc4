#include "outside/zorvex/page_additions.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>
#include <utility>

#include "outside/zorvex/card_fields.h"
#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_text.h"
#include "outside/zorvex/reading_measures.h"

namespace outside {

namespace {

// The block the page's layout took for a picture that the line's centre lies in, or none.
const PictureBlock* PictureOf(const PageText& page, const TextLine& line) {
    if (line.words.empty()) return nullptr;
    const int x = (line.words.front().left + line.words.back().right) / 2;
    const int y = (line.words.front().top + line.words.front().bottom) / 2;
    const auto it = std::find_if(page.pictures.begin(), page.pictures.end(), [&](const PictureBlock& b) {
        return x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
    });
    return it == page.pictures.end() ? nullptr : &*it;
}

bool InPicture(const PageText& page, const TextLine& line) { return PictureOf(page, line) != nullptr; }

// A logo's mark after its name (a registered sign read as a quote or a degree) is no part of it.
void DropTrailingMarks(TextLine& line) {
    static const std::string kMarks[] = {"'", "\"", "`", "*", "°", "®"};
    for (Word& w : line.words)
        for (bool dropped = true; dropped;) {
            dropped = false;
            for (const std::string& mark : kMarks)
                if (w.text.size() > mark.size() && w.text.ends_with(mark)) {
                    w.text.resize(w.text.size() - mark.size());
                    dropped = true;
                }
        }
}

void AddLetteringRow(PageText& page, TextLine line) {
    // Only words centred on the row are its reading: the box of a word of larger print above or below
    // reaches into it ("FLÁVIO," over "Pequenos Consertos") and is another line's.
    const LayoutLine span = Segment(line.words, 0, line.words.size(), 0);
    const auto overlaps = [&](const Word& w) {
        const int centre = (w.top + w.bottom) / 2;
        return centre >= span.top && centre <= span.bottom && OverlapsAny(w, line.words);
    };
    TextLine overlapped;
    size_t at_paragraph = page.paragraphs.size(), at_line = 0;
    for (size_t p = 0; p < page.paragraphs.size(); ++p)
        for (size_t l = 0; l < page.paragraphs[p].lines.size(); ++l)
            for (const Word& w : page.paragraphs[p].lines[l].words) {
                // A picture block's blank word is no reading.
                if (!overlaps(w) || w.text.find_first_not_of(" \n") == std::string::npos) continue;
                // A number or an address read there is a contact's, however unsure: no logo's.
                if (std::any_of(w.text.begin(), w.text.end(),
                                [](char c) { return IsAsciiDigit(c) || c == '@'; }))
                    return;
                overlapped.words.push_back(w);
                if (at_paragraph == page.paragraphs.size()) at_paragraph = p, at_line = l;
            }
    if (at_paragraph < page.paragraphs.size()) {
        // A reading of a letter or two where the row reads a word ("E" of "BELTIS") got a piece of the
        // lettering, however surely: under half its letters is no reading of it to weigh.
        const bool piece =
            card_rules::LetterCount(LineText(overlapped)) * 2 < card_rules::LetterCount(LineText(line));
        if (!piece && MeanConfidence(overlapped) >= MeanConfidence(line)) return;
        for (Paragraph& paragraph : page.paragraphs)
            for (TextLine& l : paragraph.lines)
                l.words.erase(std::remove_if(l.words.begin(), l.words.end(), overlaps), l.words.end());
        // Before the lines that stand lower on the card: a row read alone that took another line's words
        // may have gone in before this one ("IT Solutions" before "BELTIS" over it).
        std::vector<TextLine>& lines = page.paragraphs[at_paragraph].lines;
        while (at_line > 0 && !lines[at_line - 1].words.empty() &&
               lines[at_line - 1].words.front().top > line.words.front().top)
            --at_line;
        lines.insert(lines.begin() + static_cast<long>(at_line), std::move(line));
        return;
    }
    // Under lettering read in the same picture, closer than its own height and across it: the second line
    // of a name drawn over two ("Family" over "Restaurant"), which the field rules join as one block's.
    const int top = line.words.front().top;
    const int left = line.words.front().left, right = line.words.back().right;
    const int height = line.words.front().bottom - top;
    const PictureBlock* picture = PictureOf(page, line);
    for (Paragraph& paragraph : page.paragraphs) {
        if (paragraph.lines.empty() || paragraph.lines.back().words.empty()) continue;
        const TextLine& above = paragraph.lines.back();
        const int bottom =
            std::max_element(above.words.begin(), above.words.end(), [](const Word& a, const Word& b) {
                return a.bottom < b.bottom;
            })->bottom;
        if (PictureOf(page, above) == picture && bottom <= top && top - bottom < height &&
            std::min(right, above.words.back().right) > std::max(left, above.words.front().left)) {
            paragraph.lines.push_back(std::move(line));
            return;
        }
    }
    // Else before the first paragraph that starts lower on the card.
    auto before = std::find_if(page.paragraphs.begin(), page.paragraphs.end(), [&](const Paragraph& p) {
        return !p.lines.empty() && !p.lines.front().words.empty() && p.lines.front().words.front().top > top;
    });
    page.paragraphs.insert(before, Paragraph{{std::move(line)}});
}

// The page read an e-mail or web address whose domain spells the row's letters ("CONTOSO" of
// "chris.smith@contoso.com"); an e-mail's local part names a person, not the company.
bool SpelledByDomain(const PageText& page, const TextLine& row) {
    constexpr size_t kLeast = 4;  // letters: a shorter run is found in too many domains
    std::string letters;
    for (const Word& w : row.words)
        for (const unsigned char c : w.text)
            if (std::isalpha(c) != 0) letters += static_cast<char>(std::tolower(c));
    if (letters.size() < kLeast) return false;
    for (const Word& w : WordsRead(page)) {
        std::string lower;
        for (const unsigned char c : w.text) lower += static_cast<char>(std::tolower(c));
        const size_t at = lower.find('@');
        const size_t web = lower.find("www");
        if (at != std::string::npos && lower.find(letters, at) != std::string::npos) return true;
        if (web != std::string::npos && lower.find(letters, web) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

bool AlreadyRead(const std::string& text, const PageText& page) {
    const auto digits = [](const std::string& t) {
        std::string d;
        std::copy_if(t.begin(), t.end(), std::back_inserter(d), IsAsciiDigit);
        return d;
    };
    const std::string own = digits(text);
    std::string email;
    if (const size_t at = text.find('@'); at != std::string::npos) {
        const size_t space = text.rfind(' ', at), start = space == std::string::npos ? 0 : space + 1;
        const size_t end = text.find(' ', at);
        email = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines) {
            const std::string read = LineText(line);
            if (own.size() >= 6 && digits(read).find(own) != std::string::npos) return true;
            if (email.size() >= 5 && read.find(email) != std::string::npos) return true;
        }
    return false;
}

bool LetteringShaped(TextLine& line, float sure) {
    if (line.words.empty() || line.words.size() > 5 || MeanConfidence(line) < sure) return false;
    DropTrailingMarks(line);
    const std::string text = LineText(line);
    int letters = 0;
    for (const unsigned char c : text) {
        if (IsAsciiDigit(static_cast<char>(c))) return false;
        letters += std::isalpha(c) != 0 || c >= 0xC0;
    }
    return letters >= 4 && std::isupper(static_cast<unsigned char>(text[0])) != 0 &&
           std::all_of(line.words.begin(), line.words.end(),
                       [](const Word& w) { return HasLetterOrDigit(w.text); });
}

void AddSureLines(PageText& page, const PageText& again, const std::vector<Word>& read, bool titles) {
    constexpr float kSure = 80;
    const auto overlaps = [&](const Word& w) { return OverlapsAny(w, read); };
    for (const Paragraph& paragraph : again.paragraphs) {
        Paragraph added;
        for (const TextLine& line : paragraph.lines) {
            // As the rules will see it: Chinese and Japanese glyphs joined into words ("株式会社").
            PageText alone;
            alone.paragraphs.push_back({{line}});
            std::string text;
            for (const LayoutLine& part : LayoutLines(alone)) text += (text.empty() ? "" : " ") + part.text;
            const bool contact = std::count_if(text.begin(), text.end(), IsAsciiDigit) >= 2 ||
                                 text.find('@') != std::string::npos || text.find("www") != std::string::npos;
            if ((!contact && !HasCompanyLegalForm(text) && !(titles && TitleShaped(text))) ||
                std::any_of(line.words.begin(), line.words.end(), overlaps))
                continue;
            if (MeanConfidence(line) >= kSure) added.lines.push_back(line);
        }
        if (!added.lines.empty()) page.paragraphs.push_back(std::move(added));
    }
}

std::vector<InkBox> UnreadAreas(const PageText& layout, const PageText& page, int width, int height) {
    // Parts covering less of the whole box than this are read alone: a reading's time goes with the
    // print it meets, and the whole box of lines unread here and there is most of the card.
    constexpr double kParts = 0.6;
    const std::vector<Word> read = WordsRead(page);
    const auto overlaps = [&](const Word& w) { return OverlapsAny(w, read); };
    // The print at a box's edge keeps some of its ground.
    const auto widened = [&](InkBox box, int margin) {
        return InkBox{std::max(0, box.left - margin), std::max(0, box.top - margin),
                      std::min(width, box.right + margin), std::min(height, box.bottom + margin)};
    };
    const auto joined = [](const InkBox& a, const InkBox& b) {
        return InkBox{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                      std::max(a.bottom, b.bottom)};
    };
    const auto area = [](const InkBox& b) {
        return static_cast<double>(b.right - b.left) * (b.bottom - b.top);
    };
    std::optional<InkBox> whole;
    std::vector<InkBox> parts;
    const auto add = [&](const InkBox& box) {
        whole = whole ? joined(*whole, box) : box;
        // Half the line's height of ground each way: cut closer, a line read alone reads otherwise
        // than on the card ("Techvision Inc." was lost).
        parts.push_back(widened(box, std::max(8, (box.bottom - box.top) / 2)));
    };
    for (const Paragraph& paragraph : layout.paragraphs)
        for (const TextLine& line : paragraph.lines) {
            if (line.words.empty() || std::any_of(line.words.begin(), line.words.end(), overlaps)) continue;
            InkBox box{line.words[0].left, line.words[0].top, line.words[0].right, line.words[0].bottom};
            for (const Word& w : line.words) box = joined(box, {w.left, w.top, w.right, w.bottom});
            add(box);
        }
    // A reading reads nothing in the layout's pictures and rules (a card's edge, a photograph): with no
    // line of print unread it would cost the card's time for nothing. Beside one they are read with it,
    // as the ground it is read in.
    if (!whole) return {};
    for (const PictureBlock& picture : layout.pictures) {
        const Word block{"", picture.left, picture.top, picture.right, picture.bottom, 0};
        if (!overlaps(block)) add({picture.left, picture.top, picture.right, picture.bottom});
    }
    const InkBox all = widened(*whole, std::max(8, (whole->bottom - whole->top) / 8));
    // Parts that overlap are one.
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t a = 0; a < parts.size() && !merged; ++a)
            for (size_t b = a + 1; b < parts.size() && !merged; ++b) {
                const InkBox &x = parts[a], &y = parts[b];
                if (std::min(x.right, y.right) <= std::max(x.left, y.left) ||
                    std::min(x.bottom, y.bottom) <= std::max(x.top, y.top))
                    continue;
                parts[a] = joined(x, y);
                parts.erase(parts.begin() + static_cast<long>(b));
                merged = true;
            }
    }
    double covered = 0;
    for (const InkBox& part : parts) covered += area(part);
    if (parts.size() < 2 || covered >= kParts * area(all)) return {all};
    // In reading order, as the lines they add.
    std::sort(parts.begin(), parts.end(), [](const InkBox& a, const InkBox& b) { return a.top < b.top; });
    return parts;
}

void AddUnreadLines(PageText& page, const PageText& again) {
    AddSureLines(page, again, WordsRead(page), false);
}

void AddLettering(PageText& page, std::vector<TextLine> rows) {
    // Lettering the card's own domain spells is its company's name however stylised: read fairly surely
    // (80 or more) it is taken.
    constexpr float kSpelled = 80;
    for (TextLine& row : rows)
        if (InPicture(page, row) && LetteringShaped(row, SpelledByDomain(page, row) ? kSpelled : 90))
            AddLetteringRow(page, std::move(row));
}

}  // namespace outside
