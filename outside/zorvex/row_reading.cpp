#include "outside/zorvex/row_reading.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>
#include <vector>

#include "outside/finecmd/both_engines.h"
#include "outside/zorvex/card_address.h"
#include "outside/zorvex/card_fields.h"
#include "outside/zorvex/card_pictures.h"
#include "outside/zorvex/card_text.h"
#include "outside/zorvex/ink_rows.h"
#include "outside/zorvex/reading_measures.h"

namespace outside {

TextLine ReadGreyRow(Recognizer& recognizer, Pix* grey, float print, const std::string& region, bool local) {
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

bool RunsUpTheCard(const LayoutLine& line) { return line.bottom - line.top > 2 * (line.right - line.left); }

std::optional<TextLine> PrintRowReading(Recognizer& recognizer, Pix* picture, const LayoutLine& line,
                                        const std::string& region, bool along, int rank) {
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
        std::array<TextLine, 2> read;  // local, plain: side by side
        ReadOnBothEngines(recognizer, read.size(), [&](Recognizer& engine, size_t i) {
            read[i] = ReadGreyRow(engine, pix, print, region, i == 0);
        });
        return MeanConfidence(read[1]) > MeanConfidence(read[0]) ? read[1] : read[0];
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

PixPtr LineWithMargin(Pix* picture, const LayoutLine& line) {
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    const int margin_y = line.height / 3 + 2, margin_x = line.height / 2 + 2;
    const int x0 = std::max(0, line.left - margin_x), y0 = std::max(0, line.top - margin_y);
    const int x1 = std::min(width, line.right + margin_x), y1 = std::min(height, line.bottom + margin_y);
    return ClipOf(picture, x0, y0, x1, y1);
}

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

}  // namespace outside
