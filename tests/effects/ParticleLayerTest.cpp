// particle: the seeded 15-bit generator, spawn timing, the emitter box,
// motion, the bounds on rate and partcount, and the sprites' picture.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "effects/ParticleLayer.h"
#include "support/EffectRig.h"
#include "support/TextureFolder.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

std::string particleLayer(const std::string& params, const std::string& attributes = "") {
    return layerText("particle", params, attributes);
}

ParticleLayer& particles(EffectRig& rig) {
    return rig.last<ParticleLayer>();
}

// A layer built from script text and prepared, without drawing anything.
struct Loaded {
    EffectRig rig;
    ParticleLayer* layer = nullptr;
    explicit Loaded(const std::string& params) {
        EXPECT_TRUE(rig.load(particleLayer(params)));
        EXPECT_TRUE(rig.prepare());
        layer = &particles(rig);
    }
};

TEST(ParticleLayer, GeneratorKeepsOnlyItsFifteenBitState) {
    int32_t seed = 0;
    EXPECT_EQ(ParticleSystem::nextRandom(seed), 38);  // 2531011 >> 16
    EXPECT_EQ(seed, 38);
    // The next states follow from the 15-bit value, not the full product.
    const int expected[] = {162, 567, 1890, 6210, 20317};
    for (int e : expected) {
        EXPECT_EQ(ParticleSystem::nextRandom(seed), e);
    }
    seed = ParticleLayer::kDefaultSeed;
    EXPECT_EQ(ParticleSystem::nextRandom(seed), 6572);
    EXPECT_EQ(ParticleSystem::nextRandom(seed), 21500);
    // The state 32767 reduces to 0: the offset is then exactly +0.5.
    for (int32_t s = 0; s < 40000; ++s) {
        int32_t state = s;
        const float u = ParticleSystem::unitOffset(state);
        ASSERT_GT(u, -0.5f);
        ASSERT_LE(u, 0.5f);
        ASSERT_GE(state, 0);
        ASSERT_LE(state, 0x7FFF);
    }
}

TEST(ParticleLayer, SpawnsEveryRateMillisecondsIntoARing) {
    Loaded l("");
    ParticleSystem& s = l.layer->system;
    ASSERT_EQ(s.count, 100);
    // Frames of 16 ms: the first particle comes in the seventh (112 >= 100).
    for (int i = 0; i < 6; ++i) {
        l.layer->advance(16);
    }
    EXPECT_EQ(s.liveCount(), 0);
    l.layer->advance(16);
    EXPECT_EQ(s.liveCount(), 1);
    EXPECT_EQ(s.accumulator, 12);
    // After 10 s every slot is alive and the ring has wrapped.
    for (int i = 7; i < 625; ++i) {
        l.layer->advance(16);
    }
    EXPECT_EQ(s.liveCount(), 100);
    EXPECT_EQ(s.nextSlot, 0);
}

TEST(ParticleLayer, LongFrameSpawnsSeveralAndKeepsTheRest) {
    Loaded l("");
    l.layer->advance(350);
    EXPECT_EQ(l.layer->system.liveCount(), 3);
    EXPECT_EQ(l.layer->system.accumulator, 50);
    EXPECT_EQ(l.layer->system.nextSlot, 3);
}

TEST(ParticleLayer, NewParticlesComeFromTheEmitterBoxAndMove) {
    Loaded l(
        "seed = 0; posx = 10.0; posy = 20.0; posz = 30.0; velocity = 0.5;"
        "partrotx = 1.0; partroty = 0.0; partrotz = -2.0; partsize = 3.0;");
    l.layer->advance(100);
    const Particle& p = l.layer->system.particles[0];
    ASSERT_TRUE(p.alive);
    // Draws 38, 162, 567 for x, y, z, each an offset in the box's edge.
    EXPECT_NEAR(p.position[0], 10.0f + (0.5f - 38.0f / 32767.0f) * 200.0f, 1e-3);
    // y also flew 100 ms at 0.5 along (0, -1, 0) in the frame it was born.
    EXPECT_NEAR(p.position[1], 20.0f + (0.5f - 162.0f / 32767.0f) * 10.0f - 50.0f, 1e-3);
    EXPECT_NEAR(p.position[2], 30.0f + (0.5f - 567.0f / 32767.0f) * 100.0f, 1e-3);
    EXPECT_FLOAT_EQ(p.angles[0], 100.0f);
    EXPECT_FLOAT_EQ(p.angles[2], -200.0f);
    EXPECT_FLOAT_EQ(p.size, 3.0f);
    l.layer->advance(20);
    EXPECT_NEAR(p.position[1], 20.0f + (0.5f - 162.0f / 32767.0f) * 10.0f - 60.0f, 1e-3);
    EXPECT_FLOAT_EQ(p.angles[0], 120.0f);
}

TEST(ParticleLayer, SameSeedSameShow) {
    Loaded a("seed = 7; rate = 10.0;");
    Loaded b("seed = 7; rate = 10.0;");
    Loaded c("seed = 8; rate = 10.0;");
    for (uint32_t dt : {16u, 33u, 5u, 120u, 16u}) {
        a.layer->advance(dt);
        b.layer->advance(dt);
        c.layer->advance(dt);
    }
    const auto& pa = a.layer->system.particles;
    const auto& pb = b.layer->system.particles;
    const auto& pc = c.layer->system.particles;
    ASSERT_EQ(a.layer->system.liveCount(), 19);
    for (size_t i = 0; i < 19; ++i) {
        EXPECT_EQ(pa[i].position, pb[i].position);
    }
    EXPECT_NE(pa[0].position, pc[0].position);
}

TEST(ParticleLayer, RateBelowOneMillisecondIsBounded) {
    // Rates that truncate to 0 or below would spawn for ever; they spawn
    // every millisecond.
    for (const char* rate : {"rate = 0.0;", "rate = 0.5;", "rate = -100.0;"}) {
        SCOPED_TRACE(rate);
        Loaded l(rate);
        EXPECT_EQ(l.layer->system.spawnInterval(), 1);
        l.layer->advance(16);
        EXPECT_EQ(l.layer->system.liveCount(), 16);
        EXPECT_EQ(l.layer->system.accumulator, 0);
    }
    Loaded l("");
    l.layer->system.rate = std::nanf("");
    EXPECT_EQ(l.layer->system.spawnInterval(), 1);
    l.layer->system.rate = 1e30f;
    l.layer->advance(1000);
    EXPECT_EQ(l.layer->system.liveCount(), 0);
}

TEST(ParticleLayer, AFrameSpawnsAtMostOneParticlePerSlot) {
    Loaded l("partcount = 10; rate = 1.0;");
    l.layer->advance(0xFFFFFFFFu);  // a frame of seven weeks ends
    EXPECT_EQ(l.layer->system.liveCount(), 10);
    // The accumulator stops at 2^31 - 1 spawns; the ring still moved on by
    // every one of them.
    EXPECT_EQ(l.layer->system.nextSlot, 2147483647 % 10);
    EXPECT_GE(l.layer->system.accumulator, 0);
    EXPECT_LT(l.layer->system.accumulator, 1);
    l.layer->advance(3);
    EXPECT_EQ(l.layer->system.nextSlot, 0);
}

TEST(ParticleLayer, SkippedDrawsLeaveTheGeneratorWhereSingleDrawsWould) {
    for (int32_t start : {0, 83427676, -5, 32767}) {
        for (int64_t draws : {0, 1, 7, 32769, 70001, 1000003}) {
            int32_t one = start;
            for (int64_t i = 0; i < draws; ++i) {
                ParticleSystem::nextRandom(one);
            }
            int32_t skipped = start;
            ParticleSystem::skipRandom(skipped, draws);
            EXPECT_EQ(skipped, one) << start << " after " << draws;
        }
    }
}

TEST(ParticleLayer, MoreSpawnsThanSlotsInOneFrameKeepTheSequence) {
    // Three spawns due in a frame with two slots: the third lands in slot 0
    // again with the seventh to ninth draws, and the ring points at slot 1,
    // exactly as three single spawns would leave it.
    const char* params =
        "partcount = 2; rate = 10.0; seed = 5; velocity = 0.0;"
        "partrotx = 0.0; partroty = 0.0; partrotz = 0.0;";
    Loaded frame(params);
    Loaded single(params);
    frame.layer->advance(35);
    ParticleSystem& s = single.layer->system;
    for (int i = 0; i < 3; ++i) {
        s.spawn(single.layer->seed);
    }
    EXPECT_EQ(frame.layer->seed, single.layer->seed);
    EXPECT_EQ(frame.layer->system.nextSlot, 1);
    EXPECT_EQ(frame.layer->system.accumulator, 5);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(frame.layer->system.particles[i].position, s.particles[i].position) << i;
    }
    // Later frames go on from the same state.
    frame.layer->advance(10);
    s.spawn(single.layer->seed);
    EXPECT_EQ(frame.layer->system.particles[1].position, s.particles[1].position);
}

TEST(ParticleLayer, PartCountIsBounded) {
    Loaded huge("partcount = 2000000000;");
    EXPECT_EQ(huge.layer->system.count, ParticleSystem::kMaxCount);
    EXPECT_EQ(huge.layer->system.particles.size(), size_t{ParticleSystem::kMaxCount});
    for (const char* none : {"partcount = 0;", "partcount = -5;"}) {
        SCOPED_TRACE(none);
        Loaded l(none);
        EXPECT_EQ(l.layer->system.count, 0);
        EXPECT_TRUE(l.layer->system.particles.empty());
        l.layer->advance(1000);
        EXPECT_EQ(l.layer->system.liveCount(), 0);
    }
    // A float is not an integer count: the default stays.
    Loaded f("partcount = 5.0;");
    EXPECT_EQ(f.layer->system.count, ParticleLayer::kDefaultCount);
}

// Sprites over a blue fade, each standing still at the emitter's centre
// (plus posx): one slot, no spin, an emitter box of no size. `motion`
// replaces the slot count, rate and speed.
std::string oneSprite(const std::string& more,
                      const std::string& motion = "partcount = 1; rate = 1.0; velocity = 0.0;") {
    return backdrop("{0, 0, 255, 255}") +
           particleLayer(motion +
                             "esizex = 0.0; esizey = 0.0; esizez = 0.0;"
                             "partrotx = 0.0; partroty = 0.0; partrotz = 0.0; " +
                             more,
                         "$Z = 1; $BLENDING = \"overwrite\";");
}

TEST(ParticleLayer, SpritesAreDrawnWhereTheParticlesAre) {
    TextureFolder files;
    files.solid("white.tga", {255, 255, 255, 255});
    EffectRig rig;
    ASSERT_TRUE(rig.load(oneSprite(R"(texture = "white.tga"; color = {255, 128, 0, 255};)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    // 20 units at distance 100 under a 45 degree view, aspect 4:3: about
    // 124 pixels high and 93 wide.
    EXPECT_TRUE(near(rig.pixel(256, 256), 1, 128.0f / 255.0f, 0));
    EXPECT_TRUE(near(rig.pixel(256 + 40, 256 - 55), 1, 128.0f / 255.0f, 0));
    EXPECT_TRUE(near(rig.pixel(256 + 80, 256), 0, 0, 0));  // an empty layer overwrites
    EXPECT_TRUE(near(rig.pixel(256, 256 + 80), 0, 0, 0));
}

TEST(ParticleLayer, TransparentTexelsAreDropped) {
    TextureFolder files;
    // A round sprite: opaque inside the inscribed circle, clear outside.
    files.picture("round.tga", 32, [](int x, int y) {
        const float dx = static_cast<float>(x) + 0.5f - 16.0f;
        const float dy = static_cast<float>(y) + 0.5f - 16.0f;
        return dx * dx + dy * dy < 14.0f * 14.0f ? Rgba8{0, 255, 0, 255} : Rgba8{0, 0, 0, 0};
    });
    EffectRig rig;
    ASSERT_TRUE(rig.load(oneSprite(R"(texture = "round.tga";)")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 1, 0));
    const Rgba corner = rig.pixel(256 + 37, 256 + 50);  // inside the quad, outside the circle
    EXPECT_TRUE(near(corner, 0, 0, 0)) << corner[3];
    EXPECT_EQ(corner[3], 0);
}

TEST(ParticleLayer, TransparentTexelsHideNothingBehindThem) {
    TextureFolder files;
    // A square frame three texels wide around a clear middle.
    files.picture("frame.tga", 32, [](int x, int y) {
        const bool edge = x < 3 || y < 3 || x >= 29 || y >= 29;
        return edge ? Rgba8{0, 255, 0, 255} : Rgba8{0, 0, 0, 0};
    });
    // Two particles flying towards the camera: the first, drawn first, ends
    // 60 units away, the second 80; the far one's frame lies behind the near
    // one's clear middle.
    EffectRig rig;
    ASSERT_TRUE(
        rig.load(oneSprite(R"(texture = "frame.tga"; edirx = 0.0; ediry = 0.0; edirz = 1.0;)",
                           "partcount = 2; rate = 100.0; velocity = 0.2;")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0, 100);
    rig.frame(100, 100);
    ASSERT_EQ(particles(rig).system.liveCount(), 2);
    EXPECT_FLOAT_EQ(particles(rig).system.particles[0].position[2], 40.0f);
    EXPECT_FLOAT_EQ(particles(rig).system.particles[1].position[2], 20.0f);
    EXPECT_TRUE(near(rig.pixel(256, 256 - 71), 0, 1, 0));  // the far frame
    EXPECT_TRUE(near(rig.pixel(256, 256 - 92), 0, 1, 0));  // the near frame
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 0, 0));       // both middles
}

TEST(ParticleLayer, WithoutTextureSpritesShowTheAccumulationPicture) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(oneSprite("")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 0, 1));  // the blue fade, through the sprite
    EXPECT_TRUE(near(rig.pixel(256 + 80, 256), 0, 0, 0));
}

TEST(ParticleLayer, RotationTurnsTheWholeSystem) {
    TextureFolder files;
    files.solid("white.tga", {255, 255, 255, 255});
    for (const char* rot : {"", "rotz = 180.0;"}) {
        SCOPED_TRACE(rot);
        EffectRig rig;
        ASSERT_TRUE(
            rig.load(oneSprite(std::string(R"(texture = "white.tga"; posx = 25.0; )") + rot)));
        ASSERT_TRUE(rig.prepare());
        rig.frame(0);
        EXPECT_FLOAT_EQ(particles(rig).system.position[0], 25.0f);  // the emitter stays
        const bool turned = *rot != '\0';
        const float right = 256 + 116;  // 25 units right of the centre
        const float left = 256 - 116;
        EXPECT_TRUE(near(rig.pixel(turned ? left : right, 256), 1, 1, 1));
        EXPECT_TRUE(near(rig.pixel(turned ? right : left, 256), 0, 0, 0));
    }
}

TEST(ParticleLayer, NoSlotsDrawNothing) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "fadelayer"; $END = -1; $Z = 0;
            <PARAM> color = {0, 0, 255, 255}; </PARAM> </LAYER>)" +
                         particleLayer("partcount = 0; rate = 1.0;", "$Z = 1;")));
    ASSERT_TRUE(rig.prepare());
    for (uint32_t t = 0; t < 100; t += 16) {
        rig.frame(t);
    }
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 0, 1));
}

}  // namespace
}  // namespace kvx::effects
