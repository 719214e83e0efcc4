#include "outside/zorvex/card_layout.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <memory>

namespace outside {

std::vector<LayoutLine> LayoutLines(const PageText& page) {
    std::vector<LayoutLine> lines;
    for (size_t p = 0; p < page.paragraphs.size(); ++p)
        for (const TextLine& line : page.paragraphs[p].lines) {
            if (line.words.empty()) continue;
            LayoutLine out;
            out.text = LineText(line);
            out.block = static_cast<int>(p);
            std::vector<int> heights;
            out.left = line.words.front().left;
            out.top = line.words.front().top;
            out.right = line.words.front().right;
            out.bottom = line.words.front().bottom;
            for (const Word& word : line.words) {
                heights.push_back(word.bottom - word.top);
                out.left = std::min(out.left, word.left);
                out.top = std::min(out.top, word.top);
                out.right = std::max(out.right, word.right);
                out.bottom = std::max(out.bottom, word.bottom);
            }
            std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
            out.height = heights[heights.size() / 2];
            lines.push_back(std::move(out));
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
