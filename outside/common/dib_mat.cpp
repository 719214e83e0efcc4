#include "outside/common/dib_mat.h"

#include <cstring>

#include "outside/common/bmp_source.h"

namespace outside {

cv::Mat DibToBgr(const platform::DibView& view) {
    cv::Mat bgr(view.height, view.width, CV_8UC3);
    DibRows rows(view, PixelKind::Colour, DibRows::ColourOrder::Bgr);
    for (int32_t y = 0; y < view.height; ++y) std::memcpy(bgr.ptr(y), rows.Row(y), rows.RowBytes());
    return bgr;
}

std::optional<std::string> EncodeBgrAsBmp(const cv::Mat& bgr, int32_t x_pixels_per_meter,
                                          int32_t y_pixels_per_meter) {
    if (bgr.type() != CV_8UC3 || bgr.empty()) return std::nullopt;
    auto image = platform::MakeDibImage(bgr.cols, bgr.rows, 24);
    if (!image) return std::nullopt;
    image->x_pixels_per_meter = x_pixels_per_meter;
    image->y_pixels_per_meter = y_pixels_per_meter;
    size_t stride = image->pixels.size() / static_cast<size_t>(bgr.rows);
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(image->pixels.data() + static_cast<size_t>(bgr.rows - 1 - y) * stride, bgr.ptr(y),
                    static_cast<size_t>(bgr.cols) * 3);
    return platform::EncodeBmp(*image);
}

}  // namespace outside
