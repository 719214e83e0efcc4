#include "outside/zorvex/card_layout.h"

#include <leptonica/allheaders.h>

#include <algorithm>
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

std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi) {
    constexpr int kSmallPrint = 16;  // pixels of a line's median word height
    std::vector<LayoutLine> lines = LayoutLines(recognizer.Recognize(card, dpi, "card"));
    std::vector<int> heights;
    for (const LayoutLine& line : lines) heights.push_back(line.height);
    if (heights.empty()) return lines;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    if (heights[heights.size() / 2] >= kSmallPrint) return lines;
    const auto destroy = [](Pix* pix) { pixDestroy(&pix); };
    std::unique_ptr<Pix, decltype(destroy)> scaled(pixScale(card, 2, 2), destroy);
    if (!scaled) return lines;
    return LayoutLines(recognizer.Recognize(scaled.get(), dpi * 2, "card"));
}

}  // namespace outside
