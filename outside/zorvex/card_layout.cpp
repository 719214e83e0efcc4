#include "outside/zorvex/card_layout.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <string>

#include "outside/zorvex/card_address.h"
#include "outside/zorvex/card_text.h"

namespace outside {

namespace {

int MedianHeight(const std::vector<Word>& words, size_t begin, size_t end) {
    std::vector<int> heights;
    for (size_t i = begin; i < end; ++i) heights.push_back(words[i].bottom - words[i].top);
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

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

constexpr float kRead = 40;  // a word this sure is print, though maybe misread

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

// The median height of the words of letters or digits in [begin, end), or 0 when there are none.
int PrintHeight(const std::vector<Word>& words, size_t begin, size_t end) {
    std::vector<int> heights;
    for (size_t i = begin; i < end; ++i)
        if (HasLetterOrDigit(words[i].text)) heights.push_back(WordHeight(words[i]));
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

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

namespace {

// How well the page read: its words' mean confidence, each word weighted by its length, so a stray
// mark read as one letter counts little. Text upside down reads as confident nonsense far less often.
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

// A line's words' mean confidence, each word weighted by its length (0 for a line of no text).
double MeanConfidence(const TextLine& line) {
    double weighted = 0, letters = 0;
    for (const Word& w : line.words) {
        weighted += w.confidence * static_cast<double>(w.text.size());
        letters += static_cast<double>(w.text.size());
    }
    return letters > 0 ? weighted / letters : 0;
}

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

// A line read surely on the whole (90 or more), of 8 letters and digits or more. Print upside down reads
// as nonsense: of the set's cards read upside down none gave one (their best, "HSOHLNVS", at 85), where
// a card read thin the right way up may (a name beside a photograph).
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

constexpr int kLargestWhole = 1400;  // pixels wide: a card cut out of the camera's picture is wider

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

// While it stands, Tesseract reads no line a second time inverted, as it does by default with every line
// it is unsure of, for light print on a dark ground.
class WithoutInvertedLines {
  public:
    explicit WithoutInvertedLines(tesseract::TessBaseAPI& api) : api_(api) {
        api_.GetDoubleVariable("invert_threshold", &threshold_);
        api_.SetVariable("invert_threshold", "0");
    }
    ~WithoutInvertedLines() { api_.SetVariable("invert_threshold", std::to_string(threshold_).c_str()); }
    WithoutInvertedLines(const WithoutInvertedLines&) = delete;
    WithoutInvertedLines& operator=(const WithoutInvertedLines&) = delete;

  private:
    tesseract::TessBaseAPI& api_;
    double threshold_ = 0;
};

// `grey` thresholded by the neighbourhood of each pixel (Sauvola, `half` pixels either way), or null.
PixPtr LocalThreshold(Pix* grey, int half) {
    Pix* binary = nullptr;
    if (grey == nullptr || pixSauvolaBinarize(grey, half, 0.34f, 1, nullptr, nullptr, nullptr, &binary) != 0)
        return nullptr;
    return PixPtr(binary);
}

// The part [x0, x1) x [y0, y1) of `picture` (within it), or null when it is under 8 pixels either way.
PixPtr ClipOf(Pix* picture, int x0, int y0, int x1, int y1) {
    if (x1 - x0 < 8 || y1 - y0 < 8) return nullptr;
    Box* box = boxCreate(x0, y0, x1 - x0, y1 - y0);
    PixPtr clip(pixClipRectangle(picture, box, nullptr));
    boxDestroy(&box);
    return clip;
}

// The words' boxes of a reading of a picture at `scale` of its size, given in the picture's own pixels.
void ScaleBack(PageText& page, float scale) {
    const auto back = [&](int& v) { v = static_cast<int>(static_cast<float>(v) / scale + 0.5f); };
    for (Paragraph& paragraph : page.paragraphs)
        for (TextLine& line : paragraph.lines)
            for (Word& word : line.words)
                back(word.left), back(word.top), back(word.right), back(word.bottom);
    for (PictureBlock& block : page.pictures)
        back(block.left), back(block.top), back(block.right), back(block.bottom);
}

// The words' boxes of a reading of a clip whose top left corner stood at (`x`, `y`), given in the whole
// picture's pixels.
void Shift(PageText& page, int x, int y) {
    for (Paragraph& paragraph : page.paragraphs)
        for (TextLine& line : paragraph.lines)
            for (Word& w : line.words) w.left += x, w.right += x, w.top += y, w.bottom += y;
    for (PictureBlock& b : page.pictures) b.left += x, b.right += x, b.top += y, b.bottom += y;
}

// The words of a reading that hold a letter or a digit: where it read something.
std::vector<Word> WordsRead(const PageText& page) {
    std::vector<Word> read;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words)
                if (HasLetterOrDigit(word.text)) read.push_back(word);
    return read;
}

// The word's box shares pixels with one of `read`.
bool OverlapsAny(const Word& w, const std::vector<Word>& read) {
    return std::any_of(read.begin(), read.end(), [&](const Word& r) {
        return std::min(w.right, r.right) > std::max(w.left, r.left) &&
               std::min(w.bottom, r.bottom) > std::max(w.top, r.top);
    });
}

// `picture` read at `scale` (at most 1) of its size, the words' boxes given in its own pixels.
PageText RecognizeReduced(Recognizer& recognizer, Pix* picture, int dpi, float scale) {
    if (scale >= 1) return recognizer.Recognize(picture, dpi, "card");
    PixPtr reduced(pixScale(picture, scale, scale));
    if (!reduced) return {};
    // A picture without a resolution of its own takes one from its width, the reduced one's.
    PageText page =
        recognizer.Recognize(reduced.get(), static_cast<int>(static_cast<float>(dpi) * scale), "card");
    ScaleBack(page, scale);
    return page;
}

// A second reading of a whole card, at half its size when it was cut out of the camera's picture: its
// print is large enough there, and the reading takes a third of the time. The words' boxes are given in
// the picture's own pixels. (The contrast-stretched reading below lost digits at half size,
// "(11)" read "(14)": it is reduced by the print the card was read in, see StretchedReadingScale.)
PageText RecognizeWhole(Recognizer& recognizer, Pix* picture, int dpi) {
    return RecognizeReduced(recognizer, picture, dpi, pixGetWidth(picture) > kLargestWhole ? 0.5f : 1.0f);
}

// The scale at which print of `height` pixels (its words' boxes) still stands `least` high: Tesseract
// reads print larger than that no better, and a reading's time grows with the picture's area.
float ScaleForPrint(int height, int least) {
    constexpr float kSmallest = 0.5f;
    if (height <= least) return 1.0f;
    return std::max(kSmallest, static_cast<float>(least) / static_cast<float>(height));
}

// A card whose reading got next to nothing is often print on a coloured ground beside a large white or
// dark picture (an orange card with a white logo): Tesseract's one threshold for the whole card then
// falls between the ground and the picture, and the print is lost with the ground. It is read again with
// a threshold set by each place's own neighbourhood (Sauvola's), see LocalReadingWins.
void ReadThinCardLocally(Recognizer& recognizer, Pix* picture, int dpi, PageText& page) {
    if (!ThinReading(page)) return;
    tesseract::TessBaseAPI& api = recognizer.Api();
    api.SetVariable("thresholding_method", "2");
    PageText local = RecognizeWhole(recognizer, picture, dpi);
    api.SetVariable("thresholding_method", "0");
    if (LocalReadingWins(page, local)) page = std::move(local);
}

// A card read thin whose layout Tesseract took for one picture over most of it (print on a photograph
// of the shop): the print under that block goes unread, by this reading and by any other with the same
// layout. It is read again as sparse text, which finds lines wherever they stand, and its lines where
// nothing was read are added as one block: those read surely (a name), and those that hold a contact
// (a number read doubtfully is read again later as a contact line).
void ReadPicturedCardSparsely(Recognizer& recognizer, Pix* picture, int dpi, PageText& page,
                              const std::string& region) {
    constexpr float kSureLine = 90, kSureWord = 80;
    if (!ThinReading(page) || !TakenForPicture(page, pixGetWidth(picture), pixGetHeight(picture))) return;
    recognizer.Api().SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
    const PageText sparse = RecognizeWhole(recognizer, picture, dpi);
    recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
    const std::vector<Word> read = WordsRead(page);
    Paragraph added;
    for (const Paragraph& paragraph : sparse.paragraphs)
        for (const TextLine& line : paragraph.lines) {
            if (std::ranges::any_of(line.words, [&](const Word& w) { return OverlapsAny(w, read); }))
                continue;
            const std::string text = LineText(line);
            const ContactCount contact = ContactEvidence(text, region);
            const bool sure =
                MeanConfidence(line) >= kSureLine &&
                std::ranges::all_of(line.words, [](const Word& w) { return w.confidence >= kSureWord; });
            if ((sure && HasLetterOrDigit(text)) || contact.telephones + contact.emails + contact.webs > 0)
                added.lines.push_back(line);
        }
    std::ranges::stable_sort(added.lines, {}, [](const TextLine& line) { return line.words.front().top; });
    if (!added.lines.empty()) page.paragraphs.push_back(std::move(added));
}

// The picture turned so its lines of print run level, or none when they already do (within half a
// degree) or no angle can be told. A card photographed askew, or a whole desk picture where no card was
// found, reads far better level; the angle is found on a reduced, locally thresholded copy, so a dark
// desk around the card is no print.
PixPtr Levelled(Pix* card) {
    constexpr float kSweep = 15;  // degrees either way
    PixPtr gray(pixConvertTo8(card, 0));
    if (!gray) return nullptr;
    const int width = pixGetWidth(gray.get());
    const float reduce = width > 1200 ? 1200.0f / static_cast<float>(width) : 1.0f;
    PixPtr small(reduce < 1 ? pixScale(gray.get(), reduce, reduce) : pixCopy(nullptr, gray.get()));
    PixPtr print = LocalThreshold(small.get(), 12);
    if (!print) return nullptr;
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(print.get(), &angle, &confidence, 1, 1, kSweep, 1.0f, 0.02f) != 0)
        return nullptr;
    // An angle Leptonica is not sure of is left alone; a small one is not worth a rotation's blur.
    if (confidence < 2.0f || std::abs(angle) < 0.5f || std::abs(angle) >= kSweep) return nullptr;
    // A card photographed at a slant (and pasted upright, so its cut is the photograph) has lines leaning
    // one way at the top and the other at the bottom: no turn levels both. The whole's angle stands when
    // the half of more marks of print, its many small lines, leans its way; one of the other half alone
    // (the card's edge and a few lines of large print) tilts them further, and they read worse.
    const int height = pixGetHeight(print.get());
    float halves[2] = {0, 0};
    l_int32 marks[2] = {0, 0};
    for (int half = 0; half < 2; ++half) {
        PixPtr part =
            ClipOf(print.get(), 0, half * height / 2, pixGetWidth(print.get()), (half + 1) * height / 2);
        l_float32 part_confidence = 0;
        if (!part || pixCountConnComp(part.get(), 8, &marks[half]) != 0 ||
            pixFindSkewSweepAndSearch(part.get(), &halves[half], &part_confidence, 1, 1, kSweep, 1.0f,
                                      0.02f) != 0 ||
            part_confidence < 2.0f)
            halves[half] = 0;
    }
    const float most = halves[marks[1] > marks[0] ? 1 : 0], fewer = halves[marks[1] > marks[0] ? 0 : 1];
    if (std::min(most, fewer) <= -0.5f && std::max(most, fewer) >= 0.5f && (most < 0) != (angle < 0))
        return nullptr;
    return PixPtr(pixRotate(card, angle * 3.14159265f / 180.0f, L_ROTATE_AREA_MAP, L_BRING_IN_WHITE, 0, 0));
}

// Tesseract now and then takes the words of a line in smaller print beside a large one (a name with the
// e-mail address in the next column) as part of the large line, and reads them as nonsense. Such a run
// of doubtful words after or before confident ones is read again on its own, and the words of that
// reading that lie where no confident word was read stand as lines of their own; the doubtful ones go.
void RereadDoubtfulRuns(Recognizer& recognizer, Pix* picture, int dpi, PageText& page) {
    constexpr float kDoubtful = 50, kSure = 80;
    constexpr int kRunPrint = 50;  // pixels of the words' boxes a run is read in at least
    const int resolution = PageResolution(dpi, pixGetWidth(picture));
    std::vector<Word> sure;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            for (const Word& word : line.words)
                if (word.confidence >= kSure) sure.push_back(word);
    const auto inside_sure = [&](const Word& w) {
        const int x = (w.left + w.right) / 2, y = (w.top + w.bottom) / 2;
        return std::any_of(sure.begin(), sure.end(), [&](const Word& s) {
            return x >= s.left && x <= s.right && y >= s.top && y <= s.bottom;
        });
    };
    // Each new reading goes after the paragraph it came from, so the lines keep their reading order.
    std::vector<std::pair<size_t, Paragraph>> added;
    for (size_t p = 0; p < page.paragraphs.size(); ++p)
        for (TextLine& line : page.paragraphs[p].lines) {
            std::vector<Word>& words = line.words;
            size_t begin = 0, end = words.size();
            while (begin < end && words[begin].confidence < kDoubtful) ++begin;
            while (end > begin && words[end - 1].confidence < kDoubtful) --end;
            // Two doubtful words at least at one end, and a confident word in the rest.
            const bool sure_rest =
                std::any_of(words.begin() + static_cast<long>(begin), words.begin() + static_cast<long>(end),
                            [&](const Word& w) { return w.confidence >= kSure; });
            size_t from = 0, to = 0;
            if (words.size() - end >= 2)
                from = end, to = words.size();
            else if (begin >= 2)
                from = 0, to = begin;
            if (to == 0 || !sure_rest) continue;
            Word box = words[from];
            for (size_t i = from; i < to; ++i) {
                box.left = std::min(box.left, words[i].left);
                box.top = std::min(box.top, words[i].top);
                box.right = std::max(box.right, words[i].right);
                box.bottom = std::max(box.bottom, words[i].bottom);
            }
            const int pad = (box.bottom - box.top) / 4;
            const int x0 = std::max(0, box.left - pad), y0 = std::max(0, box.top - pad);
            const int x1 = std::min(pixGetWidth(picture), box.right + pad);
            const int y1 = std::min(pixGetHeight(picture), box.bottom + pad);
            PixPtr clip = ClipOf(picture, x0, y0, x1, y1);
            if (!clip) continue;
            PageText again = RecognizeReduced(recognizer, clip.get(), resolution,
                                              ScaleForPrint(MedianHeight(words, from, to), kRunPrint));
            Shift(again, x0, y0);
            Paragraph found;
            for (const Paragraph& read : again.paragraphs)
                for (const TextLine& l : read.lines) {
                    TextLine kept;
                    for (const Word& w : l.words) {
                        if (w.confidence >= kDoubtful && !inside_sure(w)) kept.words.push_back(w);
                    }
                    if (!kept.words.empty()) found.lines.push_back(std::move(kept));
                }
            if (found.lines.empty()) continue;
            words.erase(words.begin() + static_cast<long>(from), words.begin() + static_cast<long>(to));
            added.emplace_back(p + 1, std::move(found));
        }
    for (auto it = added.rbegin(); it != added.rend(); ++it)
        page.paragraphs.insert(page.paragraphs.begin() + static_cast<long>(it->first), std::move(it->second));
}

// Print Tesseract's one global threshold loses: coloured, or light on a band or a photograph. The
// picture's grey is stretched to its local contrast and read once more, and what that reading found where
// nothing was read is added. Its time goes mostly to recognising lines, and only lines where nothing was
// read are added: its page layout is found first, and only the part of the card holding such lines is
// read (see UnreadAreas), none when there are none. A card read thin is read whole, as RecognizeWhole
// reads it (at half its size when cut out of the camera's picture): its few words read are mostly misread
// marks that Tesseract's recognition of a line parts otherwise than its layout, and this reading gives
// most of what the card gets. (Painting out the words already read saves time as well but changes how
// Tesseract lays out the rest, and it read less.)
void ReadUnreadRegions(Recognizer& recognizer, Pix* picture, int dpi, PageText& page) {
    constexpr int kTile = 100;          // pixels of the contrast's neighbourhood
    constexpr int kLeastContrast = 40;  // a tile's grey range below this is left as it is (no print)
    PixPtr grey(pixConvertTo8(picture, 0));
    if (!grey || pixGetWidth(grey.get()) < 2 * kTile || pixGetHeight(grey.get()) < 2 * kTile) return;
    PixPtr stretched(pixContrastNorm(nullptr, grey.get(), kTile, kTile, kLeastContrast, 2, 2));
    if (!stretched) return;
    if (ThinReading(page)) {
        AddUnreadLines(page, RecognizeWhole(recognizer, stretched.get(), dpi));
        return;
    }
    const float scale = StretchedReadingScale(page);
    PixPtr reduced(scale < 1 ? pixScale(stretched.get(), scale, scale) : nullptr);
    if (scale < 1 && !reduced) return;
    const int width = pixGetWidth(stretched.get()), height = pixGetHeight(stretched.get());
    // At the whole card's resolution, the reading's as well: Tesseract's page layout goes by it.
    const int resolution = PageResolution(dpi, width);
    PageText layout = recognizer.Layout(reduced ? reduced.get() : stretched.get(),
                                        static_cast<int>(static_cast<float>(resolution) * scale));
    if (scale < 1) ScaleBack(layout, scale);
    const std::vector<InkBox> areas = UnreadAreas(layout, page, width, height);
    // Lines left unread all over the card (a photograph's) need the whole of it read: the layout just
    // found is the reading's, and is not found again.
    if (areas.size() == 1 && areas[0].left == 0 && areas[0].top == 0 && areas[0].right == width &&
        areas[0].bottom == height) {
        PageText again = recognizer.RecognizeLaidOut("card");
        if (scale < 1) ScaleBack(again, scale);
        AddUnreadLines(page, again);
        return;
    }
    for (const InkBox& area : areas) {
        PixPtr clip = ClipOf(stretched.get(), area.left, area.top, area.right, area.bottom);
        if (!clip) continue;
        PageText again = RecognizeReduced(recognizer, clip.get(), resolution, scale);
        Shift(again, area.left, area.top);
        AddUnreadLines(page, again);
    }
}

// The marks of ink on `grey` (dark on light), each thresholded by its own neighbourhood.
std::vector<InkBox> InkMarks(Pix* grey) {
    std::vector<InkBox> marks;
    PixPtr ink = LocalThreshold(grey, 16);
    Boxa* boxes = ink ? pixConnCompBB(ink.get(), 8) : nullptr;
    if (!boxes) return marks;
    for (l_int32 i = 0; i < boxaGetCount(boxes); ++i) {
        l_int32 x = 0, y = 0, w = 0, h = 0;
        if (boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h) == 0) marks.push_back({x, y, x + w, y + h});
    }
    boxaDestroy(&boxes);
    return marks;
}

// A row of print of `print` pixels cut out of a card (`grey`, dark on light, with a margin), read as one
// line: scaled so its print stands some 40 pixels high and, where `local`, thresholded by its own
// neighbourhood, since Tesseract's one threshold over a clip of a photograph keeps the ground's grain.
// The words' boxes are in `grey`'s pixels.
TextLine ReadGreyRow(Recognizer& recognizer, Pix* grey, float print, const std::string& region,
                     bool local = true) {
    constexpr int kPrint = 40;
    const float scale = std::clamp(static_cast<float>(kPrint) / print, 0.5f, 4.0f);
    PixPtr scaled(pixScale(grey, scale, scale));
    if (scaled && local) {
        PixPtr ink = LocalThreshold(scaled.get(), kPrint / 2);
        // What touches the clip's edge is the ground's or a neighbour's, not the row's print.
        scaled.reset(ink ? pixRemoveBorderConnComps(ink.get(), 8) : nullptr);
    }
    if (!scaled) return {};
    TextLine line = ReadRow(recognizer, scaled.get(), region);
    for (Word& w : line.words) {
        const auto back = [&](int& v) { v = static_cast<int>(static_cast<float>(v) / scale); };
        back(w.left), back(w.right), back(w.top), back(w.bottom);
    }
    return line;
}

// A line twice as tall as it is wide runs up the card (a strip printed along its edge).
bool RunsUpTheCard(const LayoutLine& line) { return line.bottom - line.top > 2 * (line.right - line.left); }

// A telephone's line read in a box taller than its print (an icon, a rule or a speck beside the number
// read into its words: Tesseract then misreads a digit, "2294-9484" read "2294-9284"), or running up the
// card (a number along a strip at its edge, whose label and area code were left unread), read again as its
// row of print alone, as InkRows finds rows, dark on light or light on dark, in the recogniser's single
// line mode; nothing where the line's box holds no more than its row. `along`: the row is sought across
// the whole card, and read where it runs on past the line's ends by more than a letter (the layout took
// the rest of it for a picture's); nothing where it does not. `rank`: the row of most marks on the line is
// read, or the next where 1 (a box reaching over two rows).
std::optional<TextLine> PrintRowReading(Recognizer& recognizer, Pix* picture, const LayoutLine& line,
                                        const std::string& region, bool along = false, int rank = 0) {
    constexpr float kFinding = 45;   // pixels the print stands at most where its row is looked for
    constexpr float kTaller = 1.5f;  // a box this much taller than its row's print holds more than print
    const bool upward = RunsUpTheCard(line);
    // Across the line: the print's height, at most.
    const int across = upward ? line.right - line.left : line.height;
    if (across < 4) return std::nullopt;
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    // Up the card, the whole strip: what the line's reading left out lies along it. So too past a box over
    // two rows, whose ends need not be the number's.
    const bool wide = along || (rank > 0 && !upward);
    const int x0 = wide ? 0 : std::max(0, line.left - across / 2),
              x1 = wide ? width : std::min(width, line.right + across / 2);
    const int y0 = upward ? 0 : std::max(0, line.top - across / 3);
    const int y1 = upward ? height : std::min(height, line.bottom + across / 3);
    PixPtr clip = ClipOf(picture, x0, y0, x1, y1);
    PixPtr grey(clip ? pixConvertTo8(clip.get(), 0) : nullptr);
    // Turned so the strip runs level, its foot (where print running up starts) on the left.
    if (grey && upward) grey.reset(pixRotateOrth(grey.get(), 1));
    if (!grey) return std::nullopt;
    // The line's span along itself, in `grey`'s pixels.
    const int from = upward ? (y1 - y0) - (line.bottom - y0) : line.left - x0;
    const int to = upward ? (y1 - y0) - (line.top - y0) : line.right - x0;
    const float reduce = std::min(1.0f, kFinding / static_cast<float>(across));
    PixPtr small(reduce < 1 ? pixScale(grey.get(), reduce, reduce) : pixCopy(nullptr, grey.get()));
    if (!small) return std::nullopt;
    std::vector<std::pair<InkRow, bool>> rows;  // on the line, and whether light on dark
    for (const bool inverted : {false, true}) {
        if (inverted) pixInvert(small.get(), small.get());
        for (const InkRow& row : InkRows(InkMarks(small.get()))) {
            const float left = static_cast<float>(row.box.left) / reduce,
                        right = static_cast<float>(row.box.right) / reduce;
            const float centre = static_cast<float>(row.box.top + row.box.bottom) / 2 / reduce;
            const bool on_line =
                std::min(right, static_cast<float>(to)) > std::max(left, static_cast<float>(from)) &&
                (upward || (centre > static_cast<float>(line.top - y0) &&
                            centre < static_cast<float>(line.bottom - y0)));
            if (on_line) rows.emplace_back(row, inverted);
        }
    }
    if (static_cast<int>(rows.size()) <= rank) return std::nullopt;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.first.marks > b.first.marks; });
    // After the row of most marks, the one of the tallest print: a number stands out in its box as a
    // line of small print beside it does not.
    std::stable_sort(rows.begin() + 1, rows.end(),
                     [](const auto& a, const auto& b) { return a.first.height > b.first.height; });
    const std::optional<InkRow> best = rows[static_cast<size_t>(rank)].first;
    const bool light = rows[static_cast<size_t>(rank)].second;
    const float print = static_cast<float>(best->height) / reduce;
    if (along) {
        if (static_cast<float>(from) - static_cast<float>(best->box.left) / reduce <= print &&
            static_cast<float>(best->box.right) / reduce - static_cast<float>(to) <= print)
            return std::nullopt;
    } else if (!upward && static_cast<float>(best->box.bottom - best->box.top) / reduce * kTaller >
                              static_cast<float>(line.height)) {
        return std::nullopt;
    }
    if (light) pixInvert(grey.get(), grey.get());
    // Close round the row: an icon stands apart from the number by less than a blank, and specks of a
    // pattern beside the print are read as signs.
    const int margin_x = static_cast<int>(print * 0.3f) + 2, margin_y = static_cast<int>(print * 0.3f) + 2;
    const auto at = [&](int v) { return static_cast<int>(static_cast<float>(v) / reduce); };
    PixPtr row = ClipOf(grey.get(), std::max(0, at(best->box.left) - margin_x),
                        std::max(0, at(best->box.top) - margin_y),
                        std::min(pixGetWidth(grey.get()), at(best->box.right) + margin_x),
                        std::min(pixGetHeight(grey.get()), at(best->box.bottom) + margin_y));
    if (!row) return std::nullopt;
    recognizer.Api().SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    const WithoutInvertedLines plain(recognizer.Api());
    // Thresholded by its neighbourhood (a photograph's ground) and by Tesseract alone (print on an even
    // ground, whose strokes the former frays: "9484" read "9284"): the surer reading stands.
    const auto surer = [&](Pix* pix) {
        TextLine local = ReadGreyRow(recognizer, pix, print, region);
        TextLine plain = ReadGreyRow(recognizer, pix, print, region, false);
        return MeanConfidence(plain) > MeanConfidence(local) ? plain : local;
    };
    TextLine again = surer(row.get());
    // A number in colour beside a row of other print (yellow print on a sky or snow) is light on the grey,
    // and dark on each pixel's darkest channel: read there too where the grey read it unsurely.
    constexpr float kSure = 90;  // as a contact line read this surely is left as it is
    if (rank > 0 && !upward && pixGetDepth(clip.get()) == 32 && MeanConfidence(again) < kSure) {
        PixPtr darkest(pixConvertRGBToGrayMinMax(clip.get(), L_CHOOSE_MIN));
        PixPtr dark_row(darkest ? ClipOf(darkest.get(), std::max(0, at(best->box.left) - margin_x),
                                         std::max(0, at(best->box.top) - margin_y),
                                         std::min(pixGetWidth(grey.get()), at(best->box.right) + margin_x),
                                         std::min(pixGetHeight(grey.get()), at(best->box.bottom) + margin_y))
                                : nullptr);
        TextLine other = dark_row ? surer(dark_row.get()) : TextLine{};
        // The one giving more numbers the plan dials ("(di)" for "(11)" loses a number its area code), else
        // the surer.
        const int dialled = ContactEvidence(LineText(other), region).dialled,
                  was = ContactEvidence(LineText(again), region).dialled;
        if (dialled > was || (dialled == was && MeanConfidence(other) > MeanConfidence(again)))
            again = std::move(other);
    }
    if (upward) {
        // Print running down the card reads the other way.
        PixPtr turned(pixRotate180(nullptr, row.get()));
        TextLine other = turned ? surer(turned.get()) : TextLine{};
        if (MeanConfidence(other) > MeanConfidence(again)) again = std::move(other);
    }
    return again;
}

// The row replaces the line where it gives a telephone, and no fewer telephones, e-mail and web addresses,
// and numbers the plan dials; whether it did.
bool RereadPrintRow(Recognizer& recognizer, Pix* picture, LayoutLine& line, const std::string& region) {
    const ContactCount before = ContactEvidence(line.text, region);
    // A box reaching over two rows: the row of most marks may be the one beside the number's ("Trabalhamos
    // com todas as marcas" over a number in yellow), and the next is read where it gave no telephone.
    for (int rank = 0; rank < (RunsUpTheCard(line) ? 1 : 2); ++rank) {
        const std::optional<TextLine> read = PrintRowReading(recognizer, picture, line, region, false, rank);
        if (!read) return false;
        const TextLine& again = *read;
        const std::string text = LineText(again);
        const ContactCount after = ContactEvidence(text, region);
        if (after.telephones == 0) continue;
        // Only for its telephones: a web or e-mail address read so lost its start ("https://", a "b" whose
        // ascender left it out of the row).
        if (after.telephones < before.telephones || after.emails < before.emails ||
            after.webs < before.webs || after.dialled < before.dialled)
            return false;
        line.text = text;
        line.confidence = static_cast<float>(MeanConfidence(again));
        return true;
    }
    return false;
}

// An e-mail or web address's line, an e-mail's label's or a street's, read again as its whole row (see
// PrintRowReading's `along`); the row replaces it where it holds the line's letters and more (or an e-mail
// after the label), and no fewer contacts; whether it did.
bool LongerRowReading(Recognizer& recognizer, Pix* picture, LayoutLine& line, const std::string& region) {
    const ContactCount before = ContactEvidence(line.text, region);
    // An e-mail's label with no address after it: its "@" was misread and the rest of the address may
    // have been left to another line ("E-mail: sonaocasaúbol." and "«br").
    const bool labelled =
        before.emails == 0 && card_rules::Lower(line.text).find("mail") != std::string::npos;
    if (before.emails + before.webs == 0 && !card_rules::StreetShaped(line.text) && !labelled) return false;
    const std::optional<TextLine> read = PrintRowReading(recognizer, picture, line, region, true);
    if (!read) return false;
    const std::string text = LineText(*read);
    const ContactCount after = ContactEvidence(text, region);
    const std::string was = card_rules::Compact(line.text), now = card_rules::Compact(text);
    // The row read alone repeats the line's letters and reads more, or gives the labelled line its address
    // (the misread "@" not repeated) after the same label.
    const bool repeats = now.size() > was.size() && now.find(was) != std::string::npos;
    const bool addressed = labelled && after.emails > 0 &&
                           card_rules::Words(text).front() == card_rules::Words(line.text).front();
    if ((!repeats && !addressed) || after.emails < before.emails || after.webs < before.webs ||
        after.telephones < before.telephones)
        return false;
    line.text = text;
    line.confidence = static_cast<float>(MeanConfidence(*read));
    return true;
}

// The line cut out of the card with a margin of a third of its height above and below and half of it at
// its ends, within the card; none where it cannot be cut out.
PixPtr LineWithMargin(Pix* picture, const LayoutLine& line) {
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    const int margin_y = line.height / 3 + 2, margin_x = line.height / 2 + 2;
    const int x0 = std::max(0, line.left - margin_x), y0 = std::max(0, line.top - margin_y);
    const int x1 = std::min(width, line.right + margin_x), y1 = std::min(height, line.bottom + margin_y);
    return ClipOf(picture, x0, y0, x1, y1);
}

// The line cut out of the card (see LineWithMargin), scaled so its print stands `print` pixels high, and
// read as one line (the recogniser is left in that mode); none where it cannot be cut out.
std::optional<PageText> ReadLineAlone(Recognizer& recognizer, Pix* picture, const LayoutLine& line,
                                      int print) {
    PixPtr clip = LineWithMargin(picture, line);
    if (!clip) return std::nullopt;
    const float scale = std::clamp(static_cast<float>(print) / static_cast<float>(line.height), 0.5f, 4.0f);
    PixPtr scaled(pixScale(clip.get(), scale, scale));
    if (!scaled) return std::nullopt;
    recognizer.Api().SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    return recognizer.Recognize(scaled.get(), 300, "card");
}

// A reading's words joined by single blanks, in reading order.
std::string PageWords(const PageText& page) {
    std::string text;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines)
            if (const std::string words = LineText(line); !words.empty())
                text += (text.empty() ? "" : " ") + words;
    return text;
}

// The height from which a card's line is in large print: half as large again as the median line's.
int LargePrint(const std::vector<LayoutLine>& lines) {
    std::vector<int> heights;
    for (const LayoutLine& line : lines) heights.push_back(line.height);
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2] * 3 / 2;
}

// Large print read in a box taller than its print (a band or a rule over a shop's name read into its
// words) loses its marks: "MECÂNICA" read "MECANICA", and a company's name is then misspelt, or missed for
// want of its trade word. Such a line, read surely and in print larger than most, is read again as its row
// alone (see PrintRowReading); the row replaces it only where it spells the same letters and marks some.
void RestoreMarks(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                  const std::string& region) {
    constexpr float kSure = 85;
    if (lines.empty()) return;
    const int large = LargePrint(lines);
    const auto beyond_ascii = [](char c) { return (c & 0x80) != 0; };
    bool read_as_one_line = false;
    for (LayoutLine& line : lines) {
        if (line.confidence < kSure || line.height < large || RunsUpTheCard(line) ||
            std::any_of(line.text.begin(), line.text.end(),
                        [&](char c) { return beyond_ascii(c) || IsAsciiDigit(c); }) ||
            card_rules::Compact(line.text).size() < 3)
            continue;
        const std::optional<TextLine> again = PrintRowReading(recognizer, picture, line, region);
        read_as_one_line = true;
        const std::string text = again ? LineText(*again) : "";
        if (text == line.text || card_rules::Compact(text) != card_rules::Compact(line.text) ||
            std::none_of(text.begin(), text.end(), beyond_ascii)) {
            // A word borrowed from another language lost a mark the card's own data cannot spell ("Café"
            // read "Cafe" in German): read alone in English, at its own size up to 32 pixels as address
            // lines are (see RestoreAddressMarks), it takes the marks that reading gives. English's data
            // marks one letter, "é": a line without an "e" is left, as is one with a sign no name or
            // company's holds (an e-mail's "@", "Pequenos:Consertos"), whose words need no marks.
            constexpr int kLargest = 32;
            const bool named = std::all_of(line.text.begin(), line.text.end(), [](char c) {
                return std::isalpha(static_cast<unsigned char>(c)) != 0 || std::strchr(" .-&'", c) != nullptr;
            });
            Recognizer* english =
                named && line.text.find_first_of("eE") != std::string::npos ? recognizer.English() : nullptr;
            if (english)
                if (const std::optional<PageText> alone =
                        ReadLineAlone(*english, picture, line, std::min(line.height, kLargest)))
                    line.text = card_rules::MarksFrom(line.text, PageWords(*alone));
            continue;
        }
        line.text = text;
        // The print's own height, not the box's: the rules compare lines by their print.
        line.height = MedianHeight(again->words, 0, again->words.size());
    }
    if (read_as_one_line) recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
}

// A contact line recognition was unsure of, read again alone: cut out of the card with a margin,
// scaled so its print stands some 50 pixels high (an x-height of about 30, where Tesseract reads best)
// and read as one line; the new reading replaces the first where SecondReadingWins. (Taking the surer
// of two readings that parse alike changed right letters as often as wrong ones: "guina" became
// "quina".)
void RereadContactLines(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                        const std::string& region) {
    constexpr float kSure = 90;  // a reading this sure is left as it is
    constexpr int kPrint = 50;   // pixels of a line's word boxes after scaling
    tesseract::TessBaseAPI& api = recognizer.Api();
    bool single = false;
    for (LayoutLine& line : lines) {
        if (line.height < 4) continue;
        // A street's line the layout cut short at a picture's edge ("... Pereira, 1325", its district
        // after it left on a gradient taken for a picture) is read again as its whole row alone too.
        if (!LooksLikeContactLine(line.text)) {
            if (card_rules::StreetShaped(line.text) && !RunsUpTheCard(line)) {
                LongerRowReading(recognizer, picture, line, region);
                single = single || api.GetPageSegMode() == tesseract::PSM_SINGLE_LINE;
            }
            continue;
        }
        // A telephone's worth of digits, read unsurely or up the card.
        if ((RunsUpTheCard(line) || line.confidence < kSure) &&
            std::count_if(line.text.begin(), line.text.end(), IsAsciiDigit) >= 6) {
            const bool replaced = RereadPrintRow(recognizer, picture, line, region);
            single = true;
            if (replaced) continue;
        }
        // An address's line the layout cut short at a picture it took the row's start or end for
        // ("floresn" over a photograph, "sfatima@..." read): its row read alone stands where it repeats the
        // line and reads more.
        if (!RunsUpTheCard(line)) {
            const bool longer = LongerRowReading(recognizer, picture, line, region);
            single = single || api.GetPageSegMode() == tesseract::PSM_SINGLE_LINE;
            if (longer) continue;
        }
        if (line.confidence >= kSure) continue;
        // Each time: the row reading above leaves the card's own mode where it found no row to read.
        const std::optional<PageText> again = ReadLineAlone(recognizer, picture, line, kPrint);
        if (!again) continue;
        single = true;
        const std::string text = PageWords(*again);
        if (text.empty()) continue;
        if (SecondReadingWins(line.text, text, region)) {
            line.text = text;
            line.confidence = static_cast<float>(Legibility(*again));
        }
    }
    if (single) api.SetPageSegMode(tesseract::PSM_AUTO);
}

// A line of words of letters read surely (85 or more, no word under 70) with a word of three letters at
// least: what is read so in a picture is lettering, not a photograph's grain.
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

// Display print drawn in outline (dark letters ringed in white on a coloured band) is read as nonsense on
// the whole card, whose one threshold takes the band and the letters for ink alike. A line in print half
// as large again as most, of letters, read doubtfully (under 50, which the field rules leave in the note),
// is read again as its row alone on each pixel's brightest channel (a coloured ground light there, dark
// print dark), thresholded by its own neighbourhood, and that reading, where sure (90 or more) and of
// words of letters, takes its place.
void RereadDisplayLines(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                        const std::string& region) {
    constexpr float kDoubtful = 50, kSure = 90;
    constexpr int kLetters = 4;
    if (lines.empty()) return;
    const int large = LargePrint(lines);
    tesseract::TessBaseAPI& api = recognizer.Api();
    bool single = false;
    for (LayoutLine& line : lines) {
        if (line.height < large || line.confidence >= kDoubtful ||
            card_rules::LetterCount(line.text) < kLetters || card_rules::HasDigit(line.text) ||
            LooksLikeContactLine(line.text))
            continue;
        PixPtr clip = LineWithMargin(picture, line);
        if (!clip) continue;
        PixPtr grey(pixGetDepth(clip.get()) == 32 ? pixConvertRGBToGrayMinMax(clip.get(), L_CHOOSE_MAX)
                                                  : pixConvertTo8(clip.get(), 0));
        if (!grey) continue;
        if (!single) api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
        single = true;
        const TextLine again = ReadGreyRow(recognizer, grey.get(), static_cast<float>(line.height), region);
        const std::string text = LineText(again);
        if (MeanConfidence(again) >= kSure && LettersReadSurely(again) &&
            card_rules::LetterCount(text) >= kLetters) {
            line.text = text;
            line.confidence = static_cast<float>(MeanConfidence(again));
        }
    }
    if (single) api.SetPageSegMode(tesseract::PSM_AUTO);
}

// Small print read on the whole card now and then loses a mark that the line read alone keeps ("Sao
// Paulo" beside "Tatuapé", both read surely). An address's line (a street and its number, or a postal
// code, and no telephone, whose digits make a line long) read surely is read alone, in a language whose
// data has marks to give (English's has none), and its words read so with marks take them (see
// MarksFrom). It is read at its own size, print over 32 pixels reduced to that: the mark is kept so as
// well, and an enlarged line's reading costs twice the time.
void RestoreAddressMarks(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                         const std::string& region) {
    constexpr float kSure = 85;
    constexpr int kLargest = 32;
    if (recognizer.Language() == "eng") return;
    // Only a Latin word can have lost a mark.
    static const std::regex kLatinWord("[A-Za-z]{3}");
    bool single = false;
    for (LayoutLine& line : lines) {
        if (line.confidence < kSure || line.height < 4 || RunsUpTheCard(line) ||
            !std::regex_search(line.text, kLatinWord) ||
            !(card_rules::StreetShaped(line.text) || card_rules::HasPostalCode(line.text)) ||
            ContactEvidence(line.text, region).telephones > 0)
            continue;
        const std::optional<PageText> again =
            ReadLineAlone(recognizer, picture, line, std::min(line.height, kLargest));
        single = single || again.has_value();
        if (again) line.text = card_rules::MarksFrom(line.text, PageWords(*again));
    }
    if (single) recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
}

}  // namespace

TextLine ReadRow(Recognizer& recognizer, Pix* row, const std::string& region) {
    constexpr float kSure = 80;  // a row read less surely is not added (see AddSureLines)
    const auto read = [&](Pix* pix, int times) {
        TextLine line;
        for (const Paragraph& paragraph : recognizer.Recognize(pix, 300, "card").paragraphs)
            for (const TextLine& l : paragraph.lines)
                for (Word w : l.words) {
                    w.left *= times, w.right *= times, w.top *= times, w.bottom *= times;
                    line.words.push_back(std::move(w));
                }
        return line;
    };
    TextLine line = read(row, 1);
    // At one size Tesseract now and then parts a line at a glyph it cannot place ("@" read "B", every
    // word at confidence 0) that it reads surely at another: a contact row read unsurely is read once
    // more at half its size, and the surer reading stands. (Other rows are not added however read.)
    if (MeanConfidence(line) >= kSure || pixGetDepth(row) != 1) return line;
    const std::string text = LineText(line);
    const ContactCount contacts = ContactEvidence(text, region);
    // A domain's dot between letters ("dominio.com") where the "@" before it was lost.
    bool domain = false;
    for (size_t at = 1; at + 1 < text.size(); ++at)
        domain = domain || (text[at] == '.' && std::isalnum(static_cast<unsigned char>(text[at - 1])) != 0 &&
                            std::isalpha(static_cast<unsigned char>(text[at + 1])) != 0);
    if (!domain && !LooksLikeContactLine(text) && contacts.telephones + contacts.emails + contacts.webs == 0)
        return line;
    PixPtr half(pixScaleToGray2(row));
    if (!half) return line;
    TextLine again = read(half.get(), 2);
    return MeanConfidence(again) > MeanConfidence(line) ? again : line;
}

namespace {

void AddSureLines(PageText& page, const PageText& again, const std::vector<Word>& read, bool titles);

// The digits of a line (six or more), or the word with its "@", are in a line of the page already: a row
// read again where a first reading got it more doubtfully, or shifted.
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

// Grey print barely darker than its ground (a few levels on a shaded design) made dark: the ground made
// even by the light of each part of the card, then the 40 levels under it stretched to the full range, so
// a local threshold tells such print from the ground and the ground's grain stays light. Null where it
// cannot be.
PixPtr FaintPrintDarkened(Pix* grey) {
    constexpr l_uint32 kDepth = 40;  // levels under the even ground
    PixPtr even(pixBackgroundNormSimple(grey, nullptr, nullptr));
    l_uint32 ground = 0;
    if (!even || pixGetRankValue(even.get(), 1, 0.5f, &ground) != 0 || ground <= kDepth) return nullptr;
    return PixPtr(pixGammaTRC(nullptr, even.get(), 1.0f, static_cast<l_int32>(ground - kDepth),
                              static_cast<l_int32>(ground)));
}

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

// A row of lettering over a picture that may be a company's name: read surely (90 or more), one to five
// words of letters (no digit: contact rows are added as such), a capital first (one starting in lower
// case was cut out of a word), four letters at least.
bool LetteringShaped(TextLine& line, float sure = 90) {
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

// A row of words, not of numbers or addresses: two words of three letters or more, no digit, no "@".
bool WordsRow(const std::string& text) {
    if (card_rules::HasDigit(text) || text.find('@') != std::string::npos) return false;
    const std::vector<std::string> words = card_rules::Words(text);
    return std::count_if(words.begin(), words.end(),
                         [](const std::string& w) { return card_rules::Compact(w).size() >= 3; }) >= 2;
}

// Print Tesseract's page layout passes over: light print on a dark or photographed ground that it takes
// for a picture, coloured print over a pattern. Rows of letter-sized marks are looked for on each colour
// channel of the card, dark on light and light on dark (see InkRows); each row where nothing was read is
// read alone, in the channel it stood out in, dark on light, scaled so its print stands some 40 pixels
// high, and what reads as a contact line or a job title surely is added as AddUnreadLines adds the
// stretched reading's, a row giving a number with its area code fairly surely as well. Faint grey print on
// a shaded ground stands out in none of the channels; it is looked for on the grey with its ground made
// even and darkened (see FaintPrintDarkened).
void ReadInkRows(Recognizer& recognizer, Pix* picture, PageText& page, const std::string& region) {
    constexpr int kWidth = 1000;       // pixels: the rows are looked for on a copy this wide at most
    constexpr size_t kRows = 6;        // rows read at most, the longest first
    constexpr float kSureTitle = 90;   // a title row read less surely is not added
    constexpr float kFairlySure = 60;  // a row giving a number with its area code is taken from this
    // A row giving an e-mail address of the whole shape (a name, an "@", a domain ending in a top-level
    // one of letters) is taken from this: grain on a photograph reads as no such thing.
    constexpr float kEmailShaped = 30;
    // A row of words read less surely is read again plainly, on half the rows at most (the longest):
    // each reading costs as much as the row's first.
    constexpr float kSureWords = 80;
    constexpr int kPlainRereads = static_cast<int>(kRows / 2);
    // Grey, red, green and blue, each either way light, and the grey with faint print darkened (dark on
    // light only: the ground is made even as a light one).
    constexpr int kSources = 9, kFaint = 8;
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    const float reduce = width > kWidth ? static_cast<float>(kWidth) / static_cast<float>(width) : 1.0f;
    PixPtr small(reduce < 1 ? pixScale(picture, reduce, reduce) : pixCopy(nullptr, picture));
    if (!small) return;
    const bool colour = pixGetDepth(small.get()) == 32;
    // Picture `source` of the card (a channel, light inverted for the odd ones), from `pix`.
    const auto channel = [&](Pix* pix, int source) -> PixPtr {
        const int kind = source / 2;
        if (kind > 0 && kind < 4 && !colour) return nullptr;
        PixPtr grey(kind == 0 || kind == 4 ? pixConvertTo8(pix, 0)
                                           : pixGetRGBComponent(pix, kind == 1   ? COLOR_RED
                                                                     : kind == 2 ? COLOR_GREEN
                                                                                 : COLOR_BLUE));
        if (grey && kind == 4) grey = FaintPrintDarkened(grey.get());
        if (grey && source % 2 == 1) pixInvert(grey.get(), grey.get());
        return grey;
    };
    std::vector<InkRow> rows;
    for (int source = 0; source < kSources; ++source) {
        // Faint print is looked for only where no channel shows a row unread: on a photograph the even
        // ground's grain makes rows of its own, which would take the place of print.
        if (source == kFaint) {
            rows = UnreadRows(std::move(rows), page, 1.0f / reduce);
            if (!rows.empty()) break;
        }
        PixPtr grey = channel(small.get(), source);
        if (!grey) continue;
        for (InkRow& row : InkRows(InkMarks(grey.get()))) {
            row.source = source;
            rows.push_back(row);
        }
    }
    rows = UnreadRows(std::move(rows), page, 1.0f / reduce);
    if (rows.size() > kRows) rows.resize(kRows);
    if (rows.empty()) return;
    tesseract::TessBaseAPI& api = recognizer.Api();
    api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    // Each row is made dark on light below: Tesseract's second reading of an unsure line inverted would
    // read white print on black, and it took up to a fifth of the rows' time.
    const WithoutInvertedLines plain(api);
    PageText again;
    std::vector<TextLine> lettering;
    PixPtr even;
    int plain_rereads = 0;
    for (const InkRow& row : rows) {
        const float print = static_cast<float>(row.height) / reduce;
        const int margin_x = static_cast<int>(print * 0.8f) + 2,
                  margin_y = static_cast<int>(print * 0.5f) + 2;
        const int x0 = std::max(0, static_cast<int>(static_cast<float>(row.box.left) / reduce) - margin_x);
        const int y0 = std::max(0, static_cast<int>(static_cast<float>(row.box.top) / reduce) - margin_y);
        const int x1 =
            std::min(width, static_cast<int>(static_cast<float>(row.box.right) / reduce) + margin_x);
        const int y1 =
            std::min(height, static_cast<int>(static_cast<float>(row.box.bottom) / reduce) + margin_y);
        // Faint print is cut out of the whole card made even and stretched: a row alone is too little
        // ground to tell the print's levels from.
        if (row.source == kFaint && !even) even = channel(picture, kFaint);
        PixPtr clip = ClipOf(row.source == kFaint ? even.get() : picture, x0, y0, x1, y1);
        if (!clip) continue;
        PixPtr grey = row.source == kFaint ? std::move(clip) : channel(clip.get(), row.source);
        if (!grey) continue;
        TextLine line = ReadGreyRow(recognizer, grey.get(), print, region);
        // A threshold by each place's neighbourhood breaks the thin strokes of a blurred script apart
        // ("dtair Dura Miranda"): a row of words read unsurely so is read again on Tesseract's own
        // threshold, and the surer reading stands where it is a row of words too. (Rows of numbers and
        // addresses read right locally as a rule.)
        if (MeanConfidence(line) < kSureWords && WordsRow(LineText(line)) && plain_rereads < kPlainRereads) {
            ++plain_rereads;
            TextLine plainly = ReadGreyRow(recognizer, grey.get(), print, region, false);
            if (MeanConfidence(plainly) > MeanConfidence(line) && WordsRow(LineText(plainly)))
                line = std::move(plainly);
        }
        for (Word& w : line.words) w.left += x0, w.right += x0, w.top += y0, w.bottom += y0;
        // Only what gives a telephone, an e-mail or a web address, and not one the card's reading has, or
        // a job title read surely: a line with a job word is no logo's lettering. One starting in lower
        // case was cut out of a word ("orsultor ce marketing").
        const std::string text = LineText(line);
        const ContactCount contacts = ContactEvidence(text, region);
        if ((contacts.telephones + contacts.emails + contacts.webs > 0 ||
             (TitleShaped(text) && std::isupper(static_cast<unsigned char>(text[0])) != 0 &&
              MeanConfidence(line) >= kSureTitle)) &&
            !AlreadyRead(text, page))
            again.paragraphs.push_back({{std::move(line)}});
        else
            lettering.push_back(std::move(line));
    }
    api.SetPageSegMode(tesseract::PSM_AUTO);
    // In reading order, so a number under another follows it.
    std::stable_sort(again.paragraphs.begin(), again.paragraphs.end(),
                     [](const Paragraph& a, const Paragraph& b) {
                         return a.lines.front().words.front().top < b.lines.front().words.front().top;
                     });
    const size_t first_added = page.paragraphs.size();
    for (Paragraph& paragraph : again.paragraphs) {
        // Print over a pattern reads less surely than 80 even where every glyph is right; a number the
        // plan dials as printed, with its area code, and read fairly surely, is seldom grain.
        const TextLine& line = paragraph.lines.front();
        const ContactCount contacts = ContactEvidence(LineText(line), region);
        if ((MeanConfidence(line) >= kFairlySure && contacts.dialled > 0) ||
            (MeanConfidence(line) >= kEmailShaped && contacts.emails > 0)) {
            page.paragraphs.push_back(std::move(paragraph));
        } else {
            PageText one;
            one.paragraphs.push_back(std::move(paragraph));
            AddSureLines(page, one, {}, true);
        }
    }
    // An added row giving an e-mail address replaces the words the card's reading got of its print and
    // barely read (a row counts as unread under them, see UnreadRows): read so, its "@" was lost ("ad tima
    // hotmail.com" at confidence 0 for "floresnsfatima@hotmail.com"), and its domain would pass for a web
    // address. (Such words of a web address may be righter than the row's: "buffetbrunau" read
    // "bufferbrunau" alone.)
    for (size_t added = first_added; added < page.paragraphs.size(); ++added)
        for (const TextLine& row : page.paragraphs[added].lines) {
            if (row.words.empty() || ContactEvidence(LineText(row), region).emails == 0) continue;
            const LayoutLine span = Segment(row.words, 0, row.words.size(), 0);
            for (size_t p = 0; p < first_added; ++p)
                for (TextLine& line : page.paragraphs[p].lines)
                    std::erase_if(line.words, [&](const Word& w) {
                        const int centre = (w.top + w.bottom) / 2;
                        return w.confidence < kRead && centre >= span.top && centre <= span.bottom &&
                               w.right > span.left && w.left < span.right;
                    });
        }
    // Lettering over a picture last, so the rows it replaces are the card's own reading's.
    AddLettering(page, std::move(lettering));
}

// Lettering Tesseract's page layout takes for a picture: a company's name drawn large over a design or
// beside its logo ("selva digitals" under an icon, "BORCELLE AIRLINES" on a coloured band). Each block it
// lays out as a picture (a "word" of no text) is cut out and read on its own, thresholded by each place's
// neighbourhood so a coloured ground or a gradient is no print, and the lines of letters read surely
// where nothing was read are added; which of them names the company the field rules decide.
void ReadPictureBlocks(Recognizer& recognizer, Pix* picture, int dpi, PageText& page) {
    // Display print is read at half its size, nearer the 30 to 40 pixels Tesseract reads best.
    constexpr float kScale = 0.5f;
    constexpr long kLargestBlock = 1000000;  // pixels
    // A photographed card's grain and shadows make dozens of small picture blocks; a design's lettering
    // stands in a few large ones. The largest are read first, up to this many pixels in all.
    constexpr long kPixelsRead = 600000;
    constexpr float kLegible = 60;  // a word read this surely is print that shows on its channel
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    std::vector<InkBox> blocks = PictureBlocks(page, width, height);
    if (blocks.empty()) return;
    const auto area = [](const InkBox& b) {
        return static_cast<long>(b.right - b.left) * (b.bottom - b.top);
    };
    std::stable_sort(blocks.begin(), blocks.end(),
                     [&](const InkBox& a, const InkBox& b) { return area(a) > area(b); });
    long pixels = 0;
    const std::vector<Word> read = WordsRead(page);
    const int resolution = PageResolution(dpi, width);
    tesseract::TessBaseAPI& api = recognizer.Api();
    PageText again;
    for (const InkBox& block : blocks) {
        // A camera picture's photograph (a desk, a hand) is no logo, and its reading would take seconds.
        if (area(block) > kLargestBlock) continue;
        if ((pixels += area(block)) > kPixelsRead) break;
        // The block's edge may cut its print's top (a band under a line of capitals).
        const int margin = std::max(8, (block.bottom - block.top) / 8);
        const int x0 = std::max(0, block.left - margin), y0 = std::max(0, block.top - margin);
        PixPtr clip = ClipOf(picture, x0, y0, std::min(width, block.right + margin),
                             std::min(height, block.bottom + margin));
        if (!clip) continue;
        const bool colour = pixGetDepth(clip.get()) == 32;
        // The block read on `grey` (the clip made grey), its lines of letters read surely where nothing
        // was read; `legible` tells whether it read any word of letters or digits fairly surely (60 or
        // more).
        const auto read_block = [&](PixPtr grey, bool& legible) {
            Paragraph lines;
            PixPtr reduced(grey ? pixScale(grey.get(), kScale, kScale) : nullptr);
            if (!reduced) return lines;
            // Read as sparse text: Tesseract's page layout would take the block for a picture again.
            api.SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
            PageText found =
                recognizer.Recognize(reduced.get(), static_cast<int>(resolution * kScale), "card");
            api.SetPageSegMode(tesseract::PSM_AUTO);
            ScaleBack(found, kScale);
            Shift(found, x0, y0);
            legible = std::ranges::any_of(WordsRead(found),
                                          [&](const Word& w) { return w.confidence >= kLegible; });
            // The block's lines stand together, as one block of the card: a name drawn over two lines is
            // one.
            for (Paragraph& paragraph : found.paragraphs)
                for (TextLine& line : paragraph.lines)
                    if (LettersReadSurely(line) &&
                        std::none_of(line.words.begin(), line.words.end(),
                                     [&](const Word& w) { return OverlapsAny(w, read); }))
                        lines.lines.push_back(std::move(line));
            return lines;
        };
        // Each pixel's brightest channel: a coloured ground is light there, as white is, and dark print
        // stays dark on either ("BORCELLE" in grey on a green band).
        bool legible = false;
        Paragraph kept = read_block(PixPtr(colour ? pixConvertRGBToGrayMinMax(clip.get(), L_CHOOSE_MAX)
                                                  : pixConvertTo8(clip.get(), 0)),
                                    legible);
        // Red print on white is as light as its ground there: read on the darkest channel, where it is
        // dark, if the brightest read nothing fairly surely (where it did, the block's print shows on it:
        // a pattern of logos, whose reading on the darkest channel costs as much and gives no more). Only
        // what is shaped as a name's lettering is kept of it: on a photographed card that channel brings
        // up small print the card's reading left for good reason.
        if (kept.lines.empty() && colour && !legible) {
            kept = read_block(PixPtr(pixConvertRGBToGrayMinMax(clip.get(), L_CHOOSE_MIN)), legible);
            std::erase_if(kept.lines, [](TextLine& line) { return !LetteringShaped(line); });
        }
        if (!kept.lines.empty()) again.paragraphs.push_back(std::move(kept));
    }
    // In reading order, as the blocks stand on the card.
    std::stable_sort(again.paragraphs.begin(), again.paragraphs.end(),
                     [](const Paragraph& a, const Paragraph& b) {
                         return a.lines.front().words.front().top < b.lines.front().words.front().top;
                     });
    for (Paragraph& paragraph : again.paragraphs) page.paragraphs.push_back(std::move(paragraph));
}

// A word of blanks only: room the layout kept for a picture, not print.
bool BlankWord(const Word& w) {
    return std::all_of(w.text.begin(), w.text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
}

}  // namespace

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

namespace {

// The sure contact lines (and companies named by their legal form, and job titles where `titles`) of
// `again` that overlap no word of `read`, added to `page`, a paragraph of `again` to a paragraph.
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

}  // namespace

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

namespace {

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

void AddLettering(PageText& page, std::vector<TextLine> rows) {
    // Lettering the card's own domain spells is its company's name however stylised: read fairly surely
    // (80 or more) it is taken.
    constexpr float kSpelled = 80;
    for (TextLine& row : rows)
        if (InPicture(page, row) && LetteringShaped(row, SpelledByDomain(page, row) ? kSpelled : 90))
            AddLetteringRow(page, std::move(row));
}

std::vector<InkRow> InkRows(std::vector<InkBox> marks) {
    constexpr int kLeast = 6, kMost = 90;  // pixels high
    constexpr int kLeastMarks = 6, kLeastLength = 5;
    const auto sized = [](const InkBox& m) {
        const int h = m.bottom - m.top;
        return h >= kLeast && h <= kMost;
    };
    std::vector<InkBox> wide;
    for (const InkBox& m : marks)
        if (sized(m) && m.right - m.left > 3 * (m.bottom - m.top) &&
            m.right - m.left <= 12 * (m.bottom - m.top))
            wide.push_back(m);
    marks.erase(std::remove_if(
                    marks.begin(), marks.end(),
                    [&](const InkBox& m) { return !sized(m) || m.right - m.left > 3 * (m.bottom - m.top); }),
                marks.end());
    std::sort(marks.begin(), marks.end(), [](const InkBox& a, const InkBox& b) { return a.left < b.left; });
    struct Open {
        InkRow row;
        double centre = 0, heights = 0, bottom = 0;
    };
    std::vector<Open> open;
    for (const InkBox& m : marks) {
        const double h = m.bottom - m.top, centre = (m.top + m.bottom) / 2.0;
        Open* best = nullptr;
        int best_gap = 0;
        for (Open& o : open) {
            const double row_height = o.heights / o.row.marks;
            const int gap = m.left - o.row.box.right;
            // On one centre line, or one baseline (a letter with an ascender beside one without).
            const bool in_line = std::abs(centre - o.centre) <= 0.3 * row_height ||
                                 std::abs(m.bottom - o.bottom) <= 0.2 * row_height;
            if (!in_line || h < 0.6 * row_height || h > 1.6 * row_height || gap > 2 * row_height ||
                gap < -0.3 * row_height)
                continue;
            if (!best || gap < best_gap) best = &o, best_gap = gap;
        }
        if (!best) {
            open.push_back({{m, 1, static_cast<int>(h), 0}, centre, h, static_cast<double>(m.bottom)});
            continue;
        }
        InkRow& row = best->row;
        best->centre = (best->centre * row.marks + centre) / (row.marks + 1);
        best->bottom = (best->bottom * row.marks + m.bottom) / (row.marks + 1);
        best->heights += h;
        ++row.marks;
        row.box.left = std::min(row.box.left, m.left);
        row.box.top = std::min(row.box.top, m.top);
        row.box.right = std::max(row.box.right, m.right);
        row.box.bottom = std::max(row.box.bottom, m.bottom);
        row.height = static_cast<int>(best->heights / row.marks + 0.5);
    }
    // A script's letters lean into one another and its ascenders part a row in two: rows side by side
    // on one line, in one print, are one.
    // (Single marks are mostly grain, and there are thousands of them on a photograph.)
    open.erase(std::remove_if(open.begin(), open.end(), [](const Open& o) { return o.row.marks < 2; }),
               open.end());
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t a = 0; a < open.size() && !merged; ++a)
            for (size_t b = 0; b < open.size() && !merged; ++b) {
                if (a == b) continue;
                Open &left = open[a], &right = open[b];
                const double ha = left.heights / left.row.marks, hb = right.heights / right.row.marks;
                const InkBox &la = left.row.box, &rb = right.row.box;
                const int overlap = std::min(la.bottom, rb.bottom) - std::max(la.top, rb.top);
                const int gap = rb.left - la.right;
                if (la.left > rb.left || ha > 1.6 * hb || hb > 1.6 * ha ||
                    overlap < 0.6 * std::min(la.bottom - la.top, rb.bottom - rb.top) ||
                    gap > 2 * std::min(ha, hb) || gap < -std::min(ha, hb))
                    continue;
                const int marks = left.row.marks + right.row.marks;
                left.centre = (left.centre * left.row.marks + right.centre * right.row.marks) / marks;
                left.bottom = (left.bottom * left.row.marks + right.bottom * right.row.marks) / marks;
                left.heights += right.heights;
                left.row.marks = marks;
                left.row.height = static_cast<int>(left.heights / marks + 0.5);
                left.row.box = {std::min(la.left, rb.left), std::min(la.top, rb.top),
                                std::max(la.right, rb.right), std::max(la.bottom, rb.bottom)};
                open.erase(open.begin() + static_cast<long>(b));
                merged = true;
            }
    }
    // Letters printed close together make one wide mark ("fatima" in a bold script): it joins the row
    // it lies on at either end, though it counts as no mark.
    for (bool grown = true; grown;) {
        grown = false;
        for (const InkBox& m : wide)
            for (Open& o : open) {
                const double row_height = o.heights / o.row.marks, h = m.bottom - m.top;
                const double centre = (m.top + m.bottom) / 2.0;
                InkBox& box = o.row.box;
                const bool after = m.left - box.right <= 2 * row_height && m.left > box.right - row_height;
                const bool before = box.left - m.right <= 2 * row_height && m.right < box.left + row_height;
                if (o.row.marks < 2 ||
                    (std::abs(centre - o.centre) > 0.3 * row_height &&
                     std::abs(m.bottom - o.bottom) > 0.2 * row_height) ||
                    h < 0.6 * row_height || h > 1.6 * row_height || !(after || before))
                    continue;
                box.left = std::min(box.left, m.left);
                box.right = std::max(box.right, m.right);
                grown = true;
            }
    }
    std::vector<InkRow> rows;
    for (const Open& o : open)
        if (o.row.marks >= kLeastMarks && o.row.box.right - o.row.box.left >= kLeastLength * o.row.height)
            rows.push_back(o.row);
    return rows;
}

std::vector<InkRow> UnreadRows(std::vector<InkRow> rows, const PageText& read, float scale) {
    std::sort(rows.begin(), rows.end(), [](const InkRow& a, const InkRow& b) { return a.marks > b.marks; });
    const auto scaled = [&](int v) { return static_cast<int>(static_cast<float>(v) * scale); };
    std::vector<InkRow> kept;
    for (const InkRow& row : rows) {
        const InkBox box{scaled(row.box.left), scaled(row.box.top), scaled(row.box.right),
                         scaled(row.box.bottom)};
        const int length = box.right - box.left, print = scaled(row.height);
        // Overlapping one kept already (of more marks) for half of the smaller: the same print.
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const InkRow& k) {
            const int w = std::min(k.box.right, row.box.right) - std::max(k.box.left, row.box.left);
            const int h = std::min(k.box.bottom, row.box.bottom) - std::max(k.box.top, row.box.top);
            const int smaller = std::min((k.box.right - k.box.left) * (k.box.bottom - k.box.top),
                                         (row.box.right - row.box.left) * (row.box.bottom - row.box.top));
            return w > 0 && h > 0 && 2 * w * h >= smaller;
        });
        if (seen) continue;
        int covered = 0;
        for (const Paragraph& paragraph : read.paragraphs)
            for (const TextLine& line : paragraph.lines)
                for (const Word& w : line.words) {
                    if (w.confidence < kRead || w.bottom - w.top > 2 * print || !HasLetterOrDigit(w.text))
                        continue;
                    const int centre = (w.top + w.bottom) / 2;
                    if (centre < box.top || centre > box.bottom) continue;
                    covered += std::max(0, std::min(w.right, box.right) - std::max(w.left, box.left));
                }
        // Words over under half the row are a part of its print read, the rest lost: light print on a
        // band read only where the one threshold kept it ("do Nogue" of "Ricardo Nogueira").
        if (2 * covered < length) kept.push_back(row);
    }
    return kept;
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

std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi, const std::string& region) {
    constexpr int kSmallPrint = 16;  // pixels of a line's median word height
    // A card this wide was cut out of a picture of the camera's resolution: its print is large enough, and
    // small "lines" on it are a picture's speckle read as letters. Read at twice its size it takes
    // seconds.
    constexpr int kLargestToEnlarge = 1400;
    // Cards are laid out in blocks here and there, not as one column of text: Tesseract finds the
    // blocks itself.
    recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
    PixPtr level = Levelled(card);
    Pix* upright = level ? level.get() : card;
    // A card read as it lies is the right way up when the reading got more than a thin one, or one line
    // read surely (see WayUpInDoubt: print upside down reads as nonsense). Only then is Tesseract's
    // orientation model asked, which tells most cards' way up at a fraction of a reading's time; where it
    // cannot, a doubtful reading is tried the other way up as well.
    PageText page = recognizer.Recognize(upright, dpi, "card");
    int upside_down = -1;
    PixPtr turned;
    if (ThinReading(page) && !HoldsSureLine(page)) {
        // It looks at the shapes of the print, which a card cut out of the camera's picture shows as well
        // at half its size, in a third of the time.
        if (pixGetWidth(upright) > kLargestWhole) {
            PixPtr half(pixScale(upright, 0.5f, 0.5f));
            if (half) upside_down = recognizer.UpsideDown(half.get(), dpi / 2);
        } else {
            upside_down = recognizer.UpsideDown(upright, dpi);
        }
        if (upside_down == 1) turned.reset(pixRotate180(nullptr, upright));
        if (turned) {
            upright = turned.get();
            page = recognizer.Recognize(upright, dpi, "card");
        }
    }
    ReadPicturedCardSparsely(recognizer, upright, dpi, page, region);
    // Before the way up is doubted: a card read thin for its colours reads as doubtful either way up.
    ReadThinCardLocally(recognizer, upright, dpi, page);
    if (upside_down == -1 && WayUpInDoubt(page)) {
        turned.reset(pixRotate180(nullptr, upright));
        // The other way up is read at half size first (a card from the camera's picture): a card upside
        // down reads as nonsense at any size, and most doubtful cards are upright after all.
        if (turned) {
            PageText other = RecognizeWhole(recognizer, turned.get(), dpi);
            if (pixGetWidth(turned.get()) > kLargestWhole && Legibility(other) > Legibility(page))
                other = recognizer.Recognize(turned.get(), dpi, "card");
            if (Legibility(other) > Legibility(page)) {
                page = std::move(other);
                upright = turned.get();
            }
        }
    }
    RereadDoubtfulRuns(recognizer, upright, dpi, page);
    ReadUnreadRegions(recognizer, upright, dpi, page);
    // The print the card was read in decides whether it is read again enlarged: the rows read alone
    // below are print Tesseract passed over, in any size, and no measure of it.
    std::vector<int> heights;
    for (const LayoutLine& line : LayoutLines(page)) heights.push_back(line.height);
    // The picture blocks before the rows of ink: lettering drawn over two lines is read there as one block.
    ReadPictureBlocks(recognizer, upright, dpi, page);
    ReadInkRows(recognizer, upright, page, region);
    std::vector<LayoutLine> lines = LayoutLines(page);
    if (heights.empty())
        for (const LayoutLine& line : lines) heights.push_back(line.height);
    JoinRowsPartedBetweenBlocks(lines);
    if (heights.empty()) return lines;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    if (heights[heights.size() / 2] >= kSmallPrint || pixGetWidth(upright) > kLargestToEnlarge) {
        RereadDisplayLines(recognizer, upright, lines, region);
        RereadContactLines(recognizer, upright, lines, region);
        RestoreMarks(recognizer, upright, lines, region);
        RestoreAddressMarks(recognizer, upright, lines, region);
        return lines;
    }
    PixPtr scaled(pixScale(upright, 2, 2));
    if (!scaled) {
        RereadContactLines(recognizer, upright, lines, region);
        return lines;
    }
    page = recognizer.Recognize(scaled.get(), dpi * 2, "card");
    RereadDoubtfulRuns(recognizer, scaled.get(), dpi * 2, page);
    ReadUnreadRegions(recognizer, scaled.get(), dpi * 2, page);
    ReadInkRows(recognizer, scaled.get(), page, region);
    lines = LayoutLines(page);
    JoinRowsPartedBetweenBlocks(lines);
    RereadContactLines(recognizer, scaled.get(), lines, region);
    RestoreMarks(recognizer, scaled.get(), lines, region);
    RestoreAddressMarks(recognizer, scaled.get(), lines, region);
    return lines;
}

}  // namespace outside
