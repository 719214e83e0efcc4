#pragma once
// A card's lines read again one at a time where the whole card's reading of them is in doubt: contact
// lines, display print, and the marks a line's letters lost.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/card_fields.h"

namespace outside {

// Large print read in a box taller than its print (a band or a rule over a shop's name read into its
// words) loses its marks: "MECÂNICA" read "MECANICA", and a company's name is then misspelt, or missed for
// want of its trade word. Such a line, read surely and in print larger than most, is read again as its row
// alone (see PrintRowReading); the row replaces it only where it spells the same letters and marks some.
void RestoreMarks(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                  const std::string& region);

// A contact line recognition was unsure of, read again alone: cut out of the card with a margin,
// scaled so its print stands some 50 pixels high (an x-height of about 30, where Tesseract reads best)
// and read as one line; the new reading replaces the first where SecondReadingWins. (Taking the surer
// of two readings that parse alike changed right letters as often as wrong ones: "guina" became
// "quina".)
void RereadContactLines(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                        const std::string& region);

// Display print drawn in outline (dark letters ringed in white on a coloured band) is read as nonsense on
// the whole card, whose one threshold takes the band and the letters for ink alike. A line in print half
// as large again as most, of letters, read doubtfully (under 50, which the field rules leave in the note),
// is read again as its row alone on each pixel's brightest channel (a coloured ground light there, dark
// print dark), thresholded by its own neighbourhood, and that reading, where sure (90 or more) and of
// words of letters, takes its place.
void RereadDisplayLines(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                        const std::string& region);

// Small print read on the whole card now and then loses a mark that the line read alone keeps ("Sao
// Paulo" beside "Tatuapé", both read surely). An address's line (a street and its number, or a postal
// code, and no telephone, whose digits make a line long) read surely is read alone, in a language whose
// data has marks to give (English's has none), and its words read so with marks take them (see
// MarksFrom). It is read at its own size, print over 32 pixels reduced to that: the mark is kept so as
// well, and an enlarged line's reading costs twice the time.
void RestoreAddressMarks(Recognizer& recognizer, Pix* picture, std::vector<LayoutLine>& lines,
                         const std::string& region);

}  // namespace outside
