#pragma once
// Points and rectangles in whole pixels: left, top, right, bottom as 32-bit signed integers, right and
// bottom exclusive wherever an area is meant (as the capture pipeline reads them).
// Plain C++.

#include <algorithm>
#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Right and bottom exclusive.
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    // Every bound inclusive.
    bool ContainsInclusive(Point p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    // No bound included.
    bool ContainsStrictly(Point p) const { return p.x > left && p.x < right && p.y > top && p.y < bottom; }
    Rect Offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    // Left not right of right, top not below bottom.
    Rect Normalized() const {
        return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    }
    // The common part; all zero when there is none.
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
};
