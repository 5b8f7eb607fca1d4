// Layer defaults, buffer helpers and the factory.
#include <gtest/gtest.h>

#include "layers/Layer.h"
#include "layers/LayerFactory.h"

namespace kvx::layers {
namespace {

// A minimal effect: binds "level" and counts calls.
class ProbeLayer : public Layer {
  public:
    bool loadParameters(const LayerDesc& desc) override {
        seenType = desc.type;
        const Track t = desc.findTrack("level");
        if (t.current().hasValue()) {
            level = t.current().floatValue;
        }
        bindFloat("level", &level);
        return false;  // ignored by the factory
    }
    void draw() override { ++draws; }

    float level = -1.0f;
    core::String seenType;
    int draws = 0;
};

std::unique_ptr<Layer> makeProbe() {
    return std::make_unique<ProbeLayer>();
}

class FakeGraphics : public LayerGraphics {
  public:
    explicit FakeGraphics(int* log) : log_(log) {}
    int bindAccumTexture() override { return 11; }
    void releaseAccumTexture() override { ++*log_; }
    int bindSmallTexture() override { return 12; }
    void releaseSmallTexture() override { ++*log_; }
    int bindTargetTexture(int i) override { return i >= 1 && i <= 2 ? 13 : -1; }
    void releaseTargetTexture(int) override { ++*log_; }
    void beginSmallBuffer() override { ++*log_; }
    void endSmallBuffer() override { ++*log_; }
    int loadLayerTexture(const core::String& name) override { return name.length(); }

  private:
    int* log_;
};

class FactoryTest : public ::testing::Test {
  protected:
    void SetUp() override { LayerFactory::clearRegistrations(); }
    void TearDown() override { LayerFactory::clearRegistrations(); }
};

TEST(Layer, DefaultsOfTheBase) {
    ProbeLayer l;
    EXPECT_TRUE(l.prepare());
    l.advance(16);
    EXPECT_TRUE(l.release());
    EXPECT_EQ(l.width, 512);
    EXPECT_EQ(l.height, 512);
    EXPECT_EQ(l.colour[2], 1.0f);
    EXPECT_EQ(l.blendMode, BlendMode::Normal);
    // Without graphics the helpers are inert.
    EXPECT_EQ(l.bindAccumTexture(), -1);
    EXPECT_EQ(l.bindTargetTexture(1), -1);
    EXPECT_EQ(l.loadLayerTexture("a.tga"), -1);
    l.beginSmallBuffer();
    l.endSmallBuffer();
}

TEST(Layer, HelpersForwardToGraphics) {
    int log = 0;
    ProbeLayer l;
    l.attachGraphics(std::make_unique<FakeGraphics>(&log));
    EXPECT_EQ(l.bindAccumTexture(), 11);
    EXPECT_EQ(l.bindSmallTexture(), 12);
    EXPECT_EQ(l.bindTargetTexture(2), 13);
    EXPECT_EQ(l.bindTargetTexture(3), -1);
    EXPECT_EQ(l.loadLayerTexture("abc"), 3);
    l.releaseAccumTexture();
    l.releaseSmallTexture();
    l.releaseTargetTexture(1);
    l.beginSmallBuffer();
    l.endSmallBuffer();
    EXPECT_EQ(log, 5);
}

TEST(Layer, ActiveRangeIsUnsignedAndInclusive) {
    ProbeLayer l;
    l.start = 100;
    l.end = 100;
    EXPECT_FALSE(l.isActiveAt(99));
    EXPECT_TRUE(l.isActiveAt(100));
    EXPECT_FALSE(l.isActiveAt(101));
    l.start = 0;
    l.end = static_cast<uint32_t>(-1);  // END = -1: to the end of the show
    EXPECT_TRUE(l.isActiveAt(4000000000u));
    l.start = static_cast<uint32_t>(-1);  // START = -1: never
    EXPECT_FALSE(l.isActiveAt(4000000000u));
    EXPECT_EQ(Layer::clampTarget(7), 2);
    EXPECT_EQ(Layer::clampTarget(-1), 0);
    EXPECT_EQ(Layer::clampTarget(1), 1);
}

TEST_F(FactoryTest, KeywordsInOrder) {
    EXPECT_STREQ(LayerFactory::keyword(0), "fadelayer");
    EXPECT_STREQ(LayerFactory::keyword(1), "distortionlayer");
    EXPECT_STREQ(LayerFactory::keyword(9), "dist_object");
    EXPECT_STREQ(LayerFactory::keyword(14), "plasma");
    EXPECT_EQ(LayerFactory::keyword(15), nullptr);
    EXPECT_EQ(LayerFactory::typeIndex("FadeLayer"), 0);
    EXPECT_EQ(LayerFactory::typeIndex("fade"), -1);
}

TEST_F(FactoryTest, RegistrationRefusesUnknownKeywords) {
    EXPECT_FALSE(LayerFactory::registerType("fade", makeProbe));
    EXPECT_FALSE(LayerFactory::registerType(nullptr, makeProbe));
    EXPECT_FALSE(LayerFactory::registerType("plasma", nullptr));
    EXPECT_TRUE(LayerFactory::registerType("Plasma", makeProbe));
    EXPECT_TRUE(LayerFactory::isRegistered("PLASMA"));
    EXPECT_FALSE(LayerFactory::isRegistered("fire"));
}

TEST_F(FactoryTest, CreateCopiesAttributesAndLoadsParameters) {
    ASSERT_TRUE(LayerFactory::registerType("fadelayer", makeProbe));
    LayerDesc d;
    d.type = "FadeLayer";
    d.blending = "Additive";
    d.colour = {0.5f, 0.25f, 0.0f, 1.0f};
    d.start = -1;
    d.end = 4000;
    d.z = 3;
    d.target = 7;
    Keyframe k;
    k.kind = ValueKind::Float;
    k.floatValue = 0.75f;
    d.addParam("level", Track(k), 0, Interpolation::Step);
    std::unique_ptr<Layer> layer = LayerFactory::create(d);
    ASSERT_NE(layer, nullptr);
    auto* probe = static_cast<ProbeLayer*>(layer.get());
    EXPECT_EQ(probe->blendMode, BlendMode::Additive);
    EXPECT_EQ(probe->colour[1], 0.25f);
    EXPECT_EQ(probe->start, 4294967295u);
    EXPECT_EQ(probe->end, 4000u);
    EXPECT_EQ(probe->z, 3);
    EXPECT_EQ(probe->target, 7);  // clamping is start-up's job
    EXPECT_STREQ(probe->seenType.text(), "FadeLayer");
    EXPECT_FLOAT_EQ(probe->level, 0.75f);
    // The binding went into the layer's own description.
    probe->level = 0.0f;
    probe->updateTracks(0);
    EXPECT_FLOAT_EQ(probe->level, 0.75f);
}

TEST_F(FactoryTest, UnknownOrUnregisteredTypesGiveNull) {
    LayerDesc d;
    d.type = "fade";
    EXPECT_EQ(LayerFactory::create(d), nullptr);
    d.type = "fire";  // a keyword, but no effect registered
    EXPECT_EQ(LayerFactory::create(d), nullptr);
}

}  // namespace
}  // namespace kvx::layers
