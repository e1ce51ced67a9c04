#include <gtest/gtest.h>

#include <cmath>

#include "directui/SkinColour.h"
#include "platform/gfx/Bitmap.h"

TEST(SkinColour, RgbToHslOfKnownColours) {
    struct Case {
        uint32_t colourRef;
        double h, s, l;
    };
    const Case cases[] = {
        {0x000000FF, 0, 100, 50},    // red (colour-reference order: red in the low byte)
        {0x0000FF00, 120, 100, 50},  // green
        {0x00FF0000, 240, 100, 50},  // blue
        {0x00FF00FF, 300, 100, 50},  // magenta: red max, green < blue adds 360
        {0x00000000, 0, 0, 0},      {0x00FFFFFF, 0, 0, 100}, {0x00808080, 0, 0, 12800.0 / 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colourRef);
        const Hsl hsl = RgbToHsl(c.colourRef);
        EXPECT_DOUBLE_EQ(hsl.h, c.h);
        EXPECT_DOUBLE_EQ(hsl.s, c.s);
        EXPECT_DOUBLE_EQ(hsl.l, c.l);
    }
}

TEST(SkinColour, HslToRgbGivesColourReferenceOrderWithAlpha) {
    EXPECT_EQ(HslToRgb(255, 0, 100, 50), 0xFF0000FFu);
    EXPECT_EQ(HslToRgb(0x80, 120, 100, 50), 0x8000FF00u);
    EXPECT_EQ(HslToRgb(0, 240, 100, 50), 0x00FF0000u);
    EXPECT_EQ(HslToRgb(255, 77, 0, 100), 0xFFFFFFFFu);
    EXPECT_EQ(HslToRgb(255, 77, 0, 0), 0xFF000000u);
    // Lightness beyond the range clamps the channels.
    EXPECT_EQ(HslToRgb(255, 0, 0, 130), 0xFFFFFFFFu);
    EXPECT_EQ(HslToRgb(255, 0, 100, -5), 0xFF000000u);
}

TEST(SkinColour, LightnessShiftUsesSinglePrecisionExponent) {
    EXPECT_EQ(LightnessShift(50), 0.0);
    EXPECT_EQ(LightnessShift(51), 1.0);
    EXPECT_EQ(LightnessShift(49), -1.0);
    EXPECT_EQ(LightnessShift(60), std::pow(10.0, static_cast<double>(0.88f)));
    EXPECT_NE(LightnessShift(60), std::pow(10.0, 0.88));
    EXPECT_EQ(LightnessShift(30), -std::pow(20.0, static_cast<double>(0.88f)));
}

TEST(SkinColour, TintColourKeepsBlackAndWhite) {
    for (uint32_t tone : {0xFF2C8CC0u, 0xFFC2413Bu, 0x80FFFFFFu, 0xFF000000u, 0u}) {
        EXPECT_EQ(TintColour(0xFF000000u, tone), 0xFF000000u);
        EXPECT_EQ(TintColour(0xFFFFFFFFu, tone), 0xFFFFFFFFu);
        EXPECT_EQ(TintColour(0x40FFFFFFu, tone), 0x40FFFFFFu);
    }
}

TEST(SkinColour, TintColourTakesHueAndSaturationOfTheTone) {
    // A tone of lightness 50 keeps the colour's lightness.
    EXPECT_EQ(TintColour(0x8000FF00u, 0xFFFF0000u), 0x80FF0000u);
    EXPECT_EQ(TintColour(0xFF0000FFu, 0xFF00FF00u), 0xFF00FF00u);
    // Grey tone (saturation 0): the result is grey of the colour's lightness moved by the shift.
    const double shift = LightnessShift(12800.0 / 255);
    const uint32_t grey = static_cast<uint32_t>((50 + shift) / 100 * 255);
    EXPECT_EQ(TintColour(0xFF00FF00u, 0xFF808080u), 0xFF000000u | grey << 16 | grey << 8 | grey);
}

TEST(SkinColour, TintImageKeepsColourKeyWhiteBlackAndEveryAlpha) {
    Bitmap image(256, 2);
    for (int a = 0; a < 256; ++a) image.SetPixel(a, 0, static_cast<uint32_t>(a) << 24 | 0x00FF00u);
    const uint32_t kept[] = {0xFFFF00FFu, 0x40FF00FFu, 0x00FF00FFu, 0xFFFFFFFFu,
                             0x80FFFFFFu, 0xFF000000u, 0x00000000u};
    for (int i = 0; i < 7; ++i) image.SetPixel(i, 1, kept[i]);
    image.SetPixel(7, 1, 0xFF00FF00u);

    const auto tinted = TintImage(image, 0xFFFF0000u);
    ASSERT_EQ(tinted->Width(), 256);
    ASSERT_EQ(tinted->Height(), 2);
    for (int a = 0; a < 256; ++a)
        EXPECT_EQ(tinted->Pixel(a, 0), static_cast<uint32_t>(a) << 24 | 0xFF0000u) << a;
    for (int i = 0; i < 7; ++i) EXPECT_EQ(tinted->Pixel(i, 1), kept[i]) << i;
    EXPECT_EQ(tinted->Pixel(7, 1), 0xFFFF0000u);
    // The source is untouched.
    EXPECT_EQ(image.Pixel(7, 1), 0xFF00FF00u);

    // Another colour key protects its own colour instead of magenta.
    const auto other = TintImage(image, 0xFFFF0000u, 0xFF00FF00u);
    EXPECT_EQ(other->Pixel(7, 1), 0xFF00FF00u);

    Bitmap empty(0, 0);
    EXPECT_EQ(TintImage(empty, 0xFFFF0000u)->Width(), 0);
}
