// The parameter readers the effects share: which kinds each one takes, what
// an absent parameter leaves, and which fields end up bound to their tracks.
#include <gtest/gtest.h>

#include "effects/EffectParams.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A layer that draws nothing; the tests call the readers on its own
// description so that bound fields follow its tracks.
class Probe final : public layers::Layer {
  public:
    explicit Probe(const layers::LayerDesc& d) { description = d; }
    bool loadParameters(const layers::LayerDesc&) override { return true; }
    void draw() override {}
};

TEST(EffectParams, TextReadersTakeOnlyText) {
    layers::LayerDesc d;
    addText(d, "file", "a.tga");
    addInt(d, "count", 3);
    core::String text("kept");
    EXPECT_FALSE(readText(d, "count", &text));
    EXPECT_FALSE(readText(d, "missing", &text));
    EXPECT_EQ(text.view(), "kept");
    EXPECT_TRUE(readText(d, "file", &text));
    EXPECT_EQ(text.view(), "a.tga");
    EXPECT_EQ(textParameter(d, "file").view(), "a.tga");
    EXPECT_EQ(textParameter(d, "count").view(), "");
}

TEST(EffectParams, SlotsReadAnyKindAndKeepTheFallbackWhenAbsent) {
    layers::LayerDesc d;
    addColour(d, "color", {0.25f, 0.5f, 0.75f, 1.0f});
    addInt(d, "whole", 7);
    addFloat(d, "half", 0.5f);
    const layers::Colour white{1.0f, 1.0f, 1.0f, 1.0f};
    EXPECT_EQ(colourSlot(d, "color", white), (layers::Colour{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_EQ(colourSlot(d, "tint", white), white);
    EXPECT_FLOAT_EQ(floatSlot(d, "half", 9.0f), 0.5f);
    EXPECT_FLOAT_EQ(floatSlot(d, "whole", 9.0f), 0.0f);  // an integer's float slot
    EXPECT_FLOAT_EQ(floatSlot(d, "missing", 9.0f), 9.0f);
    EXPECT_EQ(intSlot(d, "whole", 2), 7);
    EXPECT_EQ(intSlot(d, "missing", 2), 2);
}

TEST(EffectParams, BindingFollowsTheTrackOnlyWhereTheReaderBinds) {
    layers::LayerDesc d;
    addFloat(d, "ramp", 0.0f);
    addFloat(d, "ramp", 1.0f, 1000, layers::Interpolation::Linear);
    addFloat(d, "slope", 2.0f);
    addFloat(d, "slope", 4.0f, 1000, layers::Interpolation::Linear);
    addInt(d, "steps", 5);
    Probe probe(d);
    float ramp = -1.0f, slope = -1.0f, steps = -1.0f, absent = -1.0f;
    readSlotAndBindFloat(probe, probe.description, "ramp", &ramp);
    bindFloatIfGiven(probe, probe.description, "slope", &slope);
    bindFloatIfGiven(probe, probe.description, "steps", &steps);
    readSlotAndBindFloat(probe, probe.description, "absent", &absent);
    EXPECT_FLOAT_EQ(ramp, 0.0f);    // read at load
    EXPECT_FLOAT_EQ(slope, -1.0f);  // bound, not read
    EXPECT_FLOAT_EQ(absent, -1.0f);
    probe.updateTracks(0);
    probe.updateTracks(500);
    EXPECT_NEAR(ramp, 0.5f, 1e-5);
    EXPECT_NEAR(slope, 3.0f, 1e-5);
    EXPECT_FLOAT_EQ(steps, -1.0f);  // an integer is not bound as a float
}

}  // namespace
}  // namespace kvx::effects
