#pragma once
// bmp2pdf.dll: writes BMP files as the pages of one PDF document.
//
// Use: construct; optionally set compression, JPEG quality, margins, page sizing, font and page text;
// setFileList with the pages; newMultiplePage with the target writes the document; destroy.
// One object serves one thread at a time. Nothing here throws.
//
// Pages: one per listed BMP, in list order. Colour and grey pictures are stored as JPEG (DCTDecode)
// at the set quality, black-and-white pictures (1-bit, black/white palette) losslessly with Flate at
// one bit per pixel; setCompress(1) stores every picture losslessly (Flate).

#include <memory>

#define BMP2PDF_EXPORT __attribute__((visibility("default")))

// Progress callback: total pages, pages done so far, a reserved 0, and the caller's value given to
// setFileList/newMultiplePage. Called once per page after the page is stored; returning 0 cancels
// the document (nothing is written).
typedef int (*Bmp2PdfProgress)(unsigned long total, unsigned long done, int reserved, unsigned long user);

class BMP2PDF_EXPORT Cbmp2pdf {
  public:
    Cbmp2pdf();
    ~Cbmp2pdf();
    Cbmp2pdf(const Cbmp2pdf&) = delete;
    Cbmp2pdf& operator=(const Cbmp2pdf&) = delete;

    // 0 (the default): JPEG for colour and grey pages; 1: lossless Flate for every page.
    // Other values are treated as 0.
    void setCompress(int mode);
    // JPEG quality 1..100 (values outside are clamped); 80 by default.
    void setCmQuality(int quality);
    // Margins around the picture in PDF points (1/72 inch): left/right and top/bottom. Negative
    // values count as 0. 0 and 0 by default.
    void setPageMargin(double horizontal_pt, double vertical_pt);
    // Each page gets the picture's own size at its resolution (96 dpi when the BMP gives none) plus
    // the margins. Without this call the picture is fitted, never enlarged, into an A4 page (portrait
    // or landscape to match the picture) inside the margins and centred.
    void originalSize();

    // Gives the pages: list = BMP paths, each followed by "*" ("a.bmp*b.bmp*"), count = the number of
    // paths in it. Returns 1 when the list holds exactly count non-empty paths, else 0 (and the list
    // is cleared). The word, callback and value are kept for newMultiplePage when it passes none.
    int setFileList(const char* list, int count, int* word, Bmp2PdfProgress progress, unsigned long user);
    // Writes the document of the listed pages to target (an existing file is replaced). count must
    // equal the listed count. *word (when given) is set to the pages done as the document grows.
    // Returns 1 when the file was written; 0 on any failure (no list, count mismatch, a page that
    // is not a readable BMP, cancelled by the callback, unwritable target), in which case nothing is
    // left under the target name and an existing target is kept.
    int newMultiplePage(const char* target, int count, int* word, Bmp2PdfProgress progress,
                        unsigned long user);

    // Font for page text: one of the 14 standard PDF fonts ("Times-Roman", "Helvetica", ...; other
    // names fall back to "Times-Roman"), size in points clamped to 1..200. "Times-Roman", 20 by default.
    void setFont(const char* name, int size_pt);
    // 0: no text (the default); any other value: the page number is printed in the set font at the
    // bottom-left corner of the picture.
    void textOnPage(long mode);

  private:
    struct State;
    std::unique_ptr<State> state_;
};
