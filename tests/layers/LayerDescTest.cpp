// LayerDesc: filing parameters, lookup, binding and updating.
#include <gtest/gtest.h>

#include "layers/BlendMode.h"
#include "layers/LayerDesc.h"

namespace kvx::layers {
namespace {

Track value(float f, int i = 0) {
    Keyframe k;
    k.floatValue = f;
    k.intValue = i;
    k.kind = ValueKind::Float;
    k.time = 99;  // ignored: addParam sets the time
    k.interpolation = Interpolation::Smooth;
    return Track(k);
}

TEST(LayerDesc, Defaults) {
    LayerDesc d;
    EXPECT_STREQ(d.type.text(), "undefined");
    EXPECT_STREQ(d.blending.text(), "normal");
    EXPECT_EQ(d.colour[0], 1.0f);
    EXPECT_EQ(d.colour[3], 1.0f);
    EXPECT_EQ(d.start, 0);
    EXPECT_EQ(d.end, 0);
    EXPECT_FALSE(d.keepZBuffer);
    EXPECT_EQ(d.paramCount(), 0);
}

TEST(LayerDesc, AddParamBuildsOneTrackPerNameInTimeOrder) {
    LayerDesc d;
    d.addParam("alpha", value(1.0f), 2000, Interpolation::Linear);
    d.addParam("speed", value(3.0f), 0, Interpolation::Step);
    d.addParam("alpha", value(0.0f), 0, Interpolation::Step);
    ASSERT_EQ(d.paramCount(), 2);
    // The entry touched last is at the head.
    EXPECT_STREQ(d.paramNames.ref(0).text(), "alpha");
    EXPECT_EQ(d.paramTracks.count(), 2);
    const Track alpha = d.findTrack("alpha");
    ASSERT_EQ(alpha.keyframeCount(), 2);
    EXPECT_EQ(alpha.keyframe(0).time, 0u);
    EXPECT_FLOAT_EQ(alpha.keyframe(0).floatValue, 0.0f);
    EXPECT_EQ(alpha.keyframe(1).time, 2000u);
    EXPECT_EQ(alpha.keyframe(1).interpolation, Interpolation::Linear);
    EXPECT_EQ(d.findTrack("speed").current().interpolation, Interpolation::Step);
}

TEST(LayerDesc, FindIsCaseSensitiveAndDefaultsWhenMissing) {
    LayerDesc d;
    d.addParam("Alpha", value(1.0f), 0, Interpolation::Step);
    EXPECT_EQ(d.findTrack("alpha").current().kind, ValueKind::None);
    EXPECT_EQ(d.findTrack("Alpha").current().kind, ValueKind::Float);
}

TEST(LayerDesc, BindsKeepEarlierBindingsAndMoveToHead) {
    LayerDesc d;
    d.addParam("a", value(1.0f, 1), 0, Interpolation::Step);
    d.addParam("b", value(2.0f, 2), 0, Interpolation::Step);
    float f = 0.0f;
    int i = 0;
    d.bindFloat("a", &f);
    d.bindInt("a", &i);
    EXPECT_STREQ(d.paramNames.ref(0).text(), "a");
    float unused = -5.0f;
    d.bindFloat("missing", &unused);
    d.updateTracks(0);
    EXPECT_FLOAT_EQ(f, 1.0f);
    EXPECT_EQ(i, 1);
    EXPECT_FLOAT_EQ(unused, -5.0f);
    // Names still pair with their tracks after the moves.
    EXPECT_EQ(d.findTrack("b").current().intValue, 2);
}

TEST(LayerDesc, UpdateTracksAdvancesEveryTrack) {
    LayerDesc d;
    d.addParam("a", value(0.0f), 0, Interpolation::Step);
    d.addParam("a", value(10.0f), 1000, Interpolation::Linear);
    d.addParam("b", value(0.0f), 0, Interpolation::Step);
    d.addParam("b", value(20.0f), 1000, Interpolation::Linear);
    float a = 0.0f;
    float b = 0.0f;
    d.bindFloat("a", &a);
    d.bindFloat("b", &b);
    d.updateTracks(0);
    d.updateTracks(500);
    EXPECT_FLOAT_EQ(a, 5.0f);
    EXPECT_FLOAT_EQ(b, 10.0f);
}

TEST(LayerDesc, CopyKeepsOrderAndDeepTracks) {
    LayerDesc d;
    d.addParam("a", value(1.0f), 0, Interpolation::Step);
    d.addParam("b", value(2.0f), 0, Interpolation::Step);
    LayerDesc copy = d;
    d.addParam("a", value(5.0f), 100, Interpolation::Step);
    EXPECT_EQ(copy.findTrack("a").keyframeCount(), 1);
    EXPECT_STREQ(copy.paramNames.ref(0).text(), "b");
}

TEST(LayerDesc, ManyKeyframesStayOrdered) {
    LayerDesc d;
    for (uint32_t t = 0; t < 2000; ++t) {
        d.addParam("p", value(static_cast<float>(t)), (t * 7919u) % 2000u, Interpolation::Linear);
    }
    const Track p = d.findTrack("p");
    ASSERT_EQ(p.keyframeCount(), 2000);
    for (int i = 1; i < p.keyframeCount(); ++i) {
        ASSERT_LE(p.keyframe(i - 1).time, p.keyframe(i).time);
    }
}

TEST(BlendMode, Keywords) {
    EXPECT_EQ(blendModeFromKeyword("normal"), BlendMode::Normal);
    EXPECT_EQ(blendModeFromKeyword("Additive"), BlendMode::Additive);
    EXPECT_EQ(blendModeFromKeyword("OVERWRITE"), BlendMode::Overwrite);
    EXPECT_EQ(blendModeFromKeyword("add"), BlendMode::Normal);
    EXPECT_EQ(blendModeFromKeyword(""), BlendMode::Normal);
    EXPECT_TRUE(isBlendKeyword("Normal"));
    EXPECT_FALSE(isBlendKeyword("multiply"));
}

}  // namespace
}  // namespace kvx::layers
