#include "outside/zorvex/line_rereading.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>
#include <regex>

#include "outside/zorvex/card_address.h"
#include "outside/zorvex/card_fields.h"
#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_text.h"
#include "outside/zorvex/reading_measures.h"
#include "outside/zorvex/row_reading.h"

namespace outside {

namespace {

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

}  // namespace

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

}  // namespace outside
