#pragma once
// JpegLib.dll: turns one BMP file into a JFIF file.
//
// BMP2JPEG(source, target)
//   source: path of an uncompressed BMP (24-bit colour, 8-bit palette, 1-bit), rows bottom-up.
//   target: path of the JPEG to write; an existing file is replaced.
//   Colour and colour-palette pictures become three-channel JPEGs; pictures whose palette is grey
//   (8-bit grey, 1-bit black and white) become one-channel grey JPEGs. Quality is fixed at
//   kBmp2JpegQuality (4:2:0 chroma for colour). The BMP's pixels-per-metre fields become the JFIF
//   density in dots per inch; a BMP without resolution gives a 1:1 aspect with no unit.
//   Returns 1 when the file was written, 0 otherwise (missing or malformed source, unwritable
//   target). On failure nothing is left under the target name and an existing target is kept.
//   Safe to call from any thread; calls share no state.

#ifdef __cplusplus
extern "C" {
#endif

enum { kBmp2JpegQuality = 85 };

int BMP2JPEG(const char* source_bmp, const char* target_jpeg);

typedef int (*Bmp2JpegFn)(const char*, const char*);

#ifdef __cplusplus
}
#endif
