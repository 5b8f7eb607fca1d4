// The loading bar: its counts and its picture.
#include <gtest/gtest.h>

#include "shell/LoadingBar.h"
#include "support/GlTestSupport.h"

namespace kvx::shell {
namespace {

using test::near;
using test::readPixel;

TEST(LoadingBar, StepsNeverPassTheTotal) {
    LoadingBar bar(nullptr);
    bar.step();
    EXPECT_EQ(bar.current(), 0u);  // no total yet
    bar.setTotal(2);
    bar.step();
    bar.step();
    bar.step();
    EXPECT_EQ(bar.current(), 2u);
    bar.setTotal(1);
    EXPECT_EQ(bar.current(), 1u);
    bar.setTotal(-4);
    EXPECT_EQ(bar.total(), 0u);
}

TEST(LoadingBar, DrawsFrameAndFillInAnEightHundredBySixHundredSpace) {
    GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    window->makeCurrent();
    // A window of 64 x 48 is the 800 x 600 space scaled by 0.08.
    LoadingBar bar(nullptr);
    bar.setTotal(2);
    bar.draw();
    const int h = window->height();
    const float blue[3] = {0.0f, 0.5f, 1.0f};
    // The frame is thinner than a pixel at this size; the inside is black
    // while nothing is loaded.
    EXPECT_TRUE(near(readPixel(20, 40, h), 0, 0, 0));
    EXPECT_TRUE(near(readPixel(32, 10, h), 0, 0, 0));
    bar.step();  // half: the fill reaches x = 400, 32 in the window
    bar.draw();
    EXPECT_TRUE(near(readPixel(20, 40, h), blue[0], blue[1], blue[2], 3));
    EXPECT_TRUE(near(readPixel(45, 40, h), 0, 0, 0));
}

}  // namespace
}  // namespace kvx::shell
