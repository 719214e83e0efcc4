#pragma once
// How well a reading of a card went, and what that tells the next reading: how surely and how much it
// read, in what print, and whether a second reading replaces it.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/ink_rows.h"

namespace outside {

constexpr float kRead = 40;  // a word this sure is print, though maybe misread

// How well the page read: its words' mean confidence, each word weighted by its length, so a stray
// mark read as one letter counts little. Text upside down reads as confident nonsense far less often.
double Legibility(const PageText& page);

// A line's words' mean confidence, each word weighted by its length (0 for a line of no text).
double MeanConfidence(const TextLine& line);

// A line read surely on the whole (90 or more), of 8 letters and digits or more. Print upside down reads
// as nonsense: of the set's cards read upside down none gave one (their best, "HSOHLNVS", at 85), where
// a card read thin the right way up may (a name beside a photograph).
bool HoldsSureLine(const PageText& page);

// The words of a reading that hold a letter or a digit: where it read something.
std::vector<Word> WordsRead(const PageText& page);

// The word's box shares pixels with one of `read`.
bool OverlapsAny(const Word& w, const std::vector<Word>& read);

// The scale at which print of `height` pixels (its words' boxes) still stands `least` high: Tesseract
// reads print larger than that no better, and a reading's time grows with the picture's area.
float ScaleForPrint(int height, int least);

// A line of words of letters read surely (85 or more, no word under 70) with a word of three letters at
// least: what is read so in a picture is lettering, not a photograph's grain.
bool LettersReadSurely(const TextLine& line);

// The blocks of a reading that Tesseract's page layout took for pictures (it gives each as a word of
// blanks), of room for a line of display print (40 pixels either way) and no more than half the
// `width` x `height` card: a picture as large is the card's own photograph, not a logo beside its print.
std::vector<InkBox> PictureBlocks(const PageText& page, int width, int height);

// Whether Tesseract's page layout took more than half the `width` x `height` card for one picture (a
// block of blanks, see PictureBlocks): the print under it goes unread.
bool TakenForPicture(const PageText& page, int width, int height);

// The reading got next to nothing from the card: under 20 letters and digits read surely (80 or more).
bool ThinReading(const PageText& page);

// The scale (0.5 to 1) the contrast-stretched reading of a card takes: print larger than 32 pixels
// (the median box of the words of letters or digits read 60 or more) is reduced to that, since a
// reading's time grows with the picture's area and Tesseract reads larger print no better; 1 for a card
// read thin (see ThinReading), its few words being no measure of its print.
float StretchedReadingScale(const PageText& page);

// Whether a reading whose way up the orientation model could not tell is doubted, and the card read
// upside down as well: a reading of low confidence (under 60) that got little surely (see ThinReading)
// and no line of 8 letters and digits or more at 90 or more.
bool WayUpInDoubt(const PageText& page);

// Whether a second reading of a card with a local threshold replaces its first: only a thin first one
// (see ThinReading), by a reading that got 60 sure letters and digits more and whose words are read
// with a mean confidence of 75 or more.
bool LocalReadingWins(const PageText& first, const PageText& local);

// Whether a contact line's second reading (`again`) replaces its first: where it gives more of the
// telephone numbers, e-mail and web addresses the line may hold and no fewer of any kind (a misread
// e-mail is not traded for a web address), see ContactEvidence.
bool SecondReadingWins(const std::string& first, const std::string& again, const std::string& region);

}  // namespace outside
