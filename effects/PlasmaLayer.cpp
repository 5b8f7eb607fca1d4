// plasma: palette-mapped sum of four sine terms on a vertex grid.
#include "effects/PlasmaLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace kvx::effects {

namespace {

using layers::ValueKind;

constexpr layers::Colour kDefaultKeys[9] = {
    {0.0f, 0.0f, 0.0f, 1.0f},        {0.0f, 0.0f, 0.1f, 1.0f},        {0.4f, 0.0f, 0.05f, 1.0f},
    {0.8f, 0.0f, 0.0f, 1.0f},        {1.0f, 0.5f, 0.0f, 1.0f},        {1.0f, 1.0f, 0.0f, 1.0f},
    {1.0f, 1.0f, 1.0f / 3.0f, 1.0f}, {1.0f, 1.0f, 2.0f / 3.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f},
};

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

bool givenAs(const layers::LayerDesc& desc, const core::String& name, ValueKind kind) {
    return desc.findTrack(name).current().kind == kind;
}

}  // namespace

bool PlasmaLayer::loadParameters(const layers::LayerDesc& desc) {
    for (int k = 0; k < 9; ++k) {
        keyColours[static_cast<size_t>(k)] = kDefaultKeys[k];
        const core::String name = core::String("color") + (k + 1);
        const layers::Track track = desc.findTrack(name);
        if (track.current().kind == ValueKind::Colour) {
            keyColours[static_cast<size_t>(k)] = track.current().colour;
        }
    }
    const layers::Track grid = desc.findTrack("drawgrid");
    drawGrid = grid.current().hasValue() && grid.current().text.equalsIgnoreCase("true");

    // Each value is taken, and bound, only when the script gives the kind
    // the parameter is: "f1" given as an integer leaves the weight at 1.0.
    if (givenAs(desc, "nPoints", ValueKind::Int)) {
        gridSize = desc.findTrack("nPoints").current().intValue;
        bindInt("nPoints", &gridSize);
    }
    for (int k = 0; k < 4; ++k) {
        const core::String name = core::String("f") + (k + 1);
        if (givenAs(desc, name, ValueKind::Float)) {
            weights[static_cast<size_t>(k)] = desc.findTrack(name).current().floatValue;
            bindFloat(name, &weights[static_cast<size_t>(k)]);
        }
    }
    for (int k = 0; k < 6; ++k) {
        const core::String name = core::String("addop") + (k + 1);
        if (givenAs(desc, name, ValueKind::Int)) {
            steps[static_cast<size_t>(k)] = desc.findTrack(name).current().intValue;
            bindInt(name, &steps[static_cast<size_t>(k)]);
        }
    }
    return true;
}

bool PlasmaLayer::prepare() {
    const int n = std::min(gridSize, kMaxGridSize);
    preparedSize_ = n > 0 ? n : 0;

    // Palette: 8 segments of 32 steps from key k towards key k + 1.
    for (int k = 0; k < 8; ++k) {
        const layers::Colour& a = keyColours[static_cast<size_t>(k)];
        const layers::Colour& b = keyColours[static_cast<size_t>(k + 1)];
        for (int s = 0; s < 32; ++s) {
            layers::Colour& p = palette[static_cast<size_t>(32 * k + s)];
            for (int c = 0; c < 4; ++c) {
                p[static_cast<size_t>(c)] =
                    a[static_cast<size_t>(c)] +
                    static_cast<float>(s) *
                        (b[static_cast<size_t>(c)] - a[static_cast<size_t>(c)]) * 0.03125f;
            }
        }
    }
    // One sine period in 512 steps; the degree factor is the show's own
    // 0.0174532 (not exactly pi / 180), so the peak is 1023, not 1024.
    for (int i = 0; i < kSineSize; ++i) {
        sineTable[static_cast<size_t>(i)] = static_cast<int32_t>(
            std::sin(static_cast<double>(i) * 0.703125 * 0.0174532) * kSineAmplitude);
    }

    const size_t count = static_cast<size_t>(preparedSize_) * static_cast<size_t>(preparedSize_);
    vertexGrid.assign(count, Vertex{});
    vertexColours.assign(count, layers::Colour{0.0f, 0.0f, 0.0f, 0.0f});
    const int n3 = preparedSize_ - 3;
    if (n3 > 0) {
        // Column 1 at x = 0 and column N - 2 at x = W; likewise for rows.
        const float dx = static_cast<float>(width) / static_cast<float>(n3);
        const float dy = static_cast<float>(height) / static_cast<float>(n3);
        for (int i = 0; i < preparedSize_; ++i) {
            for (int j = 0; j < preparedSize_; ++j) {
                Vertex& v = vertexGrid[static_cast<size_t>(i * preparedSize_ + j)];
                v.x = static_cast<float>(j - 1) * dx;
                v.y = static_cast<float>(i - 1) * dy;
            }
        }
    }
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
    const int n = preparedSize_;
    if (n <= 3) {
        return;
    }
    auto vertex = [this](int k) {
        glColor4fv(vertexColours[static_cast<size_t>(k)].data());
        const Vertex& v = vertexGrid[static_cast<size_t>(k)];
        glVertex3f(v.x, v.y, 0.0f);
    };
    glBegin(GL_QUADS);
    for (int i = 1; i <= n - 3; ++i) {
        for (int j = 1; j <= n - 3; ++j) {
            const int k = i * n + j;
            vertex(k);
            vertex(k + 1);
            vertex(k + n + 1);
            vertex(k + n);
        }
    }
    glEnd();
    if (drawGrid) {
        glDisable(GL_DEPTH_TEST);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        glBegin(GL_LINES);
        for (int i = 1; i <= n - 3; ++i) {
            for (int j = 1; j <= n - 3; ++j) {
                const int k = i * n + j;
                const Vertex& a = vertexGrid[static_cast<size_t>(k)];
                const Vertex& b = vertexGrid[static_cast<size_t>(k + 1)];
                const Vertex& c = vertexGrid[static_cast<size_t>(k + n)];
                glVertex3f(a.x, a.y, 0.0f);
                glVertex3f(b.x, b.y, 0.0f);
                glVertex3f(a.x, a.y, 0.0f);
                glVertex3f(c.x, c.y, 0.0f);
            }
        }
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
}

}  // namespace kvx::effects
