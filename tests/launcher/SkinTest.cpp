// Tests of the launcher skin: TGA parsing, sampling and the window shape.
#include <gtest/gtest.h>

#include "launcher/Skin.h"
#include "support/TgaBuilder.h"

using namespace kvx::launcher;

namespace {

// Raw TGA bytes written by hand, so the parser is not only checked against
// its own writer.
std::vector<uint8_t> header(int type, int w, int h, int bits) {
    std::vector<uint8_t> b(18, 0);
    b[2] = static_cast<uint8_t>(type);
    b[12] = static_cast<uint8_t>(w & 0xFF);
    b[13] = static_cast<uint8_t>((w >> 8) & 0xFF);
    b[14] = static_cast<uint8_t>(h & 0xFF);
    b[15] = static_cast<uint8_t>((h >> 8) & 0xFF);
    b[16] = static_cast<uint8_t>(bits);
    return b;
}

SkinImage solidSkin(int w, int h, uint8_t alpha) {
    SkinImage s;
    s.width = w;
    s.height = h;
    s.bits = 32;
    s.rgba.assign(static_cast<std::size_t>(w * h) * 4, 0);
    for (std::size_t i = 0; i < s.rgba.size(); i += 4) {
        s.rgba[i] = 10;
        s.rgba[i + 1] = 20;
        s.rgba[i + 2] = 30;
        s.rgba[i + 3] = alpha;
    }
    return s;
}

void setAlpha(SkinImage& s, int x, int y, uint8_t a) {
    s.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(s.width) +
            static_cast<std::size_t>(x)) *
               4 +
           3] = a;
}

uint8_t maskAt(const std::vector<uint8_t>& mask, int x, int y) {
    return mask[static_cast<std::size_t>(y) * 500 + static_cast<std::size_t>(x)];
}

}  // namespace

TEST(SkinParse, TwentyFourBitRowsAreFlippedAndSwapped) {
    // 2 x 2: file rows bottom first, blue-green-red bytes.
    std::vector<uint8_t> b = header(2, 2, 2, 24);
    const uint8_t rows[] = {1, 2, 3, 4,  5,  6,    // bottom row
                            7, 8, 9, 10, 11, 12};  // top row
    b.insert(b.end(), std::begin(rows), std::end(rows));
    const auto skin = parseSkin(b);
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->width, 2);
    EXPECT_EQ(skin->height, 2);
    EXPECT_FALSE(skin->hasAlpha());
    const uint8_t* topLeft = skin->pixel(0, 0);
    EXPECT_EQ(topLeft[0], 9);
    EXPECT_EQ(topLeft[1], 8);
    EXPECT_EQ(topLeft[2], 7);
    EXPECT_EQ(topLeft[3], 255);
    const uint8_t* bottomRight = skin->pixel(1, 1);
    EXPECT_EQ(bottomRight[0], 6);
    EXPECT_EQ(bottomRight[1], 5);
    EXPECT_EQ(bottomRight[2], 4);
}

TEST(SkinParse, ThirtyTwoBitKeepsAlpha) {
    std::vector<uint8_t> b = header(2, 1, 1, 32);
    const uint8_t px[] = {50, 60, 70, 0};
    b.insert(b.end(), std::begin(px), std::end(px));
    const auto skin = parseSkin(b);
    ASSERT_TRUE(skin.has_value());
    EXPECT_TRUE(skin->hasAlpha());
    EXPECT_EQ(skin->pixel(0, 0)[0], 70);
    EXPECT_EQ(skin->pixel(0, 0)[2], 50);
    EXPECT_EQ(skin->pixel(0, 0)[3], 0);
}

TEST(SkinParse, UnusableFilesGiveNoSkin) {
    EXPECT_FALSE(parseSkin(nullptr, 0));
    EXPECT_FALSE(parseSkin(header(2, 1, 1, 24).data(), 17));  // header cut short
    auto withPixels = [](std::vector<uint8_t> b, std::size_t n) {
        b.resize(b.size() + n, 0x7F);
        return b;
    };
    EXPECT_FALSE(parseSkin(withPixels(header(10, 1, 1, 24), 3)));  // run-length coded
    EXPECT_FALSE(parseSkin(withPixels(header(1, 1, 1, 24), 3)));   // colour-mapped
    EXPECT_FALSE(parseSkin(withPixels(header(2, 1, 1, 16), 2)));   // other depth
    EXPECT_FALSE(parseSkin(withPixels(header(2, 1, 1, 8), 1)));
    EXPECT_FALSE(parseSkin(withPixels(header(2, 0, 5, 24), 30)));   // empty
    EXPECT_FALSE(parseSkin(withPixels(header(2, -3, 5, 24), 90)));  // negative width
    EXPECT_FALSE(parseSkin(withPixels(header(2, 4, 4, 32), 63)));   // last byte missing
    EXPECT_TRUE(parseSkin(withPixels(header(2, 4, 4, 32), 64)));
    EXPECT_TRUE(parseSkin(withPixels(header(2, 4, 4, 32), 70)));  // trailing bytes are ignored
}

TEST(SkinParse, ImageIdIsNotSkipped) {
    // The pixel rows start right after the header even when an ID length is
    // set: the ID bytes are read as pixels.
    std::vector<uint8_t> b = header(2, 1, 1, 24);
    b[0] = 3;
    const uint8_t bytes[] = {0xAA, 0xBB, 0xCC, 1, 2, 3};
    b.insert(b.end(), std::begin(bytes), std::end(bytes));
    const auto skin = parseSkin(b);
    ASSERT_TRUE(skin.has_value());
    EXPECT_EQ(skin->pixel(0, 0)[0], 0xCC);
    EXPECT_EQ(skin->pixel(0, 0)[2], 0xAA);
}

TEST(SkinParse, ReadsBackWhatATgaWriterWrote) {
    // 3 x 2 pixels with distinct bytes, written bottom row first in blue-
    // green-red(-alpha) order; read back top row first in red-green-blue-alpha.
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        auto value = [](int x, int y, int c) { return (y * 3 + x) * 4 * 7 + c * 7 + 1; };
        const std::vector<uint8_t> file =
            kvx::test::makeTga(3, 2, bits, [&](int x, int fileRow, int c) {
                return c == 3 ? value(x, 1 - fileRow, 3) : value(x, 1 - fileRow, 2 - c);
            });
        EXPECT_EQ(file.size(), 18u + 6u * static_cast<std::size_t>(bits / 8));
        const auto back = parseSkin(file);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->bits, bits);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                for (int c = 0; c < 4; ++c)
                    EXPECT_EQ(back->pixel(x, y)[c], c == 3 && bits == 24 ? 255 : value(x, y, c));
            }
        }
    }
}

TEST(SkinSampling, RoundsHalfUpAndClampsToTheImage) {
    // Same size: identity.
    for (int x : {0, 1, 250, 499})
        EXPECT_EQ(shapeSampleIndex(x, 500, 500), x);
    // Half size: x * 0.5 rounded half up, so odd positions round up.
    EXPECT_EQ(shapeSampleIndex(0, 250, 500), 0);
    EXPECT_EQ(shapeSampleIndex(1, 250, 500), 1);
    EXPECT_EQ(shapeSampleIndex(2, 250, 500), 1);
    EXPECT_EQ(shapeSampleIndex(3, 250, 500), 2);
    // The last window column would sample column 250 of a 250-wide image.
    EXPECT_EQ(shapeSampleIndex(499, 250, 500), 249);
    EXPECT_EQ(shapeSampleIndex(199, 100, 200), 99);
    // One-pixel images always sample their only pixel.
    EXPECT_EQ(shapeSampleIndex(499, 1, 500), 0);
    // Larger images: 1000 wide, every other column.
    EXPECT_EQ(shapeSampleIndex(499, 1000, 500), 998);
}

TEST(SkinShape, OpaqueSkinKeepsTheWholeWindow) {
    const auto mask = buildShapeMask(solidSkin(500, 200, 255), 500, 200);
    ASSERT_EQ(mask.size(), 500u * 200u);
    for (uint8_t v : mask)
        ASSERT_EQ(v, 1);
}

TEST(SkinShape, NoAlphaChannelMeansNoShape) {
    SkinImage s = solidSkin(4, 4, 0);
    s.bits = 24;
    EXPECT_TRUE(buildShapeMask(s, 500, 200).empty());
}

TEST(SkinShape, TransparentLeftHalfIsCutAway) {
    SkinImage s = solidSkin(500, 200, 255);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 250; ++x)
            setAlpha(s, x, y, 0);
    }
    const auto mask = buildShapeMask(s, 500, 200);
    for (int y : {0, 100, 199}) {
        EXPECT_EQ(maskAt(mask, 0, y), 0);
        EXPECT_EQ(maskAt(mask, 249, y), 0);
        EXPECT_EQ(maskAt(mask, 250, y), 1);
        EXPECT_EQ(maskAt(mask, 499, y), 1);
    }
}

TEST(SkinShape, HalfSizeImagePixelDecidesTwoByTwoBlock) {
    // A 250 x 100 image: image pixel (10, 20) decides window columns 19, 20
    // and rows 39, 40 (halves round up).
    SkinImage s = solidSkin(250, 100, 255);
    setAlpha(s, 10, 20, 0);
    const auto mask = buildShapeMask(s, 500, 200);
    int cut = 0;
    for (uint8_t v : mask)
        cut += v == 0;
    EXPECT_EQ(cut, 4);
    EXPECT_EQ(maskAt(mask, 19, 39), 0);
    EXPECT_EQ(maskAt(mask, 20, 39), 0);
    EXPECT_EQ(maskAt(mask, 19, 40), 0);
    EXPECT_EQ(maskAt(mask, 20, 40), 0);
    EXPECT_EQ(maskAt(mask, 21, 40), 1);
    EXPECT_EQ(maskAt(mask, 20, 41), 1);
}

TEST(SkinShape, SmallImageShapesTheWholeWindowAndEdgesStayInside) {
    // The shape covers the window even where the image is smaller, and the
    // last window column and row sample the image's last ones.
    SkinImage s = solidSkin(250, 100, 255);
    setAlpha(s, 249, 99, 0);
    const auto mask = buildShapeMask(s, 500, 200);
    EXPECT_EQ(maskAt(mask, 499, 199), 0);
    EXPECT_EQ(maskAt(mask, 498, 198), 0);
    EXPECT_EQ(maskAt(mask, 497, 197), 0);
    EXPECT_EQ(maskAt(mask, 496, 196), 1);
    EXPECT_EQ(maskAt(mask, 300, 150), 1);

    // A 1 x 1 transparent image cuts away everything.
    const auto none = buildShapeMask(solidSkin(1, 1, 0), 500, 200);
    for (uint8_t v : none)
        ASSERT_EQ(v, 0);
}
