// fire: a heat grid fed from below, averaged upwards, drawn through a palette.
#include "effects/FireLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <limits>

#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// Fuel heat saturates instead of wrapping when it is stored in 16 bits.
int16_t toHeat(int32_t v) {
    return static_cast<int16_t>(std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

// Every fire starts from the same seed, varied by where the layer sits in
// the show so that two fires of one show do not burn alike.
uint32_t seedFor(uint32_t start, int z) {
    return 0x5EED2F1Eu ^ (start * 2654435761u) ^ (static_cast<uint32_t>(z) * 40503u);
}

}  // namespace

bool FireLayer::loadParameters(const layers::LayerDesc& desc) {
    readAndBindInt(*this, desc, "nPoints", &gridSize);
    readAndBindInt(*this, desc, "intensity", &intensity);
    readAndBindInt(*this, desc, "max", &maxHeat);
    readAndBindInt(*this, desc, "min", &minHeat);
    readAndBindInt(*this, desc, "delay", &delay);
    keyColours = readKeyColours(desc);
    drawGrid = readSwitch(desc, "drawgrid");
    // Without "nPoints" the grid has the default plus 2 vertices per side;
    // a given value is written back by the first track evaluation.
    gridSize += 2;
    return true;
}

bool FireLayer::prepare() {
    const int n = std::min(gridSize, kMaxGridSize);
    preparedSize_ = n > 0 ? n : 0;
    layOutGrid(preparedSize_, width, height, positions);
    buildPalette(keyColours, palette);
    const size_t cells =
        static_cast<size_t>(preparedSize_) * static_cast<size_t>(preparedSize_ + 3);
    current.assign(cells, 0);
    next.assign(cells, 0);
    random_.seed(seedFor(start, z));
    return true;
}

void FireLayer::advance(unsigned dt) {
    // A delay below 1 ms would never let the catch-up below end.
    const int64_t interval = std::max<int32_t>(delay, 1);
    const int64_t gathered = static_cast<int64_t>(elapsed) + dt;
    if (gathered <= interval) {
        elapsed = static_cast<int32_t>(gathered);
        return;
    }
    step();
    // One step per frame; keep what is left of the last interval (1 .. delay).
    elapsed = static_cast<int32_t>((gathered - 1) % interval + 1);
}

void FireLayer::step() {
    if (preparedSize_ <= 0) {
        return;
    }
    feed();
    spread();
    current.swap(next);
}

void FireLayer::feed() {
    const int n = preparedSize_;
    const int16_t hot = toHeat(maxHeat);
    const int16_t cold = toHeat(minHeat);
    int16_t* fuel = current.data() + static_cast<size_t>(n) * static_cast<size_t>(n);
    for (int k = 0; k < 3 * n; ++k) {
        const int r = static_cast<int>(random_() % 100u);
        fuel[k] = r < intensity ? hot : cold;
    }
}

void FireLayer::spread() {
    const int n = preparedSize_;
    for (int i = 1; i <= n + 1; ++i) {
        const int16_t* self = current.data() + static_cast<size_t>(i) * static_cast<size_t>(n);
        const int16_t* below = self + n;
        int16_t* out = next.data() + static_cast<size_t>(i) * static_cast<size_t>(n);
        for (int j = 1; j <= n - 2; ++j) {
            // Summed in 32 bits: four hot fuel cells would wrap 16.
            const int32_t sum = self[j] + below[j] + below[j - 1] + below[j + 1];
            out[j] = static_cast<int16_t>(std::min(sum / 4, 255));
        }
    }
}

void FireLayer::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    drawGridQuads(preparedSize_, positions, [this](int k) {
        const layers::Colour& c =
            palette[static_cast<size_t>(paletteIndex(current[static_cast<size_t>(k)]))];
        glColor4f(c[0], c[1], c[2], 1.0f);
    });
    if (drawGrid) {
        drawGridLines(preparedSize_, positions);
    }
}

}  // namespace kvx::effects
