#include "outside/bmp2pdf/page_layout.h"

#include <algorithm>

namespace outside {

PageLayout ComputePageLayout(int width_px, int height_px, double x_dpi, double y_dpi, double margin_h,
                             double margin_v, bool original_size) {
    if (x_dpi <= 0) x_dpi = kDefaultDpi;
    if (y_dpi <= 0) y_dpi = kDefaultDpi;
    margin_h = std::max(0.0, margin_h);
    margin_v = std::max(0.0, margin_v);
    PageLayout layout;
    double natural_width = width_px * 72.0 / x_dpi;
    double natural_height = height_px * 72.0 / y_dpi;
    if (original_size) {
        layout.image_width = natural_width;
        layout.image_height = natural_height;
        layout.page_width = natural_width + 2 * margin_h;
        layout.page_height = natural_height + 2 * margin_v;
        layout.image_x = margin_h;
        layout.image_y = margin_v;
        return layout;
    }
    bool landscape = natural_width > natural_height;
    layout.page_width = landscape ? kA4Height : kA4Width;
    layout.page_height = landscape ? kA4Width : kA4Height;
    // Margins may not eat the whole page; at least one point of picture remains.
    double room_width = std::max(1.0, layout.page_width - 2 * margin_h);
    double room_height = std::max(1.0, layout.page_height - 2 * margin_v);
    double scale = std::min({1.0, room_width / natural_width, room_height / natural_height});
    layout.image_width = natural_width * scale;
    layout.image_height = natural_height * scale;
    layout.image_x = (layout.page_width - layout.image_width) / 2;
    layout.image_y = (layout.page_height - layout.image_height) / 2;
    return layout;
}

}  // namespace outside
