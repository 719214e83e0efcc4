#include "outside/zorvex/card_layout.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace outside {

namespace {

int MedianHeight(const std::vector<Word>& words, size_t begin, size_t end) {
    std::vector<int> heights;
    for (size_t i = begin; i < end; ++i) heights.push_back(words[i].bottom - words[i].top);
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

LayoutLine Segment(const std::vector<Word>& words, size_t begin, size_t end, int block) {
    LayoutLine out;
    out.block = block;
    out.left = words[begin].left;
    out.top = words[begin].top;
    out.right = words[begin].right;
    out.bottom = words[begin].bottom;
    for (size_t i = begin; i < end; ++i) {
        out.text += (i > begin ? " " : "") + words[i].text;
        out.left = std::min(out.left, words[i].left);
        out.top = std::min(out.top, words[i].top);
        out.right = std::max(out.right, words[i].right);
        out.bottom = std::max(out.bottom, words[i].bottom);
    }
    out.height = MedianHeight(words, begin, end);
    return out;
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
                    const int height =
                        std::min(MedianHeight(words, begin, i), words[i].bottom - words[i].top);
                    if (words[i].left - words[i - 1].right <= kColumnGap * std::max(height, 1)) continue;
                }
                lines.push_back(Segment(words, begin, i, static_cast<int>(p)));
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
    Pix* binary = nullptr;
    if (!small || pixSauvolaBinarize(small.get(), 12, 0.34f, 1, nullptr, nullptr, nullptr, &binary) != 0)
        return nullptr;
    PixPtr print(binary);
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(print.get(), &angle, &confidence, 1, 1, kSweep, 1.0f, 0.02f) != 0)
        return nullptr;
    // An angle Leptonica is not sure of is left alone; a small one is not worth a rotation's blur.
    if (confidence < 2.0f || std::abs(angle) < 0.5f || std::abs(angle) >= kSweep) return nullptr;
    return PixPtr(pixRotate(card, angle * 3.14159265f / 180.0f, L_ROTATE_AREA_MAP, L_BRING_IN_WHITE, 0, 0));
}

}  // namespace

std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi) {
    constexpr int kSmallPrint = 16;  // pixels of a line's median word height
    // Below this mean confidence the card may lie upside down (a card cut out of the desk picture has
    // no "up" of its own): it is read turned as well and the better reading kept.
    constexpr double kDoubtful = 60;
    // Cards are laid out in blocks here and there, not as one column of text: Tesseract finds the
    // blocks itself.
    recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
    PixPtr level = Levelled(card);
    Pix* upright = level ? level.get() : card;
    PageText page = recognizer.Recognize(upright, dpi, "card");
    PixPtr turned;
    if (Legibility(page) < kDoubtful) {
        turned.reset(pixRotate180(nullptr, upright));
        if (turned) {
            PageText other = recognizer.Recognize(turned.get(), dpi, "card");
            if (Legibility(other) > Legibility(page)) {
                page = std::move(other);
                upright = turned.get();
            }
        }
    }
    std::vector<LayoutLine> lines = LayoutLines(page);
    std::vector<int> heights;
    for (const LayoutLine& line : lines) heights.push_back(line.height);
    if (heights.empty()) return lines;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    if (heights[heights.size() / 2] >= kSmallPrint) return lines;
    PixPtr scaled(pixScale(upright, 2, 2));
    if (!scaled) return lines;
    return LayoutLines(recognizer.Recognize(scaled.get(), dpi * 2, "card"));
}

}  // namespace outside
