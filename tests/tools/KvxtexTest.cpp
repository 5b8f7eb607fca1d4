// kvxtex as a user runs it: every generator's file read back through the
// player's TGA decoder (size, pixel size, orientation, colours, alpha),
// determinism of the seeded noise, seamless tiling, and refused options.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "assets/Image.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"

namespace kvx::tools {
namespace {

class Kvxtex : public ::testing::Test {
  protected:
    // Runs kvxtex with args; returns its exit status.
    int run(const std::string& args) {
        const std::string cmd =
            std::string(KVX_BIN_DIR) + "/kvxtex " + args + " > " + (dir_ / "out.txt") + " 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string bytes(const std::string& name) const { return test::readFileText(dir_ / name); }
    // Writes name with the generator and args, and decodes it as the player does.
    std::optional<assets::Image> make(const std::string& name, const std::string& args) {
        EXPECT_EQ(run(args + " " + (dir_ / name)), 0) << bytes("out.txt");
        const std::string file = bytes(name);
        return assets::decodeTga(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    }
    std::string path(const std::string& name) const { return dir_ / name; }

    test::TempDir dir_;
};

// Component c of pixel (x, y) of a decoded image, row 0 at the top.
int px(const assets::Image& im, int x, int y, int c) {
    return im
        .pixels[(static_cast<size_t>(y) * static_cast<size_t>(im.side) + static_cast<size_t>(x)) *
                    static_cast<size_t>(im.bytesPerPixel) +
                static_cast<size_t>(c)];
}

TEST_F(Kvxtex, EveryGeneratorWritesALoadableSquare) {
    const struct {
        const char* args;
        int side;
        int bytes;
    } cases[] = {{"sky --size 128", 128, 3},    {"checker --size 64", 64, 3},
                 {"spot --size 32", 32, 4},     {"gradient --size 16", 16, 3},
                 {"noise --size 256", 256, 3},  {"rings --size 8", 8, 3},
                 {"spot", 64, 4} /* default */, {"sky", 256, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto im = make("t.tga", c.args);
        ASSERT_TRUE(im);
        EXPECT_EQ(im->side, c.side);
        EXPECT_EQ(im->bytesPerPixel, c.bytes);
        // Exactly the header and the pixels: nothing the loader would skip.
        EXPECT_EQ(bytes("t.tga").size(), 18u + static_cast<size_t>(c.side * c.side * c.bytes));
    }
}

TEST_F(Kvxtex, GradientRunsTopToBottomAndLeftToRight) {
    // Rows are stored bottom-up; the decoder turns them so row 0 is the top.
    auto im = make("v.tga", "gradient --size 64 --from ff0000 --to 0000ff");
    ASSERT_TRUE(im);
    EXPECT_EQ(px(*im, 10, 0, 0), 255);
    EXPECT_EQ(px(*im, 10, 0, 2), 0);
    EXPECT_EQ(px(*im, 10, 63, 0), 0);
    EXPECT_EQ(px(*im, 10, 63, 2), 255);
    EXPECT_NEAR(px(*im, 10, 32, 0), 125, 2);

    im = make("h.tga", "gradient --size 64 --from 00ff00 --to 000000 --direction horizontal");
    ASSERT_TRUE(im);
    EXPECT_EQ(px(*im, 0, 5, 1), 255);
    EXPECT_EQ(px(*im, 63, 5, 1), 0);

    im = make("r.tga", "gradient --size 64 --from ffffff --to 000000 --direction RADIAL");
    ASSERT_TRUE(im);
    EXPECT_GT(px(*im, 32, 32, 0), 245);
    EXPECT_LT(px(*im, 0, 0, 0), 10);
}

TEST_F(Kvxtex, CheckerAlternatesItsTwoColours) {
    const auto im = make("c.tga", "checker --size 64 --cells 4 --a 102030 --b ffeedd");
    ASSERT_TRUE(im);
    // Squares of 16 pixels; the top-left one has colour a.
    EXPECT_EQ(px(*im, 0, 0, 0), 0x10);
    EXPECT_EQ(px(*im, 15, 15, 2), 0x30);
    EXPECT_EQ(px(*im, 16, 0, 0), 0xff);
    EXPECT_EQ(px(*im, 0, 16, 1), 0xee);
    EXPECT_EQ(px(*im, 16, 16, 0), 0x10);
    EXPECT_EQ(px(*im, 63, 0, 2), 0xdd);
}

TEST_F(Kvxtex, SpotIsOpaqueInTheMiddleAndClearAtTheCorners) {
    const auto im = make("s.tga", "spot --size 64 --colour ffc040");
    ASSERT_TRUE(im);
    ASSERT_EQ(im->bytesPerPixel, 4);
    EXPECT_GT(px(*im, 32, 32, 3), 245);
    EXPECT_EQ(px(*im, 0, 0, 3), 0);
    EXPECT_EQ(px(*im, 63, 63, 3), 0);
    EXPECT_EQ(px(*im, 0, 32, 3), 0);  // the edge's middle is on the circle
    // Alpha falls steadily from the centre outwards.
    EXPECT_GT(px(*im, 40, 32, 3), px(*im, 48, 32, 3));
    EXPECT_GT(px(*im, 48, 32, 3), px(*im, 56, 32, 3));
    EXPECT_EQ(px(*im, 32, 32, 0), 0xff);
    EXPECT_EQ(px(*im, 32, 32, 1), 0xc0);
    EXPECT_EQ(px(*im, 32, 32, 2), 0x40);

    const auto hard = make("h.tga", "spot --size 64 --hardness 1");
    ASSERT_TRUE(hard);
    EXPECT_EQ(px(*hard, 50, 32, 3), 255);
    EXPECT_EQ(px(*hard, 0, 0, 3), 0);
}

TEST_F(Kvxtex, RingsStartWithTheCentreColour) {
    const auto im = make("r.tga", "rings --size 128 --rings 4 --a ff0000 --b 0000ff");
    ASSERT_TRUE(im);
    EXPECT_GT(px(*im, 64, 64, 0), 240);
    // Half a ring out (radius 1/8 of the half side) is colour b.
    EXPECT_GT(px(*im, 64 + 8, 64, 2), 240);
    EXPECT_GT(px(*im, 64 + 16, 64, 0), 240);
}

TEST_F(Kvxtex, NoiseIsSeededAndDeterministic) {
    ASSERT_EQ(run("noise --seed 5 " + path("a.tga")), 0);
    ASSERT_EQ(run("noise --seed 5 " + path("b.tga")), 0);
    ASSERT_EQ(run("noise --seed 6 " + path("c.tga")), 0);
    EXPECT_EQ(bytes("a.tga"), bytes("b.tga"));
    EXPECT_NE(bytes("a.tga"), bytes("c.tga"));
    ASSERT_EQ(run("sky --seed 5 " + path("d.tga")), 0);
    ASSERT_EQ(run("sky --seed 5 " + path("e.tga")), 0);
    ASSERT_EQ(run("sky --seed 9 " + path("f.tga")), 0);
    EXPECT_EQ(bytes("d.tga"), bytes("e.tga"));
    EXPECT_NE(bytes("d.tga"), bytes("f.tga"));
}

TEST_F(Kvxtex, NoiseTilesWithoutASeam) {
    const auto im = make("n.tga", "noise --size 128 --cells 4 --octaves 1 --seed 3");
    ASSERT_TRUE(im);
    // Across the wrap (last column to first, last row to first) the picture
    // changes no more than between neighbours inside it.
    double inside = 0;
    double seam = 0;
    for (int i = 0; i < 128; ++i) {
        inside += std::abs(px(*im, 63, i, 0) - px(*im, 64, i, 0)) +
                  std::abs(px(*im, i, 63, 0) - px(*im, i, 64, 0));
        seam += std::abs(px(*im, 127, i, 0) - px(*im, 0, i, 0)) +
                std::abs(px(*im, i, 127, 0) - px(*im, i, 0, 0));
    }
    EXPECT_LE(seam, 2.0 * inside + 256.0);
    // And the noise is not flat.
    int lo = 255;
    int hi = 0;
    for (int i = 0; i < 128; ++i) {
        lo = std::min(lo, px(*im, i, i, 0));
        hi = std::max(hi, px(*im, i, i, 0));
    }
    EXPECT_GT(hi - lo, 40);
}

TEST_F(Kvxtex, RefusesBadOptionsAndWritesNothing) {
    EXPECT_NE(run("sky --top 12zz34 " + path("x.tga")), 0);
    EXPECT_NE(run("checker --size 0 " + path("x.tga")), 0);
    EXPECT_NE(run("noise --octaves 20 " + path("x.tga")), 0);
    EXPECT_NE(run("gradient --direction sideways " + path("x.tga")), 0);
    EXPECT_NE(run("marble " + path("x.tga")), 0);
    EXPECT_NE(run(""), 0);
    EXPECT_TRUE(bytes("x.tga").empty());
    // A folder that does not exist cannot take the file.
    EXPECT_EQ(run("checker " + path("no/such/dir/x.tga")), 1);
}

}  // namespace
}  // namespace kvx::tools
