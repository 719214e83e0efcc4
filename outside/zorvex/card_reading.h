#pragma once
// One card picture recognised into the field rules' layout lines: its way up, its readings and its
// lines read again.

#include <string>
#include <vector>

#include "outside/finecmd/recognizer.h"
#include "outside/zorvex/card_fields.h"

namespace outside {

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
// telephone numbers or addresses, numbers taken as dialled in the card's country: `language_region`
// (ISO 3166, "" when unknown: see LanguageRegion) or another its first reading shows (see RegionOnCard). An
// address's line read surely in a language with marks is read alone too, and gets the marks the whole
// card's reading lost ("Sao Paulo" read "São Paulo" so).
std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi,
                                 const std::string& language_region = "");

}  // namespace outside
