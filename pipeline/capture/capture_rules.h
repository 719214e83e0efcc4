#pragma once
// The small decisions of a still capture, apart from any file or thread: the resolution written into the
// pictures, where the capture area lies in the frame, the A-series page shape, which turn applies, and what
// the chosen format does with the picture. Plain C++.

#include <cstdint>
#include <optional>

class CVellumoSettings;

namespace pipeline {

// Left, top, right, bottom in the view's client coordinates (right and bottom exclusive).
struct ViewRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A rectangle of the frame in pixels, y counted from the top of the picture.
struct FrameArea {
    int x0 = 0, y0 = 0, width = 0, height = 0;
};

struct PageShape {
    int width = 0, height = 0;
};

constexpr int kMinAreaPixels = 24;

// Pixels per metre of a picture taken at this capture width: width x 1000 / 297, but 6912 at 2048.
int32_t PixelsPerMetre(int capture_width);

// The capture area in frame pixels, scaled from the view's picture rectangle. Each side is raised to 24
// pixels when smaller and the area is then moved (never shrunk below what the frame holds) so that it
// lies inside the frame. Nothing when no area is set (right or bottom not above 0) or the picture
// rectangle is empty.
std::optional<FrameArea> ScaleCaptureArea(const ViewRect& selection, const ViewRect& video, int capture_width,
                                          int capture_height);

// The A-series shape a frame of this width is reshaped to; nothing for widths other than 2592, 2048, 640.
std::optional<PageShape> PageShapeFor(int capture_width);

enum class Turn { None, QuarterClockwise, QuarterCounterClockwise, Half };
// "ROTATION" applies to a capture for text recognition, "ROTATION FILE" to a picture.
Turn ChooseTurn(bool ocr_capture, int rotation, int rotation_file);

enum class SaveAction { CopyBmp, Jpeg, Tiff, GatherPdf, OnePdf, Nothing };
// "FORMAT" with the gathered-PDF flag (set exactly when the format is 2).
SaveAction SaveActionFor(int image_format, bool pdf_gathered);

// The "All pages to one" key of the current OCR format.
bool OcrGatherAllPages(const CVellumoSettings& settings);

}  // namespace pipeline
