// Premultiplied ARGB surfaces: allocation, solid fills and straight-alpha read-back.
#include "platform/gfx/Surface.h"

#include <algorithm>

namespace {
uint32_t Premultiply(uint32_t argb) {
    const uint32_t a = argb >> 24;
    if (a == 255) return argb;
    if (a == 0) return 0;
    auto ch = [&](int shift) { return (((argb >> shift) & 0xFF) * a + 127) / 255; };
    return (a << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

uint32_t Unpremultiply(uint32_t p) {
    const uint32_t a = p >> 24;
    if (a == 255) return p;
    if (a == 0) return 0;
    auto ch = [&](int shift) { return std::min<uint32_t>(255, (((p >> shift) & 0xFF) * 255 + a / 2) / a); };
    return (a << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}
}  // namespace

Surface::Surface(int width, int height) { Resize(width, height); }

bool Surface::Resize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_ && !pixels_.empty()) return false;
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<size_t>(width) * height, 0);
    return true;
}

void Surface::Fill(const Rect& r, uint32_t argb) {
    const Rect c = r.Intersect({0, 0, width_, height_});
    if (c.IsEmpty()) return;
    const uint32_t p = Premultiply(argb);
    for (int y = c.y; y < c.Bottom(); ++y) {
        uint32_t* row = pixels_.data() + static_cast<size_t>(y) * width_;
        std::fill(row + c.x, row + c.Right(), p);
    }
}

uint32_t Surface::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return Unpremultiply(pixels_[static_cast<size_t>(y) * width_ + x]);
}

std::unique_ptr<Bitmap> Surface::ToBitmap(const Rect* r) const {
    const Rect c = r ? r->Intersect({0, 0, width_, height_}) : Rect{0, 0, width_, height_};
    auto bitmap = std::make_unique<Bitmap>(c.width, c.height);
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) bitmap->SetPixel(x, y, Pixel(c.x + x, c.y + y));
    }
    return bitmap;
}
