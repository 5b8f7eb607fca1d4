// The overlay's text boxes: lines composed from the font's glyphs, and the
// boxes drawn over a picture in a headless window.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "shell/Overlay.h"
#include "support/GlTestSupport.h"

namespace kvx::shell {
namespace {

int covered(const TextPicture& p, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = x0; x < x1; ++x) {
            n += p.at(x, y) > 128;
        }
    }
    return n;
}

TEST(Overlay, LinesAreComposedGlyphByGlyphAndWrapped) {
    const Overlay overlay(14);
    ASSERT_TRUE(overlay.hasFont()) << Overlay::kFontFile;
    const TextPicture one = overlay.compose({"MM"}, 1000);
    const TextPicture two = overlay.compose({"MM", "M"}, 1000);
    EXPECT_EQ(one.height, overlay.lineHeight());
    EXPECT_EQ(two.height, 2 * overlay.lineHeight());
    EXPECT_EQ(two.width, one.width);  // the widest line
    // A monospaced M in each half of the line, nothing in a line of spaces.
    EXPECT_GT(covered(one, 0, one.width / 2), 10);
    EXPECT_GT(covered(one, one.width / 2, one.width), 10);
    EXPECT_EQ(covered(overlay.compose({"    "}, 1000), 0, one.width), 0);
    // Narrower than the line: one M per row.
    const TextPicture narrow = overlay.compose({"MMM"}, one.width / 2 + 1);
    EXPECT_EQ(narrow.height, 3 * overlay.lineHeight());
    EXPECT_EQ(narrow.width, one.width / 2);
}

TEST(Overlay, NoFontNoTextButStillABox) {
    const Overlay overlay(14, "/no/such/font.ttf");
    EXPECT_FALSE(overlay.hasFont());
    EXPECT_EQ(overlay.compose({"text"}, 100).width, 0);
}

class OverlayDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = test::sharedWindow();
        ASSERT_NE(window_, nullptr) << "no headless GL context";
        window_->makeCurrent();
        glViewport(0, 0, window_->width(), window_->height());
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    test::Rgba at(int x, int y) { return test::readPixel(x, y, window_->height()); }
    GlWindow* window_ = nullptr;
};

TEST_F(OverlayDrawTest, TheInfoBoxDarkensTheTopLeftAndHoldsBrightText) {
    const int w = window_->width();
    const int h = window_->height();
    Overlay(11).drawInfo({"MM"}, w, h);
    EXPECT_TRUE(test::near(at(9, 9), 0.0f, 0.0f, 0.4f, 3));       // 60 % black over blue
    EXPECT_TRUE(test::near(at(w - 2, h - 2), 0.0f, 0.0f, 1.0f));  // outside: untouched
    int bright = 0;
    for (int y = 8; y < 36; ++y) {
        for (int x = 8; x < 40; ++x) {
            const test::Rgba p = at(x, y);
            bright += p[0] > 200 && p[1] > 200;
        }
    }
    EXPECT_GT(bright, 10);
}

TEST_F(OverlayDrawTest, TheErrorBoxSitsAlongTheBottomInRed) {
    const int w = window_->width();
    const int h = window_->height();
    Overlay(11).drawError("E", w, h);
    const test::Rgba inside = at(9, h - 10);
    EXPECT_GT(inside[0], 100);
    EXPECT_LT(inside[2], 100);
    EXPECT_TRUE(test::near(at(9, 2), 0.0f, 0.0f, 1.0f));  // the top is the picture
}

}  // namespace
}  // namespace kvx::shell
