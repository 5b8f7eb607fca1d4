// distortionlayer: the accumulation picture on the grid (undistorted, scaled,
// waving), the wave and its fading border, and the bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "effects/DistortionLayer.h"
#include "support/EffectMaker.h"
#include "support/EffectRig.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A blue backdrop with a red rectangle in its top-left corner, then the
// distortion overwriting the frame.
class DistortRig {
  public:
    explicit DistortRig(const std::string& params) {
        loaded = rig.load(R"(<LAYER> $TYPE = "fadelayer"; $END = -1; $BLENDING = "overwrite";
            <PARAM> color = {0, 0, 255, 255}; </PARAM> </LAYER>
            <LAYER> $TYPE = "distortionlayer"; $END = -1; $Z = 5; $BLENDING = "overwrite";
            <PARAM> )" + params +
                          " </PARAM> </LAYER>") &&
                 rig.layers().size() == 2;
        if (loaded) {
            rig.insertRect(1, 0, 0, 128, 64, {1, 0, 0, 1});
            loaded = rig.prepare();
        }
    }
    DistortionLayer& layer() { return dynamic_cast<DistortionLayer&>(rig.layer(2)); }
    EffectRig rig;
    bool loaded = false;
};

TEST(DistortionLayer, WithoutAWaveTheGridShowsThePictureAsItIs) {
    // Zero amplitudes, the modes that compute no wave, and no function at
    // all: the picture comes back where it was (the texture's t runs to -1
    // and the buffer texture repeats).
    const char* cases[] = {
        R"(n_vertex = 16; distfunc = "dycp"; dycpx = "true"; dycpy = "true"; dycpz = "true";
           ampx = 0.0; ampy = 0.0; ampzx = 0.0; ampzy = 0.0;)",
        R"(n_vertex = 9; distfunc = "DISTTEST";)",
        R"(n_vertex = 12; distfunc = "pelmotwirl";)",
        R"(n_vertex = 2;)",
        // A narrow view puts the camera beyond 2000 units.
        R"(n_vertex = 6; fov = 10.0;)",
    };
    for (const char* params : cases) {
        DistortRig d(params);
        ASSERT_TRUE(d.loaded);
        d.rig.frame(0);
        d.rig.frame(16);
        EXPECT_TRUE(near(d.rig.pixel(40, 30), 1, 0, 0)) << params;
        EXPECT_TRUE(near(d.rig.pixel(120, 58), 1, 0, 0)) << params;
        EXPECT_TRUE(near(d.rig.pixel(140, 30), 0, 0, 1)) << params;
        EXPECT_TRUE(near(d.rig.pixel(40, 70), 0, 0, 1)) << params;
        EXPECT_TRUE(near(d.rig.pixel(40, 500), 0, 0, 1)) << params;
        EXPECT_TRUE(near(d.rig.pixel(500, 500), 0, 0, 1)) << params;
        EXPECT_TRUE(near(d.rig.pixel(500, 10), 0, 0, 1)) << params;
    }
}

TEST(DistortionLayer, ScaleShrinksThePictureAboutTheCentre) {
    // "dycp" with every switch off: flat, scaled by one half.
    DistortRig d(R"(n_vertex = 8; distfunc = "dycp"; scale = 0.5;)");
    ASSERT_TRUE(d.loaded);
    d.rig.frame(0);
    // Layer (40, 30) moves to (256 + (40 - 256) / 2, 256 + (30 - 256) / 2).
    EXPECT_TRUE(near(d.rig.pixel(148, 143), 1, 0, 0));
    EXPECT_TRUE(near(d.rig.pixel(148, 300), 0, 0, 1));
    // Outside the half-size grid nothing is drawn.
    EXPECT_TRUE(near(d.rig.pixel(60, 60), 0, 0, 0));
    EXPECT_EQ(d.rig.pixel(60, 60)[3], 0);
}

TEST(DistortionLayer, AWaveMovesThePicture) {
    DistortRig d(R"(n_vertex = 16; distfunc = "dycp"; dycpy = "true"; ampy = 60.0;
                    speedy = 0.0; boxsize = 0;)");
    ASSERT_TRUE(d.loaded);
    d.rig.frame(0);
    // Column 0's y offset is ampy x cos(0) = 60 units up the view: the red
    // rectangle's lower edge (y 64) now lies near y 4 at the left border.
    EXPECT_TRUE(near(d.rig.pixel(2, 30), 0, 0, 1));
    EXPECT_FALSE(near(d.rig.pixel(2, 30), 1, 0, 0));
}

// Vertex (i, j) of a prepared, advanced layer.
const DistortVertex& at(const DistortionLayer& l, int i, int j) {
    return l.vertices[static_cast<size_t>(i * l.gridSize + j)];
}

TEST(DistortionLayer, RestGridIsCentredAndZoomed) {
    layers::LayerDesc d;
    addInt(d, "n_vertex", 5);
    auto l = makeEffect<DistortionLayer>("distortionlayer", d);
    ASSERT_TRUE(l);
    EXPECT_FLOAT_EQ(at(*l, 0, 0).restX, -256.0f);
    EXPECT_FLOAT_EQ(at(*l, 0, 0).restY, -256.0f);
    EXPECT_FLOAT_EQ(at(*l, 4, 4).restX, 256.0f);
    EXPECT_FLOAT_EQ(at(*l, 2, 2).restX, 0.0f);
    EXPECT_FLOAT_EQ(at(*l, 2, 3).x, 128.0f);  // current = rest without a wave

    addFloat(d, "zoom", 0.5f);
    auto z = makeEffect<DistortionLayer>("distortionlayer", d);
    ASSERT_TRUE(z);
    EXPECT_FLOAT_EQ(at(*z, 0, 0).restX, -384.0f);
    EXPECT_FLOAT_EQ(at(*z, 4, 0).restY, 384.0f);
}

layers::LayerDesc waveX(int n, int box) {
    layers::LayerDesc d;
    addInt(d, "n_vertex", n);
    addText(d, "distfunc", "dycp");
    addText(d, "dycpx", "true");
    addFloat(d, "ampx", 30.0f);
    addFloat(d, "speedx", 1000.0f);  // one radian per millisecond
    addInt(d, "boxsize", box);
    return d;
}

TEST(DistortionLayer, TheWaveFadesOverTheBorder) {
    // Row i moves by 30 sin(i x 45 degrees + phase) in x, times the fade.
    auto l = makeEffect<DistortionLayer>("distortionlayer", waveX(8, 1));
    ASSERT_TRUE(l);
    l->advance(1);
    const float h0 = 30.0f * std::sin(1.0f);
    const float h1 = 30.0f * std::sin(45.0f * 0.017452778f + 1.0f);
    EXPECT_FLOAT_EQ(at(*l, 0, 3).x, at(*l, 0, 3).restX);  // outer ring: fade 0
    EXPECT_FLOAT_EQ(at(*l, 7, 3).x, at(*l, 7, 3).restX);
    EXPECT_FLOAT_EQ(at(*l, 3, 0).x, at(*l, 3, 0).restX);
    EXPECT_NEAR(at(*l, 1, 3).x, at(*l, 1, 3).restX + h1, 1e-3);  // next ring: full
    EXPECT_FLOAT_EQ(at(*l, 1, 3).y, at(*l, 1, 3).restY);
    EXPECT_FLOAT_EQ(at(*l, 1, 3).z, 0.0f);

    auto wide = makeEffect<DistortionLayer>("distortionlayer", waveX(8, 2));
    wide->advance(1);
    EXPECT_NEAR(at(*wide, 1, 3).x, at(*wide, 1, 3).restX + 0.5f * h1, 1e-3);
    EXPECT_FLOAT_EQ(wide->fade(6), 0.5f);

    // Box size 0 fades nothing (instead of dividing by zero).
    auto none = makeEffect<DistortionLayer>("distortionlayer", waveX(8, 0));
    none->advance(1);
    EXPECT_NEAR(at(*none, 0, 3).x, at(*none, 0, 3).restX + h0, 1e-3);
    for (const DistortVertex& v : none->vertices) {
        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
    }
}

TEST(DistortionLayer, ASwitchedOffDirectionNeverWaves) {
    // "ampx" keyframed (so the track keeps writing it) but "dycpx" off.
    layers::LayerDesc d;
    addInt(d, "n_vertex", 8);
    addText(d, "distfunc", "dycp");
    addFloat(d, "ampx", 30.0f);
    addFloat(d, "ampx", 60.0f, 1000, layers::Interpolation::Linear);
    addFloat(d, "speedx", 1000.0f);
    auto l = makeEffect<DistortionLayer>("distortionlayer", d);
    ASSERT_TRUE(l);
    EXPECT_FLOAT_EQ(l->ampX, 0.0f);
    l->updateTracks(500);
    EXPECT_GT(l->ampX, 40.0f);
    l->advance(500);
    for (const DistortVertex& v : l->vertices) {
        EXPECT_FLOAT_EQ(v.x, v.restX);
    }
}

TEST(DistortionLayer, GridSizeAndFieldOfViewAreBounded) {
    struct Case {
        int n;
        size_t vertices;
    };
    for (Case c : {Case{-3, 0}, Case{0, 0}, Case{1, 1}, Case{100000, 256u * 256u}}) {
        layers::LayerDesc d;
        addInt(d, "n_vertex", c.n);
        addText(d, "distfunc", "dycp");
        auto l = makeEffect<DistortionLayer>("distortionlayer", d);
        ASSERT_TRUE(l);
        EXPECT_EQ(l->vertices.size(), c.vertices) << c.n;
        l->advance(16);
    }
    struct Fov {
        float given;
        float camera;
    };
    for (Fov f : {Fov{0.0f, 45.0f}, Fov{5.0f, 10.0f}, Fov{300.0f, 179.0f}}) {
        layers::LayerDesc d;
        addFloat(d, "fov", f.given);
        auto l = makeEffect<DistortionLayer>("distortionlayer", d);
        ASSERT_TRUE(l);
        EXPECT_NEAR(l->tanHalfFov, std::tan(f.camera * 0.008726389f), 1e-5) << f.given;
    }
    // A load-time 5 is written back by the track: the projection uses 5.
    layers::LayerDesc d;
    addFloat(d, "fov", 5.0f);
    EXPECT_FLOAT_EQ(makeEffect<DistortionLayer>("distortionlayer", d)->fov, 5.0f);
}

TEST(DistortionLayer, AbsurdFieldOfViewStillDraws) {
    // An animated field of view of 0 would make the projection degenerate.
    DistortRig d(R"(n_vertex = 4; fov = 0.0; fov(10) = 0.0;)");
    ASSERT_TRUE(d.loaded);
    d.rig.frame(0, 0);
    d.rig.frame(20, 20);
    EXPECT_FLOAT_EQ(d.layer().fov, 0.0f);
    // A one-degree view: the centre of the picture fills the layer.
    EXPECT_TRUE(near(d.rig.pixel(256, 256), 0, 0, 1));
}

}  // namespace
}  // namespace kvx::effects
