// Demo: building layers in drawing order, the settings and progress.
#include <gtest/gtest.h>

#include "core/Globals.h"
#include "layers/LayerFactory.h"
#include "script/Demo.h"
#include "support/MemoryFiles.h"

namespace kvx::script {
namespace {

// Remembers its LAYER's "id" parameter so the order can be checked.
class IdLayer : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc& desc) override {
        id = desc.findTrack("id").current().intValue;
        bindFloat("level", &level);
        return true;
    }
    void draw() override {}
    int id = -1;
    float level = 0.0f;
};

std::unique_ptr<layers::Layer> makeId() {
    return std::make_unique<IdLayer>();
}

class CountingProgress : public LoadProgress {
  public:
    void setTotal(int t) override { total = t; }
    void step() override {
        if (current < total) {
            ++current;
        }
    }
    int total = 0;
    int current = 0;
};

std::string layerText(const char* type, int id, int z) {
    return "<LAYER>$TYPE=\"" + std::string(type) + "\"; $Z = " + std::to_string(z) +
           ";<PARAM> id = " + std::to_string(id) + "; </PARAM></LAYER>\n";
}

class DemoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        layers::LayerFactory::clearRegistrations();
        layers::LayerFactory::registerType("plasma", makeId);
        layers::LayerFactory::registerType("fadelayer", makeId);
    }
    void TearDown() override {
        layers::LayerFactory::clearRegistrations();
        core::globals().beatEvent = 0.0f;
        core::globals().beatFalloff = 0.005f;
    }

    std::vector<int> ids(const std::string& layersText, int& count,
                         CountingProgress* progress = nullptr) {
        Demo demo("script.zel", test::memoryFiles({{"script.zel", "<ZEL><SCRIPT>\n" + layersText +
                                                                      "</SCRIPT></ZEL>"}}));
        auto built = demo.buildLayers(count, progress);
        EXPECT_TRUE(built.has_value());
        std::vector<int> out;
        if (built) {
            for (const auto& l : *built) {
                out.push_back(l ? static_cast<IdLayer*>(l.get())->id : -1);
            }
        }
        return out;
    }
};

TEST_F(DemoTest, EqualZDrawsTheLaterLayerFirst) {
    int count = 0;
    EXPECT_EQ(ids(layerText("plasma", 1, 0) + layerText("plasma", 2, 0) + layerText("plasma", 3, 0),
                  count),
              (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(count, 3);
}

TEST_F(DemoTest, AscendingZWhateverTheScriptOrder) {
    int count = 0;
    EXPECT_EQ(ids(layerText("plasma", 1, 5) + layerText("plasma", 2, 1), count),
              (std::vector<int>{2, 1}));
    EXPECT_EQ(ids(layerText("plasma", 1, 2) + layerText("plasma", 2, -3) +
                      layerText("plasma", 3, 2) + layerText("plasma", 4, 0),
                  count),
              (std::vector<int>{2, 4, 3, 1}));
}

TEST_F(DemoTest, MissingLayersGoLastAndAreNotCounted) {
    int count = 0;
    CountingProgress progress;
    const std::vector<int> order =
        ids(layerText("plasma", 1, 9) + layerText("fade", 2, 0) + layerText("FadeLayer", 3, 0) +
                layerText("fire", 4, 0) + layerText("plasma", 5, 1),
            count, &progress);
    EXPECT_EQ(order, (std::vector<int>{3, 5, 1, -1, -1}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(progress.total, 10);
    EXPECT_EQ(progress.current, 5);
}

TEST_F(DemoTest, RootOnlyIsAnEmptyShow) {
    Demo demo("script.zel", test::memoryFiles({{"script.zel", "<ZEL></ZEL>"}}));
    int count = -1;
    auto built = demo.buildLayers(count);
    ASSERT_TRUE(built.has_value());
    EXPECT_TRUE(built->empty());
    EXPECT_EQ(count, 0);
}

TEST_F(DemoTest, MissingOrBrokenScriptsGiveNothing) {
    int count = 5;
    Demo missing("script.zel", test::memoryFiles({}));
    EXPECT_FALSE(missing.buildLayers(count).has_value());
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(missing.diagnostic().has_value());
    Demo empty("script.zel", test::memoryFiles({{"script.zel", ""}}));
    EXPECT_FALSE(empty.buildLayers(count).has_value());
    Demo noRoot("script.zel", test::memoryFiles({{"script.zel", "<SCRIPT></SCRIPT>"}}));
    EXPECT_FALSE(noRoot.buildLayers(count).has_value());
    ASSERT_TRUE(noRoot.diagnostic().has_value());
    EXPECT_EQ(noRoot.diagnostic()->text.str(),
              "script.zel:1:1: error: expected <ZEL> at the start of the script, "
              "found <SCRIPT>");
}

TEST_F(DemoTest, DeclarationsBecomeSettings) {
    Demo demo("script.zel",
              test::memoryFiles(
                  {{"script.zel",
                    "<ZEL><DECLARATIONS>DURATION = 1000; DURATION = 60000; SOUNDCONFIG = \"a.sp\";"
                    "BEATEVENT = 2036.0; BEATFALLOF = 0.001;</DECLARATIONS></ZEL>"}}));
    int count = 0;
    ASSERT_TRUE(demo.buildLayers(count).has_value());
    EXPECT_EQ(demo.duration(), 60000);
    EXPECT_STREQ(demo.soundConfig().text(), "a.sp");
    EXPECT_STREQ(demo.soundtrack().text(), "music.m");
    EXPECT_FLOAT_EQ(core::globals().beatEvent.load(), 2036.0f);
    EXPECT_FLOAT_EQ(core::globals().beatFalloff.load(), 0.001f);
}

TEST_F(DemoTest, DefaultsWithoutDeclarations) {
    Demo demo("script.zel", test::memoryFiles({{"script.zel", "<ZEL></ZEL>"}}));
    EXPECT_EQ(demo.duration(), 0);
    int count = 0;
    ASSERT_TRUE(demo.buildLayers(count).has_value());
    EXPECT_EQ(demo.duration(), 0);
    EXPECT_STREQ(demo.soundConfig().text(), "config.sp");
    EXPECT_STREQ(demo.soundtrack().text(), "music.m");
    EXPECT_FLOAT_EQ(core::globals().beatFalloff.load(), 0.005f);
}

TEST_F(DemoTest, LayersAnimateThroughTheirOwnTracks) {
    Demo demo("script.zel",
              test::memoryFiles({{"script.zel",
                                  "<ZEL><SCRIPT><LAYER>$TYPE=\"plasma\"; $START=0; $END=-1;<PARAM>"
                                  "level{0} = 0.0; level{1000} = 10.0; </PARAM></LAYER>"
                                  "</SCRIPT></ZEL>"}}));
    int count = 0;
    auto built = demo.buildLayers(count);
    ASSERT_TRUE(built.has_value());
    ASSERT_EQ(count, 1);
    auto* layer = static_cast<IdLayer*>((*built)[0].get());
    layer->updateTracks(0);
    EXPECT_FLOAT_EQ(layer->level, 0.0f);
    layer->updateTracks(250);
    EXPECT_FLOAT_EQ(layer->level, 2.5f);
    EXPECT_TRUE(layer->isActiveAt(4000000000u));
}

TEST_F(DemoTest, DrawingOrderCoversUnknownTypesToo) {
    Demo demo("script.zel",
              test::memoryFiles(
                  {{"script.zel", "<ZEL><SCRIPT>" + layerText("x", 0, 1) + layerText("y", 1, 0) +
                                      layerText("z", 2, 1) + "</SCRIPT></ZEL>"}}));
    ASSERT_TRUE(demo.parse());
    EXPECT_EQ(demo.drawingOrder(), (std::vector<int>{1, 2, 0}));
    ASSERT_EQ(demo.layerPositions().size(), 3u);
    EXPECT_EQ(demo.layerPositions()[1].line, 2);
}

}  // namespace
}  // namespace kvx::script
