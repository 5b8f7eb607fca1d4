// particle: an emitter box, a ring of spinning sprites, the seeded 15-bit
// generator.
#include "effects/ParticleLayer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// The float nearest 1 / 32767.
constexpr float kRandomScale = 3.0518509e-5f;

}  // namespace

ParticleSystem::ParticleSystem(int32_t n) : count(std::clamp(n, 0, kMaxCount)) {
    particles.assign(static_cast<size_t>(count), Particle{});
}

int32_t ParticleSystem::nextRandom(int32_t& seed) {
    // 32-bit wrap-around; the state kept is the 15-bit result, not the
    // whole product (the arithmetic shift's sign bits are masked away).
    const uint32_t next = static_cast<uint32_t>(seed) * 214013u + 2531011u;
    seed = static_cast<int32_t>((next >> 16) & 0x7FFFu);
    return seed % 32767;
}

float ParticleSystem::unitOffset(int32_t& seed) {
    return 0.5f - static_cast<float>(nextRandom(seed)) * kRandomScale;
}

void ParticleSystem::skipRandom(int32_t& seed, int64_t draws) {
    // After its first draw the state has 15 bits, so within 32769 draws it
    // runs round a cycle of at most 32768 states; the rest of a long skip
    // is then the remainder modulo that cycle.
    constexpr int64_t kStates = 32768;
    if (draws <= 3 * kStates) {
        for (int64_t i = 0; i < draws; ++i) {
            nextRandom(seed);
        }
        return;
    }
    for (int64_t i = 0; i <= kStates; ++i) {
        nextRandom(seed);
    }
    draws -= kStates + 1;
    const int32_t onCycle = seed;
    int64_t cycle = 0;
    do {
        nextRandom(seed);
        ++cycle;
    } while (seed != onCycle);
    for (int64_t i = draws % cycle; i > 0; --i) {
        nextRandom(seed);
    }
}

int32_t ParticleSystem::spawnInterval() const {
    if (!(rate >= 1.0f)) {
        return 1;  // below 1 ms, or not a number
    }
    if (rate >= 2147483520.0f) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(rate);
}

void ParticleSystem::spawn(int32_t& seed) {
    if (count <= 0) {
        return;
    }
    if (nextSlot < 0 || nextSlot >= count) {
        nextSlot = 0;
    }
    Particle& p = particles[static_cast<size_t>(nextSlot)];
    if (++nextSlot == count) {
        nextSlot = 0;
    }
    p.speed = velocity;
    p.direction = direction;
    // Three draws, x first, then y, then z.
    for (size_t i = 0; i < 3; ++i) {
        p.position[i] = position[i] + unitOffset(seed) * boxSize[i];
    }
    p.spin = spin;
    p.size = particleSize;
    p.alive = true;
}

void ParticleSystem::advance(uint32_t dt, int32_t& seed) {
    const int64_t sum = static_cast<int64_t>(accumulator) + dt;
    accumulator = static_cast<int32_t>(std::min<int64_t>(sum, std::numeric_limits<int32_t>::max()));
    const int32_t interval = spawnInterval();
    const int32_t due = accumulator / interval;
    accumulator -= due * interval;
    // Spawns beyond one per slot would be overwritten in this same frame:
    // the earlier ones only move the ring on and use up their three draws.
    const int32_t spawns = std::min(due, count);
    if (due > spawns && count > 0) {
        const int32_t skipped = due - spawns;
        if (nextSlot < 0 || nextSlot >= count) {
            nextSlot = 0;
        }
        nextSlot = static_cast<int32_t>((static_cast<int64_t>(nextSlot) + skipped) % count);
        skipRandom(seed, 3 * static_cast<int64_t>(skipped));
    }
    for (int32_t i = 0; i < spawns; ++i) {
        spawn(seed);
    }
    // Particles spawned in this frame move in it too.
    const float t = static_cast<float>(dt);
    for (Particle& p : particles) {
        if (!p.alive) {
            continue;
        }
        for (size_t i = 0; i < 3; ++i) {
            p.position[i] += t * p.direction[i] * p.speed;
            p.angles[i] += t * p.spin[i];
        }
    }
}

int ParticleSystem::liveCount() const {
    return static_cast<int>(std::count_if(particles.begin(), particles.end(),
                                          [](const Particle& p) { return p.alive; }));
}

float ParticleLayer::usableFov(float v) {
    return fieldOfView(v, kDefaultFov, 1.0f, 179.0f);
}

bool ParticleLayer::loadParameters(const layers::LayerDesc& desc) {
    int count = kDefaultCount;
    readInt(desc, "partcount", &count);
    system = ParticleSystem(count);
    readInt(desc, "seed", &seed);
    readText(desc, "texture", &textureName);
    if (readColour(desc, "color", &colour)) {
        bindColor("color", colour.data());
    }
    readAndBindInt(*this, desc, "emitter", &showEmitter);

    ParticleSystem& s = system;
    const struct {
        const char* name;
        float* field;
    } floats[] = {
        {"velocity", &s.velocity},
        {"rate", &s.rate},
        {"partsize", &s.particleSize},
        {"partrotx", &s.spin[0]},
        {"partroty", &s.spin[1]},
        {"partrotz", &s.spin[2]},
        {"esizex", &s.boxSize[0]},
        {"esizey", &s.boxSize[1]},
        {"esizez", &s.boxSize[2]},
        {"edirx", &s.direction[0]},
        {"ediry", &s.direction[1]},
        {"edirz", &s.direction[2]},
        {"posx", &s.position[0]},
        {"posy", &s.position[1]},
        {"posz", &s.position[2]},
        {"fov", &fov},
        {"camposx", &cameraPosition[0]},
        {"camposy", &cameraPosition[1]},
        {"camposz", &cameraPosition[2]},
        {"camtargetx", &cameraTarget[0]},
        {"camtargety", &cameraTarget[1]},
        {"camtargetz", &cameraTarget[2]},
        {"camupx", &cameraUp[0]},
        {"camupy", &cameraUp[1]},
        {"camupz", &cameraUp[2]},
        {"rotx", &rotation[0]},
        {"roty", &rotation[1]},
        {"rotz", &rotation[2]},
        {"lightx", &light[0]},
        {"lighty", &light[1]},
        {"lightz", &light[2]},
        {"scalex", &scale3[0]},
        {"scaley", &scale3[1]},
        {"scalez", &scale3[2]},
        {"scale", &scale},
    };
    // Animated, and only when given as a float (a constant or an expression).
    for (const auto& f : floats) {
        readAndBindFloat(*this, desc, f.name, f.field);
    }
    return true;
}

bool ParticleLayer::prepare() {
    texture = textureName.view().empty() ? 0 : loadLayerTexture(textureName);
    return true;
}

void ParticleLayer::advance(unsigned dt) {
    system.advance(dt, seed);
}

void ParticleLayer::draw() {
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    // The camera lives in the projection matrix.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(usableFov(fov), aspect, 1.0, 10000.0);
    gluLookAt(cameraPosition[0], cameraPosition[1], cameraPosition[2], cameraTarget[0],
              cameraTarget[1], cameraTarget[2], cameraUp[0], cameraUp[1], cameraUp[2]);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(rotation[1], 0.0f, 1.0f, 0.0f);
    glRotatef(rotation[2], 0.0f, 0.0f, 1.0f);
    glScalef(scale3[0] * scale, scale3[1] * scale, scale3[2] * scale);

    // A sprite that failed to load (-1) shows no image: plain squares.
    texturedUnlitState(texture != 0 ? texture : bindAccumTexture());
    // Fully transparent texels are dropped, so they hide nothing behind them.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);

    constexpr float e = kSpriteHalf;
    for (const Particle& p : system.particles) {
        if (!p.alive) {
            continue;
        }
        glPushMatrix();
        glTranslatef(p.position[0], p.position[1], p.position[2]);
        glRotatef(p.angles[0], 1.0f, 0.0f, 0.0f);
        glRotatef(p.angles[1], 0.0f, 1.0f, 0.0f);
        glRotatef(p.angles[2], 0.0f, 0.0f, 1.0f);
        glScalef(p.size, p.size, p.size);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-e, e, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(e, e, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(e, -e, 0.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-e, -e, 0.0f);
        glEnd();
        glPopMatrix();
    }
    glDisable(GL_ALPHA_TEST);
    if (texture == 0) {
        releaseAccumTexture();
    }
}

bool ParticleLayer::release() {
    deleteLayerTexture(texture);
    return true;
}

}  // namespace kvx::effects
