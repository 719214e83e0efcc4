#include "pipeline/naming/number_search.h"

#include <algorithm>
#include <cstdio>

namespace pipeline {

std::string NumberText(uint32_t n, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*u", std::clamp(width, 1, kMaxNumberWidth), n);
    return text;
}

NumberSearchResult SearchFreeNumber(int width, const NumberTaken& taken, int max_width) {
    max_width = std::clamp(max_width, 1, kMaxNumberWidth);
    width = std::clamp(width, 1, max_width);
    uint32_t limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;

    uint32_t n = 1;
    for (;;) {
        uint32_t probed = n;
        int probed_width = width;
        bool is_taken = taken(probed, probed_width);
        bool widest_exhausted = false;
        if (++n == limit) {
            if (width < max_width) {
                ++width;
                limit *= 10;
                n = 1;
            } else {
                widest_exhausted = true;
            }
        }
        if (!is_taken) return {true, probed, probed_width, width};
        if (widest_exhausted) return {false, 0, 0, width};
    }
}

}  // namespace pipeline
