#include "app/view/selection_geometry.h"

namespace {

bool Within(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }

}  // namespace

HitZone HitTestArea(const Rect& s, Point p) {
    const int32_t x = p.x, y = p.y, l = s.left, t = s.top, r = s.right, b = s.bottom;
    if (Within(y, t + 6, b - 6) && (Within(x, l - 4, l + 4) || Within(x, r - 4, r + 4))) {
        const int edge = Within(x, l - 4, l + 4) ? 1 : 2;
        return {1, edge, CursorShape::SizeWE, CursorShape::SizeWE};
    }
    if (Within(x, l + 6, r - 6) && (Within(y, t - 4, t + 4) || Within(y, b - 4, b + 4))) {
        const int edge = Within(y, t - 4, t + 4) ? 3 : 4;
        return {2, edge, CursorShape::SizeNS, CursorShape::SizeNS};
    }
    const bool near_left = Within(x, l - 4, l + 6), near_right = Within(x, r - 6, r + 4);
    const bool near_top = Within(y, t - 4, t + 6), near_bottom = Within(y, b - 6, b + 4);
    if ((near_left && near_top) || (near_right && near_bottom)) {
        const int edge = near_left && near_top ? 5 : 6;
        return {3, edge, CursorShape::SizeNWSE, CursorShape::SizeNWSE};
    }
    if ((near_left && near_bottom) || (near_right && near_top)) {
        const int edge = near_left && near_bottom ? 7 : 8;
        return {3, edge, CursorShape::SizeNESW, CursorShape::SizeNESW};
    }
    if (s.Contains(p)) return {4, 0, CursorShape::SizeAll, CursorShape::SizeAll};
    return {};
}

std::optional<Rect> RubberBandRect(const Rect& track_screen, Point client_origin, int32_t client_width,
                                   int32_t client_height) {
    const Rect client_band = track_screen.Normalized().Offset(-client_origin.x, -client_origin.y);
    const Rect cut = client_band.Intersect(Rect{0, 0, client_width - 1, client_height - 1});
    if (cut.IsEmpty()) return std::nullopt;
    return cut;
}

std::vector<BorderPixel> MarchingBorder(const Rect& r, int phase, bool colour_flag) {
    std::vector<BorderPixel> pixels;
    if (r.IsEmpty()) return pixels;
    pixels.reserve(2 * (r.Width() + r.Height()));
    int counter = phase;
    auto put = [&](int32_t x, int32_t y) {
        pixels.push_back({x, y, colour_flag});
        if (counter == 0) {
            colour_flag = !colour_flag;
            counter = 3;
        } else {
            --counter;
        }
    };
    for (int32_t x = r.left; x <= r.right - 1; ++x) put(x, r.top);
    for (int32_t y = r.top; y <= r.bottom - 1; ++y) put(r.right - 1, y);
    for (int32_t x = r.right - 1; x >= r.left + 1; --x) put(x, r.bottom - 1);
    for (int32_t y = r.bottom - 1; y >= r.top + 1; --y) put(r.left, y);
    return pixels;
}

void AdvanceAnts(int& phase, bool& colour_flag) {
    phase = (phase + 1) % 4;
    if (phase == 0) colour_flag = !colour_flag;
}
