#include "pipeline/capture/capture_rules.h"

#include <algorithm>

#include "settings/settings.h"

namespace pipeline {

int32_t PixelsPerMetre(int capture_width) {
    if (capture_width == 2048) return 6912;
    return static_cast<int32_t>(static_cast<int64_t>(capture_width) * 1000 / 297);
}

namespace {

// One axis: [a0, a1) scaled, widened to the minimum, then kept inside [0, extent).
void PlaceAxis(int a0, int a1, int extent, int& start, int& length) {
    if (a1 < a0) std::swap(a0, a1);
    start = a0;
    length = std::max(a1 - a0, kMinAreaPixels);
    length = std::min(length, extent);
    start = std::clamp(start, 0, extent - length);
}

}  // namespace

std::optional<FrameArea> ScaleCaptureArea(const ViewRect& selection, const ViewRect& video, int capture_width,
                                          int capture_height) {
    if (selection.right <= 0 || selection.bottom <= 0) return std::nullopt;
    if (video.right <= video.left || video.bottom <= video.top || capture_width <= 0 || capture_height <= 0)
        return std::nullopt;
    const double sx = static_cast<double>(capture_width) / (video.right - video.left);
    const double sy = static_cast<double>(capture_height) / (video.bottom - video.top);
    const int x0 = static_cast<int>((selection.left - video.left) * sx);
    const int x1 = static_cast<int>((selection.right - video.left) * sx);
    const int y0 = static_cast<int>((selection.top - video.top) * sy);
    const int y1 = static_cast<int>((selection.bottom - video.top) * sy);
    FrameArea area;
    PlaceAxis(x0, x1, capture_width, area.x0, area.width);
    PlaceAxis(y0, y1, capture_height, area.y0, area.height);
    return area;
}

std::optional<PageShape> PageShapeFor(int capture_width) {
    switch (capture_width) {
        case 2592:
            return PageShape{2597, 1835};
        case 2048:
            return PageShape{2059, 1455};
        case 640:
            return PageShape{643, 455};
        default:
            return std::nullopt;
    }
}

Turn ChooseTurn(bool ocr_capture, int rotation, int rotation_file) {
    switch (ocr_capture ? rotation : rotation_file) {
        case 1:
            return Turn::QuarterClockwise;
        case 2:
            return Turn::QuarterCounterClockwise;
        case 3:
            return Turn::Half;
        default:
            return Turn::None;
    }
}

SaveAction SaveActionFor(int image_format, bool pdf_gathered) {
    switch (image_format) {
        case 0:
            return SaveAction::CopyBmp;
        case 1:
            return SaveAction::Jpeg;
        case 2:
            return pdf_gathered ? SaveAction::GatherPdf : SaveAction::OnePdf;
        case 3:
            return SaveAction::Tiff;
        case 4:
            return SaveAction::OnePdf;
        default:
            return SaveAction::Nothing;
    }
}

bool OcrGatherAllPages(const CVellumoSettings& s) {
    // The record keeps the keys in the file's order: RTF Word, RTF PAD, PDF, XLS, TXT.
    switch (s.m_nOcrFormat) {
        case 0:
            return s.m_bOcrOnePerFormat[0] != 0;
        case 1:
            return s.m_bOcrOnePerFormat[1] != 0;
        case 2:
            return s.m_bOcrOnePerFormat[3] != 0;
        case 3:
            return s.m_bOcrOnePerFormat[2] != 0;
        case 4:
            return s.m_bOcrOnePerFormat[4] != 0;
        default:
            return false;
    }
}

}  // namespace pipeline
