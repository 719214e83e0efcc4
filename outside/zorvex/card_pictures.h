#pragma once
// A card picture cut, scaled, thresholded and read in parts, the words' boxes given back in the picture's
// own pixels.

#include <tesseract/baseapi.h>

#include <string>

#include "outside/finecmd/page_source.h"
#include "outside/finecmd/recognizer.h"

namespace outside {

constexpr int kLargestWhole = 1400;  // pixels wide: a card cut out of the camera's picture is wider

// While it stands, Tesseract reads no line a second time inverted, as it does by default with every line
// it is unsure of, for light print on a dark ground.
class WithoutInvertedLines {
  public:
    explicit WithoutInvertedLines(tesseract::TessBaseAPI& api) : api_(api) {
        api_.GetDoubleVariable("invert_threshold", &threshold_);
        api_.SetVariable("invert_threshold", "0");
    }
    ~WithoutInvertedLines() { api_.SetVariable("invert_threshold", std::to_string(threshold_).c_str()); }
    WithoutInvertedLines(const WithoutInvertedLines&) = delete;
    WithoutInvertedLines& operator=(const WithoutInvertedLines&) = delete;

  private:
    tesseract::TessBaseAPI& api_;
    double threshold_ = 0;
};

// `grey` thresholded by the neighbourhood of each pixel (Sauvola, `half` pixels either way), or null.
PixPtr LocalThreshold(Pix* grey, int half);

// The part [x0, x1) x [y0, y1) of `picture` (within it), or null when it is under 8 pixels either way.
PixPtr ClipOf(Pix* picture, int x0, int y0, int x1, int y1);

// The words' boxes of a reading of a picture at `scale` of its size, given in the picture's own pixels.
void ScaleBack(PageText& page, float scale);

// The words' boxes of a reading of a clip whose top left corner stood at (`x`, `y`), given in the whole
// picture's pixels.
void Shift(PageText& page, int x, int y);

// `picture` read at `scale` (at most 1) of its size, the words' boxes given in its own pixels.
PageText RecognizeReduced(Recognizer& recognizer, Pix* picture, int dpi, float scale);

// A second reading of a whole card, at half its size when it was cut out of the camera's picture: its
// print is large enough there, and the reading takes a third of the time. The words' boxes are given in
// the picture's own pixels. (The contrast-stretched reading of the parts left unread lost digits at half
// size, "(11)" read "(14)": it is reduced by the print the card was read in, see StretchedReadingScale.)
PageText RecognizeWhole(Recognizer& recognizer, Pix* picture, int dpi);

// The picture turned so its lines of print run level, or none when they already do (within half a
// degree) or no angle can be told. A card photographed askew, or a whole desk picture where no card was
// found, reads far better level; the angle is found on a reduced, locally thresholded copy, so a dark
// desk around the card is no print.
PixPtr Levelled(Pix* card);

// Grey print barely darker than its ground (a few levels on a shaded design) made dark: the ground made
// even by the light of each part of the card, then the 40 levels under it stretched to the full range, so
// a local threshold tells such print from the ground and the ground's grain stays light. Null where it
// cannot be.
PixPtr FaintPrintDarkened(Pix* grey);

}  // namespace outside
