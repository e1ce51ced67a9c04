// An ARGB bitmap: 32-bit pixels 0xAARRGGBB, not premultiplied, rows top to bottom without
// padding. Skins decode their images into these; the graphics context draws them.
// Threading: a bitmap is used by one thread at a time; decoding is safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Bitmap {
public:
    Bitmap(int width, int height, uint32_t fill = 0);

    // Decodes PNG, BMP, JPEG or GIF bytes; nullptr when the bytes are not an image.
    static std::unique_ptr<Bitmap> Decode(const void* data, size_t size);
    // Writes PNG bytes (for tests and tools); false on failure.
    bool SavePng(const char* path) const;

    int Width() const { return width_; }
    int Height() const { return height_; }
    uint32_t* Pixels() { return pixels_.data(); }
    const uint32_t* Pixels() const { return pixels_.data(); }
    uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    void SetPixel(int x, int y, uint32_t argb) { pixels_[static_cast<size_t>(y) * width_ + x] = argb; }

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};
