// fire: the fuel feed, the upward spread, the step timing, the bounds on
// grid, delay and heat, the palette in the picture, and repeatable flames.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <string>

#include "effects/FireLayer.h"
#include "support/EffectMaker.h"
#include "support/EffectRig.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

layers::LayerDesc fireDesc(int n, int intensity, int maxHeat = 500, int minHeat = 0) {
    layers::LayerDesc d;
    addInt(d, "nPoints", n);
    addInt(d, "intensity", intensity);
    addInt(d, "max", maxHeat);
    addInt(d, "min", minHeat);
    return d;
}

int16_t heat(const std::vector<int16_t>& cells, int n, int i, int j) {
    return cells[static_cast<size_t>(i * n + j)];
}

TEST(FireLayer, FuelRowsTakeMaxOrMinByIntensity) {
    const int n = 10;
    for (int intensity : {100, 1000}) {
        auto f = makeEffect<FireLayer>("fire", fireDesc(n, intensity, 500, 7));
        ASSERT_TRUE(f);
        f->step();
        // The fed array has become `next`: all 3 N fuel cells hot.
        for (int k = 0; k < 3 * n; ++k) {
            EXPECT_EQ(f->next[static_cast<size_t>(n * n + k)], 500) << k;
        }
    }
    for (int intensity : {0, -5}) {
        auto f = makeEffect<FireLayer>("fire", fireDesc(n, intensity, 500, 7));
        ASSERT_TRUE(f);
        f->step();
        for (int k = 0; k < 3 * n; ++k) {
            EXPECT_EQ(f->next[static_cast<size_t>(n * n + k)], 7) << k;
        }
    }
    // Half the cells hot at intensity 50, over many steps.
    auto f = makeEffect<FireLayer>("fire", fireDesc(n, 50));
    ASSERT_TRUE(f);
    int hot = 0;
    for (int s = 0; s < 40; ++s) {
        f->step();
        for (int k = 0; k < 3 * n; ++k) {
            hot += f->next[static_cast<size_t>(n * n + k)] == 500 ? 1 : 0;
        }
    }
    EXPECT_GT(hot, 40 * 3 * n * 4 / 10);
    EXPECT_LT(hot, 40 * 3 * n * 6 / 10);
}

TEST(FireLayer, HeatRisesOneRowPerStepLimitedTo255) {
    const int n = 10;
    auto f = makeEffect<FireLayer>("fire", fireDesc(n, 100));
    ASSERT_TRUE(f);
    f->step();
    // Row N - 1 averages itself (0) with three fuel cells of 500: 375,
    // limited to 255. Row N - 2 still sees only zeros.
    EXPECT_EQ(heat(f->current, n, n - 1, 4), 255);
    EXPECT_EQ(heat(f->current, n, n - 2, 4), 0);
    // The outer columns are never spread into.
    EXPECT_EQ(heat(f->current, n, n - 1, 0), 0);
    EXPECT_EQ(heat(f->current, n, n - 1, n - 1), 0);
    f->step();
    EXPECT_EQ(heat(f->current, n, n - 2, 4), (0 + 3 * 255) / 4);
    EXPECT_EQ(heat(f->current, n, n - 3, 4), 0);
}

TEST(FireLayer, HeatBeyondSixteenBitsNeitherWrapsNorLeavesThePalette) {
    // Four fuel cells of 30000 sum past 32767; fuel of 40000 does not fit
    // 16 bits. Both stay hot: the limit of 255.
    for (int hotHeat : {30000, 40000, std::numeric_limits<int>::max()}) {
        auto f = makeEffect<FireLayer>("fire", fireDesc(10, 100, hotHeat));
        ASSERT_TRUE(f);
        f->step();
        EXPECT_EQ(heat(f->current, 10, 9, 4), 255) << hotHeat;
        EXPECT_EQ(f->next[100], std::min(hotHeat, 32767)) << hotHeat;
    }
    // A negative minimum makes heat negative; it shows palette entry 0.
    auto f = makeEffect<FireLayer>("fire", fireDesc(10, 0, 500, -300));
    ASSERT_TRUE(f);
    f->step();
    f->step();
    EXPECT_LT(heat(f->current, 10, 9, 4), 0);
    EXPECT_EQ(FireLayer::paletteIndex(-75), 0);
    EXPECT_EQ(FireLayer::paletteIndex(-32768), 0);
    EXPECT_EQ(FireLayer::paletteIndex(300), 255);
    EXPECT_EQ(FireLayer::paletteIndex(99), 99);
}

// Steps taken so far by a fire of intensity 100: heat climbs one row per step.
int stepsTaken(const FireLayer& f) {
    const int n = f.preparedSize();
    int steps = 0;
    for (int i = n - 1; i >= 0 && heat(f.current, n, i, n / 2) > 0; --i) {
        ++steps;
    }
    return steps;
}

TEST(FireLayer, StepsOncePerFrameWhenMoreThanTheDelayHasGathered) {
    layers::LayerDesc d = fireDesc(30, 100);
    auto f = makeEffect<FireLayer>("fire", d);
    ASSERT_TRUE(f);
    f->advance(60);  // one step, 60 -> 35 -> 10 kept
    EXPECT_EQ(stepsTaken(*f), 1);
    EXPECT_EQ(f->elapsed, 10);
    f->advance(15);  // 25: not more than the delay
    EXPECT_EQ(stepsTaken(*f), 1);
    EXPECT_EQ(f->elapsed, 25);
    f->advance(1);
    EXPECT_EQ(stepsTaken(*f), 2);
    EXPECT_EQ(f->elapsed, 1);
    f->advance(10000);  // a long frame still makes one step
    EXPECT_EQ(stepsTaken(*f), 3);
    EXPECT_EQ(f->elapsed, 1 + (10001 - 1) % 25);
}

TEST(FireLayer, DelaysBelowOneMillisecondStillEnd) {
    for (int delay : {0, -5, std::numeric_limits<int>::min()}) {
        layers::LayerDesc d = fireDesc(12, 100);
        addInt(d, "delay", delay);
        auto f = makeEffect<FireLayer>("fire", d);
        ASSERT_TRUE(f);
        f->advance(std::numeric_limits<unsigned>::max());
        EXPECT_EQ(stepsTaken(*f), 1) << delay;
        EXPECT_EQ(f->elapsed, 1) << delay;
    }
    // A huge delay gathers without overflowing.
    layers::LayerDesc d = fireDesc(12, 100);
    addInt(d, "delay", std::numeric_limits<int>::max());
    auto f = makeEffect<FireLayer>("fire", d);
    ASSERT_TRUE(f);
    f->advance(std::numeric_limits<int>::max());
    EXPECT_EQ(stepsTaken(*f), 0);
    f->advance(std::numeric_limits<unsigned>::max());
    EXPECT_EQ(stepsTaken(*f), 1);
}

TEST(FireLayer, GridSizeIsFixedAtPrepare) {
    // Without "nPoints" the default 10 plus 2.
    auto plain = makeEffect<FireLayer>("fire", layers::LayerDesc{});
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->preparedSize(), 12);
    EXPECT_EQ(plain->current.size(), 12u * 15u);
    auto ten = makeEffect<FireLayer>("fire", fireDesc(10, 25));
    EXPECT_EQ(ten->preparedSize(), 10);

    // Keyframed larger after prepare: the arrays and the loops keep 6.
    layers::LayerDesc d = fireDesc(6, 100);
    addInt(d, "nPoints", 400, 100);
    auto f = makeEffect<FireLayer>("fire", d);
    ASSERT_TRUE(f);
    f->updateTracks(200);
    EXPECT_EQ(f->gridSize, 400);
    f->advance(200);
    EXPECT_EQ(f->preparedSize(), 6);
    EXPECT_EQ(f->current.size(), 6u * 9u);
    EXPECT_EQ(f->next.size(), 6u * 9u);
    EXPECT_EQ(f->positions.size(), 36u);

    // Tiny, empty and absurd grids step without touching outside the arrays.
    for (int n : {3, 2, 1, 0, -4, 1 << 20}) {
        auto g = makeEffect<FireLayer>("fire", fireDesc(n, 100));
        ASSERT_TRUE(g);
        const int side = n < 0 ? 0 : std::min(n, FireLayer::kMaxGridSize);
        EXPECT_EQ(g->preparedSize(), side) << n;
        EXPECT_EQ(g->current.size(), static_cast<size_t>(side) * static_cast<size_t>(side + 3));
        if (side <= 64) {
            g->step();
            g->step();
        }
    }
}

// A fire of N = 10 overwriting the frame, stepped once per 30 ms frame.
std::string fireLayer(const std::string& params) {
    return R"(<LAYER> $TYPE = "fire"; $END = -1; $BLENDING = "overwrite"; <PARAM> nPoints = 10; )" +
           params + " </PARAM> </LAYER>";
}

void burn(EffectRig& rig, int frames) {
    for (int k = 0; k < frames; ++k) {
        rig.frame(static_cast<uint32_t>(k) * 30, 30);
    }
}

TEST(FireLayer, HotBottomShowsTheTopOfThePalette) {
    // Keys 8 and 9 blue and magenta: entry 224 + s is blue plus s/32 of the
    // way to magenta. Key 1 dark blue marks entry 0 at the cold top. Under
    // rows limited to 255 the last drawn row settles at 254, where the
    // truncating average (254 + 3 x 255) / 4 stays.
    EffectRig rig;
    ASSERT_TRUE(rig.load(fireLayer(R"(intensity = 100; max = 500;
        color1 = {0, 0, 64, 255}; color8 = {0, 0, 255, 255}; color9 = {255, 0, 255, 255};)")));
    ASSERT_TRUE(rig.prepare());
    burn(rig, 3);  // the heat has climbed three rows: the top is still cold
    EXPECT_TRUE(near(rig.pixel(256, 20), 0, 0, 64.0f / 255.0f));
    burn(rig, 40);
    EXPECT_TRUE(near(rig.pixel(256, 511), 30.0f / 32.0f, 0, 1));
    // Alpha is 1 whatever the palette's alpha.
    EXPECT_EQ(rig.pixel(256, 511)[3], 255);
}

TEST(FireLayer, NegativeHeatShowsTheFirstPaletteEntry) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(fireLayer(R"(intensity = 0; min = -300; max = 0;
        color1 = {0, 128, 0, 255}; color2 = {255, 255, 255, 255};)")));
    ASSERT_TRUE(rig.prepare());
    burn(rig, 12);
    for (float y : {20.0f, 250.0f, 500.0f}) {
        EXPECT_TRUE(near(rig.pixel(256, y), 0, 128.0f / 255.0f, 0)) << y;
    }
}

TEST(FireLayer, TheSameFireBurnsTheSameOnEveryRun) {
    const std::string text = fireLayer("intensity = 40; max = 800; nPoints = 24;");
    std::vector<unsigned char> first;
    for (int run = 0; run < 2; ++run) {
        EffectRig rig;
        ASSERT_TRUE(rig.load(text));
        ASSERT_TRUE(rig.prepare());
        burn(rig, 25);
        if (run == 0) {
            first = rig.picture();
            continue;
        }
        const auto second = rig.picture();
        ASSERT_EQ(first.size(), second.size());
        EXPECT_TRUE(first == second);
    }
    // And the flames are random, not uniform.
    EffectRig rig;
    ASSERT_TRUE(rig.load(text));
    ASSERT_TRUE(rig.prepare());
    burn(rig, 25);
    int distinct = 0;
    const Rgba left = rig.pixel(100, 420);
    for (float x = 110; x < 420; x += 10) {
        distinct += rig.pixel(x, 420) != left ? 1 : 0;
    }
    EXPECT_GT(distinct, 5);
}

}  // namespace
}  // namespace kvx::effects
