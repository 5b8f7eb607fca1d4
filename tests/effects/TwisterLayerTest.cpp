// twister: the rings its formulas build, the bounds on its counts, and the
// tube in the picture: a cylinder for constant formulas, turned by the twist.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "effects/Registry.h"
#include "effects/TwisterLayer.h"
#include "layers/LayerFactory.h"
#include "support/EffectRig.h"
#include "support/ParamSupport.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A twister from d, its rings built (no GL needed without a material).
std::unique_ptr<TwisterLayer> makeTwister(layers::LayerDesc d) {
    registerAll();
    d.type = "twister";
    auto layer = layers::LayerFactory::create(d);
    std::unique_ptr<TwisterLayer> out(dynamic_cast<TwisterLayer*>(layer.get()));
    if (out) {
        layer.release();
        out->updateTracks(0);
        EXPECT_TRUE(out->prepare());
    }
    return out;
}

float ringRadius(const TwisterRing& ring, size_t j) {
    const assets::Vec3 p = ring.positions[j];
    return std::sqrt(p.x * p.x + p.z * p.z);
}

TEST(TwisterLayer, ConstantFormulasBuildAStraightCylinder) {
    auto t = makeTwister({});
    ASSERT_TRUE(t);
    ASSERT_EQ(t->rings.size(), 100u);
    for (int i : {0, 1, 50, 99}) {
        const TwisterRing& ring = t->rings[static_cast<size_t>(i)];
        ASSERT_EQ(ring.positions.size(), 36u);
        // Heights -50, -49, ... 49; radius 10; the seam at angle 0.
        EXPECT_FLOAT_EQ(ring.positions[0].y, static_cast<float>(i - 50));
        EXPECT_NEAR(ring.positions[0].x, 10.0f, 1e-4f);
        EXPECT_NEAR(ring.positions[0].z, 0.0f, 1e-4f);
        for (size_t j = 0; j < 36; ++j) {
            EXPECT_NEAR(ringRadius(ring, j), 10.0f, 1e-3f);
            EXPECT_EQ(ring.vertices[j].position, static_cast<int>(j));
        }
        // The last vertex closes the ring on the first; vertex 9 lies at
        // 90 degrees (9 x 360 / 35 is 92.57: the angle step is 360 / 35).
        EXPECT_NEAR(ring.positions[35].x, 10.0f, 1e-2f);
        EXPECT_NEAR(ring.positions[35].z, 0.0f, 1e-2f);
        const float theta = 9.0f * 360.0f / 35.0f * TwisterLayer::kDegree;
        EXPECT_NEAR(ring.positions[9].z, 10.0f * std::sin(theta), 1e-4f);
        // Texture: u from warpu down to 0 around, v = 1 - i / n along.
        EXPECT_FLOAT_EQ(ring.vertices[0].u, 1.0f);
        EXPECT_NEAR(ring.vertices[35].u, 0.0f, 1e-6f);
        EXPECT_FLOAT_EQ(ring.vertices[7].v, 1.0f - static_cast<float>(i) / 100.0f);
    }
    // Normals point away from the axis and lean with the ring's height.
    const TwisterRing& middle = t->rings[50];
    EXPECT_NEAR(middle.vertices[9].normal.x, std::cos(9.0f * 360.0f / 35.0f * 0.017452778f), 1e-3f);
    EXPECT_NEAR(middle.vertices[9].normal.y, 0.0f, 1e-6f);
    EXPECT_LT(t->rings[0].vertices[3].normal.y, -0.5f);
    EXPECT_GT(t->rings[99].vertices[3].normal.y, 0.5f);
    EXPECT_NEAR(t->rings[99].vertices[3].normal.x * t->rings[99].positions[3].x +
                    t->rings[99].vertices[3].normal.z * t->rings[99].positions[3].z,
                10.0f * std::sqrt(1.0f - t->rings[99].vertices[3].normal.y *
                                             t->rings[99].vertices[3].normal.y),
                0.05f);
}

TEST(TwisterLayer, FormulasShapeTheRingsAndFailedOnesCountAsOne) {
    layers::LayerDesc d;
    addText(d, "xformula", "0");
    addText(d, "rformula", "x");
    addText(d, "yformula", "2");
    addInt(d, "ringcount", 10);
    addFloat(d, "ringdistance", 2.0f);
    addFloat(d, "radius", 3.0f);
    auto t = makeTwister(d);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->rings.size(), 10u);
    // Axial coordinate a = 2 i - 10; radius 3 a; height 2 a; x flattened.
    for (int i = 0; i < 10; ++i) {
        const float a = 2.0f * static_cast<float>(i) - 10.0f;
        const TwisterRing& ring = t->rings[static_cast<size_t>(i)];
        EXPECT_FLOAT_EQ(ring.positions[9].y, 2.0f * a);
        EXPECT_FLOAT_EQ(ring.positions[9].x, 0.0f);
        const float theta = 9.0f * 360.0f / 35.0f * TwisterLayer::kDegree;
        EXPECT_NEAR(ring.positions[9].z, 3.0f * a * std::sin(theta), 1e-4f);
    }
    EXPECT_FLOAT_EQ(t->rings[5].positions[9].z, 0.0f);  // through 0 at the middle ring

    // An incomplete formula failed to compile: it counts as 1 (radius 10),
    // although as a parameter expression it would give x. So do a formula
    // given as a number instead of text, and one that does not parse at all.
    layers::LayerDesc bad;
    addText(bad, "rformula", "x+");
    addFloat(bad, "xformula", 0.0f);
    addText(bad, "zformula", "*");
    auto u = makeTwister(bad);
    ASSERT_TRUE(u);
    EXPECT_TRUE(u->rFormula.failed());
    EXPECT_FLOAT_EQ(TwisterLayer::factor(u->rFormula, 7.0f), 1.0f);
    for (size_t j = 0; j < 36; ++j) {
        EXPECT_NEAR(ringRadius(u->rings[0], j), 10.0f, 1e-3f);
    }
}

TEST(TwisterLayer, CountsAreBoundedAndTooFewVerticesBuildNothing) {
    auto counts = [](int rings, int vertices) {
        layers::LayerDesc d;
        addInt(d, "ringcount", rings);
        addInt(d, "vertex", vertices);
        return makeTwister(d);
    };
    // One vertex would divide by m - 1 = 0: the rings stay empty.
    auto one = counts(5, 1);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->vertexCount, 1);
    EXPECT_EQ(one->rings.size(), 5u);
    EXPECT_TRUE(one->rings[0].positions.empty());
    auto negative = counts(-3, -8);
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->ringCount, 0);
    EXPECT_EQ(negative->vertexCount, 0);
    EXPECT_TRUE(negative->rings.empty());
    auto huge = counts(1000000, 1000000);
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->vertexCount, TwisterLayer::kMaxVertexCount);
    EXPECT_EQ(huge->ringCount, TwisterLayer::kMaxVertices / TwisterLayer::kMaxVertexCount);
    EXPECT_EQ(huge->rings[0].positions.size(), static_cast<size_t>(TwisterLayer::kMaxVertexCount));
    EXPECT_EQ(TwisterLayer::clampRingCount(9000, 36), TwisterLayer::kMaxRingCount);
    EXPECT_EQ(TwisterLayer::clampRingCount(100, 36), 100);
}

class TwisterPicture : public ::testing::Test {
  protected:
    bool show(const std::string& params) {
        const std::string text =
            R"(<LAYER> $TYPE = "twister"; $END = -1; $BLENDING = "overwrite"; <PARAM>)" + params +
            "</PARAM></LAYER>";
        if (!rig_.load(text) || rig_.layers().size() != 1 || !rig_.prepare()) {
            return false;
        }
        return rig_.frame(0, 0) == 1;
    }
    void TearDown() override {
        for (auto& l : rig_.layers()) {
            l->release();
        }
    }
    bool covered(int x, int y) {
        return rig_.pixel(static_cast<float>(x), static_cast<float>(y))[3] > 128;
    }
    std::pair<int, int> rowSpan(int y) {
        int first = -1;
        int last = -1;
        for (int x = 0; x < 512; ++x) {
            if (covered(x, y)) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        return {first, last};
    }

    EffectRig rig_;
};

TEST_F(TwisterPicture, ConstantFormulasDrawAnUprightCylinder) {
    // Radius 10 seen from 100 units: the silhouette's tangent is 0.1 /
    // sqrt(0.99), which at 45 degrees and 4:3 is 46.6 units either side of
    // the middle, at every height (the tube is taller than the view).
    ASSERT_TRUE(show(""));
    for (int y : {30, 256, 480}) {
        const auto [left, right] = rowSpan(y);
        EXPECT_NEAR(left, 256 - 46.6, 2.0) << "row " << y;
        EXPECT_NEAR(right, 256 + 46.6, 2.0) << "row " << y;
    }
    // Lit from the front: brightest in the middle, darker towards the sides.
    const Rgba mid = rig_.pixel(256, 256);
    const Rgba side = rig_.pixel(256 + 42, 256);
    EXPECT_GT(mid[0], 150);
    EXPECT_LT(side[0], mid[0] - 40);
}

TEST_F(TwisterPicture, TooFewRingsOrVerticesDrawNothing) {
    for (const char* params :
         {"ringcount = 1;", "vertex = 1;", "vertex = -4;", "ringcount = -2;"}) {
        EffectRig rig;
        ASSERT_TRUE(rig.load(std::string(R"(<LAYER> $TYPE = "twister"; $END = -1;
            $BLENDING = "overwrite"; <PARAM>)") +
                             params + "</PARAM></LAYER>"));
        ASSERT_TRUE(rig.prepare());
        ASSERT_EQ(rig.frame(0, 0), 1);
        EXPECT_EQ(rig.pixel(256, 256)[3], 0) << params;
        EXPECT_EQ(rig.pixel(256, 100)[3], 0) << params;
    }
}

TEST_F(TwisterPicture, AFlatBandSeenEdgeOnIsAlmostInvisible) {
    // xformula 0: the tube becomes a band in the y-z plane, edge-on to the eye.
    ASSERT_TRUE(show(R"(xformula = "0";)"));
    EXPECT_FALSE(covered(256 - 20, 256));
    EXPECT_FALSE(covered(256 + 20, 256));
}

TEST_F(TwisterPicture, EachRingTurnsOneTwistFurther) {
    // zformula 0: a band in the x-y plane facing the eye, 10 units either
    // side of the axis. Two rings 40 apart (heights -40 and 0) and a twist
    // of 45: the lower ring is drawn turned by 45 degrees, the upper one by
    // 90, edge-on. On row 440 the band's ends lie 0.32 (right) and 0.20
    // (left) of the way up, at (4.84, -27.4, 7.99) and (-5.67, -32.1,
    // -7.65): 24.4 units either side of the middle. Were the upper ring not
    // turned further, the band would keep its width upwards.
    ASSERT_TRUE(show(R"(zformula = "0"; ringcount = 2; ringdistance = 40.0; twist = 45.0;)"));
    const auto [l0, r0] = rowSpan(440);
    EXPECT_NEAR(l0, 256 - 24.4, 2.0);
    EXPECT_NEAR(r0, 256 + 24.4, 2.0);
    const auto [l1, r1] = rowSpan(262);
    EXPECT_LT(r1 - l1, 8);
    EXPECT_FALSE(covered(256, 240));  // nothing above the upper ring
}

TEST_F(TwisterPicture, SpecularAddsTheHighlight) {
    TempDir dir;
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.path().string());
    dir.write("shiny.materials",
              "diffuse = (0.3, 0.3, 0.3, 1)\nspecular = (0.3, 0.3, 0.3, 1)\nshininess = 5\nend\n");
    ASSERT_TRUE(show(R"(material = "shiny.materials"; specular = 0;)"));
    const Rgba plain = rig_.pixel(256, 256);
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "twister"; $END = -1; $BLENDING = "overwrite";
        <PARAM> material = "shiny.materials"; specular = 1; </PARAM></LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    ASSERT_EQ(rig.frame(0, 0), 1);
    const Rgba shiny = rig.pixel(256, 256);
    EXPECT_GT(shiny[0], plain[0] + 30);
    // Away from the highlight the two agree more closely.
    EXPECT_LT(std::abs(rig.pixel(256 + 44, 256)[0] - rig_.pixel(256 + 44, 256)[0]),
              shiny[0] - plain[0]);
    rig.layer(0).release();
    vfs::Vfs::reset();
}

}  // namespace
}  // namespace kvx::effects
