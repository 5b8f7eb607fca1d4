// ParticleLayer ("particle"): a small particle system in perspective. An
// emitter box spawns textured square sprites at a steady rate into a fixed
// ring of slots; each particle flies along one direction at one speed and
// spins about its own axes. Particles never die: once every slot has been
// used, each spawn restarts the oldest one.
//
// The random numbers come from the show's own 15-bit generator with the
// layer's "seed", so the same seed and the same frame times give the same
// show. Sprites are drawn unlit and unsorted, with fully transparent texels
// dropped; the engine blends the layer's picture.
//
// Bounds: at most kMaxCount slots; a "rate" below 1 ms (or not a number)
// spawns every millisecond; a frame spawns at most one particle per slot,
// since earlier spawns of that frame would only be overwritten. The spawns
// it leaves out still use up their random draws and their places in the
// ring, so the show goes on exactly as if each had been made.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/String.h"
#include "layers/Layer.h"

namespace kvx::effects {

// One slot of the ring.
struct Particle {
    using Vec3 = std::array<float, 3>;
    Vec3 direction{0.0f, 0.0f, 0.0f};  // copied from the emitter at spawn
    Vec3 spin{0.0f, 0.0f, 0.0f};       // degrees per millisecond
    Vec3 position{0.0f, 0.0f, 0.0f};
    float size = 1.0f;
    float speed = 0.0f;
    // Not reset at spawn: a reused slot turns on from where it was.
    Vec3 angles{0.0f, 0.0f, 0.0f};
    bool alive = false;  // set by the first spawn, never cleared
};

// The emitter and its ring of particles.
class ParticleSystem {
  public:
    using Vec3 = Particle::Vec3;
    // Most slots a layer gets: every one is an immediate-mode quad under its
    // own matrix, and 65536 of them already take software GL a good part of
    // a second per frame.
    static constexpr int32_t kMaxCount = 65536;

    // count slots, clamped to 0..kMaxCount (0 or less: no slots at all).
    explicit ParticleSystem(int32_t count = 0);

    // One draw of the show's generator: advances seed to the next 15-bit
    // state and returns it reduced modulo 32767 (0..32766).
    static int32_t nextRandom(int32_t& seed);
    // A draw as an offset in (-0.5, 0.5].
    static float unitOffset(int32_t& seed);
    // Leaves seed where `draws` single draws would, in at most about 100000
    // steps however many draws that are.
    static void skipRandom(int32_t& seed, int64_t draws);

    // Spawns one particle into the next slot (nothing without slots).
    void spawn(int32_t& seed);
    // Adds dt to the accumulator, spawns every particle that is due, then
    // moves and turns every live particle by dt.
    void advance(uint32_t dt, int32_t& seed);
    // Milliseconds between spawns: the rate truncated toward zero, at least
    // 1 (a smaller rate would spawn without end).
    int32_t spawnInterval() const;
    int liveCount() const;

    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 direction{0.0f, -1.0f, 0.0f};  // not normalised
    float velocity = 0.05f;             // units per millisecond per unit of direction
    float rate = 100.0f;                // milliseconds between spawns
    int32_t accumulator = 0;            // milliseconds not yet spent on spawns
    Vec3 boxSize{200.0f, 10.0f, 100.0f};
    int32_t nextSlot = 0;
    Vec3 spin{0.1f, 0.2f, 0.6f};
    float particleSize = 1.0f;
    std::vector<Particle> particles;
    int32_t count = 0;
};

class ParticleLayer final : public layers::Layer {
  public:
    using Vec3 = Particle::Vec3;
    static constexpr int32_t kDefaultCount = 100;
    static constexpr int32_t kDefaultSeed = 83427676;
    static constexpr float kDefaultFov = 45.0f;
    // Half the edge of a sprite at size 1.
    static constexpr float kSpriteHalf = 10.0f;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    // The field of view draw uses: 0 or not a number gives the default,
    // anything else is clamped to 1..179 (beyond, the view turns inside out).
    static float usableFov(float v);

    ParticleSystem system;
    int32_t seed = kDefaultSeed;
    core::String textureName;
    // The sprites' own colour ("color"), not the LAYER's COLOR attribute
    // that the base class keeps under the same name.
    layers::Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
    int texture = 0;  // loader result; 0 draws the accumulation buffer
    float fov = kDefaultFov;
    // "lightx" .. "lightz" are accepted and animated, but sprites are drawn
    // unlit, so the light has no visible effect and is not set up.
    Vec3 light{0.0f, 0.0f, 1000.0f};
    Vec3 cameraPosition{0.0f, 0.0f, 100.0f};
    Vec3 cameraTarget{0.0f, 0.0f, 0.0f};
    Vec3 cameraUp{0.0f, 1.0f, 0.0f};
    Vec3 rotation{0.0f, 0.0f, 0.0f};  // degrees
    Vec3 scale3{1.0f, 1.0f, 1.0f};
    float scale = 1.0f;
    int showEmitter = 0;  // "emitter": accepted and animated, draws nothing
};

}  // namespace kvx::effects
