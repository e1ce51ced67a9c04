// Colour arithmetic of skin recolouring: HSL conversion and the tint that gives every colour and
// image of a skin the hue and saturation of one tone while keeping its own lightness.
// Threading: free functions without state; safe from any thread.
#pragma once

#include <cstdint>
#include <memory>

class Bitmap;

// Hue in degrees [0, 360]; saturation and lightness in percent [0, 100].
struct Hsl {
    double h = 0;
    double s = 0;
    double l = 0;
};

// The HSL routines take and give colours in colour-reference order: red in the low byte, green in
// the second, blue in the third (the top byte is alpha for HslToRgb's result). ARGB values are
// converted with SwapRedBlue before and after.
constexpr uint32_t SwapRedBlue(uint32_t c) {
    return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

Hsl RgbToHsl(uint32_t colourRef);
uint32_t HslToRgb(uint8_t alpha, double h, double s, double l);

// How far a tone of lightness `toneL` moves every tinted colour's lightness:
// (toneL - 50)^0.88 above 50, -(50 - toneL)^0.88 otherwise (0.88 in single precision).
double LightnessShift(double toneL);

// The tone's hue and saturation with the colour's own lightness moved by the tone's shift; pure
// black and pure white stay as they are. Both values are ARGB.
uint32_t TintColour(uint32_t argb, uint32_t tone);

// A tinted copy of an ARGB bitmap (the caller owns it): pixels of the colour key's red, green and
// blue, and pure white or black pixels, stay unchanged; every pixel keeps its alpha.
std::unique_ptr<Bitmap> TintImage(const Bitmap& image, uint32_t tone, uint32_t colourKey = 0xFFFF00FFu);
