// TrueType glyphs through FreeType: shapes, metrics and failures.
#include <gtest/gtest.h>

#include "assets/GlyphRaster.h"

namespace kvx::assets {
namespace {

const char* const kBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

int ink(const GlyphBitmap& g, int y0, int y1) {
    int sum = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < g.width; ++x) {
            sum += g.at(x, y) > 0 ? 1 : 0;
        }
    }
    return sum;
}

TEST(GlyphRaster, LettersHaveInkAndTheSpaceOnlyAnAdvance) {
    const auto raster = GlyphRaster::open(kBold, 32);
    ASSERT_TRUE(raster);
    EXPECT_GT(raster->ascent(), 20);
    EXPECT_GT(raster->descent(), 3);
    const GlyphBitmap a = raster->render('A', false);
    EXPECT_GT(a.width, 10);
    EXPECT_GT(a.rows, 15);
    EXPECT_NEAR(a.top, 23, 3);  // a capital stands on the baseline
    EXPECT_GT(ink(a, 0, a.rows), 50);
    EXPECT_GT(a.advance, a.width - 2);
    const GlyphBitmap space = raster->render(' ', false);
    EXPECT_EQ(ink(space, 0, space.rows), 0);
    EXPECT_GT(space.advance, 5);
    // Bigger size, bigger glyph.
    EXPECT_GT(GlyphRaster::open(kBold, 64)->render('A', false).rows, a.rows * 3 / 2);
}

TEST(GlyphRaster, RowsRunTopDown) {
    // A capital T: its bar is in the top rows, its stem alone below.
    const GlyphBitmap t = GlyphRaster::open(kBold, 40)->render('T', false);
    ASSERT_GT(t.rows, 8);
    EXPECT_GT(ink(t, 0, 3), 2 * ink(t, t.rows - 3, t.rows));
    // A "g" hangs below the baseline.
    const GlyphBitmap g = GlyphRaster::open(kBold, 40)->render('g', false);
    EXPECT_LT(g.top, g.rows);
}

TEST(GlyphRaster, MonoGlyphsAreOneBit) {
    const GlyphBitmap a = GlyphRaster::open(kBold, 14)->render('W', true);
    ASSERT_GT(a.width, 0);
    int covered = 0;
    for (uint8_t v : a.coverage) {
        EXPECT_TRUE(v == 0 || v == 255);
        covered += v != 0;
    }
    EXPECT_GT(covered, 10);
}

TEST(GlyphRaster, LatinOneCodesAndMissingFiles) {
    const auto raster = GlyphRaster::open(kBold, 16);
    ASSERT_TRUE(raster);
    EXPECT_TRUE(raster->hasGlyph(0xE9));  // e acute
    EXPECT_FALSE(raster->hasGlyph(0x10FFF0));
    EXPECT_FALSE(GlyphRaster::open("/nonexistent/font.ttf", 16));
    EXPECT_FALSE(GlyphRaster::open("/etc/hostname", 16));  // not a font
    // Absurd sizes are clamped, not refused.
    EXPECT_TRUE(GlyphRaster::open(kBold, -5));
    EXPECT_TRUE(GlyphRaster::open(kBold, 1 << 30));
}

}  // namespace
}  // namespace kvx::assets
