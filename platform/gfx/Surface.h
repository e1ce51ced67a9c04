// A drawing target: 32-bit premultiplied ARGB pixels kept between paints (a window's memory
// surface, a container's composition buffer). Graphics draws on it; tests read it back.
// Threading: used by one thread at a time (normally the user-interface thread).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Rect.h"

class Surface {
public:
    Surface() = default;
    Surface(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Re-creates the pixels (transparent) only when the size differs; true when it did.
    bool Resize(int width, int height);
    // Replaces the pixels of r (clipped to the surface) with argb, without blending.
    void Fill(const Rect& r, uint32_t argb);
    // The straight (not premultiplied) ARGB value at (x, y); 0 outside.
    uint32_t Pixel(int x, int y) const;
    // A straight-alpha copy of r (the whole surface when r is null), for tests and tools.
    std::unique_ptr<Bitmap> ToBitmap(const Rect* r = nullptr) const;

    // Premultiplied pixels, rows top to bottom without padding.
    uint32_t* Data() { return pixels_.data(); }
    const uint32_t* Data() const { return pixels_.data(); }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};
