#pragma once
// Print a card's first reading passed over or read in doubt, read again: runs of doubtful words, parts
// left unread, rows of ink the layout missed, and the blocks it took for pictures.

#include <optional>
#include <string>
#include <vector>

#include "outside/finecmd/page_source.h"
#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/ink_rows.h"

namespace outside {

// A card read thin whose layout Tesseract took for one picture over most of it (print on a photograph
// of the shop): the print under that block goes unread, by this reading and by any other with the same
// layout. It is read again as sparse text, which finds lines wherever they stand, and its lines where
// nothing was read are added as one block: those read surely (a name), and those that hold a contact
// (a number read doubtfully is read again later as a contact line).
void ReadPicturedCardSparsely(Recognizer& recognizer, Pix* picture, int dpi, PageText& page,
                              const std::string& region);

// Tesseract now and then takes the words of a line in smaller print beside a large one (a name with the
// e-mail address in the next column) as part of the large line, and reads them as nonsense. Such a run
// of doubtful words after or before confident ones is read again on its own, and the words of that
// reading that lie where no confident word was read stand as lines of their own; the doubtful ones go.
void RereadDoubtfulRuns(Recognizer& recognizer, Pix* picture, int dpi, PageText& page);

// Print Tesseract's one global threshold loses: coloured, or light on a band or a photograph. The
// picture's grey is stretched to its local contrast and read once more, and what that reading found where
// nothing was read is added. Its time goes mostly to recognising lines, and only lines where nothing was
// read are added: its page layout is found first, and only the part of the card holding such lines is
// read (see UnreadAreas), none when there are none. A card read thin is read whole, as RecognizeWhole
// reads it (at half its size when cut out of the camera's picture): its few words read are mostly misread
// marks that Tesseract's recognition of a line parts otherwise than its layout, and this reading gives
// most of what the card gets. (Painting out the words already read saves time as well but changes how
// Tesseract lays out the rest, and it read less.)
// `thin_reading`: the stretched grey's reading as a card read thin is read, made already beside another
// reading; taken where the card is read thin still.
void ReadUnreadRegions(Recognizer& recognizer, Pix* picture, int dpi, PageText& page,
                       std::optional<PageText> thin_reading = std::nullopt);

// The card's grey stretched to its local contrast, as ReadUnreadRegions reads it; none for a card under
// 200 pixels either way.
PixPtr StretchedToLocalContrast(Pix* picture);

// The rows of letter-sized marks (see InkRows) on a card's grey and on each of its colour channels, either
// way light, looked for on a copy of it at most 1000 pixels wide (`small`, at `reduce` of its size). They
// depend on the picture alone, not on its reading: the card's reading looks for them on the other core
// while Tesseract first reads the card. No copy where it cannot be made.
struct ChannelRows {
    PixPtr small;
    float reduce = 1;
    std::vector<InkRow> rows;
};
ChannelRows FindChannelRows(Pix* picture);

// Print Tesseract's page layout passes over: light print on a dark or photographed ground that it takes
// for a picture, coloured print over a pattern. Rows of letter-sized marks are looked for on each colour
// channel of the card, dark on light and light on dark (see InkRows); each row where nothing was read is
// read alone, in the channel it stood out in, dark on light, scaled so its print stands some 40 pixels
// high, and what reads as a contact line or a job title surely is added as AddUnreadLines adds the
// stretched reading's, a row giving a number with its area code fairly surely as well. Faint grey print on
// a shaded ground stands out in none of the channels; it is looked for on the grey with its ground made
// even and darkened (see FaintPrintDarkened).
// `found`: the picture's rows (see FindChannelRows), where they were looked for already.
void ReadInkRows(Recognizer& recognizer, Pix* picture, PageText& page, const std::string& region,
                 std::optional<ChannelRows> found = std::nullopt);

// Lettering Tesseract's page layout takes for a picture: a company's name drawn large over a design or
// beside its logo ("selva digitals" under an icon, "BORCELLE AIRLINES" on a coloured band). Each block it
// lays out as a picture (a "word" of no text) is cut out and read on its own, thresholded by each place's
// neighbourhood so a coloured ground or a gradient is no print, and the lines of letters read surely
// where nothing was read are added; which of them names the company the field rules decide.
void ReadPictureBlocks(Recognizer& recognizer, Pix* picture, int dpi, PageText& page);

}  // namespace outside
