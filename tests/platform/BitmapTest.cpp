// Bitmap decoding and PNG output round trip, broken and oversized input.
#include "platform/gfx/Bitmap.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

TEST(BitmapTest, PngRoundTripKeepsStraightAlpha) {
    Bitmap bitmap(3, 2, 0xFF112233);
    bitmap.SetPixel(1, 0, 0x80FF0000);
    bitmap.SetPixel(2, 1, 0x00000000);
    const std::string path = testsupport::TempRoot() + "/round.png";
    ASSERT_TRUE(bitmap.SavePng(path.c_str()));
    const std::string bytes = testsupport::ReadFile(path);
    auto decoded = Bitmap::Decode(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->Width(), 3);
    EXPECT_EQ(decoded->Height(), 2);
    EXPECT_EQ(decoded->Pixel(0, 0), 0xFF112233u);
    EXPECT_EQ(decoded->Pixel(1, 0), 0x80FF0000u);
    EXPECT_EQ(decoded->Pixel(2, 1) >> 24, 0u);
}

TEST(BitmapTest, RefusesBytesThatAreNoImage) {
    const std::string junk = "not an image at all";
    EXPECT_FALSE(Bitmap::Decode(junk.data(), junk.size()));
    EXPECT_FALSE(Bitmap::Decode(nullptr, 0));
    // A PNG signature followed by garbage.
    const std::string truncated = std::string("\x89PNG\r\n\x1a\n", 8) + "garbage";
    EXPECT_FALSE(Bitmap::Decode(truncated.data(), truncated.size()));
}

TEST(BitmapTest, RefusesAHeaderDeclaringGiganticDimensions) {
    // A BMP header claiming 60000 x 60000 pixels at 32 bits with no pixel data behind it.
    std::string bmp(54, '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, 60000);
    put32(22, 60000);
    bmp[26] = 1;
    bmp[28] = 32;
    EXPECT_FALSE(Bitmap::Decode(bmp.data(), bmp.size()));
}
