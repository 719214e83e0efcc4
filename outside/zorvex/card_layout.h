#pragma once
// Recognised pages as the card field rules take them: one entry per text line, with its print size.

#include <optional>
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

// Adds to `page` the rows of lettering read alone (see ReadRow) that lie in a block its layout took for a
// picture (a logo's name) and may be a company's name: read surely (90 or more, 80 where an e-mail or web
// address the page read spells it after its "@" or "www"), one to five words of letters and no digit, a
// capital first, four letters at least, a registered sign after a word (read as a quote or a degree) dropped.
// Such a row goes in reading order; where the page read words there less surely on the whole (a logo's edge
// read into them: "PIT Solutions |") or got a piece of it only (under half its letters: "E" of "BELTIS") it
// takes their place, before the lines lower on the card; where it read them as surely, or read a digit or
// an "@" there, it is left out.
void AddLettering(PageText& page, std::vector<TextLine> rows);

// A mark of ink on a card: one connected run of print pixels, in pixels of the picture it was found on.
struct InkBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The parts of a card a second reading (see AddUnreadLines) needs to read, by that reading's page layout
// (`layout`, its lines' words' boxes, no text), of the lines none of whose words overlaps a word of
// letters or digits of `page`, within `width` x `height`: the box around them all, an eighth of its
// height wider each way (8 pixels at least); or, where they lie apart so that the boxes around each line
// (half its height wider each way, 8 pixels at least; boxes that overlap joined) cover under 60% of
// that, those boxes, top first. The layout's picture blocks that overlap no such word count as lines
// beside one. None when there are no such lines, as AddUnreadLines adds no other.
std::vector<InkBox> UnreadAreas(const PageText& layout, const PageText& page, int width, int height);

// Now and then the layout parts a row between two blocks inside a word ("Av. Cangaiba,2341- Ca" and
// "ngaiba" over a coloured band): a line of another block that starts where one ends (within a fifth of
// their print), on its row (centres within three tenths of it) and in its print (within half as large
// again), goes on from it, the two read as one word where they meet.
void JoinRowsPartedBetweenBlocks(std::vector<LayoutLine>& lines);

// A row of marks of one letter size side by side: a line of print (`marks` of them) whatever its colour.
struct InkRow {
    InkBox box;
    int marks = 0;
    int height = 0;  // the marks' mean height
    int source = 0;  // which picture of the card it was found on
};

// The rows of letter-sized marks (6 to 90 pixels high, no wider than three times that) standing side by
// side on one centre line or one baseline, each mark of a row within 0.6 to 1.6 times the row's height
// and at most twice that height after the one before; rows side by side in one print are joined, and a
// wide mark (letters run together) at a row's end is taken into it. A row of six marks or more at least
// five heights long is a line of print; a photograph's grain and a logo's shapes seldom line up so.
std::vector<InkRow> InkRows(std::vector<InkBox> marks);

// Of rows found on several pictures of one card (its colour channels, either way light), those that lie
// where `read` holds no word: a row covered for half its length by words read at all (40 or more: a
// misread word is still print) in print up to twice its own was read already. Of rows overlapping one
// another the one of most marks stands, the channel with the most contrast there. `scale` takes the
// rows' pixels to the words'.
std::vector<InkRow> UnreadRows(std::vector<InkRow> rows, const PageText& read, float scale);

// One row of print cut out of a card, dark on light and thresholded (1 bit), read in the recogniser's
// page layout mode (a single line where the card program reads rows); a reading under 80 that may hold a
// contact (see LooksLikeContactLine and ContactEvidence, numbers as dialled in `region`, or a domain's
// dot between letters) is tried once more at half the size and the surer one kept. The words' boxes are
// in `row`'s pixels.
TextLine ReadRow(Recognizer& recognizer, Pix* row, const std::string& region);

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

// Recognises one card picture: turned level first when its print runs askew (a card photographed at an
// angle, or the whole desk picture when no card was cut out of it), and read upside down as well when
// its way up is in doubt (see WayUpInDoubt), the more confident reading kept. When most of its print is under
// 16 pixels high (a card cut out of a low-resolution picture) it is read again at twice its size, since
// Tesseract misreads such small print. What the reading left empty is read again in a grey stretched to
// its local contrast (coloured print, light print on a band or a photograph), see AddUnreadLines; the
// blocks its layout took for pictures are read on their own, as sparse text, and their lines of letters
// read surely are added (lettering drawn large over a design, see PictureBlocks). A line of display
// print (half as large again as most) of letters read doubtfully is read again as its row alone on each
// pixel's brightest channel, locally thresholded (dark letters ringed in white on a band), and a sure
// reading takes its place. A
// contact line read unsure is read again alone, larger, and that reading kept where it gives more
// telephone numbers or addresses, numbers taken as dialled in `region` (ISO 3166, "" when unknown). An
// address's line read surely in a language with marks is read alone too, and gets the marks the whole
// card's reading lost ("Sao Paulo" read "São Paulo" so).
std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi, const std::string& region = "");

}  // namespace outside
