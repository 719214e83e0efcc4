#include "outside/zorvex/card_layout.h"

#include <algorithm>

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

}  // namespace outside
