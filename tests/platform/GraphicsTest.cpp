// The graphics context: fills, outlines, clip and translation, images with source rectangles,
// alpha and colour key, gradients, dashed lines, text with the CJK fallback, rotation, measuring.
#include "platform/gfx/Graphics.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/TestSupport.h"

namespace {
uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 2) {
    for (int shift : {0, 8, 16, 24}) {
        const int d = static_cast<int>(Channel(actual, shift)) - static_cast<int>(Channel(expected, shift));
        if (d > tolerance || d < -tolerance) {
            char text[64];
            snprintf(text, sizeof text, "%08X is not near %08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// The bounding box of pixels that differ from `background`.
Rect InkBox(const Surface& s, uint32_t background) {
    Rect box;
    for (int y = 0; y < s.Height(); ++y) {
        for (int x = 0; x < s.Width(); ++x) {
            if (s.Pixel(x, y) != background) box = box.Union({x, y, 1, 1});
        }
    }
    return box;
}
}  // namespace

TEST(GraphicsTest, FillsOutlinesClipAndTranslation) {
    Surface s(40, 30);
    {
        Graphics g(s);
        g.FillRect({0, 0, 40, 30}, 0xFF000000);
        g.Save();
        g.Translate(10, 5);
        g.IntersectClip({0, 0, 10, 10});
        EXPECT_EQ(g.ClipBounds(), (Rect{0, 0, 10, 10}));
        g.FillRect({-5, -5, 100, 100}, 0xFFFF0000);  // clipped to (10,5)-(20,15)
        g.Restore();
        g.DrawFrameRect({25, 2, 10, 6}, 0xFF00FF00);
        g.FillRect({0, 20, 10, 10}, 0x00FFFFFF);  // alpha 0 draws nothing
        g.FillRect({20, 20, 10, 10}, 0x80FFFFFF);
        EXPECT_TRUE(g.Ok());
    }
    EXPECT_EQ(s.Pixel(10, 5), 0xFFFF0000u);
    EXPECT_EQ(s.Pixel(19, 14), 0xFFFF0000u);
    EXPECT_EQ(s.Pixel(20, 14), 0xFF000000u);
    EXPECT_EQ(s.Pixel(9, 5), 0xFF000000u);
    // The outline covers x 25..34 and y 2..7 and leaves the inside.
    EXPECT_EQ(s.Pixel(25, 2), 0xFF00FF00u);
    EXPECT_EQ(s.Pixel(34, 7), 0xFF00FF00u);
    EXPECT_EQ(s.Pixel(35, 7), 0xFF000000u);
    EXPECT_EQ(s.Pixel(30, 5), 0xFF000000u);
    EXPECT_EQ(s.Pixel(5, 25), 0xFF000000u);
    EXPECT_TRUE(Near(s.Pixel(25, 25), 0xFF808080));
}

TEST(GraphicsTest, ImagesWithSourceRectanglesAlphaAndColourKey) {
    Bitmap image(4, 2, 0xFF0000FF);
    image.SetPixel(2, 0, 0xFFFF00FF);  // the colour key
    image.SetPixel(3, 0, 0x80FF0000);
    Surface s(20, 10);
    {
        Graphics g(s);
        g.FillRect({0, 0, 20, 10}, 0xFFFFFFFF);
        g.DrawImage(image, {0, 0, 4, 2}, {0, 0, 4, 2});
        g.DrawImage(image, {0, 4, 4, 2}, {0, 0, 4, 2}, 255, true);
        g.DrawImage(image, {10, 0, 8, 4}, {2, 0, 2, 2});  // source rectangle scaled up 4x2
        g.DrawImage(image, {0, 8, 2, 2}, {0, 0, 2, 2}, 128);
    }
    EXPECT_EQ(s.Pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(s.Pixel(2, 0), 0xFFFF00FFu);             // no key: drawn
    EXPECT_EQ(s.Pixel(2, 4), 0xFFFFFFFFu);             // key: transparent
    EXPECT_TRUE(Near(s.Pixel(3, 0), 0xFFFF7F7F));      // straight alpha 0x80 red over white
    EXPECT_EQ(s.Pixel(10, 0), 0xFFFF00FFu);            // source column 2 stretched
    EXPECT_EQ(s.Pixel(13, 1), 0xFFFF00FFu);
    EXPECT_TRUE(Near(s.Pixel(17, 0), 0xFFFF7F7F));     // source column 3
    EXPECT_EQ(s.Pixel(10, 2), 0xFF0000FFu);            // source row 1
    EXPECT_TRUE(Near(s.Pixel(1, 9), 0xFF7F7FFF));      // alpha factor 128
}

TEST(GraphicsTest, GradientsAndDashedLines) {
    Surface s(100, 20);
    {
        Graphics g(s);
        g.FillGradient({0, 0, 100, 10}, 0xFF000000, 0xFFFFFFFF, false);
        g.FillRect({0, 10, 100, 10}, 0xFF000000);
        g.DrawLine({0, 15}, {99, 15}, 0xFFFFFFFF, 1.0f, true);
    }
    EXPECT_LT(Channel(s.Pixel(2, 5), 0), 20u);
    EXPECT_GT(Channel(s.Pixel(97, 5), 0), 235u);
    EXPECT_TRUE(Near(s.Pixel(50, 5), 0xFF808080, 6));
    int lit = 0;
    for (int x = 0; x < 100; ++x) lit += s.Pixel(x, 15) == 0xFFFFFFFFu;
    EXPECT_GT(lit, 30);  // dashes...
    EXPECT_LT(lit, 90);  // ...with gaps
    EXPECT_EQ(s.Pixel(50, 14), 0xFF000000u);
}

TEST(GraphicsTest, ChineseTextRendersWithTheCjkFallback) {
    EXPECT_EQ(Graphics::ResolveFamily(u"宋体"), u"WenQuanYi Micro Hei");
    EXPECT_EQ(Graphics::ResolveFamily(u"No Such Family 123"), u"WenQuanYi Micro Hei");
    const FontSpec font{u"宋体", 12.0f, 0};
    const Size size = Graphics::MeasureText(u"洛新收音机", font);
    EXPECT_GT(size.width, 50);   // five ideographs of 16 pixels
    EXPECT_LT(size.width, 100);
    EXPECT_GE(size.height, 16);
    EXPECT_EQ(Graphics::MeasureText(u"", font), (Size{0, 0}));
    const Size bold = Graphics::MeasureText(u"Radio", {u"宋体", 12.0f, FontSpec::kBold});
    EXPECT_GE(bold.width, Graphics::MeasureText(u"Radio", font).width);

    Surface s(120, 40);
    {
        Graphics g(s);
        g.FillRect({0, 0, 120, 40}, 0xFFFFFFFF);
        g.DrawText(u"洛新收音机", {0, 0, 120, 40}, 0xFF000000, font, text::kCentre | text::kVCentre);
    }
    const Rect ink = InkBox(s, 0xFFFFFFFF);
    ASSERT_FALSE(ink.IsEmpty());
    // Centred: about the same margin left and right; glyphs, not empty boxes (many dark pixels).
    EXPECT_NEAR(ink.x, 120 - ink.Right(), 4);
    int dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) dark += Channel(s.Pixel(x, y), 0) < 100;
    EXPECT_GT(dark, 150);
    s.ToBitmap()->SavePng((testsupport::TempRoot() + "/text.png").c_str());
}

TEST(GraphicsTest, EllipsisAndRotatedCaptions) {
    const FontSpec font{u"宋体", 9.0f, 0};
    Surface s(40, 100);
    {
        Graphics g(s);
        g.FillRect({0, 0, 40, 100}, 0xFFFFFFFF);
        g.DrawText(u"a long caption that cannot fit", {0, 0, 40, 14}, 0xFF000000, font, text::kEllipsis);
        g.DrawText(u"Caption", {0, 20, 20, 80}, 0xFF000000, font, text::kRotateLeft | text::kCentre | text::kVCentre);
    }
    Surface top(40, 14);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 40; ++x) top.Fill({x, y, 1, 1}, s.Pixel(x, y));
    EXPECT_LE(InkBox(top, 0xFFFFFFFF).Right(), 40);
    // The rotated caption is taller than wide and stays in its box.
    Surface side(20, 80);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 20; ++x) side.Fill({x, y, 1, 1}, s.Pixel(x, 20 + y));
    const Rect ink = InkBox(side, 0xFFFFFFFF);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GT(ink.height, ink.width * 2);
}
