// The graphics context the skinned controls draw with: save/restore, rectangular clipping,
// translation, images with source rectangles, an alpha factor and a colour key, solid fills,
// 1-pixel outlines, plain and dashed lines, linear gradients, text with a family, size and
// style (ellipsis, alignment, rotation by +-90 degrees) and text measuring.
// Families missing on this machine (and "宋体") fall back to an installed CJK font.
// Threading: a context and its target are used by the thread that created them (the
// user-interface thread: text needs the GUI application object, created on first use).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Rect.h"
#include "platform/gfx/Surface.h"

// A font request: family, size in points (at 96 dots per inch) and style bits.
struct FontSpec {
    static constexpr int kBold = 1;
    static constexpr int kItalic = 2;
    static constexpr int kUnderline = 4;
    static constexpr int kStrikeout = 8;

    std::u16string family = u"宋体";
    float size = 9.0f;
    int style = 0;
};

// Text layout flags of DrawText.
namespace text {
constexpr uint32_t kLeft = 0x0;
constexpr uint32_t kCentre = 0x1;
constexpr uint32_t kRight = 0x2;
constexpr uint32_t kTop = 0x0;
constexpr uint32_t kVCentre = 0x4;
constexpr uint32_t kBottom = 0x8;
constexpr uint32_t kEllipsis = 0x10;    // trims the last visible characters to "…"
constexpr uint32_t kWordWrap = 0x20;    // breaks lines at word boundaries (else one line)
constexpr uint32_t kRotateLeft = 0x40;  // reads bottom to top (-90 degrees)
constexpr uint32_t kRotateRight = 0x80; // reads top to bottom (+90 degrees)
}  // namespace text

class Graphics {
public:
    explicit Graphics(Surface& target);
    explicit Graphics(Bitmap& target);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    // Save pushes clip, translation and alpha; Restore pops them (unbalanced Restore is ignored).
    void Save();
    void Restore();
    // Narrows the clip to r (in current coordinates).
    void IntersectClip(const Rect& r);
    // The clip's bounding box in current coordinates (the whole target when there is no clip).
    Rect ClipBounds() const;
    void Translate(int dx, int dy);
    Point Origin() const;

    // Source-over fill; a colour with alpha 0 draws nothing.
    void FillRect(const Rect& r, uint32_t argb);
    // 1-pixel outline whose pixels span x..x+width-1 and y..y+height-1.
    void DrawFrameRect(const Rect& r, uint32_t argb);
    void DrawLine(Point from, Point to, uint32_t argb, float width = 1.0f, bool dashed = false);
    // Linear gradient from `from` to `to`, top to bottom when vertical, else left to right.
    void FillGradient(const Rect& r, uint32_t from, uint32_t to, bool vertical);
    // Draws src of the image into dest (scaled when the sizes differ), alpha 0..255 multiplies
    // the image's own alpha; with the colour key, pixels of exactly `key` are transparent.
    void DrawImage(const Bitmap& image, const Rect& dest, const Rect& src, uint8_t alpha = 255,
                   bool useColourKey = false, uint32_t key = 0xFFFF00FF);
    void DrawSurface(const Surface& image, const Rect& dest, const Rect& src, uint8_t alpha = 255);
    // Draws text inside r with the flags of `text::`; nothing for empty text or alpha 0.
    void DrawText(std::u16string_view s, const Rect& r, uint32_t argb, const FontSpec& font, uint32_t flags);

    // Layout size of one line: width rounded to nearest, height rounded up.
    static Size MeasureText(std::u16string_view s, const FontSpec& font);
    // The family actually used for a request ("宋体" and missing families give the CJK font).
    static std::u16string ResolveFamily(std::u16string_view family);

    // False after a drawing call failed (bad arguments, a target without pixels).
    bool Ok() const { return ok_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool ok_ = true;
};
