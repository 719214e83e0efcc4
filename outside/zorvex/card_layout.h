#pragma once
// Recognised pages as the card field rules take them: one entry per text line, with its print size.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/card_fields.h"

namespace outside {

// The median height of the words' boxes in [begin, end) (not empty).
int MedianHeight(const std::vector<Word>& words, size_t begin, size_t end);

// '0' to '9' only, whatever the locale.
bool IsAsciiDigit(char c);

// The words [begin, end) of one line of block `block` as a layout line: an icon read as a mark at either
// end and standing apart dropped, Chinese and Japanese glyphs set close joined into one word, the print
// height the words' median, the confidence their mean weighted by length.
LayoutLine Segment(const std::vector<Word>& words, size_t begin, size_t end, int block);

// Whether `text` holds an ASCII letter or digit, or any character beyond ASCII (a letter with a mark, a
// Chinese glyph).
bool HasLetterOrDigit(const std::string& text);

// The median height of the words of letters or digits in [begin, end), or 0 when there are none.
int PrintHeight(const std::vector<Word>& words, size_t begin, size_t end);

// Lines in reading order, a line parted where a gap between two words is wider than twice its print
// (two columns side by side); a line's height is the median of its words' box heights, so a descender or
// a capital does not change it.
std::vector<LayoutLine> LayoutLines(const PageText& page);

// Now and then the layout parts a row between two blocks inside a word ("Av. Cangaiba,2341- Ca" and
// "ngaiba" over a coloured band): a line of another block that starts where one ends (within a fifth of
// their print), on its row (centres within three tenths of it) and in its print (within half as large
// again), goes on from it, the two read as one word where they meet.
void JoinRowsPartedBetweenBlocks(std::vector<LayoutLine>& lines);

}  // namespace outside
