// kvxfont: sheets drawn from a Debian TrueType font, read back as the
// player reads them (TGA decoding, then makeBitmapFont on headless GL).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "assets/BitmapFont.h"
#include "assets/Image.h"
#include "platform/video/Video.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"
#include "vfs/Vfs.h"

namespace {

using kvx::test::TempDir;
using kvx::test::ToolRun;

ToolRun kvxfont(const std::string& args) {
    return kvx::test::runTool("kvxfont", args);
}

std::optional<kvx::assets::Image> decodeFile(const std::string& path) {
    const std::vector<uint8_t> bytes = kvx::test::readFileBytes(path);
    return kvx::assets::decodeTga(bytes.data(), bytes.size());
}

// Ink (alpha above a half) in a rectangle of a top-row-first RGBA picture.
int ink(const std::vector<uint8_t>& rgba, int side, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            n +=
                rgba[(static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)) *
                         4 +
                     3] > 127
                    ? 1
                    : 0;
        }
    }
    return n;
}

TEST(Kvxfont, SheetHasOneGlyphPerCellInCodeOrder) {
    TempDir dir;
    const ToolRun r = kvxfont("-o " + (dir / "font.tga") + " --first 32");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("rows = 16; cols = 16; offset = 32;"), std::string::npos) << r.out;
    const auto image = decodeFile(dir / "font.tga");
    ASSERT_TRUE(image);
    ASSERT_EQ(image->side, 256);
    ASSERT_EQ(image->bytesPerPixel, 4);
    const std::vector<uint8_t>& px = image->pixels;
    // Cell n at column n % 16, row n / 16, 16 pixels each; cell 0 the space.
    auto cellInk = [&](int code) {
        const int n = code - 32;
        return ink(px, 256, (n % 16) * 16, (n / 16) * 16, 16, 16);
    };
    EXPECT_EQ(cellInk(' '), 0);
    EXPECT_GT(cellInk('A'), 15);
    EXPECT_GT(cellInk('W'), cellInk('.'));
    EXPECT_GT(cellInk('.'), 0);
    // Upright: the bar of the T is in the top half of its cell.
    const int t = 'T' - 32;
    const int x0 = (t % 16) * 16;
    const int y0 = (t / 16) * 16;
    EXPECT_GT(ink(px, 256, x0, y0, 16, 8), ink(px, 256, x0, y0 + 8, 16, 8));
    // Cells 208..223 show the codes 240..255; past 255 the codes wrap to
    // the control codes 0..31, whose cells stay empty.
    EXPECT_GT(ink(px, 256, 0, 13 * 16, 256, 16), 0);
    EXPECT_EQ(ink(px, 256, 0, 14 * 16, 256, 32), 0);
}

TEST(Kvxfont, OptionsThatCannotMakeASheetAreRefused) {
    TempDir dir;
    EXPECT_EQ(kvxfont("-o " + (dir / "a.tga") + " --rows 0").status, 2);
    EXPECT_EQ(kvxfont("-o " + (dir / "a.tga") + " --rows 32 --cols 16").status, 2);
    EXPECT_EQ(kvxfont("-o " + (dir / "a.tga") + " --cell 128").status, 2);
    EXPECT_EQ(kvxfont("-o " + (dir / "a.tga") + " --first 300").status, 2);
    const ToolRun missing = kvxfont("-o " + (dir / "a.tga") + " --font /nonexistent.ttf");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("cannot read the font"), std::string::npos);
    EXPECT_FALSE(std::ifstream(dir / "a.tga").good());
}

TEST(Kvxfont, PlayerLoadsTheSheetWithItsGrid) {
    TempDir dir;
    ASSERT_EQ(kvxfont("-o " + (dir / "small.tga") + " --rows 8 --cols 16 --cell 16 --first 32 " +
                      "--font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")
                  .status,
              0);
    auto window = kvx::platform::Window::create("test", 32, 32, 32, false);
    ASSERT_TRUE(window) << "no GL context";
    kvx::vfs::Vfs::reset();
    kvx::vfs::Vfs::setDataDirectory(dir.path().string());
    kvx::assets::BitmapFont font = kvx::assets::makeBitmapFont("small.tga", 8, 16, 32);
    ASSERT_GT(font.texture, 0);
    EXPECT_EQ(font.cellWidth, 32);
    EXPECT_EQ(font.cellHeight, 16);
    // The 256 x 128 sheet becomes a 256 x 256 texture: each cell 16 x 32
    // texels. The cell glyphRect names for "A" holds the A's ink.
    float s0 = 0, t0 = 0, s1 = 0, t1 = 0;
    ASSERT_TRUE(kvx::assets::glyphRect(font, 'A', s0, t0, s1, t1));
    std::vector<uint8_t> tex(256 * 256 * 4);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(font.texture));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
    const int x0 = static_cast<int>(s0 * 256.0f);
    const int y0 = static_cast<int>(t0 * 256.0f);
    EXPECT_GT(ink(tex, 256, x0, y0, 16, 32), 30);
    ASSERT_TRUE(kvx::assets::glyphRect(font, ' ', s0, t0, s1, t1));
    EXPECT_EQ(ink(tex, 256, static_cast<int>(s0 * 256.0f), static_cast<int>(t0 * 256.0f), 16, 32),
              0);
    kvx::assets::deleteBitmapFont(font);
    kvx::vfs::Vfs::reset();
}

}  // namespace
