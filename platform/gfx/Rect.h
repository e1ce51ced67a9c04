// Integer geometry of the drawing layer and the control framework: rectangles as x, y, width,
// height (a point is inside when x <= px < x + width), points, sizes.
// Threading: plain values.
#pragma once

#include <algorithm>
#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool operator==(const Rect&) const = default;
    // Empty when the width or the height is not positive.
    bool IsEmpty() const { return width <= 0 || height <= 0; }
    int32_t Right() const { return x + width; }
    int32_t Bottom() const { return y + height; }
    bool Contains(Point p) const { return p.x >= x && p.x < x + width && p.y >= y && p.y < y + height; }
    bool Contains(const Rect& r) const {
        return !r.IsEmpty() && r.x >= x && r.y >= y && r.Right() <= Right() && r.Bottom() <= Bottom();
    }
    Rect Offset(int32_t dx, int32_t dy) const { return {x + dx, y + dy, width, height}; }
    // The overlap; all zero when there is none.
    Rect Intersect(const Rect& o) const {
        const int32_t l = std::max(x, o.x), t = std::max(y, o.y);
        const int32_t r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    bool Intersects(const Rect& o) const { return !Intersect(o).IsEmpty(); }
    // The bounding box of both; an empty side gives the other.
    Rect Union(const Rect& o) const {
        if (o.IsEmpty()) return *this;
        if (IsEmpty()) return o;
        const int32_t l = std::min(x, o.x), t = std::min(y, o.y);
        return {l, t, std::max(Right(), o.Right()) - l, std::max(Bottom(), o.Bottom()) - t};
    }
};
