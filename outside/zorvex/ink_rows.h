#pragma once
// Rows of print found on a card picture by its marks of ink alone, whatever Tesseract's page layout made
// of them.

#include <vector>

#include "outside/finecmd/recognizer.h"

namespace outside {

// A mark of ink on a card: one connected run of print pixels, in pixels of the picture it was found on.
struct InkBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A row of marks of one letter size side by side: a line of print (`marks` of them) whatever its colour.
struct InkRow {
    InkBox box;
    int marks = 0;
    int height = 0;  // the marks' mean height
    int source = 0;  // which picture of the card it was found on
};

// The marks of ink on `grey` (dark on light), each thresholded by its own neighbourhood.
std::vector<InkBox> InkMarks(Pix* grey);

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

}  // namespace outside
