// plasma: tables, palette, phases, grid sizes, and its picture.
#include <gtest/gtest.h>

#include <memory>

#include "effects/PlasmaLayer.h"
#include "effects/Registry.h"
#include "layers/LayerFactory.h"
#include "shell/Compositor.h"
#include "support/GlTestSupport.h"
#include "support/ParamSupport.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

std::unique_ptr<PlasmaLayer> makePlasma(layers::LayerDesc d, bool prepare = true) {
    registerAll();
    d.type = "plasma";
    auto layer = layers::LayerFactory::create(d);
    auto* p = dynamic_cast<PlasmaLayer*>(layer.get());
    EXPECT_NE(p, nullptr);
    layer.release();
    std::unique_ptr<PlasmaLayer> out(p);
    if (out) {
        out->updateTracks(0);
        if (prepare) {
            EXPECT_TRUE(out->prepare());
        }
    }
    return out;
}

layers::LayerDesc withGrid(int n) {
    layers::LayerDesc d;
    addInt(d, "nPoints", n);
    return d;
}

TEST(PlasmaLayer, SineTableUsesTheShowsDegreeFactor) {
    auto p = makePlasma(withGrid(8));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->sineTable[0], 0);
    EXPECT_EQ(p->sineTable[1], 12);
    EXPECT_EQ(p->sineTable[2], 25);
    EXPECT_EQ(p->sineTable[128], 1023);
    EXPECT_EQ(p->sineTable[256], 0);
    EXPECT_EQ(p->sineTable[384], -1023);
}

TEST(PlasmaLayer, PaletteSteps32TimesBetweenKeys) {
    layers::LayerDesc d = withGrid(8);
    addColour(d, "color1", {0, 0, 0, 1});
    addColour(d, "color2", {1, 0.5f, 0, 1});
    auto p = makePlasma(d);
    ASSERT_TRUE(p);
    EXPECT_FLOAT_EQ(p->palette[0][0], 0.0f);
    EXPECT_FLOAT_EQ(p->palette[16][0], 0.5f);
    EXPECT_FLOAT_EQ(p->palette[16][1], 0.25f);
    EXPECT_FLOAT_EQ(p->palette[31][0], 31.0f / 32.0f);
    EXPECT_FLOAT_EQ(p->palette[32][0], 1.0f);  // key 2 starts segment 2
    // Default keys: entry 255 is key 8 plus 31/32 of the way to key 9.
    EXPECT_FLOAT_EQ(p->palette[255][2], 2.0f / 3.0f + (1.0f - 2.0f / 3.0f) * 31.0f * 0.03125f);
    EXPECT_FLOAT_EQ(p->palette[96][0], 0.8f);  // key 4
}

TEST(PlasmaLayer, VertexColoursSumFourTerms) {
    auto p = makePlasma(withGrid(8));
    ASSERT_TRUE(p);
    p->advance(0);
    // Vertex (0, 0): terms at 1, 1, 0, 0: 12 + 12 = 24, index 129.
    EXPECT_EQ(PlasmaLayer::paletteIndex(24), 129);
    EXPECT_EQ(p->vertexColours[0], p->palette[129]);
    // Vertex (2, 3): 2 * table[4] + 2 * table[2] = 2 * 50 + 2 * 25 = 150.
    EXPECT_EQ(p->sineTable[4], 50);
    EXPECT_EQ(p->vertexColours[2 * 8 + 3], p->palette[PlasmaLayer::paletteIndex(150)]);
}

TEST(PlasmaLayer, PhasesMoveInWholeStepsPerFrame) {
    auto p = makePlasma(withGrid(8));
    ASSERT_TRUE(p);
    p->advance(9);
    EXPECT_EQ(p->phase1, 0);  // 0.9 truncates to nothing
    p->advance(10);
    EXPECT_EQ(p->phase1, 1);
    p->advance(16);
    EXPECT_EQ(p->phase1, 2);
    EXPECT_EQ(p->phase3, 2);
    EXPECT_EQ(p->phase2, 0);
    EXPECT_EQ(p->phase4, 0);
}

TEST(PlasmaLayer, PhaseStepTakesSpeedTimesTimeBeforeTheTenth) {
    // 471 x 20489 = 9650319; times the single-precision tenth that is
    // 965031.94, which truncates to 965031 (phase 423 in the table). Taking
    // the tenth of the time first rounds 2048.9 up and gives 965032.
    layers::LayerDesc d = withGrid(6);
    addInt(d, "addop1", 471);
    addInt(d, "addop2", -471);
    auto p = makePlasma(d);
    ASSERT_TRUE(p);
    p->advance(20489);
    EXPECT_EQ(p->phase1, 423);
    EXPECT_EQ(p->phase3, 512 - 423);  // toward zero: -965031
}

TEST(PlasmaLayer, NegativeSpeedsWrapIntoTheTable) {
    layers::LayerDesc d = withGrid(6);
    addInt(d, "addop1", -3);
    addInt(d, "addop3", -700);
    auto p = makePlasma(d);
    ASSERT_TRUE(p);
    p->advance(10);
    EXPECT_EQ(p->phase1, 509);
    // No index outside the table was read (the colours come from the palette).
    for (const auto& c : p->vertexColours) {
        EXPECT_GE(c[3], 0.0f);
    }
}

TEST(PlasmaLayer, LargeWeightsWrapThePaletteIndex) {
    EXPECT_EQ(PlasmaLayer::paletteIndex(2048), 0);
    EXPECT_EQ(PlasmaLayer::paletteIndex(2047), 255);
    EXPECT_EQ(PlasmaLayer::paletteIndex(-2048), 0);
    EXPECT_EQ(PlasmaLayer::paletteIndex(-16), 127);
}

TEST(PlasmaLayer, ParametersOfTheWrongKindAreIgnored) {
    layers::LayerDesc d = withGrid(8);
    addInt(d, "f1", 3);           // an int where a float is wanted
    addFloat(d, "addop1", 2.0f);  // a float where an int is wanted
    addFloat(d, "f2", 0.5f);
    addText(d, "drawgrid", "TRUE");
    auto p = makePlasma(d);
    ASSERT_TRUE(p);
    EXPECT_FLOAT_EQ(p->weights[0], 1.0f);
    EXPECT_FLOAT_EQ(p->weights[1], 0.5f);
    EXPECT_EQ(p->steps[0], 1);
    EXPECT_TRUE(p->drawGrid);

    layers::LayerDesc yes = withGrid(8);
    addText(yes, "drawgrid", "yes");
    EXPECT_FALSE(makePlasma(yes)->drawGrid);
}

TEST(PlasmaLayer, GridSizeIsFixedAtPrepare) {
    // Without nPoints the default grid is used.
    auto p = makePlasma(layers::LayerDesc{});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->preparedSize(), PlasmaLayer::kDefaultGridSize);

    // A keyframed change after prepare does not resize (or overrun) anything.
    layers::LayerDesc d = withGrid(6);
    addInt(d, "nPoints", 40, 100);
    auto q = makePlasma(d);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->preparedSize(), 6);
    q->updateTracks(200);
    EXPECT_EQ(q->gridSize, 40);
    q->advance(200);
    EXPECT_EQ(q->vertexColours.size(), 36u);
    EXPECT_EQ(q->vertexGrid.size(), 36u);

    // Grids of 3 and below have no cells; 0 and below have no vertices.
    auto three = makePlasma(withGrid(3));
    EXPECT_EQ(three->vertexGrid.size(), 9u);
    three->advance(10);
    auto none = makePlasma(withGrid(-5));
    EXPECT_EQ(none->preparedSize(), 0);
    none->advance(10);
}

TEST(PlasmaLayer, GridCoversTheAreaWithOneCellOutside) {
    auto p = makePlasma(withGrid(4));
    ASSERT_TRUE(p);
    // Column 1 at x = 0, column N - 2 at x = W.
    EXPECT_FLOAT_EQ(p->vertexGrid[1 * 4 + 1].x, 0.0f);
    EXPECT_FLOAT_EQ(p->vertexGrid[1 * 4 + 2].x, 512.0f);
    EXPECT_FLOAT_EQ(p->vertexGrid[2 * 4 + 1].y, 512.0f);
    EXPECT_FLOAT_EQ(p->vertexGrid[0].x, -512.0f);
}

class PlasmaPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = sharedWindow();
        ASSERT_NE(window_, nullptr);
    }
    shell::GlWindow* window_ = nullptr;
};

TEST_F(PlasmaPicture, FourPointsFillTheWholeArea) {
    layers::LayerDesc d = withGrid(4);
    for (const char* key : {"color1", "color2", "color3", "color4", "color5", "color6", "color7",
                            "color8", "color9"}) {
        addColour(d, key, {0.0f, 1.0f, 0.0f, 1.0f});
    }
    auto p = makePlasma(d, false);
    ASSERT_TRUE(p);
    p->blendMode = layers::BlendMode::Overwrite;
    p->end = 100;
    shell::Compositor compositor(*window_, 0.25f);
    ASSERT_TRUE(compositor.initLayer(*p, 1.0f));
    std::vector<std::unique_ptr<layers::Layer>> layers;
    layers.push_back(std::move(p));
    compositor.renderFrame(layers, 0, 16, false);
    const int h = window_->height();
    EXPECT_TRUE(near(readPixel(1, 1, h), 0, 1, 0));
    EXPECT_TRUE(near(readPixel(62, h - 2, h), 0, 1, 0));
    EXPECT_TRUE(near(readPixel(32, 20, h), 0, 1, 0));
}

TEST_F(PlasmaPicture, ThreePointsDrawNothing) {
    auto p = makePlasma(withGrid(3), false);
    ASSERT_TRUE(p);
    p->blendMode = layers::BlendMode::Overwrite;
    p->end = 100;
    shell::Compositor compositor(*window_, 0.25f);
    ASSERT_TRUE(compositor.initLayer(*p, 1.0f));
    std::vector<std::unique_ptr<layers::Layer>> layers;
    layers.push_back(std::move(p));
    compositor.renderFrame(layers, 0, 16, false);
    EXPECT_TRUE(near(readPixel(32, 24, window_->height()), 0, 0, 0));
}

}  // namespace
}  // namespace kvx::effects
