#pragma once
// Tesseract keeps the picture of each word or line it recognises as a PNG in memory, compressed at zlib's
// default level, and decodes it again at once to read it: a quarter of a card's or a page's recognition
// time went to that PNG. A program linking this keeps those pictures as PNM instead, the form Tesseract
// itself falls back to where PNG is missing: the same pixels, read back the same, at no compression's
// cost. Only the writes made by that one place in Tesseract change; every other picture written to memory
// in the program is written as asked.

#include <cstddef>

namespace outside {

// Whether the place in Tesseract that keeps those pictures was found in this process (a Tesseract built
// otherwise may have none), so that they are kept as PNM.
bool LinePicturesKeptPlain();

// How many such pictures were kept as PNM so far in this process.
size_t LinePicturesKeptPlainCount();

// Whether they are kept as PNM from now on (they are unless told otherwise): PNG again, as Tesseract
// writes them, to compare.
void KeepLinePicturesPlain(bool plain);

}  // namespace outside
