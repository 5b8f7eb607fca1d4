// radialblur: copies of the accumulation picture, their opacities and
// magnification, the plain overlay, and the target's own state after the
// small buffer was used.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "effects/RadialBlurLayer.h"
#include "support/EffectMaker.h"
#include "support/EffectRig.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A backdrop of one fade colour (Z 0) with a rectangle laid over it, then a
// radialblur (Z 5) with the given attributes and parameters, overwriting
// the frame so that the accumulation buffer holds the blur alone.
class BlurRig {
  public:
    BlurRig(const std::string& backdrop, const std::string& blur, float x0, float y0, float x1,
            float y1, layers::Colour rect) {
        loaded = rig.load(R"(<LAYER> $TYPE = "fadelayer"; $END = -1; $BLENDING = "overwrite";
            <PARAM> color = )" +
                          backdrop + R"(; </PARAM> </LAYER>
            <LAYER> $TYPE = "radialblur"; $END = -1; $Z = 5; $BLENDING = "overwrite"; )" +
                          blur + " </LAYER>") &&
                 rig.layers().size() == 2;
        if (loaded) {
            rig.insertRect(1, x0, y0, x1, y1, rect);
            loaded = rig.prepare();
        }
    }
    EffectRig rig;
    bool loaded = false;
};

TEST(RadialBlurLayer, OneCopyIsThePlainPictureAtAlphaTimesA) {
    // alpha 0.5 and a COLOR alpha of 128: every pixel at 0.5 x 128/255 of
    // the picture, the rectangle still in the top-left corner (no flip, no
    // magnification, no blending of the small buffer leaking into the
    // target).
    BlurRig b("{0, 0, 255, 255}",
              R"($COLOR = {255, 255, 255, 128}; <PARAM> iterations = 1; alpha = 0.5; </PARAM>)", 0,
              0, 128, 64, {1.0f, 0.0f, 0.0f, 1.0f});
    ASSERT_TRUE(b.loaded);
    b.rig.frame(0);
    const float k = 0.5f * 128.0f / 255.0f;
    EXPECT_TRUE(near(b.rig.pixel(40, 30), k, 0, 0));
    EXPECT_TRUE(near(b.rig.pixel(110, 50), k, 0, 0));
    EXPECT_TRUE(near(b.rig.pixel(40, 480), 0, 0, k));
    EXPECT_TRUE(near(b.rig.pixel(300, 30), 0, 0, k));
    EXPECT_TRUE(near(b.rig.pixel(140, 30), 0, 0, k));
    EXPECT_TRUE(near(b.rig.pixel(40, 80), 0, 0, k));
}

TEST(RadialBlurLayer, DefaultsShowAFaintCopy) {
    BlurRig b("{0, 255, 0, 255}", "", 0, 0, 1, 1, {0, 0, 0, 0});
    ASSERT_TRUE(b.loaded);
    b.rig.frame(0);
    EXPECT_TRUE(near(b.rig.pixel(256, 256), 0, 0.1f, 0));
    EXPECT_TRUE(near(b.rig.pixel(500, 10), 0, 0.1f, 0));
}

TEST(RadialBlurLayer, LaterCopiesMagnifyTheCentre) {
    // delta 500 and 10 copies: copy k spans k x 0.05 .. 1 - k x 0.05, so at
    // the left edge copies 8 and 9 show the green centre square (0.39 ..
    // 0.61) and copies 0 .. 7 the red backdrop. Their opacities fall by
    // 0.9 / 100 per copy from 0.5.
    BlurRig b("{255, 0, 0, 255}", "<PARAM> iterations = 10; delta = 500; alpha = 0.5; </PARAM>",
              200, 200, 312, 312, {0.0f, 1.0f, 0.0f, 1.0f});
    ASSERT_TRUE(b.loaded);
    b.rig.frame(0);
    const float green = (0.5f - 8 * 0.009f) + (0.5f - 9 * 0.009f);
    EXPECT_TRUE(near(b.rig.pixel(10, 256), 1.0f, green, 0, 4));
    // The centre is green in every copy: the sum saturates.
    EXPECT_TRUE(near(b.rig.pixel(256, 256), 0, 1, 0));
    auto& blur = dynamic_cast<RadialBlurLayer&>(b.rig.layer(2));
    EXPECT_FLOAT_EQ(blur.copyOpacity(0), 0.5f);
    EXPECT_FLOAT_EQ(blur.copyOpacity(9), 0.5f - 9 * 0.009f);
}

TEST(RadialBlurLayer, ShowFirstLaysThePlainPictureOver) {
    // Blur: the picture at opacity 1 x a = 0.5, so the target holds 0.5 P.
    // The plain pass adds P at alpha 0.5: with "overlay" it blends
    // (0.5 P + 0.5 x 0.5 P), without it adds (0.5 P + 0.5 P).
    const char* params[3] = {
        "<PARAM> alpha = 1.0; </PARAM>",
        "<PARAM> alpha = 1.0; showfirst = 1; overlay = 1; </PARAM>",
        "<PARAM> alpha = 1.0; showfirst = 1; overlay = 0; </PARAM>",
    };
    const float want[3] = {0.2f, 0.3f, 0.4f};
    for (int i = 0; i < 3; ++i) {
        BlurRig b("{102, 0, 0, 255}", std::string("$COLOR = {255, 255, 255, 128}; ") + params[i], 0,
                  0, 1, 1, {0, 0, 0, 0});
        ASSERT_TRUE(b.loaded);
        b.rig.frame(0);
        EXPECT_TRUE(near(b.rig.pixel(256, 256), want[i], 0, 0, 3)) << params[i];
    }
}

TEST(RadialBlurLayer, IterationsBelowOneAtStartBecomeOneButLaterDrawNothing) {
    layers::LayerDesc d;
    addInt(d, "iterations", -4);
    EXPECT_EQ(makeEffect<RadialBlurLayer>("radialblur", d)->iterations, 1);

    // Keyframed to 0 after 100 ms: no copies, an empty picture.
    BlurRig b("{255, 255, 255, 255}", "<PARAM> iterations = 1; iterations(100) = 0; </PARAM>", 0, 0,
              1, 1, {0, 0, 0, 0});
    ASSERT_TRUE(b.loaded);
    b.rig.frame(0, 0);
    EXPECT_TRUE(near(b.rig.pixel(256, 256), 0.1f, 0.1f, 0.1f));
    b.rig.frame(200, 200);
    EXPECT_TRUE(near(b.rig.pixel(256, 256), 0, 0, 0));
}

TEST(RadialBlurLayer, AbsurdCopyCountsAreBounded) {
    // 100000 copies would square past the int range; the count is held at
    // the bound and the opacities stay finite and falling.
    layers::LayerDesc d;
    addInt(d, "iterations", 100000);
    addFloat(d, "alpha", 0.5f);
    auto blur = makeEffect<RadialBlurLayer>("radialblur", d);
    ASSERT_TRUE(blur);
    const int last = RadialBlurLayer::kMaxIterations - 1;
    const float decrement = 0.9f / static_cast<float>(RadialBlurLayer::kMaxIterations *
                                                      RadialBlurLayer::kMaxIterations);
    EXPECT_NEAR(blur->copyOpacity(last), 0.5f - last * decrement, 1e-6);
    EXPECT_GT(blur->copyOpacity(last), 0.0f);
}

TEST(RadialBlurLayer, ParametersOfTheWrongKindAreIgnored) {
    layers::LayerDesc d;
    addFloat(d, "iterations", 5.0f);
    addInt(d, "alpha", 1);
    addFloat(d, "delta", 3.0f);
    addFloat(d, "showfirst", 1.0f);  // any kind: the int slot, 0 here
    addText(d, "overlay", "yes");
    auto blur = makeEffect<RadialBlurLayer>("radialblur", d);
    ASSERT_TRUE(blur);
    EXPECT_EQ(blur->iterations, 1);
    EXPECT_FLOAT_EQ(blur->alpha, 0.1f);
    EXPECT_EQ(blur->delta, 100);
    EXPECT_EQ(blur->showFirst, 0);
    EXPECT_EQ(blur->overlay, 0);
}

}  // namespace
}  // namespace kvx::effects
