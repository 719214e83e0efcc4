#pragma once
// bmp2tiff.dll: turns BMP files into a TIFF file, one page per BMP.
//
// ConvertMutil(source, target, mode, quality)
//   mode 1: source is the path of one BMP.
//   mode 2: source is several BMP paths joined by "*" ("a.bmp*b.bmp*c.bmp"), one page each in that
//           order. A single trailing "*" is tolerated; an empty list or an empty entry is refused.
//   target: path of the TIFF to write; an existing file is replaced.
//   quality: accepted for the caller's sake (it passes 80); every page is stored losslessly, so it
//            does not change the output.
//   Compression by picture: black-and-white (1-bit with a black/white palette) as CCITT Group 4 fax,
//   min-is-white, one strip, which OCR engines read natively; grey (8-bit grey palette) and colour
//   (24-bit, or any other palette, expanded to RGB) as LZW with horizontal differencing.
//   X/Y resolution in dots per inch from the BMP's pixels-per-metre fields (left out when the BMP has
//   none). Multi-page files carry the page type and page numbers on every page.
//   Returns 1 when the file was written, 0 otherwise (bad mode, bad list, any source missing or
//   malformed, unwritable target); on failure nothing is left under the target name and an existing
//   target is kept. Safe to call from any thread; calls share no state.

#ifdef __cplusplus
extern "C" {
#endif

int ConvertMutil(const char* source, const char* target, int mode, int quality);

typedef int (*ConvertMutilFn)(const char*, const char*, int, int);

#ifdef __cplusplus
}
#endif
