// background: shape choice, the picture it fills the view with (image file,
// accumulation buffer, failed image), rotation speeds and the field of view.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "effects/BackgroundLayer.h"
#include "support/EffectRig.h"
#include "support/TextureFolder.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A red fade under a background layer with the given parameters.
std::string overRed(const std::string& params, const std::string& attributes = "") {
    return backdrop("{255, 0, 0, 255}") +
           layerText("background", params, "$Z = 1; $BLENDING = \"overwrite\"; " + attributes);
}

// Every point of a 5 x 5 grid over the whole view has the colour.
::testing::AssertionResult fills(EffectRig& rig, float r, float g, float b) {
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            const float x = 8.0f + 124.0f * static_cast<float>(j);
            const float y = 8.0f + 124.0f * static_cast<float>(i);
            ::testing::AssertionResult r1 = near(rig.pixel(x, y), r, g, b, 3);
            if (!r1) {
                return r1 << " at " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

BackgroundLayer& background(EffectRig& rig) {
    return rig.last<BackgroundLayer>();
}

TEST(BackgroundLayer, WithoutTypeNothingIsDrawn) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    // Normal blending: an empty layer leaves the red fade as it was.
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "fadelayer"; $END = -1; $Z = 0;
                <PARAM> color = {255, 0, 0, 255}; </PARAM> </LAYER>
              <LAYER> $TYPE = "background"; $END = -1; $Z = 1;
                <PARAM> texture = "green.tga"; rotx = 0.01; fov = 60.0; </PARAM> </LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(background(rig).shape, BackgroundLayer::Shape::Nothing);
    EXPECT_EQ(rig.frame(0), 2);
    EXPECT_TRUE(fills(rig, 1, 0, 0));
    // A "type" naming no shape draws nothing either.
    EffectRig other;
    ASSERT_TRUE(other.load(overRed(R"(type = "cone"; texture = "green.tga";)")));
    ASSERT_TRUE(other.prepare());
    other.frame(0);
    EXPECT_EQ(background(other).shape, BackgroundLayer::Shape::Nothing);
    EXPECT_TRUE(fills(other, 0, 0, 0));  // an empty layer, overwriting
}

TEST(BackgroundLayer, CubeFillsTheViewFromTheTexture) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "cube"; texture = "green.tga"; roty = 0.03;)")));
    ASSERT_TRUE(rig.prepare());
    for (uint32_t t = 0; t < 2000; t += 400) {  // also while it turns
        rig.frame(t, 400);
        EXPECT_TRUE(fills(rig, 0, 1, 0)) << "at " << t;
    }
}

TEST(BackgroundLayer, SphereIsChosenIgnoringCaseAndFillsTheView) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "Sphere"; texture = "green.tga"; rotz = 0.05;)")));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(background(rig).shape, BackgroundLayer::Shape::Sphere);
    rig.frame(0);
    EXPECT_TRUE(fills(rig, 0, 1, 0));
}

TEST(BackgroundLayer, CubeFrontFaceShowsThePictureTurnedHalfWay) {
    // Seen from inside, the face ahead carries the picture turned by 180
    // degrees: its bottom right corner at the view's top left.
    TextureFolder files;
    files.quadrants("four.tga", kRed, kGreen, kBlue, kWhite);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "CUBE"; texture = "four.tga";)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(100, 100), 1, 1, 1, 3));
    EXPECT_TRUE(near(rig.pixel(412, 100), 0, 0, 1, 3));
    EXPECT_TRUE(near(rig.pixel(100, 412), 0, 1, 0, 3));
    EXPECT_TRUE(near(rig.pixel(412, 412), 1, 0, 0, 3));
}

TEST(BackgroundLayer, WithoutTextureShowsTheAccumulationPicture) {
    // The red fade composed before it is the texture; a "texture" that is
    // not a text names no file and does the same.
    for (const char* params : {R"(type = "cube";)", R"(type = "cube"; texture = 5;)"}) {
        SCOPED_TRACE(params);
        EffectRig rig;
        ASSERT_TRUE(rig.load(overRed(params, "$COLOR = {128, 255, 255, 255};")));
        ASSERT_TRUE(rig.prepare());
        EXPECT_TRUE(background(rig).useAccum);
        rig.frame(0);
        // The LAYER's COLOR tints the texture: half the red.
        EXPECT_TRUE(fills(rig, 128.0f / 255.0f, 0, 0));
    }
}

TEST(BackgroundLayer, FailedImageDrawsThePlainColour) {
    TextureFolder files;
    EffectRig rig;
    ASSERT_TRUE(rig.load(
        overRed(R"(type = "sphere"; texture = "missing.tga";)", "$COLOR = {255, 0, 255, 255};")));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(background(rig).texture, -1);
    rig.frame(0);
    EXPECT_TRUE(fills(rig, 1, 0, 1));
}

TEST(BackgroundLayer, AnimatedTypeSwitchesBetweenShapes) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "cube"; type(500) = "sphere"; type(900) = "box";)")));
    ASSERT_TRUE(rig.prepare());
    BackgroundLayer& bg = background(rig);
    rig.frame(0, 0);
    EXPECT_EQ(bg.shape, BackgroundLayer::Shape::Cube);
    rig.frame(600, 600);
    EXPECT_EQ(bg.shape, BackgroundLayer::Shape::Sphere);
    rig.frame(1000, 400);  // a name of no shape keeps the last one
    EXPECT_EQ(bg.shape, BackgroundLayer::Shape::Sphere);
}

TEST(BackgroundLayer, SpinsInDegreesPerMillisecond) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "cube"; rotx = 0.09; roty = -0.045; rotz = 0;)")));
    ASSERT_TRUE(rig.prepare());
    BackgroundLayer& bg = background(rig);
    for (int i = 0; i < 10; ++i) {
        rig.frame(static_cast<uint32_t>(i) * 100, 100);
    }
    EXPECT_NEAR(bg.angleX, 90.0f, 1e-3);
    EXPECT_NEAR(bg.angleY, -45.0f, 1e-3);
    EXPECT_FLOAT_EQ(bg.angleZ, 0.0f);  // an integer literal is not a float
    EXPECT_FLOAT_EQ(bg.spinZ, 0.0f);
}

TEST(BackgroundLayer, FieldOfViewIsClampedAtLoadOnly) {
    const struct {
        const char* given;
        float atLoad;
        float inView;  // the track writes the script's value back
    } cases[] = {{"0.0", 45.0f, 45.0f},  {"200.0", 150.0f, 179.0f}, {"0.5", 1.0f, 1.0f},
                 {"60.0", 60.0f, 60.0f}, {"170.0", 150.0f, 170.0f}, {"60", 45.0f, 45.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        EffectRig rig;
        ASSERT_TRUE(rig.load(overRed(std::string("type = \"cube\"; fov = ") + c.given + ";")));
        EXPECT_FLOAT_EQ(background(rig).fov, c.atLoad);
        ASSERT_TRUE(rig.prepare());
        EXPECT_FLOAT_EQ(BackgroundLayer::viewFov(background(rig).fov), c.inView);
    }
    EXPECT_FLOAT_EQ(BackgroundLayer::viewFov(std::nanf("")), BackgroundLayer::kDefaultFov);
}

TEST(BackgroundLayer, AWideFieldOfViewIsUsedAsGiven) {
    // At 170 degrees the face ahead covers only the middle of the view: a
    // point a little up and left of the centre already shows the left face
    // (the picture's blue lower-left corner), where 150 degrees would still
    // show the face ahead (its white corner).
    TextureFolder files;
    files.quadrants("four.tga", kRed, kGreen, kBlue, kWhite);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overRed(R"(type = "cube"; texture = "four.tga"; fov = 170.0;)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(250, 250), 1, 1, 1, 3));
    EXPECT_TRUE(near(rig.pixel(225, 225), 0, 0, 1, 3));
}

}  // namespace
}  // namespace kvx::effects
