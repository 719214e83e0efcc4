#pragma once
// Geometry of the capture area drawn over the live picture: which part of an area a pointer is on, the
// rubber band's outline and the marching border's pixels.
// Plain C++, no state.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/view/rect.h"

// The pointer shapes the view shows.
enum class CursorShape { Arrow, Cross, SizeWE, SizeNS, SizeNWSE, SizeNESW, SizeAll };

// What a press at a point does to the committed area: drag mode 1 left/right edge, 2 top/bottom edge,
// 3 corner, 4 move, 5 new rectangle; edge 1 left, 2 right, 3 top, 4 bottom, 5 top-left, 6 bottom-right,
// 7 bottom-left, 8 top-right (0 for modes 4 and 5).
struct HitZone {
    int mode = 5;
    int edge = 0;
    CursorShape cursor = CursorShape::Cross;  // the shape while pressed
    CursorShape hover = CursorShape::Arrow;   // the shape before a press
};

// Tests the zones of area `s` in their order (edges, the two diagonal corner pairs, inside, elsewhere); the
// first that matches wins. Edges take +-4 pixels and leave 6 pixels at each end to the corners.
HitZone HitTestArea(const Rect& s, Point p);

// The rubber band's outline in view client coordinates: the dragged rectangle (screen) normalised, moved by
// the client origin and cut to the client area less its last column and row. Nothing when nothing is left.
std::optional<Rect> RubberBandRect(const Rect& track_screen, Point client_origin, int32_t client_width,
                                   int32_t client_height);

inline constexpr uint32_t kRubberBandColour = 0x0000FF;  // COLORREF order: red in the low byte
inline constexpr int kRubberBandWidth = 2;
inline constexpr uint32_t kAntColourA = 0xFFFFFF;  // white
inline constexpr uint32_t kAntColourB = 0x000000;  // black

struct BorderPixel {
    int32_t x = 0;
    int32_t y = 0;
    bool black = false;
};

// The marching border of `r` in drawing order: top edge left to right, right edge downwards, bottom edge
// right to left, left edge upwards, colours running on around the corners. Black while the colour flag is
// set; the flag flips after `phase` + 1 pixels and then every 4, so a later pixel painted on the same spot
// (the two right corners) wins.
std::vector<BorderPixel> MarchingBorder(const Rect& r, int phase, bool colour_flag);

// One timer step of the border: the phase runs 0..3 and the start colour flips each time it wraps to 0.
void AdvanceAnts(int& phase, bool& colour_flag);
