#pragma once
// Recognised pages as the card field rules take them: one entry per text line, with its print size.

#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/vcard.h"

namespace outside {

// Lines in reading order; a line's height is the median of its words' box heights, so a descender or a
// capital does not change it.
std::vector<LayoutLine> LayoutLines(const PageText& page);

}  // namespace outside
