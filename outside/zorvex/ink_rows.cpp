#include "outside/zorvex/ink_rows.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>

#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_pictures.h"
#include "outside/zorvex/reading_measures.h"

namespace outside {

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

}  // namespace outside
