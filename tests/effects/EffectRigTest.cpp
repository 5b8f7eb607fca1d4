// The effect test rig itself: pixels come back where a layer drew them.
#include <gtest/gtest.h>

#include "support/EffectRig.h"

namespace kvx::test {
namespace {

TEST(EffectRig, ReadsThePictureInLayerCoordinates) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "fadelayer"; $END = 1000; $BLENDING = "overwrite";
        <PARAM> color = {0, 0, 255, 255}; </PARAM> </LAYER>)"));
    ASSERT_EQ(rig.layers().size(), 1u);
    auto rect = std::make_unique<RectLayer>(0.0f, 0.0f, 128.0f, 64.0f,
                                            layers::Colour{1.0f, 0.0f, 0.0f, 1.0f});
    rect->end = 1000;
    rig.layers().push_back(std::move(rect));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(rig.frame(0), 2);
    EXPECT_TRUE(near(rig.pixel(10, 10), 1, 0, 0));  // top left: the rectangle
    EXPECT_TRUE(near(rig.pixel(120, 60), 1, 0, 0));
    EXPECT_TRUE(near(rig.pixel(10, 200), 0, 0, 1));  // below it: the fade
    EXPECT_TRUE(near(rig.pixel(300, 10), 0, 0, 1));  // right of it
    EXPECT_TRUE(near(rig.layerPixel(10, 10), 1, 0, 0));
    EXPECT_TRUE(near(rig.layerPixel(10, 200), 0, 0, 0));
}

}  // namespace
}  // namespace kvx::test
