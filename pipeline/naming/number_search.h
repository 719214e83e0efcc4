#pragma once
// The lowest-free-number rule behind every output name, free of files so it can be tested directly.

#include <cstdint>
#include <functional>
#include <string>

namespace pipeline {

constexpr int kFirstNumberWidth = 4;
constexpr int kMaxNumberWidth = 9;

// n zero-padded to `width` digits (width 1 to 9).
std::string NumberText(uint32_t n, int width);

struct NumberSearchResult {
    bool found = false;   // false: every number of the widest width is taken (a full folder)
    uint32_t number = 0;  // the free number
    int width = 0;        // digits it is written with
    int next_width = 0;   // width the next search starts with
};

// Tells whether the name with number n written at `width` digits is taken.
using NumberTaken = std::function<bool(uint32_t n, int width)>;

// Probes 1, 2, ... at `width`; when the last number of a width (9, 99, ...) has been probed the width
// grows by one and the count starts again at 1, so a free last number (9999) keeps the width it was
// probed with while the next search starts wider. The width never passes `max_width`: once the last
// number of that width is taken too, the search stops with found = false instead of going on.
NumberSearchResult SearchFreeNumber(int width, const NumberTaken& taken, int max_width = kMaxNumberWidth);

}  // namespace pipeline
