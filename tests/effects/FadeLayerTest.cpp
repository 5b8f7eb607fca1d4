// fadelayer: parameter reading and binding, and the colour it draws.
#include <gtest/gtest.h>

#include <memory>

#include "effects/FadeLayer.h"
#include "effects/Registry.h"
#include "layers/LayerFactory.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

std::unique_ptr<FadeLayer> makeFade(const layers::LayerDesc& desc) {
    registerAll();
    layers::LayerDesc d = desc;
    d.type = "FadeLayer";  // matched ignoring case
    auto layer = layers::LayerFactory::create(d);
    auto* fade = dynamic_cast<FadeLayer*>(layer.get());
    EXPECT_NE(fade, nullptr);
    layer.release();
    auto out = std::unique_ptr<FadeLayer>(fade);
    if (out) {
        out->updateTracks(0);  // start-up's time-0 evaluation
    }
    return out;
}

void expectColour(const layers::Colour& got, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(got[0], r);
    EXPECT_FLOAT_EQ(got[1], g);
    EXPECT_FLOAT_EQ(got[2], b);
    EXPECT_FLOAT_EQ(got[3], a);
}

TEST(FadeLayer, WithoutParametersIsOpaqueWhite) {
    auto f = makeFade(layers::LayerDesc{});
    ASSERT_TRUE(f);
    expectColour(f->drawColour(), 1, 1, 1, 1);
}

TEST(FadeLayer, OverallFactorScalesAllFour) {
    layers::LayerDesc d;
    addFloat(d, "f", 0.5f);
    auto f = makeFade(d);
    ASSERT_TRUE(f);
    expectColour(f->drawColour(), 0.5f, 0.5f, 0.5f, 0.5f);
}

TEST(FadeLayer, ReadOnceNamesSetStartingValues) {
    layers::LayerDesc d;
    addFloat(d, "rg", 0.0f);
    addFloat(d, "rb", 0.25f);
    addFloat(d, "ra", 0.75f);
    auto f = makeFade(d);
    ASSERT_TRUE(f);
    expectColour(f->drawColour(), 1, 0, 0.25f, 0.75f);
    // Nothing animates them: they hold for the whole show.
    f->updateTracks(5000);
    expectColour(f->drawColour(), 1, 0, 0.25f, 0.75f);
}

TEST(FadeLayer, AnimatedNamesFollowTheirTracks) {
    layers::LayerDesc d;
    addFloat(d, "gf", 0.0f);
    addFloat(d, "gf", 1.0f, 1000, layers::Interpolation::Linear);
    addFloat(d, "rf", 0.2f);
    auto f = makeFade(d);
    ASSERT_TRUE(f);
    EXPECT_FLOAT_EQ(f->greenFactor, 0.0f);
    EXPECT_FLOAT_EQ(f->redFactor, 0.2f);
    f->updateTracks(500);
    EXPECT_NEAR(f->greenFactor, 0.5f, 1e-5);
    f->updateTracks(500);
    EXPECT_NEAR(f->greenFactor, 1.0f, 1e-5);
}

TEST(FadeLayer, ColourParameterIsReadAndAnimated) {
    layers::LayerDesc d;
    addColour(d, "color", {1.0f, 0.0f, 0.0f, 128.0f / 255.0f});
    auto f = makeFade(d);
    ASSERT_TRUE(f);
    expectColour(f->drawColour(), 1, 0, 0, 128.0f / 255.0f);
    expectColour(f->fadeColour, 1, 0, 0, 128.0f / 255.0f);
    // The LAYER's own COLOR attribute is a different thing.
    expectColour(f->colour, 1, 1, 1, 1);
}

}  // namespace
}  // namespace kvx::effects
