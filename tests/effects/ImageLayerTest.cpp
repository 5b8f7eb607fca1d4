// imagelayer: placement in layer fractions, orientation, opacity and its
// per-frame fade, motion, the offscreen sources, failed images, and the
// clamping of absurd positions and angles.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "effects/ImageLayer.h"
#include "support/EffectRig.h"
#include "support/TextureFolder.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// An image layer over a black one, with the given parameters.
std::string overBlack(const std::string& params, const std::string& attributes = "") {
    return backdrop("{0, 0, 0, 255}") + layerText("imagelayer", params, "$Z = 1; " + attributes);
}

ImageLayer& image(EffectRig& rig) {
    return rig.last<ImageLayer>();
}

TEST(ImageLayer, PlacementIsInFractionsOfTheLayer) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    // The same rectangle whatever the field of view: the camera stands where
    // the layer is seen at pixel scale, also for narrow angles.
    for (const char* fov : {"", "fov = 10.0;", "fov = 90.0;"}) {
        SCOPED_TRACE(fov);
        EffectRig rig;
        ASSERT_TRUE(rig.load(overBlack(std::string(R"(filename = "green.tga";
            x = 0.25; y = 0.25; w = 0.5; h = 0.5; )") +
                                       fov)));
        ASSERT_TRUE(rig.prepare());
        rig.frame(0);
        const ImageLayer& im = image(rig);
        EXPECT_EQ(im.left, -128);
        EXPECT_EQ(im.right, 128);
        EXPECT_EQ(im.top, -128);
        EXPECT_EQ(im.bottom, 128);
        for (float p : {136.0f, 256.0f, 376.0f}) {
            EXPECT_TRUE(near(rig.pixel(p, 256), 0, 1, 0)) << p;
            EXPECT_TRUE(near(rig.pixel(256, p), 0, 1, 0)) << p;
        }
        for (float p : {120.0f, 392.0f}) {
            EXPECT_TRUE(near(rig.pixel(p, 256), 0, 0, 0)) << p;
            EXPECT_TRUE(near(rig.pixel(256, p), 0, 0, 0)) << p;
        }
    }
}

TEST(ImageLayer, WholeLayerShowsThePictureUpright) {
    TextureFolder files;
    files.quadrants("four.tga", kRed, kGreen, kBlue, kWhite);
    EffectRig rig;
    ASSERT_TRUE(
        rig.load(overBlack(R"(filename = "four.tga"; x = 0.0; y = 0.0; w = 1.0; h = 1.0;)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(100, 100), 1, 0, 0));
    EXPECT_TRUE(near(rig.pixel(412, 100), 0, 1, 0));
    EXPECT_TRUE(near(rig.pixel(100, 412), 0, 0, 1));
    EXPECT_TRUE(near(rig.pixel(412, 412), 1, 1, 1));
}

TEST(ImageLayer, WithoutSizeNothingIsVisible) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overBlack(R"(filename = "green.tga"; x = 0.5; y = 0.5;)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 0, 0));
    EXPECT_EQ(image(rig).left, image(rig).right);
}

TEST(ImageLayer, OpacityAndItsFadePerFrame) {
    TextureFolder files;
    files.solid("white.tga", kWhite);
    EffectRig rig;
    ASSERT_TRUE(rig.load(
        overBlack(R"(filename = "white.tga"; x = 0.0; y = 0.0; w = 1.0; h = 1.0; alpha = 0.5;)",
                  "$COLOR = {255, 255, 0, 255};")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    // Normal blending over black: half of the layer colour.
    EXPECT_TRUE(near(rig.pixel(256, 256), 0.5f, 0.5f, 0, 3));

    // "da" steps once per frame, however long the frames are, and stops at 1.
    for (uint32_t dt : {1u, 100u}) {
        EffectRig fade(0.25f);  // small buffers: fifty frames are cheap
        ASSERT_TRUE(fade.load(overBlack(R"(filename = "white.tga"; w = 1.0; h = 1.0;
            alpha = 0.0; da = 0.01;)")));
        ASSERT_TRUE(fade.prepare());
        for (uint32_t i = 0; i < 50; ++i) {
            fade.frame(i * dt, dt);
        }
        EXPECT_NEAR(image(fade).alpha, 0.5f, 1e-4) << dt;
        EXPECT_TRUE(near(fade.pixel(256, 256), 0.5f, 0.5f, 0.5f, 3));
        for (int i = 0; i < 60; ++i) {
            image(fade).advance(dt);
        }
        EXPECT_FLOAT_EQ(image(fade).alpha, 1.0f);
    }
}

TEST(ImageLayer, MovesAtItsRatesPerMillisecond) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overBlack(R"(filename = "green.tga"; w = 0.25; h = 1.0;
        dx = 0.0001; dw = 0.0001;)")));
    ASSERT_TRUE(rig.prepare());
    for (uint32_t t = 0; t < 1000; t += 100) {
        rig.frame(t, 100);
    }
    // A tenth of the width in a second: left at 51 (51.2 rounded), width 179.
    const ImageLayer& im = image(rig);
    EXPECT_NEAR(im.x, 0.1f, 1e-5);
    EXPECT_EQ(im.left, 51 - 256);
    EXPECT_EQ(im.right - im.left, 179);
    EXPECT_TRUE(near(rig.pixel(48, 256), 0, 0, 0));
    EXPECT_TRUE(near(rig.pixel(56, 256), 0, 1, 0));
    EXPECT_TRUE(near(rig.pixel(226, 256), 0, 1, 0));
    EXPECT_TRUE(near(rig.pixel(234, 256), 0, 0, 0));
}

TEST(ImageLayer, IntegerLiteralsReadAsZeroInFloatSlots) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(overBlack(R"(x = 1; w = 1; h = 1.0; alpha = 1; rx = 30; scale = 2;)")));
    ASSERT_TRUE(rig.prepare());
    const ImageLayer& im = image(rig);
    EXPECT_FLOAT_EQ(im.x, 0.0f);
    EXPECT_FLOAT_EQ(im.w, 0.0f);
    EXPECT_FLOAT_EQ(im.h, 1.0f);
    EXPECT_FLOAT_EQ(im.alpha, 0.0f);
    // Names that take only a float keep their defaults.
    EXPECT_FLOAT_EQ(im.rotX, 0.0f);
    EXPECT_FLOAT_EQ(im.scale, 1.0f);
}

TEST(ImageLayer, WithoutFileItShowsTheChosenBuffer) {
    // A green fade drawn into target buffer 1 only; source 1 shows it, an
    // unknown source means the accumulation buffer, which holds no green.
    const std::string greenInTarget1 =
        R"(<LAYER> $TYPE = "fadelayer"; $END = -1; $Z = 0; $TARGET = 1; $BLENDING = "overwrite";
             <PARAM> color = {0, 255, 0, 255}; </PARAM> </LAYER>)";
    for (int source : {1, 5, 2}) {
        SCOPED_TRACE(source);
        EffectRig rig;
        ASSERT_TRUE(rig.load(greenInTarget1 + R"(<LAYER> $TYPE = "imagelayer"; $END = -1; $Z = 1;
            $BLENDING = "overwrite"; <PARAM> w = 1.0; h = 1.0; source = )" +
                             std::to_string(source) + "; </PARAM> </LAYER>"));
        ASSERT_TRUE(rig.prepare());
        EXPECT_EQ(image(rig).effectiveSource(), source == 1 ? 1 : (source == 2 ? 2 : 0));
        rig.frame(0);
        rig.frame(16);
        const Rgba px = rig.pixel(256, 256);
        if (source == 1) {
            EXPECT_TRUE(near(px, 0, 1, 0));
        } else {
            EXPECT_LT(px[1], 64);
        }
    }
}

TEST(ImageLayer, FailedImageDrawsAPlainRectangle) {
    TextureFolder files;
    EffectRig rig;
    ASSERT_TRUE(rig.load(overBlack(R"(filename = "missing.tga"; x = 0.25; w = 0.5; h = 1.0;)",
                                   "$COLOR = {255, 255, 0, 255};")));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(image(rig).texture, -1);
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(256, 256), 1, 1, 0));
    EXPECT_TRUE(near(rig.pixel(100, 256), 0, 0, 0));
}

TEST(ImageLayer, ShowRoundingAndItsLimits) {
    EXPECT_EQ(ImageLayer::pixelRound(2.5), 3);
    EXPECT_EQ(ImageLayer::pixelRound(2.49), 2);
    EXPECT_EQ(ImageLayer::pixelRound(-2.5), -2);  // negatives truncate
    EXPECT_EQ(ImageLayer::pixelRound(-0.7), 0);
    EXPECT_EQ(ImageLayer::pixelRound(1e300), ImageLayer::kCoordLimit);
    EXPECT_EQ(ImageLayer::pixelRound(-1e300), -ImageLayer::kCoordLimit);
    EXPECT_EQ(ImageLayer::pixelRound(HUGE_VAL), ImageLayer::kCoordLimit);
    EXPECT_EQ(ImageLayer::pixelRound(std::nan("")), 0);
}

TEST(ImageLayer, HugePositionsAreClampedNotOverflowed) {
    TextureFolder files;
    files.solid("green.tga", kGreen);
    EffectRig rig;
    ASSERT_TRUE(rig.load(overBlack(R"(filename = "green.tga";)")));
    ASSERT_TRUE(rig.prepare());
    ImageLayer& im = image(rig);
    // Unbound fields: set them as a runaway animation would leave them.
    im.x = -1e30f;
    im.w = 1e31f;
    im.y = -1e30f;
    im.h = FLT_MAX;
    im.dh = FLT_MAX;  // h overflows to infinity
    rig.frame(0);
    EXPECT_EQ(im.left, -ImageLayer::kCoordLimit);
    EXPECT_EQ(im.right, ImageLayer::kCoordLimit);
    EXPECT_EQ(im.top, -ImageLayer::kCoordLimit);
    EXPECT_EQ(im.bottom, ImageLayer::kCoordLimit);
    // A rectangle far larger than the layer covers all of it.
    EXPECT_TRUE(near(rig.pixel(5, 5), 0, 1, 0));
    EXPECT_TRUE(near(rig.pixel(506, 506), 0, 1, 0));

    im.x = std::nanf("");
    im.alpha = std::nanf("");
    rig.frame(16);
    EXPECT_EQ(im.left, -256);  // not a number places the edge at 0
    EXPECT_FLOAT_EQ(im.alpha, 0.0f);
}

TEST(ImageLayer, FieldOfViewIsClampedAtLoad) {
    const struct {
        const char* given;
        float atLoad;
        float inView;  // the track writes the script's value back
    } cases[] = {{"0.0", 45.0f, 45.0f},
                 {"5.0", 10.0f, 5.0f},
                 {"400.0", 179.0f, 179.0f},
                 {"30.0", 30.0f, 30.0f},
                 {"0.5", 10.0f, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        EffectRig rig;
        ASSERT_TRUE(rig.load(overBlack(std::string("fov = ") + c.given + ";")));
        EXPECT_FLOAT_EQ(image(rig).fov, c.atLoad);
        EXPECT_FLOAT_EQ(image(rig).tanHalfFov, std::tan(c.atLoad * 0.008726389f));
        ASSERT_TRUE(rig.prepare());
        EXPECT_FLOAT_EQ(ImageLayer::viewFov(image(rig).fov), c.inView);
    }
    EXPECT_FLOAT_EQ(ImageLayer::viewFov(std::nanf("")), ImageLayer::kDefaultFov);
}

TEST(ImageLayer, AFieldOfViewBelowTheLoadLimitZoomsIn) {
    // Loaded as 10 (the camera distance), drawn at 5 (at once, or from the
    // keyframe on): twice the size. A rectangle 128 wide about the centre
    // then spans 256.
    TextureFolder files;
    files.solid("green.tga", kGreen);
    for (const char* fov : {"fov = 5.0;", "fov = 10.0; fov{100} = 5.0;"}) {
        SCOPED_TRACE(fov);
        EffectRig rig;
        ASSERT_TRUE(rig.load(overBlack(std::string(R"(filename = "green.tga";
            x = 0.375; y = 0.375; w = 0.25; h = 0.25; )") +
                                       fov)));
        ASSERT_TRUE(rig.prepare());
        rig.frame(0, 0);
        rig.frame(100, 100);
        EXPECT_FLOAT_EQ(image(rig).fov, 5.0f);
        EXPECT_TRUE(near(rig.pixel(256, 256), 0, 1, 0));
        EXPECT_TRUE(near(rig.pixel(140, 256), 0, 1, 0));
        EXPECT_TRUE(near(rig.pixel(256, 372), 0, 1, 0));
        EXPECT_TRUE(near(rig.pixel(116, 256), 0, 0, 0));
    }
}

}  // namespace
}  // namespace kvx::effects
