// The frame loop allocates nothing: every operator new of the process is
// counted while frames of a fade (with an expression) and a plasma are
// drawn, and while every layer of examples/effects (every layer type) is
// drawn at once.
#include <gtest/gtest.h>

#include "effects/Registry.h"
#include "expr/Expression.h"
#include "layers/LayerFactory.h"
#include "script/Demo.h"
#include "shell/Compositor.h"
#include "support/GlTestSupport.h"
#include "support/ParamSupport.h"
#include "tests/support/CountingNew.h"
#include "vfs/Vfs.h"

namespace {
// Keeps the probe allocation from being optimised away.
void* volatile probeSink = nullptr;
}  // namespace

namespace kvx::shell {
namespace {

TEST(FrameLoop, AllocatesNothingPerFrame) {
    GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    effects::registerAll();

    layers::LayerDesc fade;
    fade.type = "fadelayer";
    fade.end = 100000;
    layers::Keyframe k;
    k.kind = layers::ValueKind::Float;
    k.hasExpression = true;
    k.expression = expr::compileExpression("sin(x / 300) * 0.5 + 0.5 + beat");
    fade.addParam("f", layers::Track(k), 0, layers::Interpolation::Step);
    test::addFloat(fade, "gf", 0.0f);
    test::addFloat(fade, "gf", 1.0f, 2000, layers::Interpolation::Linear);

    layers::LayerDesc plasma;
    plasma.type = "plasma";
    plasma.end = 100000;
    test::addInt(plasma, "nPoints", 32);

    std::vector<std::unique_ptr<layers::Layer>> layers;
    layers.push_back(layers::LayerFactory::create(plasma));
    layers.push_back(layers::LayerFactory::create(fade));
    ASSERT_TRUE(layers[0] && layers[1]);
    Compositor compositor(*window, 0.25f);
    for (auto& l : layers) {
        ASSERT_TRUE(compositor.initLayer(*l, 1.0f));
    }
    // Warm-up: the GL driver compiles its shader variants (and allocates)
    // the first times it meets a state.
    uint32_t t = 0;
    for (; t < 16 * 60; t += 16) {
        compositor.renderFrame(layers, t, 16, false);
    }

    const long before = kvx::test::allocationCount().load();
    for (; t < 16 * 120; t += 16) {
        compositor.renderFrame(layers, t, 16, false);
    }
    EXPECT_EQ(kvx::test::allocationCount().load() - before, 0);
    // The counter does count: a frame that allocates is seen.
    const long probe = kvx::test::allocationCount().load();
    auto* extra = new std::vector<int>(100);
    probeSink = extra->data();
    delete extra;
    EXPECT_GE(kvx::test::allocationCount().load() - probe, 1);
}

TEST(FrameLoop, EveryEffectAllocatesNothingPerFrame) {
    GlWindow* window = test::sharedWindow();
    ASSERT_NE(window, nullptr);
    effects::registerAll();
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(std::string(KVX_SOURCE_DIR) + "/examples/effects");
    script::Demo demo("script.zel");
    int count = 0;
    auto built = demo.buildLayers(count);
    ASSERT_TRUE(built.has_value());
    auto& layers = *built;
    layers.resize(static_cast<size_t>(count));
    // Every layer active in every frame, so all of them draw together.
    for (auto& l : layers) {
        l->start = 0;
        l->end = 0xFFFFFFFFu;
    }
    Compositor compositor(*window, 0.25f);
    for (auto& l : layers) {
        ASSERT_TRUE(compositor.initLayer(*l, 4.0f / 3.0f)) << l->description.type.text();
    }
    uint32_t t = 0;
    for (; t < 16 * 40; t += 16) {  // warm-up, as above
        compositor.renderFrame(layers, t, 16, false);
    }
    // Text parameters change their strings at keyframes, which may allocate;
    // this stretch of show time crosses none.
    const long before = kvx::test::allocationCount().load();
    for (; t < 16 * 80; t += 16) {
        compositor.renderFrame(layers, t, 16, false);
    }
    EXPECT_EQ(kvx::test::allocationCount().load() - before, 0);
    for (auto& l : layers) {
        l->release();
    }
    vfs::Vfs::reset();
}

}  // namespace
}  // namespace kvx::shell
