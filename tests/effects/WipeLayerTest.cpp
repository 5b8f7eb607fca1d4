// wipe: target buffer 1 cut into turning tiles; the tile grid, its bounds
// and the outlines.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "effects/WipeLayer.h"
#include "support/EffectMaker.h"
#include "support/EffectRig.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A rectangle drawn into target 1, then a wipe over it that overwrites the
// frame.
class WipeRig {
  public:
    explicit WipeRig(const std::string& params, float x0 = 0, float y0 = 0, float x1 = 128,
                     float y1 = 64) {
        loaded = rig.load(R"(<LAYER> $TYPE = "wipe"; $END = -1; $Z = 5; $BLENDING = "overwrite";
            <PARAM> )" + params +
                          " </PARAM> </LAYER>") &&
                 rig.layers().size() == 1;
        if (loaded) {
            rig.insertRect(0, x0, y0, x1, y1, {1, 0, 0, 1}, 1);
            loaded = rig.prepare();
        }
    }
    WipeLayer& wipe() { return dynamic_cast<WipeLayer&>(rig.layer(1)); }
    // Pixels of the picture with any colour in them.
    int litPixels() {
        int lit = 0;
        const auto px = rig.picture();
        for (size_t i = 0; i < px.size(); i += 4) {
            lit += (px[i] | px[i + 1] | px[i + 2]) != 0 ? 1 : 0;
        }
        return lit;
    }
    EffectRig rig;
    bool loaded = false;
};

TEST(WipeLayer, StillTilesShowTargetOneWhereItWasDrawn) {
    // Also under narrow views, whose camera stands far beyond 1000 units.
    for (const char* n : {"", "n_quads = 2;", "n_quads = 5;", "fov = 10.0;", "fov = 20.0;"}) {
        WipeRig w(n);
        ASSERT_TRUE(w.loaded);
        w.rig.frame(0);
        EXPECT_TRUE(near(w.rig.pixel(40, 30), 1, 0, 0)) << n;
        EXPECT_TRUE(near(w.rig.pixel(120, 60), 1, 0, 0)) << n;
        EXPECT_TRUE(near(w.rig.pixel(40, 480), 0, 0, 0)) << n;
        EXPECT_TRUE(near(w.rig.pixel(300, 30), 0, 0, 0)) << n;
        EXPECT_TRUE(near(w.rig.pixel(140, 30), 0, 0, 0)) << n;
    }
}

TEST(WipeLayer, ATileTurnedNinetyDegreesShowsNothing) {
    // 1.8 degrees per frame, whatever the frame's length: edge-on after 50
    // frames. A full-screen picture in target 1 would otherwise fill it.
    WipeRig w("anglespeed = 1.8;", 0, 0, 512, 512);
    ASSERT_TRUE(w.loaded);
    w.rig.frame(0);  // advanced before the first draw: 1.8 degrees
    EXPECT_GT(w.litPixels(), w.rig.side() * w.rig.side() * 95 / 100);
    for (uint32_t f = 1; f < 49; ++f) {
        w.rig.frame(f * 3, f % 2 == 0 ? 1 : 40);
    }
    EXPECT_GT(w.litPixels(), 0);  // 88.2 degrees: a thin sliver
    w.rig.frame(200, 16);
    EXPECT_NEAR(w.wipe().tiles[0].angle, 90.0f, 1e-3);
    EXPECT_EQ(w.litPixels(), 0);
}

TEST(WipeLayer, ATurningTileKeepsItsAxisAndSwingsItsOtherCorners) {
    // One tile at 60 degrees about the diagonal (1, 1, 0) of the view, which
    // runs from the layer's bottom-left to its top-right corner: points on
    // it stay, the top-left corner swings towards the camera (and grows in
    // the perspective), the bottom-right corner away from it (and shrinks
    // to about a third of the half diagonal).
    WipeRig w("anglespeed = 60.0;", 0, 0, 512, 512);
    ASSERT_TRUE(w.loaded);
    w.rig.frame(0);
    EXPECT_TRUE(near(w.rig.pixel(256, 256), 1, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(480, 30), 1, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(30, 480), 1, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(10, 10), 1, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(320, 320), 1, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(360, 360), 0, 0, 0));
    EXPECT_TRUE(near(w.rig.pixel(500, 500), 0, 0, 0));
}

TEST(WipeLayer, OutlinesAreDrawnOnRequestInAnyCase) {
    WipeRig w(R"(n_quads = 2; drawgrid = "TRUE";)", 0, 0, 1, 1);
    ASSERT_TRUE(w.loaded);
    EXPECT_TRUE(w.wipe().drawGrid);
    w.rig.frame(0);
    // The inner vertical and horizontal lines of a 2 x 2 grid, in the
    // layer's colour; the tile interiors stay empty.
    auto white = [&](float x, float y) {
        return near(w.rig.pixel(x, y), 1, 1, 1) || near(w.rig.pixel(x - 1, y), 1, 1, 1) ||
               near(w.rig.pixel(x, y - 1), 1, 1, 1);
    };
    EXPECT_TRUE(white(256, 100));
    EXPECT_TRUE(white(100, 256));
    EXPECT_TRUE(near(w.rig.pixel(100, 100), 0, 0, 0));

    WipeRig off(R"(n_quads = 2; drawgrid = "yes";)", 0, 0, 1, 1);
    ASSERT_TRUE(off.loaded);
    EXPECT_FALSE(off.wipe().drawGrid);
}

TEST(WipeLayer, TileGridRunsFromTheBottomWithTheTextureFromTheTop) {
    layers::LayerDesc d;
    addInt(d, "n_quads", 4);
    auto w = makeEffect<WipeLayer>("wipe", d);
    ASSERT_TRUE(w);
    ASSERT_EQ(w->tiles.size(), 16u);
    const WipeTile& t0 = w->tiles[0];
    EXPECT_FLOAT_EQ(t0.corners[0].x, 0.0f);
    EXPECT_FLOAT_EQ(t0.corners[2].x, 128.0f);
    EXPECT_FLOAT_EQ(t0.corners[2].y, 128.0f);
    EXPECT_FLOAT_EQ(t0.corners[0].t, 1.0f);
    EXPECT_FLOAT_EQ(t0.corners[3].t, 0.75f);
    const WipeTile& t6 = w->tiles[1 * 4 + 2];  // row 1, column 2
    EXPECT_FLOAT_EQ(t6.corners[0].x, 256.0f);
    EXPECT_FLOAT_EQ(t6.corners[0].y, 128.0f);
    EXPECT_FLOAT_EQ(t6.corners[1].s, 0.75f);
    EXPECT_FLOAT_EQ(t6.corners[0].t, 0.75f);
    EXPECT_FLOAT_EQ(t6.axis[0], 1.0f);
    EXPECT_FLOAT_EQ(t6.axis[2], 0.0f);
}

TEST(WipeLayer, TileCountAndFieldOfViewAreBounded) {
    struct Case {
        int n;
        int side;
    };
    for (Case c : {Case{0, 1}, Case{-7, 1}, Case{3, 3}, Case{100000, WipeLayer::kMaxTilesPerSide},
                   Case{46341, WipeLayer::kMaxTilesPerSide}}) {
        layers::LayerDesc d;
        addInt(d, "n_quads", c.n);
        auto w = makeEffect<WipeLayer>("wipe", d);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->tilesPerSide, c.side) << c.n;
        EXPECT_EQ(w->tiles.size(), static_cast<size_t>(c.side * c.side)) << c.n;
    }
    struct Fov {
        float given;
        float used;
    };
    for (Fov f : {Fov{0.0f, 45.0f}, Fov{5.0f, 10.0f}, Fov{500.0f, 179.0f}, Fov{60.0f, 60.0f}}) {
        layers::LayerDesc d;
        addFloat(d, "fov", f.given);
        auto w = makeEffect<WipeLayer>("wipe", d);
        ASSERT_TRUE(w);
        EXPECT_FLOAT_EQ(w->fov, f.used);
        EXPECT_NEAR(w->tanHalfFov, std::tan(f.used * 3.1415f / 360.0f), 1e-5);
    }
}

TEST(WipeLayer, AnglesGrowPerFrameAndReleaseFreesTheTiles) {
    layers::LayerDesc d;
    addInt(d, "n_quads", 3);
    addFloat(d, "anglespeed", 2.5f);
    auto w = makeEffect<WipeLayer>("wipe", d);
    ASSERT_TRUE(w);
    w->advance(1);
    w->advance(1000);
    for (const WipeTile& t : w->tiles) {
        EXPECT_FLOAT_EQ(t.angle, 5.0f);
    }
    EXPECT_TRUE(w->release());
    EXPECT_TRUE(w->tiles.empty());
    w->draw();  // nothing left to draw; must not touch the tiles
}

}  // namespace
}  // namespace kvx::effects
