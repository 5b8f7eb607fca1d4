// Beat detection: which note-ons are beats, and the pulse the frame loop decays.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Globals.h"
#include "expr/Beat.h"
#include "expr/Expression.h"

namespace kvx::expr {
namespace {

float eval(const char* text, float x = 0.0f) {
    return compileExpression(text).evaluate(x);
}

class BeatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& g = core::globals();
        g.beatPulse = 0.0f;
        g.beatCount = 0;
        g.beatEvent = 0.0f;
        g.beatFalloff = 0.005f;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(BeatTest, EventSettings) {
    // 0: every note of slot 0.
    EXPECT_TRUE(isBeat(0.0f, 0, 64));
    EXPECT_FALSE(isBeat(0.0f, 1, 64));
    // 1000: every note of slot 1.
    EXPECT_TRUE(isBeat(1000.0f, 1, 12));
    EXPECT_FALSE(isBeat(1000.0f, 0, 12));
    // 1064: only note 64 of slot 1.
    EXPECT_TRUE(isBeat(1064.0f, 1, 64));
    EXPECT_FALSE(isBeat(1064.0f, 1, 63));
    // 2036: only note 36 of slot 2.
    EXPECT_TRUE(isBeat(2036.0f, 2, 36));
    EXPECT_FALSE(isBeat(2036.0f, 2, 37));
    EXPECT_FALSE(isBeat(2036.0f, 3, 36));
    // Settings that do not fit an int match nothing.
    EXPECT_FALSE(isBeat(NAN, 0, 0));
    EXPECT_FALSE(isBeat(1e30f, 0, 0));
}

TEST_F(BeatTest, DetectSetsPulseAndCountAndExpressionsSeeThem) {
    core::globals().beatEvent = 2036.0f;
    detectBeat(2, 35);
    EXPECT_EQ(core::globals().beatCount.load(), 0);
    detectBeat(2, 36);
    detectBeat(2, 36);
    detectBeat(2, 36);
    EXPECT_EQ(core::globals().beatCount.load(), 3);
    EXPECT_FLOAT_EQ(eval("beatcount"), 3.0f);
    EXPECT_FLOAT_EQ(eval("beat"), 1.0f);
    BeatCallback callback = &detectBeat;
    callback(2, 36);
    EXPECT_EQ(core::globals().beatCount.load(), 4);
}

TEST_F(BeatTest, PulseDecaysByTheFallOff) {
    core::globals().beatFalloff = 0.001f;
    core::globals().beatPulse = 1.0f;
    decayBeatPulse(500);
    EXPECT_NEAR(core::globals().beatPulse.load(), 0.5f, 1e-6);
    decayBeatPulse(500);
    EXPECT_LE(core::globals().beatPulse.load(), 1e-6f);
    decayBeatPulse(500);
    EXPECT_EQ(core::globals().beatPulse.load(), 0.0f);
}

}  // namespace
}  // namespace kvx::expr
