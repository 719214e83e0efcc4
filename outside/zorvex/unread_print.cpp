#include "outside/zorvex/unread_print.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "outside/finecmd/both_engines.h"
#include "outside/zorvex/card_fields.h"
#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_pictures.h"
#include "outside/zorvex/card_text.h"
#include "outside/zorvex/ink_rows.h"
#include "outside/zorvex/page_additions.h"
#include "outside/zorvex/reading_measures.h"
#include "outside/zorvex/row_reading.h"

namespace outside {

namespace {

// A row of words, not of numbers or addresses: two words of three letters or more, no digit, no "@".
bool WordsRow(const std::string& text) {
    if (card_rules::HasDigit(text) || text.find('@') != std::string::npos) return false;
    const std::vector<std::string> words = card_rules::Words(text);
    return std::count_if(words.begin(), words.end(),
                         [](const std::string& w) { return card_rules::Compact(w).size() >= 3; }) >= 2;
}

}  // namespace

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

PixPtr StretchedToLocalContrast(Pix* picture) {
    constexpr int kTile = 100;          // pixels of the contrast's neighbourhood
    constexpr int kLeastContrast = 40;  // a tile's grey range below this is left as it is (no print)
    PixPtr grey(pixConvertTo8(picture, 0));
    if (!grey || pixGetWidth(grey.get()) < 2 * kTile || pixGetHeight(grey.get()) < 2 * kTile) return nullptr;
    return PixPtr(pixContrastNorm(nullptr, grey.get(), kTile, kTile, kLeastContrast, 2, 2));
}

void ReadUnreadRegions(Recognizer& recognizer, Pix* picture, int dpi, PageText& page,
                       std::optional<PageText> thin_reading) {
    if (thin_reading && ThinReading(page)) {
        AddUnreadLines(page, *thin_reading);
        return;
    }
    PixPtr stretched = StretchedToLocalContrast(picture);
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
    // Each area read on its own, side by side; added in turn, as each addition is weighed against the
    // page's lines so far.
    std::vector<PageText> readings(areas.size());
    ReadOnBothEngines(recognizer, areas.size(), [&](Recognizer& engine, size_t i) {
        const InkBox& area = areas[i];
        PixPtr clip = ClipOf(stretched.get(), area.left, area.top, area.right, area.bottom);
        if (!clip) return;
        readings[i] = RecognizeReduced(engine, clip.get(), resolution, scale);
        Shift(readings[i], area.left, area.top);
    });
    for (const PageText& again : readings) AddUnreadLines(page, again);
}

namespace {

// The card's pictures its rows are looked for on: grey, red, green and blue (0 to 7), each either way light,
// and the grey with faint print darkened (dark on light only: the ground is made even as a light one).
constexpr int kFaint = 8;

// Picture `source` of the card (a channel, light inverted for the odd ones), from `pix`; none of the
// colour channels where the card is grey.
PixPtr Channel(Pix* pix, int source, bool colour) {
    const int kind = source / 2;
    if (kind > 0 && kind < 4 && !colour) return nullptr;
    PixPtr grey(kind == 0 || kind == 4 ? pixConvertTo8(pix, 0)
                                       : pixGetRGBComponent(pix, kind == 1   ? COLOR_RED
                                                                 : kind == 2 ? COLOR_GREEN
                                                                             : COLOR_BLUE));
    if (grey && kind == 4) grey = FaintPrintDarkened(grey.get());
    if (grey && source % 2 == 1) pixInvert(grey.get(), grey.get());
    return grey;
}

}  // namespace

ChannelRows FindChannelRows(Pix* picture) {
    constexpr int kWidth = 1000;  // pixels: the rows are looked for on a copy this wide at most
    ChannelRows found;
    const int width = pixGetWidth(picture);
    found.reduce = width > kWidth ? static_cast<float>(kWidth) / static_cast<float>(width) : 1.0f;
    found.small.reset(found.reduce < 1 ? pixScale(picture, found.reduce, found.reduce)
                                       : pixCopy(nullptr, picture));
    if (!found.small) return found;
    const bool colour = pixGetDepth(found.small.get()) == 32;
    for (int source = 0; source < kFaint; ++source) {
        PixPtr grey = Channel(found.small.get(), source, colour);
        if (!grey) continue;
        for (InkRow& row : InkRows(InkMarks(grey.get()))) {
            row.source = source;
            found.rows.push_back(row);
        }
    }
    return found;
}

void ReadInkRows(Recognizer& recognizer, Pix* picture, PageText& page, const std::string& region,
                 std::optional<ChannelRows> found) {
    constexpr size_t kRows = 6;        // rows read at most, the longest first
    constexpr float kSureTitle = 90;   // a title row read less surely is not added
    constexpr float kFairlySure = 60;  // a row giving a number with its area code is taken from this
    // A row giving an e-mail address of the whole shape (a name, an "@", a domain ending in a top-level
    // one of letters) is taken from this: grain on a photograph reads as no such thing.
    constexpr float kEmailShaped = 30;
    // A row of words read less surely is read again plainly, on half the rows at most (the longest):
    // each reading costs as much as the row's first.
    constexpr float kSureWords = 80;
    constexpr size_t kPlainRereads = kRows / 2;
    if (!found) found = FindChannelRows(picture);
    if (!found->small) return;
    const int width = pixGetWidth(picture), height = pixGetHeight(picture);
    const float reduce = found->reduce;
    const bool colour = pixGetDepth(found->small.get()) == 32;
    std::vector<InkRow> rows = UnreadRows(std::move(found->rows), page, 1.0f / reduce);
    // Faint print is looked for only where no channel shows a row unread: on a photograph the even
    // ground's grain makes rows of its own, which would take the place of print.
    if (rows.empty())
        if (PixPtr grey = Channel(found->small.get(), kFaint, colour))
            for (InkRow& row : InkRows(InkMarks(grey.get()))) {
                row.source = kFaint;
                rows.push_back(row);
            }
    rows = UnreadRows(std::move(rows), page, 1.0f / reduce);
    if (rows.size() > kRows) rows.resize(kRows);
    if (rows.empty()) return;
    tesseract::TessBaseAPI& api = recognizer.Api();
    api.SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    // Each row is made dark on light below: Tesseract's second reading of an unsure line inverted would
    // read white print on black, and it took up to a fifth of the rows' time.
    const WithoutInvertedLines plain(api);
    // Each row cut out and made grey first, then all read side by side.
    struct Cut {
        PixPtr grey;
        float print = 0;
        int x0 = 0, y0 = 0;
    };
    std::vector<Cut> cuts;
    PixPtr even;
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
        if (row.source == kFaint && !even) even = Channel(picture, kFaint, colour);
        PixPtr clip = ClipOf(row.source == kFaint ? even.get() : picture, x0, y0, x1, y1);
        if (!clip) continue;
        PixPtr grey = row.source == kFaint ? std::move(clip) : Channel(clip.get(), row.source, colour);
        if (grey) cuts.push_back({std::move(grey), print, x0, y0});
    }
    std::vector<TextLine> read(cuts.size());
    ReadOnBothEngines(recognizer, cuts.size(), [&](Recognizer& engine, size_t i) {
        read[i] = ReadGreyRow(engine, cuts[i].grey.get(), cuts[i].print, region);
    });
    // A threshold by each place's neighbourhood breaks the thin strokes of a blurred script apart ("dtair
    // Dura Miranda"): a row of words read unsurely so is read again on Tesseract's own threshold, and the
    // surer reading stands where it is a row of words too. (Rows of numbers and addresses read right
    // locally as a rule.)
    std::vector<size_t> unsure;
    for (size_t i = 0; i < cuts.size() && unsure.size() < kPlainRereads; ++i)
        if (MeanConfidence(read[i]) < kSureWords && WordsRow(LineText(read[i]))) unsure.push_back(i);
    std::vector<TextLine> plainly(unsure.size());
    ReadOnBothEngines(recognizer, unsure.size(), [&](Recognizer& engine, size_t j) {
        const Cut& cut = cuts[unsure[j]];
        plainly[j] = ReadGreyRow(engine, cut.grey.get(), cut.print, region, false);
    });
    for (size_t j = 0; j < unsure.size(); ++j)
        if (MeanConfidence(plainly[j]) > MeanConfidence(read[unsure[j]]) && WordsRow(LineText(plainly[j])))
            read[unsure[j]] = std::move(plainly[j]);
    PageText again;
    std::vector<TextLine> lettering;
    for (size_t i = 0; i < cuts.size(); ++i) {
        TextLine& line = read[i];
        const int x0 = cuts[i].x0, y0 = cuts[i].y0;
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
    std::vector<InkBox> chosen;
    for (const InkBox& block : blocks) {
        // A camera picture's photograph (a desk, a hand) is no logo, and its reading would take seconds.
        if (area(block) > kLargestBlock) continue;
        if ((pixels += area(block)) > kPixelsRead) break;
        chosen.push_back(block);
    }
    const std::vector<Word> read = WordsRead(page);
    const int resolution = PageResolution(dpi, width);
    // Each block read on its own, side by side.
    std::vector<Paragraph> block_lines(chosen.size());
    ReadOnBothEngines(recognizer, chosen.size(), [&](Recognizer& engine, size_t i) {
        const InkBox& block = chosen[i];
        // The block's edge may cut its print's top (a band under a line of capitals).
        const int margin = std::max(8, (block.bottom - block.top) / 8);
        const int x0 = std::max(0, block.left - margin), y0 = std::max(0, block.top - margin);
        PixPtr clip = ClipOf(picture, x0, y0, std::min(width, block.right + margin),
                             std::min(height, block.bottom + margin));
        if (!clip) return;
        const bool colour = pixGetDepth(clip.get()) == 32;
        tesseract::TessBaseAPI& api = engine.Api();
        // The block read on `grey` (the clip made grey), its lines of letters read surely where nothing
        // was read; `legible` tells whether it read any word of letters or digits fairly surely (60 or
        // more).
        const auto read_block = [&](PixPtr grey, bool& legible) {
            Paragraph lines;
            PixPtr reduced(grey ? pixScale(grey.get(), kScale, kScale) : nullptr);
            if (!reduced) return lines;
            // Read as sparse text: Tesseract's page layout would take the block for a picture again.
            api.SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
            PageText found = engine.Recognize(reduced.get(), static_cast<int>(resolution * kScale), "card");
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
        block_lines[i] = std::move(kept);
    });
    PageText again;
    for (Paragraph& kept : block_lines)
        if (!kept.lines.empty()) again.paragraphs.push_back(std::move(kept));
    // In reading order, as the blocks stand on the card.
    std::stable_sort(again.paragraphs.begin(), again.paragraphs.end(),
                     [](const Paragraph& a, const Paragraph& b) {
                         return a.lines.front().words.front().top < b.lines.front().words.front().top;
                     });
    for (Paragraph& paragraph : again.paragraphs) page.paragraphs.push_back(std::move(paragraph));
}

}  // namespace outside
