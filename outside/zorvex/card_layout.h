#pragma once
// Recognised pages as the card field rules take them: one entry per text line, with its print size.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/vcard.h"

namespace outside {

// Lines in reading order, a line parted where a gap between two words is wider than twice its print
// (two columns side by side); a line's height is the median of its words' box heights, so a descender or
// a capital does not change it.
std::vector<LayoutLine> LayoutLines(const PageText& page);

// Adds to `page` the lines of a second reading of the same picture (`again`) that lie where the first read
// no word and that recognition is sure of (80 or more); only contact lines (two digits, an "@", a web
// address) and a company's name with its legal form are added, since other lettering over a picture read
// so is as likely a logo's, and a name or a company from it would be a guess. Each added paragraph goes after
// the page's own.
void AddUnreadLines(PageText& page, const PageText& again);

// The reading got next to nothing from the card: under 20 letters and digits read surely (80 or more).
bool ThinReading(const PageText& page);

// Whether a second reading of a card with a local threshold replaces its first: only a thin first one
// (see ThinReading), by a reading that got 60 sure letters and digits more and whose words are read
// with a mean confidence of 75 or more.
bool LocalReadingWins(const PageText& first, const PageText& local);

// Whether a contact line's second reading (`again`) replaces its first: where it gives more of the
// telephone numbers, e-mail and web addresses the line may hold and no fewer of any kind (a misread
// e-mail is not traded for a web address), see ContactEvidence.
bool SecondReadingWins(const std::string& first, const std::string& again, const std::string& region);

// Recognises one card picture: turned level first when its print runs askew (a card photographed at an
// angle, or the whole desk picture when no card was cut out of it), and read upside down as well when
// the first reading is doubtful, the more confident reading kept. When most of its print is under 16
// pixels high (a card cut out of a low-resolution picture) it is read again at twice its size, since
// Tesseract misreads such small print. What the reading left empty is read again in a grey stretched to
// its local contrast (coloured print, light print on a band or a photograph), see AddUnreadLines. A
// contact line read unsure is read again alone, larger, and that reading kept where it gives more
// telephone numbers or addresses, numbers taken as dialled in `region` (ISO 3166, "" when unknown).
std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi, const std::string& region = "");

}  // namespace outside
