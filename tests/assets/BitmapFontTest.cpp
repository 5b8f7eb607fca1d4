// Bitmap fonts: the cell mapping, the record makeBitmapFont fills, and the
// text drawText puts on a headless GL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdlib>

#include "assets/BitmapFont.h"
#include "platform/video/Video.h"
#include "support/CellSheet.h"
#include "support/SuiteWindow.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::assets {
namespace {

struct Rect {
    float s0 = -7, t0 = -7, s1 = -7, t1 = -7;
};

using Rgba = std::array<int, 4>;

Rect cellOf(const BitmapFont& font, uint8_t ch, bool* ok = nullptr) {
    Rect r;
    const bool found = glyphRect(font, ch, r.s0, r.t0, r.s1, r.t1);
    if (ok != nullptr) {
        *ok = found;
    }
    return r;
}

BitmapFont sheetFont(uint32_t rows, uint32_t cols, uint8_t first) {
    BitmapFont f;
    f.texture = 5;  // any loaded sheet
    f.rows = rows;
    f.cols = cols;
    f.firstChar = first;
    return f;
}

TEST(GlyphRect, CapitalAOnASheetStartingAtTheSpace) {
    // Code 65 - 32 = cell 33: column 1 of row 2 on 16 columns.
    const Rect r = cellOf(sheetFont(16, 16, 32), 'A');
    EXPECT_FLOAT_EQ(r.s0, 1.0f / 16.0f);
    EXPECT_FLOAT_EQ(r.s1, 2.0f / 16.0f);
    EXPECT_FLOAT_EQ(r.t0, 2.0f / 16.0f);
    EXPECT_FLOAT_EQ(r.t1, 3.0f / 16.0f);
    // The space is cell 0.
    const Rect sp = cellOf(sheetFont(16, 16, 32), ' ');
    EXPECT_FLOAT_EQ(sp.s0, 0.0f);
    EXPECT_FLOAT_EQ(sp.t0, 0.0f);
}

TEST(GlyphRect, CodesBelowTheFirstWrapAround) {
    // 31 - 32 modulo 256 = cell 255, the last of a 16 x 16 sheet.
    const Rect r = cellOf(sheetFont(16, 16, 32), 31);
    EXPECT_FLOAT_EQ(r.s0, 15.0f / 16.0f);
    EXPECT_FLOAT_EQ(r.t0, 15.0f / 16.0f);
    EXPECT_FLOAT_EQ(r.t1, 1.0f);
}

TEST(GlyphRect, UnequalGridAndRowsRoundedToSinglePrecision) {
    // 3 rows, 5 columns: cell 7 is column 2 of row 1.
    const Rect r = cellOf(sheetFont(3, 5, 0), 7);
    EXPECT_FLOAT_EQ(r.s0, 2.0f / 5.0f);
    EXPECT_FLOAT_EQ(r.s1, 2.0f / 5.0f + 1.0f / 5.0f);
    EXPECT_EQ(r.t0, 1.0f * (1.0f / 3.0f));
    EXPECT_EQ(r.t1, r.t0 + 1.0f / 3.0f);
}

TEST(GlyphRect, NoSheetOrNoGridMapsNothingAndLeavesTheOutputs) {
    BitmapFont failed = sheetFont(16, 16, 0);
    failed.texture = -1;
    bool ok = true;
    Rect r = cellOf(failed, 'A', &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(r.s0, -7.0f);
    EXPECT_EQ(r.t1, -7.0f);
    // A record without columns or rows would divide by zero.
    for (const BitmapFont& f : {sheetFont(16, 0, 0), sheetFont(0, 16, 0), BitmapFont{}}) {
        ok = true;
        r = cellOf(f, 'A', &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(r.s0, -7.0f);
    }
}

// makeBitmapFont and drawText on a small headless window.
class BitmapFontGl : public test::SuiteWindow {
  protected:
    static constexpr int kSide = 64;
    void SetUp() override {
        ASSERT_NE(window_, nullptr) << "no GL context";
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.path().string());
        dir_.write("cells.tga", test::makeCellSheet(16, 16, 8));
        dir_.write("cells8.tga", test::makeCellSheet(8, 16, 8));
        dir_.write("grey.tga", test::makeTga(8, 8, 8, [](int, int, int) { return 99; }));
        glViewport(0, 0, kSide, kSide);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kSide, kSide, 0, -1, 1);  // y down, as the layers draw
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override { vfs::Vfs::reset(); }
    static Rgba pixel(int x, int y) {
        unsigned char px[4] = {0, 0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, kSide - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return {px[0], px[1], px[2], px[3]};
    }
    static bool isCell(const Rgba& px, int n) {
        const test::CellColour c = test::cellColour(n);
        return std::abs(px[0] - c.r) <= 2 && std::abs(px[1] - c.g) <= 2 &&
               std::abs(px[2] - c.b) <= 2;
    }
    test::TempDir dir_;
};

TEST_F(BitmapFontGl, CellSizesFollowTheGrid) {
    BitmapFont f = makeBitmapFont("cells.tga", 16, 16, 32);
    EXPECT_GT(f.texture, 0);
    EXPECT_EQ(f.cellWidth, 32);
    EXPECT_EQ(f.cellHeight, 32);
    EXPECT_EQ(f.firstChar, 32);
    deleteBitmapFont(f);
    EXPECT_EQ(f.texture, -1);
    f = makeBitmapFont("cells.tga", 8, 16, 0);
    EXPECT_EQ(f.cellWidth, 32);
    EXPECT_EQ(f.cellHeight, 16);
    deleteBitmapFont(f);
}

TEST_F(BitmapFontGl, UnusableSheetsAreNotLoaded) {
    BitmapFont f = makeBitmapFont("missing.tga", 16, 16, 0);
    EXPECT_EQ(f.texture, -1);
    EXPECT_EQ(f.cellWidth, 32);  // the other fields as computed
    // A grey picture makes no texture: the record says so with -1.
    EXPECT_EQ(makeBitmapFont("grey.tga", 16, 16, 0).texture, -1);
    // Without a grid the sheet could not be mapped.
    EXPECT_EQ(makeBitmapFont("cells.tga", 16, 0, 0).texture, -1);
    EXPECT_EQ(makeBitmapFont("cells.tga", 0, 16, 0).texture, -1);
    const BitmapFont negative = makeBitmapFont("cells.tga", -3, -16, 0);
    EXPECT_EQ(negative.texture, -1);
    EXPECT_EQ(negative.cols, 0u);
    EXPECT_EQ(negative.cellWidth, 0);
    // Absurd grids are clamped before anything is computed from them.
    BitmapFont huge = makeBitmapFont("cells.tga", 2000000000, 16, 0);
    EXPECT_EQ(huge.rows, static_cast<uint32_t>(kMaxFontGrid));
    EXPECT_EQ(huge.cellHeight, 2 * kMaxFontGrid);
    deleteBitmapFont(huge);
}

TEST_F(BitmapFontGl, DrawsCellsLeftToRightAndLinesDownwards) {
    BitmapFont f = makeBitmapFont("cells.tga", 16, 16, 0);
    ASSERT_GT(f.texture, 0);
    glDisable(GL_TEXTURE_2D);  // loading left it on
    // Cells of 16 x 16: "ab" on the first line, "c" under the "a".
    drawText(f, core::String("ab\nc"), 0.0f, 0.0f, 16.0f, 16.0f);
    EXPECT_TRUE(isCell(pixel(8, 8), 'a'));
    EXPECT_TRUE(isCell(pixel(24, 8), 'b'));
    EXPECT_TRUE(isCell(pixel(8, 24), 'c'));
    EXPECT_EQ(pixel(24, 24)[0], 0);  // nothing beside the c
    EXPECT_EQ(pixel(40, 8)[0], 0);   // nor after the b
    // The enable state is the caller's again.
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    deleteBitmapFont(f);
}

TEST_F(BitmapFontGl, DefaultSizeAndAnEmptyText) {
    BitmapFont f = makeBitmapFont("cells8.tga", 8, 16, 0);  // 32 x 16 per character
    ASSERT_GT(f.texture, 0);
    drawText(f, core::String(""), 0.0f, 0.0f, -1.0f, -1.0f);
    EXPECT_EQ(pixel(4, 4)[1], 0);
    drawText(f, core::String("A"), 10.0f, 20.0f, -1.0f, -1.0f);
    EXPECT_FALSE(isCell(pixel(8, 28), 'A'));
    EXPECT_TRUE(isCell(pixel(12, 22), 'A'));
    EXPECT_TRUE(isCell(pixel(40, 34), 'A'));
    EXPECT_FALSE(isCell(pixel(44, 28), 'A'));  // 32 wide
    EXPECT_FALSE(isCell(pixel(20, 38), 'A'));  // 16 high
    deleteBitmapFont(f);
}

TEST_F(BitmapFontGl, AFailedSheetDrawsNothing) {
    // Nothing to take coordinates from: no cell, textured or not, appears.
    BitmapFont f = makeBitmapFont("missing.tga", 16, 16, 0);
    drawText(f, core::String("AAAA\nAAAA"), 0.0f, 0.0f, 16.0f, 16.0f);
    // A loaded sheet in a record without columns.
    BitmapFont noGrid = makeBitmapFont("cells.tga", 16, 16, 0);
    ASSERT_GT(noGrid.texture, 0);
    noGrid.cols = 0;
    drawText(noGrid, core::String("AAAA"), 0.0f, 32.0f, 16.0f, 16.0f);
    deleteBitmapFont(noGrid);
    for (int y = 2; y < kSide; y += 4) {
        for (int x = 2; x < kSide; x += 4) {
            ASSERT_EQ(pixel(x, y)[0], 0) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace kvx::assets
