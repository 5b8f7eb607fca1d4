// dist_object: the display list, direct drawing with the morph playing at
// the layer's time, the switch between them, normals and release.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>

#include "assets/MeshShapes.h"
#include "effects/DistObjectLayer.h"
#include "support/EffectRig.h"
#include "support/MeshFiles.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A red ball of radius 10: "ball.msh" standing still in the middle,
// "swing.msh" with two morph frames of 200 ms that move it 40 to the left
// (frame 0) and 40 to the right (frame 1).
class DistObject : public ::testing::Test {
  protected:
    void SetUp() override {
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.path().string());
        const std::string red = "diffuse = (1, 0, 0, 1)\nspecular = (0, 0, 0, 0)\nend\n";
        assets::Mesh ball = assets::makeSphere(10.0f, 16, 8);
        writeMeshFiles(dir_, "ball.msh", ball, red);
        assets::MorphFrames& m = ball.morphFrames;
        m.frameLength = 1;
        m.frameCount = 2;
        for (float dx : {-40.0f, 40.0f}) {
            for (const assets::Vec3& p : ball.positions) {
                m.positions.push_back({p.x + dx, p.y, p.z});
            }
        }
        writeMeshFiles(dir_, "swing.msh", ball, red);
    }
    void TearDown() override { vfs::Vfs::reset(); }

    static std::string layer(const std::string& file, const std::string& params) {
        return R"(<LAYER> $TYPE = "dist_object"; $END = -1; $BLENDING = "overwrite";
            <PARAM> filename = ")" +
               file + "\"; " + params + " </PARAM> </LAYER>";
    }
    static bool red(const Rgba& px) { return px[0] > 150 && px[1] < 40; }

    // Where the ball's centre falls for a shift of dx at distance 100 with
    // the default 45 degree view and a 4:3 aspect.
    static float screenX(float dx) {
        return 256.0f + 256.0f * dx / (100.0f * 0.41421356f * (4.0f / 3.0f));
    }

    TempDir dir_;
};

TEST_F(DistObject, TheDisplayListDrawsTheMesh) {
    EffectRig rig(0.5f);
    ASSERT_TRUE(rig.load(layer("ball.msh", "")));
    ASSERT_TRUE(rig.prepare());
    auto* d = dynamic_cast<DistObjectLayer*>(&rig.layer(0));
    ASSERT_NE(d, nullptr);
    EXPECT_NE(d->displayList, 0u);
    rig.frame(0);
    EXPECT_TRUE(red(rig.pixel(256, 256)));
    EXPECT_TRUE(near(rig.pixel(256, 100), 0, 0, 0));
}

TEST_F(DistObject, DirectDrawingPlaysTheMorphAtTheLayersTime) {
    EffectRig direct(0.5f);
    ASSERT_TRUE(direct.load(layer("swing.msh", "direct = 1;")));
    ASSERT_TRUE(direct.prepare());
    for (uint32_t t = 0; t < 300; t += 100) {
        direct.frame(t, 100);  // the layer's time reaches 300: frame 1 shown
    }
    EXPECT_TRUE(red(direct.pixel(screenX(40.0f), 256)));
    EXPECT_FALSE(red(direct.pixel(256, 256)));
    EXPECT_FALSE(red(direct.pixel(screenX(-40.0f), 256)));

    // The list keeps the mesh as loaded, whatever the time.
    EffectRig list(0.5f);
    ASSERT_TRUE(list.load(layer("swing.msh", "")));
    ASSERT_TRUE(list.prepare());
    for (uint32_t t = 0; t < 300; t += 100) {
        list.frame(t, 100);
    }
    EXPECT_TRUE(red(list.pixel(256, 256)));
    EXPECT_FALSE(red(list.pixel(screenX(40.0f), 256)));
}

TEST_F(DistObject, DirectSwitchesOnInTheFrameItsTrackReachesOne) {
    EffectRig rig(0.5f);
    ASSERT_TRUE(rig.load(layer("swing.msh", "direct = 0; direct(300) = 1;")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0, 100);
    rig.frame(100, 100);  // track time 200: the list
    EXPECT_TRUE(red(rig.pixel(256, 256)));
    rig.frame(200, 100);  // track time 300: direct, morphed to 300 ms
    EXPECT_TRUE(red(rig.pixel(screenX(40.0f), 256)));
    EXPECT_FALSE(red(rig.pixel(256, 256)));
}

TEST_F(DistObject, AStaticMeshLooksTheSameEitherWay) {
    EffectRig list(0.25f);
    ASSERT_TRUE(list.load(layer("ball.msh", "rotx = 20.0; posx = 5.0;")));
    ASSERT_TRUE(list.prepare());
    EffectRig direct(0.25f);
    ASSERT_TRUE(direct.load(layer("ball.msh", "rotx = 20.0; posx = 5.0; direct = 1;")));
    ASSERT_TRUE(direct.prepare());
    for (uint32_t t = 0; t < 64; t += 16) {
        list.frame(t);
        direct.frame(t);
    }
    EXPECT_EQ(direct.picture(), list.picture());
}

TEST_F(DistObject, InvertedNormalsInTheListAndDirect) {
    for (const char* mode : {"direct = 0;", "direct = 1;"}) {
        for (int flag : {1, 2}) {
            EffectRig rig(0.25f);
            ASSERT_TRUE(rig.load(layer(
                "ball.msh", std::string(mode) + " invertnormals = " + std::to_string(flag) + ";")));
            ASSERT_TRUE(rig.prepare());
            rig.frame(0);
            EXPECT_EQ(red(rig.pixel(256, 256)), flag == 2) << mode << " " << flag;
        }
    }
}

TEST_F(DistObject, ReleaseDeletesTheDisplayList) {
    EffectRig rig(0.25f);
    ASSERT_TRUE(rig.load(layer("ball.msh", "") + layer("missing.msh", "direct = 1;")));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(rig.frame(0), 2);  // the missing mesh draws nothing and stops nothing
    unsigned list = 0;
    for (auto& l : rig.layers()) {
        auto* d = dynamic_cast<DistObjectLayer*>(l.get());
        ASSERT_NE(d, nullptr);
        if (d->fileName == core::String("ball.msh")) {
            list = d->displayList;
        }
    }
    EXPECT_EQ(glIsList(list), GL_TRUE);
    for (auto& l : rig.layers()) {
        EXPECT_TRUE(l->release());
    }
    EXPECT_EQ(glIsList(list), GL_FALSE);

    DistObjectLayer unprepared;
    EXPECT_TRUE(unprepared.release());
}

}  // namespace
}  // namespace kvx::effects
