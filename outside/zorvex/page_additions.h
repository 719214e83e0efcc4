#pragma once
// Lines of second readings added to a card's reading where the first read nothing there: contact lines,
// companies, titles and a logo's lettering.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/ink_rows.h"

namespace outside {

// The digits of a line (six or more), or the word with its "@", are in a line of the page already: a row
// read again where a first reading got it more doubtfully, or shifted.
bool AlreadyRead(const std::string& text, const PageText& page);

// A row of lettering over a picture that may be a company's name: read surely (90 or more), one to five
// words of letters (no digit: contact rows are added as such), a capital first (one starting in lower
// case was cut out of a word), four letters at least.
bool LetteringShaped(TextLine& line, float sure = 90);

// The sure contact lines (and companies named by their legal form, and job titles where `titles`) of
// `again` that overlap no word of `read`, added to `page`, a paragraph of `again` to a paragraph.
void AddSureLines(PageText& page, const PageText& again, const std::vector<Word>& read, bool titles);

// The parts of a card a second reading (see AddUnreadLines) needs to read, by that reading's page layout
// (`layout`, its lines' words' boxes, no text), of the lines none of whose words overlaps a word of
// letters or digits of `page`, within `width` x `height`: the box around them all, an eighth of its
// height wider each way (8 pixels at least); or, where they lie apart so that the boxes around each line
// (half its height wider each way, 8 pixels at least; boxes that overlap joined) cover under 60% of
// that, those boxes, top first. The layout's picture blocks that overlap no such word count as lines
// beside one. None when there are no such lines, as AddUnreadLines adds no other.
std::vector<InkBox> UnreadAreas(const PageText& layout, const PageText& page, int width, int height);

// Adds to `page` the lines of a second reading of the same picture (`again`) that lie where the first read
// no word and that recognition is sure of (80 or more); only contact lines (two digits, an "@", a web
// address) and a company's name with its legal form are added, since other lettering over a picture read
// so is as likely a logo's, and a name or a company from it would be a guess. Each added paragraph goes after
// the page's own.
void AddUnreadLines(PageText& page, const PageText& again);

// Adds to `page` the rows of lettering read alone (see ReadRow) that lie in a block its layout took for a
// picture (a logo's name) and may be a company's name: read surely (90 or more, 80 where an e-mail or web
// address the page read spells it after its "@" or "www"), one to five words of letters and no digit, a
// capital first, four letters at least, a registered sign after a word (read as a quote or a degree) dropped.
// Such a row goes in reading order; where the page read words there less surely on the whole (a logo's edge
// read into them: "PIT Solutions |") or got a piece of it only (under half its letters: "E" of "BELTIS") it
// takes their place, before the lines lower on the card; where it read them as surely, or read a digit or
// an "@" there, it is left out.
void AddLettering(PageText& page, std::vector<TextLine> rows);

}  // namespace outside
