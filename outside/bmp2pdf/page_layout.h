#pragma once
// Where a picture goes on its PDF page. Plain arithmetic in PDF points (1/72 inch).

namespace outside {

struct PageLayout {
    double page_width = 0, page_height = 0;
    double image_x = 0, image_y = 0;  // lower-left corner of the picture on the page
    double image_width = 0, image_height = 0;
};

constexpr double kDefaultDpi = 96.0;  // for pictures that state no resolution
constexpr double kA4Width = 595.276, kA4Height = 841.890;

// original_size: the page is the picture at its resolution plus the margins on each side.
// Otherwise the page is A4, turned to match the picture, and the picture is fitted inside the
// margins without enlarging it, centred. dpi values <= 0 mean kDefaultDpi; margins < 0 mean 0.
PageLayout ComputePageLayout(int width_px, int height_px, double x_dpi, double y_dpi, double margin_h,
                             double margin_v, bool original_size);

}  // namespace outside
