#pragma once
// One row or line of a card cut out of the picture with a margin and read alone.

#include <optional>
#include <string>

#include "outside/finecmd/page_source.h"
#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/card_fields.h"

namespace outside {

// A row of print of `print` pixels cut out of a card (`grey`, dark on light, with a margin), read as one
// line: scaled so its print stands some 40 pixels high and, where `local`, thresholded by its own
// neighbourhood, since Tesseract's one threshold over a clip of a photograph keeps the ground's grain.
// The words' boxes are in `grey`'s pixels.
TextLine ReadGreyRow(Recognizer& recognizer, Pix* grey, float print, const std::string& region,
                     bool local = true);

// A line twice as tall as it is wide runs up the card (a strip printed along its edge).
bool RunsUpTheCard(const LayoutLine& line);

// A telephone's line read in a box taller than its print (an icon, a rule or a speck beside the number
// read into its words: Tesseract then misreads a digit, "2294-9484" read "2294-9284"), or running up the
// card (a number along a strip at its edge, whose label and area code were left unread), read again as its
// row of print alone, as InkRows finds rows, dark on light or light on dark, in the recogniser's single
// line mode; nothing where the line's box holds no more than its row. `along`: the row is sought across
// the whole card, and read where it runs on past the line's ends by more than a letter (the layout took
// the rest of it for a picture's); nothing where it does not. `rank`: the row of most marks on the line is
// read, or the next where 1 (a box reaching over two rows).
std::optional<TextLine> PrintRowReading(Recognizer& recognizer, Pix* picture, const LayoutLine& line,
                                        const std::string& region, bool along = false, int rank = 0);

// The row replaces the line where it gives a telephone, and no fewer telephones, e-mail and web addresses,
// and numbers the plan dials; whether it did.
bool RereadPrintRow(Recognizer& recognizer, Pix* picture, LayoutLine& line, const std::string& region);

// An e-mail or web address's line, an e-mail's label's or a street's, read again as its whole row (see
// PrintRowReading's `along`); the row replaces it where it holds the line's letters and more (or an e-mail
// after the label), and no fewer contacts; whether it did.
bool LongerRowReading(Recognizer& recognizer, Pix* picture, LayoutLine& line, const std::string& region);

// The line cut out of the card with a margin of a third of its height above and below and half of it at
// its ends, within the card; none where it cannot be cut out.
PixPtr LineWithMargin(Pix* picture, const LayoutLine& line);

// The line cut out of the card (see LineWithMargin), scaled so its print stands `print` pixels high, and
// read as one line (the recogniser is left in that mode); none where it cannot be cut out.
std::optional<PageText> ReadLineAlone(Recognizer& recognizer, Pix* picture, const LayoutLine& line,
                                      int print);

// One row of print cut out of a card, dark on light and thresholded (1 bit), read in the recogniser's
// page layout mode (a single line where the card program reads rows); a reading under 80 that may hold a
// contact (see LooksLikeContactLine and ContactEvidence, numbers as dialled in `region`, or a domain's
// dot between letters) is tried once more at half the size and the surer one kept. The words' boxes are
// in `row`'s pixels.
TextLine ReadRow(Recognizer& recognizer, Pix* row, const std::string& region);

}  // namespace outside
