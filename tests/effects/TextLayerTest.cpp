// textlayer: parameters, and where its characters land in the picture. The
// font sheet gives every cell one colour, so a pixel tells which character
// was drawn there.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "effects/TextLayer.h"
#include "support/CellSheet.h"
#include "support/EffectRig.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

bool isCell(const Rgba& px, int n, float scaleR = 1.0f, float scaleG = 1.0f, float scaleB = 1.0f) {
    const CellColour c = cellColour(n);
    return std::abs(px[0] - std::lround(c.r * scaleR)) <= 2 &&
           std::abs(px[1] - std::lround(c.g * scaleG)) <= 2 &&
           std::abs(px[2] - std::lround(c.b * scaleB)) <= 2;
}

bool isEmpty(const Rgba& px) {
    return px[0] == 0 && px[1] == 0 && px[2] == 0;
}

class TextLayerPicture : public ::testing::Test {
  protected:
    // One textlayer with these parameters, drawn unblended; the first frame
    // is drawn at show time 0 after a track step of dt.
    bool show(const std::string& params, uint32_t dt = 0) {
        const std::string text =
            R"(<LAYER> $TYPE = "textlayer"; $END = -1; $BLENDING = "overwrite"; <PARAM>)" + params +
            "</PARAM></LAYER>";
        if (!rig_.load(text) || rig_.layers().size() != 1 || !rig_.prepare()) {
            return false;
        }
        return rig_.frame(0, dt) == 1;
    }
    TextLayer& layer() { return dynamic_cast<TextLayer&>(rig_.layer(0)); }

    CellSheetFolder files_;
    EffectRig rig_;
};

TEST_F(TextLayerPicture, FontSizeCellsFromTheTopLeftAndASecondLineOneCellLower) {
    // A 16 x 16 sheet: 32 x 32 units per character by default.
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; text = "AB\nC";)"));
    EXPECT_TRUE(isCell(rig_.pixel(2, 2), 'A'));
    EXPECT_TRUE(isCell(rig_.pixel(30, 30), 'A'));
    EXPECT_TRUE(isCell(rig_.pixel(34, 16), 'B'));
    EXPECT_TRUE(isCell(rig_.pixel(62, 16), 'B'));
    EXPECT_TRUE(isEmpty(rig_.pixel(66, 16)));
    // The line feed starts the next line under the A.
    EXPECT_TRUE(isCell(rig_.pixel(16, 34), 'C'));
    EXPECT_TRUE(isCell(rig_.pixel(16, 62), 'C'));
    EXPECT_TRUE(isEmpty(rig_.pixel(48, 48)));
    EXPECT_TRUE(isEmpty(rig_.pixel(16, 66)));
}

TEST_F(TextLayerPicture, SizeAndPlaceAreFractionsOfTheLayer) {
    // w = 0.1 of 512 units: 51.2 units per character; x = y = 0.5: centre.
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; text = "AB"; w = 0.1; h = 0.05;
                        x = 0.5; y = 0.5;)"));
    EXPECT_TRUE(isEmpty(rig_.pixel(254, 260)));
    EXPECT_TRUE(isCell(rig_.pixel(258, 258), 'A'));
    EXPECT_TRUE(isCell(rig_.pixel(256 + 50, 256 + 24), 'A'));
    EXPECT_TRUE(isCell(rig_.pixel(256 + 53, 260), 'B'));
    EXPECT_TRUE(isCell(rig_.pixel(256 + 101, 260), 'B'));
    EXPECT_TRUE(isEmpty(rig_.pixel(256 + 104, 260)));
    EXPECT_TRUE(isEmpty(rig_.pixel(260, 256 + 27)));  // 25.6 high
}

TEST_F(TextLayerPicture, TurnsAboutTheLayersCentre) {
    // Half a turn about z takes the top-left cell to the bottom-right corner.
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; text = "A"; rz = 0.0; rz{1000} = 360.0;)", 500));
    EXPECT_NEAR(layer().rotZ, 180.0f, 0.01f);
    EXPECT_TRUE(isCell(rig_.pixel(496, 496), 'A'));
    EXPECT_TRUE(isEmpty(rig_.pixel(16, 16)));
}

TEST_F(TextLayerPicture, EveryFieldOfViewSeesTheSamePlane) {
    // The narrowest view puts the eye 2 900 units away, beyond the usual
    // far plane; the text must still show, at the same place.
    for (const char* fov : {"fov = 5.0;", "fov = 90.0;", "fov = 180.0;"}) {
        EffectRig rig;
        ASSERT_TRUE(rig.load(std::string(R"(<LAYER> $TYPE = "textlayer"; $END = -1;
            <PARAM> fontfile = "cells.tga"; text = "A"; x = 0.25; y = 0.25; )") +
                             fov + "</PARAM></LAYER>"));
        ASSERT_TRUE(rig.prepare());
        ASSERT_EQ(rig.frame(0), 1);
        EXPECT_TRUE(isCell(rig.pixel(130, 130), 'A')) << fov;
        EXPECT_TRUE(isCell(rig.pixel(158, 158), 'A')) << fov;
        EXPECT_TRUE(isEmpty(rig.pixel(126, 126))) << fov;
        EXPECT_TRUE(isEmpty(rig.pixel(162, 162))) << fov;
    }
}

TEST_F(TextLayerPicture, ColourTimesItsFactors) {
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; text = "A"; color = {255, 255, 255, 255};
                        rf = 0.5; rb = 0; f = 1.0;)"));
    EXPECT_TRUE(isCell(rig_.pixel(16, 16), 'A', 0.5f, 1.0f, 0.0f));
}

TEST_F(TextLayerPicture, OffsetNamesTheCodeOfTheFirstCell) {
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; offset = 32; text = "!";)"));
    EXPECT_TRUE(isCell(rig_.pixel(16, 16), 1));
}

TEST_F(TextLayerPicture, AnUnloadableSheetDrawsNothing) {
    for (const char* params : {R"(fontfile = "missing.tga"; text = "AAAA";)",
                               R"(fontfile = "cells.tga"; cols = 0; text = "AAAA";)",
                               R"(fontfile = "cells.tga"; rows = -4; text = "AAAA";)"}) {
        EffectRig rig;
        ASSERT_TRUE(rig.load(std::string(R"(<LAYER> $TYPE = "textlayer"; $END = -1;
            $BLENDING = "overwrite"; <PARAM>)") +
                             params + "</PARAM></LAYER>"));
        ASSERT_TRUE(rig.prepare());
        ASSERT_EQ(rig.frame(0), 1);
        for (int x = 4; x < 140; x += 8) {
            EXPECT_TRUE(isEmpty(rig.pixel(static_cast<float>(x), 16))) << params << " x " << x;
        }
        rig.layer(0).release();
    }
}

TEST_F(TextLayerPicture, AnimatedTextChangesAtItsKeyframes) {
    ASSERT_TRUE(show(R"(fontfile = "cells.tga"; text = "A"; text(100) = "B";)"));
    EXPECT_TRUE(isCell(rig_.pixel(16, 16), 'A'));
    rig_.frame(100, 100);
    EXPECT_EQ(layer().text, core::String("B"));
    EXPECT_TRUE(isCell(rig_.pixel(16, 16), 'B'));
}

TEST(TextLayer, FieldOfViewIsClampedAndFixed) {
    EXPECT_EQ(TextLayer::clampFov(5.0f), 10.0f);
    EXPECT_EQ(TextLayer::clampFov(180.0f), 179.0f);
    EXPECT_EQ(TextLayer::clampFov(0.0f), 45.0f);
    EXPECT_EQ(TextLayer::clampFov(std::nanf("")), 45.0f);
    EXPECT_EQ(TextLayer::clampFov(60.0f), 60.0f);
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "textlayer"; $END = -1;
        <PARAM> fov = 30.0; fov{1000} = 90.0; </PARAM></LAYER>)"));
    auto& t = dynamic_cast<TextLayer&>(rig.layer(0));
    t.updateTracks(0);
    t.updateTracks(1000);
    EXPECT_EQ(t.fov, 30.0f);
    EXPECT_FLOAT_EQ(t.tanHalfFov, std::tan(30.0f * 0.008726389f));
}

TEST(TextLayer, ValuesOfTheWrongKindAreNeitherReadNorBound) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "textlayer"; $END = -1;
        <PARAM> x = 1; w = "wide"; text = 7; rows = 8.0; fov = 90; y = 0.25; </PARAM></LAYER>)"));
    auto& t = dynamic_cast<TextLayer&>(rig.layer(0));
    t.updateTracks(0);
    EXPECT_EQ(t.textX, 0.0f);
    EXPECT_EQ(t.charWidth, -1.0f);
    EXPECT_TRUE(t.text.empty());
    EXPECT_EQ(t.fontRows, 16);
    EXPECT_EQ(t.fov, 45.0f);
    EXPECT_EQ(t.textY, 0.25f);
}

}  // namespace
}  // namespace kvx::effects
