#include "outside/zorvex/reading_measures.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cctype>

#include "outside/zorvex/card_fields.h"
#include "outside/zorvex/card_layout.h"

namespace outside {

namespace {

// The letters and digits of the words recognition is sure of (80 or more): how much of a card a reading
// got.
int SureLetters(const PageText& page) {
    constexpr float kSure = 80;
    int count = 0;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words)
                if (word.confidence >= kSure)
                    count += static_cast<int>(std::count_if(word.text.begin(), word.text.end(), [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '@';
                    }));
    return count;
}

// The print the page was read in: the median height of its words of letters or digits read well (60 or
// more), or 0 when there are none.
int ReadPrintHeight(const PageText& page) {
    constexpr float kReadWell = 60;
    std::vector<Word> words;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words)
                if (word.confidence >= kReadWell) words.push_back(word);
    return PrintHeight(words, 0, words.size());
}

// A word of blanks only: room the layout kept for a picture, not print.
bool BlankWord(const Word& w) {
    return std::all_of(w.text.begin(), w.text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

}  // namespace

double Legibility(const PageText& page) {
    double weighted = 0, letters = 0;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words) {
                weighted += word.confidence * static_cast<double>(word.text.size());
                letters += static_cast<double>(word.text.size());
            }
    return letters > 0 ? weighted / letters : 0;
}

double MeanConfidence(const TextLine& line) {
    double weighted = 0, letters = 0;
    for (const Word& w : line.words) {
        weighted += w.confidence * static_cast<double>(w.text.size());
        letters += static_cast<double>(w.text.size());
    }
    return letters > 0 ? weighted / letters : 0;
}

bool HoldsSureLine(const PageText& page) {
    constexpr double kSure = 90;
    constexpr long kLetters = 8;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines) {
            long letters = 0;
            for (const Word& word : line.words)
                letters += std::count_if(word.text.begin(), word.text.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c)) != 0;
                });
            if (letters >= kLetters && MeanConfidence(line) >= kSure) return true;
        }
    return false;
}

std::vector<Word> WordsRead(const PageText& page) {
    std::vector<Word> read;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words)
                if (HasLetterOrDigit(word.text)) read.push_back(word);
    return read;
}

bool OverlapsAny(const Word& w, const std::vector<Word>& read) {
    return std::any_of(read.begin(), read.end(), [&](const Word& r) {
        return std::min(w.right, r.right) > std::max(w.left, r.left) &&
               std::min(w.bottom, r.bottom) > std::max(w.top, r.top);
    });
}

float ScaleForPrint(int height, int least) {
    constexpr float kSmallest = 0.5f;
    if (height <= least) return 1.0f;
    return std::max(kSmallest, static_cast<float>(least) / static_cast<float>(height));
}

bool LettersReadSurely(const TextLine& line) {
    constexpr float kSure = 85, kEachWord = 70;
    if (line.words.empty() || MeanConfidence(line) < kSure) return false;
    bool word_of_three = false;
    for (const Word& w : line.words) {
        if (w.confidence < kEachWord) return false;
        int letters = 0;
        for (unsigned char c : w.text) {
            if (std::isalpha(c) != 0 || c >= 0x80)
                ++letters;
            else if (c != '&' && c != '.' && c != '-' && c != '\'')
                return false;
        }
        word_of_three = word_of_three || letters >= 3;
    }
    return word_of_three;
}

std::vector<InkBox> PictureBlocks(const PageText& page, int width, int height) {
    constexpr int kLeast = 40;  // pixels either way: room for a line of display print
    std::vector<InkBox> blocks;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& w : line.words) {
                const bool blank = BlankWord(w);
                const long area = static_cast<long>(w.right - w.left) * (w.bottom - w.top);
                if (blank && w.right - w.left >= kLeast && w.bottom - w.top >= kLeast &&
                    2 * area <= static_cast<long>(width) * height)
                    blocks.push_back({w.left, w.top, w.right, w.bottom});
            }
    return blocks;
}

bool TakenForPicture(const PageText& page, int width, int height) {
    const long card = static_cast<long>(width) * height;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& w : line.words) {
                const long area = static_cast<long>(w.right - w.left) * (w.bottom - w.top);
                if (2 * area > card && BlankWord(w)) return true;
            }
    return false;
}

bool ThinReading(const PageText& page) {
    constexpr int kThin = 20;  // sure letters and digits: a card's name and one number alone are more
    return SureLetters(page) < kThin;
}

float StretchedReadingScale(const PageText& page) {
    constexpr int kPrint = 32;  // pixels of the words' boxes kept at least
    // On a card read thin the few words got are no measure, and this reading is most of what it gives.
    return ThinReading(page) ? 1.0f : ScaleForPrint(ReadPrintHeight(page), kPrint);
}

bool WayUpInDoubt(const PageText& page) {
    // Below this mean confidence the card may lie upside down (a card cut out of the desk picture has
    // no "up" of its own).
    constexpr double kDoubtful = 60;
    // Print upside down reads as nonsense: of the set's cards read turned, none got more than 8 letters
    // and digits read surely so, where doubtful readings upright got up to 51. A reading that got more
    // than a thin one is the right way up, and the turned reading is saved (a reading of nonsense is
    // slow: Tesseract reads each line it is unsure of once more, inverted).
    return Legibility(page) < kDoubtful && ThinReading(page) && !HoldsSureLine(page);
}

bool LocalReadingWins(const PageText& first, const PageText& local) {
    // Far more, and read well: over a photograph the local threshold makes the picture's grain into
    // letters as readily, and on print that reads well it breaks light strokes into noise.
    constexpr int kGain = 60;
    constexpr double kLegible = 75;
    return ThinReading(first) && SureLetters(local) >= SureLetters(first) + kGain &&
           Legibility(local) >= kLegible;
}

bool SecondReadingWins(const std::string& first, const std::string& again, const std::string& region) {
    const ContactCount before = ContactEvidence(first, region), after = ContactEvidence(again, region);
    return after.telephones >= before.telephones && after.emails >= before.emails &&
           after.webs >= before.webs &&
           after.telephones + after.emails + after.webs > before.telephones + before.emails + before.webs;
}

}  // namespace outside
