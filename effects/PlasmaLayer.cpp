// plasma: palette-mapped sum of four sine terms on a vertex grid.
#include "effects/PlasmaLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// Into 0..511, also for negative sums.
int32_t wrapSine(int64_t k) {
    int64_t r = k % PlasmaLayer::kSineSize;
    return static_cast<int32_t>(r < 0 ? r + PlasmaLayer::kSineSize : r);
}

// A phase step, speed x dt x 0.1 in single precision and in that order
// (the speed times the time first, then the tenth), truncated toward zero
// and reduced into the table; the reduction keeps absurd speeds from
// overflowing the phase.
int64_t phaseStep(int32_t speed, unsigned dt) {
    const float moved = static_cast<float>(speed) * static_cast<float>(dt) * 0.1f;
    return static_cast<int64_t>(std::fmod(std::trunc(static_cast<double>(moved)),
                                          static_cast<double>(PlasmaLayer::kSineSize)));
}

// The truncated term sum; sums beyond the int range (absurd weights) saturate.
int truncateSum(float sum) {
    if (!(sum > -2147483520.0f)) {
        return sum != sum ? 0 : -2147483647 - 1;
    }
    if (!(sum < 2147483520.0f)) {
        return 2147483647;
    }
    return static_cast<int>(sum);
}

}  // namespace

bool PlasmaLayer::loadParameters(const layers::LayerDesc& desc) {
    keyColours = readKeyColours(desc);
    drawGrid = readSwitch(desc, "drawgrid");

    // Each value is taken, and bound, only when the script gives the kind
    // the parameter is: "f1" given as an integer leaves the weight at 1.0.
    readAndBindInt(*this, desc, "nPoints", &gridSize);
    for (int k = 0; k < 4; ++k) {
        readAndBindFloat(*this, desc, core::String("f") + (k + 1),
                         &weights[static_cast<size_t>(k)]);
    }
    for (int k = 0; k < 6; ++k) {
        readAndBindInt(*this, desc, core::String("addop") + (k + 1),
                       &steps[static_cast<size_t>(k)]);
    }
    return true;
}

bool PlasmaLayer::prepare() {
    const int n = std::min(gridSize, kMaxGridSize);
    preparedSize_ = n > 0 ? n : 0;

    buildPalette(keyColours, palette);
    // One sine period in 512 steps; the degree factor is the show's own
    // 0.0174532 (not exactly pi / 180), so the peak is 1023, not 1024.
    for (int i = 0; i < kSineSize; ++i) {
        sineTable[static_cast<size_t>(i)] = static_cast<int32_t>(
            std::sin(static_cast<double>(i) * 0.703125 * 0.0174532) * kSineAmplitude);
    }

    layOutGrid(preparedSize_, width, height, vertexGrid);
    vertexColours.assign(vertexGrid.size(), layers::Colour{0.0f, 0.0f, 0.0f, 0.0f});
    return true;
}

void PlasmaLayer::advance(unsigned dt) {
    // Speeds are table steps per 10 ms; each frame truncates on its own, so
    // a 9 ms frame at speed 1 moves nothing.
    phase1 = wrapSine(phase1 + phaseStep(steps[0], dt));
    phase3 = wrapSine(phase3 + phaseStep(steps[1], dt));

    const int n = preparedSize_;
    int64_t k3 = phase3;
    int64_t k4 = phase4;
    for (int i = 0; i < n; ++i) {
        int64_t k1 = static_cast<int64_t>(phase1) + steps[2];
        int64_t k2 = static_cast<int64_t>(phase2) + steps[3];
        k3 = wrapSine(k3);
        k4 = wrapSine(k4);
        const float t3 = static_cast<float>(sineTable[static_cast<size_t>(k3)]) * weights[2];
        const float t4 = static_cast<float>(sineTable[static_cast<size_t>(k4)]) * weights[3];
        layers::Colour* row =
            vertexColours.data() + static_cast<size_t>(i) * static_cast<size_t>(n);
        for (int j = 0; j < n; ++j) {
            k1 = wrapSine(k1);
            k2 = wrapSine(k2);
            const float sum = static_cast<float>(sineTable[static_cast<size_t>(k2)]) * weights[1] +
                              static_cast<float>(sineTable[static_cast<size_t>(k1)]) * weights[0] +
                              t4 + t3;
            row[j] = palette[static_cast<size_t>(paletteIndex(truncateSum(sum)))];
            k1 += steps[2];
            k2 += steps[3];
        }
        k4 += steps[4];
        k3 += steps[5];
    }
}

void PlasmaLayer::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    drawGridQuads(preparedSize_, vertexGrid,
                  [this](int k) { glColor4fv(vertexColours[static_cast<size_t>(k)].data()); });
    if (drawGrid) {
        drawGridLines(preparedSize_, vertexGrid);
    }
}

}  // namespace kvx::effects
