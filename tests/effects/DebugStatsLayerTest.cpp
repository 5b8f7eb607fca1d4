// debugstats: the time and rate texts, the rate measurement, and the two
// ways of drawing them (font sheet or system font).
#include <gtest/gtest.h>

#include <string>

#include "effects/DebugStatsLayer.h"
#include "support/CellSheet.h"
#include "support/EffectRig.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

std::string timeText(uint32_t ms) {
    char buf[40];
    DebugStatsLayer::formatTime(ms, buf, sizeof(buf));
    return buf;
}

std::string rateText(const DebugStatsLayer& l) {
    char buf[64];
    DebugStatsLayer::formatRate(l.framesPerMs, buf, sizeof(buf));
    return buf;
}

TEST(DebugStatsText, TimeIsMinutesSecondsMillisecondsUnpadded) {
    EXPECT_EQ(timeText(61234), "1:1:234");
    EXPECT_EQ(timeText(65030), "1:5:30");
    EXPECT_EQ(timeText(0), "0:0:0");
    EXPECT_EQ(timeText(3600000), "60:0:0");  // minutes are not reduced
    // The whole unsigned range, never a negative number.
    EXPECT_EQ(timeText(4294967295u), "71582:47:295");
}

TEST(DebugStatsRate, SixtyOneFramesIn1016MsAre60Point04) {
    DebugStatsLayer l;
    EXPECT_EQ(rateText(l), "0.00 fps");
    for (int i = 0; i < 61; ++i) {
        l.advance(16);
        l.countFrame();
    }
    // 976 ms collected: no measurement yet.
    EXPECT_EQ(rateText(l), "0.00 fps");
    l.advance(40);
    EXPECT_EQ(rateText(l), "60.04 fps");
    // The next window starts with what exceeded the second.
    EXPECT_EQ(l.windowMs, 16u);
    EXPECT_EQ(l.frames, 0u);
    EXPECT_EQ(l.runTimeMs, 1016u);
    EXPECT_EQ(timeText(l.runTimeMs), "0:1:16");
}

TEST(DebugStatsRate, AWindowOfExactlyOneSecondIsNotYetMeasured) {
    DebugStatsLayer l;
    l.countFrame();
    l.advance(1000);
    EXPECT_EQ(l.framesPerMs, 0.0f);
    l.advance(1);
    EXPECT_FLOAT_EQ(l.framesPerMs, 1.0f / 1001.0f);
    EXPECT_EQ(rateText(l), "1.00 fps");
    // Fewer frames than milliseconds still give a fraction, not 0.
    for (int i = 0; i < 3; ++i) {
        l.countFrame();
    }
    l.advance(1999);  // window 2000: 3 frames
    EXPECT_EQ(rateText(l), "1.50 fps");
}

// Lit pixels (any channel above 128) in a rectangle of layer space.
int litPixels(EffectRig& rig, int x0, int y0, int x1, int y1) {
    const std::vector<unsigned char> px = rig.picture();
    const int side = rig.side();
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const size_t at =
                (static_cast<size_t>(y) * static_cast<size_t>(side) + static_cast<size_t>(x)) * 4;
            n += (px[at] > 128 || px[at + 1] > 128 || px[at + 2] > 128) ? 1 : 0;
        }
    }
    return n;
}

class DebugStatsPicture : public ::testing::Test {
  protected:
    DebugStatsLayer& layer(EffectRig& rig) { return dynamic_cast<DebugStatsLayer&>(rig.layer(0)); }
    CellSheetFolder files_;
};

TEST_F(DebugStatsPicture, SystemFontPrintsTwoLinesAtTheTopLeft) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $END = -1; </LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(layer(rig).font.texture, -1);
    EXPECT_NE(layer(rig).listBase, 0u);
    ASSERT_EQ(rig.frame(0, 61234), 1);
    // "1:1:234" stands on y = 20, "0.00 fps" on y = 40, both from x = 10.
    EXPECT_GT(litPixels(rig, 10, 6, 80, 21), 30);
    EXPECT_GT(litPixels(rig, 10, 26, 80, 41), 30);
    EXPECT_EQ(litPixels(rig, 0, 0, 9, 50), 0);
    EXPECT_EQ(litPixels(rig, 0, 45, 512, 512), 0);
    EXPECT_EQ(litPixels(rig, 150, 0, 512, 45), 0);
    EXPECT_TRUE(rig.layer(0).release());
    EXPECT_EQ(layer(rig).listBase, 0u);
}

TEST_F(DebugStatsPicture, WithoutTheSystemFontFileThereIsNoText) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $END = -1; </LAYER>)"));
    layer(rig).systemFontFile = "/nonexistent/font.ttf";
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(layer(rig).listBase, 0u);
    ASSERT_EQ(rig.frame(0, 16), 1);
    EXPECT_EQ(litPixels(rig, 0, 0, 512, 512), 0);
    EXPECT_TRUE(rig.layer(0).release());
}

TEST_F(DebugStatsPicture, FontSheetTextInTheLayersColour) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $END = -1; $BLENDING = "overwrite";
        $COLOR = {255, 128, 255, 255};
        <PARAM> fontfile = "cells.tga"; rows = 16; cols = 16; offset = 0; </PARAM></LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    EXPECT_GT(layer(rig).font.texture, 0);
    EXPECT_EQ(layer(rig).listBase, 0u);
    ASSERT_EQ(rig.frame(0, 61234), 1);
    // "1:1:234" from (10, 20) in 32 x 32 cells, "0.00 fps" one cell lower.
    auto cellIs = [](const Rgba& px, int n) {
        const CellColour c = cellColour(n);
        return std::abs(px[0] - c.r) <= 2 && std::abs(px[1] - c.g / 2) <= 2 &&
               std::abs(px[2] - c.b) <= 2;
    };
    EXPECT_TRUE(cellIs(rig.pixel(26, 36), '1'));
    EXPECT_TRUE(cellIs(rig.pixel(58, 36), ':'));
    EXPECT_TRUE(cellIs(rig.pixel(10 + 6 * 32 + 16, 36), '3'));
    EXPECT_TRUE(cellIs(rig.pixel(26, 68), '0'));
    EXPECT_TRUE(cellIs(rig.pixel(58, 68), '.'));
    EXPECT_TRUE(cellIs(rig.pixel(10 + 7 * 32 + 16, 68), 's'));
}

TEST_F(DebugStatsPicture, ASheetWithoutAGridFallsBackToTheSystemFont) {
    // The columns and rows are read only with the file: none given, none known.
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $END = -1;
        <PARAM> fontfile = "cells.tga"; </PARAM></LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(layer(rig).font.texture, -1);
    ASSERT_EQ(rig.frame(0, 16), 1);
    EXPECT_GT(litPixels(rig, 10, 6, 80, 21), 10);
    EXPECT_TRUE(rig.layer(0).release());
}

TEST_F(DebugStatsPicture, OnlyFramesThatDrawTheLayerCount) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $START = 0; $END = 100; </LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0, 16);
    rig.frame(50, 16);
    rig.frame(500, 16);  // inactive: neither advanced nor drawn
    rig.frame(900, 16);
    EXPECT_EQ(layer(rig).frames, 2u);
    EXPECT_EQ(layer(rig).runTimeMs, 32u);
    EXPECT_TRUE(rig.layer(0).release());
}

TEST_F(DebugStatsPicture, TheLineFeedCallsNoOtherList) {
    // Lists made before the font's, each filling a square: the line feed's
    // code would reach one of them through the font's list base.
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "debugstats"; $END = -1; </LAYER>)"));
    ASSERT_NE(sharedWindow(), nullptr);
    sharedWindow()->makeCurrent();
    const GLuint others = glGenLists(64);
    ASSERT_NE(others, 0u);
    for (GLuint i = 0; i < 64; ++i) {
        glNewList(others + i, GL_COMPILE);
        glRectf(200.0f, 200.0f, 400.0f, 400.0f);
        glEndList();
    }
    ASSERT_TRUE(rig.prepare());
    const GLuint lineFeedList = layer(rig).listBase - 32 + '\n';
    ASSERT_GE(lineFeedList, others);
    ASSERT_LT(lineFeedList, others + 64);
    ASSERT_EQ(rig.frame(0, 16), 1);
    EXPECT_EQ(litPixels(rig, 190, 190, 410, 410), 0);
    EXPECT_GT(litPixels(rig, 10, 6, 80, 21), 10);
    EXPECT_TRUE(rig.layer(0).release());
    sharedWindow()->makeCurrent();
    glDeleteLists(others, 64);
}

}  // namespace
}  // namespace kvx::effects
