// distortionlayer: the accumulation buffer on a waving grid in perspective.
#include "effects/DistortionLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// One degree in radians as the wave computes it.
constexpr float kDegree = 0.017452778f;

DistortFunction functionNamed(const core::String& name) {
    if (name.equalsIgnoreCase("disttest")) {
        return DistortFunction::DistTest;
    }
    if (name.equalsIgnoreCase("pelmotwirl")) {
        return DistortFunction::PelmoTwirl;
    }
    if (name.equalsIgnoreCase("dycp")) {
        return DistortFunction::Dycp;
    }
    return DistortFunction::None;
}

}  // namespace

bool DistortionLayer::loadParameters(const layers::LayerDesc& desc) {
    // "speed", "freq1", "freq2" and "anglespeed" are accepted and unused.
    int n = 0;
    readInt(desc, "n_vertex", &n);
    gridSize = std::clamp(n, 0, kMaxGridSize);
    readAndBindInt(*this, desc, "boxsize", &boxSize);
    readAndBindFloat(*this, desc, "scale", &scale);
    readAndBindFloat(*this, desc, "zoom", &zoom);
    const char* names[12] = {"periodzx", "periodzy", "periodx", "periody", "speedzx", "speedzy",
                             "speedx",   "speedy",   "ampzx",   "ampzy",   "ampx",    "ampy"};
    float* fields[12] = {&periodZX, &periodZY, &periodX, &periodY, &speedZX, &speedZY,
                         &speedX,   &speedY,   &ampZX,   &ampZY,   &ampX,    &ampY};
    for (int k = 0; k < 12; ++k) {
        readAndBindFloat(*this, desc, names[k], fields[k]);
    }
    readAndBindFloat(*this, desc, "fov", &fov);
    fov = fieldOfView(fov, 45.0f, 10.0f, 179.0f);
    tanHalfFov = halfAngleTangent(fov);
    drawGrid = readSwitch(desc, "drawgrid");
    waveZ = readSwitch(desc, "dycpz");
    waveY = readSwitch(desc, "dycpy");
    waveX = readSwitch(desc, "dycpx");
    mode = functionNamed(desc.findTrack("distfunc").current().text);

    const size_t side = static_cast<size_t>(gridSize);
    vertices.assign(side * side, DistortVertex{});
    rowZ_.assign(side, 0.0f);
    rowX_.assign(side, 0.0f);
    columnZ_.assign(side, 0.0f);
    columnY_.assign(side, 0.0f);
    return true;
}

// Rest positions for the current zoom; every current position starts there.
void DistortionLayer::restGrid() {
    const int n = gridSize;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    zoomW = h * zoom;
    zoomH = zoom * w;
    const float b = static_cast<float>(n - 1);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            DistortVertex& v = vertices[static_cast<size_t>(i * n + j)];
            v.restX = (w + zoomW) / b * (static_cast<float>(j) - b / 2.0f);
            v.restY = (h + zoomH) / b * (static_cast<float>(i) - b / 2.0f);
            v.restZ = 0.0f;
        }
    }
}

bool DistortionLayer::prepare() {
    if (gridSize >= 2) {
        restGrid();
        for (DistortVertex& v : vertices) {
            v.x = v.restX;
            v.y = v.restY;
            v.z = v.restZ;
        }
    }
    phaseZX = phaseZY = phaseX = phaseY = 0.0f;
    if (!waveX) {
        ampX = 0.0f;
    }
    if (!waveY) {
        ampY = 0.0f;
    }
    if (!waveZ) {
        ampZX = 0.0f;
        ampZY = 0.0f;
    }
    return true;
}

void DistortionLayer::advance(unsigned dt) {
    // Speeds are radians per second.
    const float t = static_cast<float>(dt);
    phaseZX += t * speedZX * 0.001f;
    phaseZY += t * speedZY * 0.001f;
    phaseX += t * speedX * 0.001f;
    phaseY += t * speedY * 0.001f;
    if (mode == DistortFunction::Dycp && gridSize >= 2 && !vertices.empty()) {
        wave();
    }
}

float DistortionLayer::fade(int t) const {
    const int b = boxSize;
    if (b == 0) {
        return 1.0f;  // no border
    }
    if (t <= b) {
        return static_cast<float>(t) / static_cast<float>(b);
    }
    if (t < gridSize - b) {
        return 1.0f;
    }
    return static_cast<float>(gridSize - t - 1) / static_cast<float>(b);
}

void DistortionLayer::wave() {
    const int n = gridSize;
    restGrid();
    // A direction whose switch is off never waves, also when its amplitude
    // is animated after prepare cleared it.
    const float ax = waveX ? ampX : 0.0f;
    const float ay = waveY ? ampY : 0.0f;
    const float azx = waveZ ? ampZX : 0.0f;
    const float azy = waveZ ? ampZY : 0.0f;
    const float step = 360.0f / static_cast<float>(n);
    for (int j = 0; j < n; ++j) {
        const float a = static_cast<float>(j) * step;
        columnZ_[static_cast<size_t>(j)] = azx * std::cos(a * periodZX * kDegree + phaseZX);
        columnY_[static_cast<size_t>(j)] = ay * std::cos(a * periodY * kDegree + phaseY);
    }
    for (int i = 0; i < n; ++i) {
        const float a = static_cast<float>(i) * step;
        rowZ_[static_cast<size_t>(i)] = azy * std::sin(a * periodZY * kDegree + phaseZY);
        rowX_[static_cast<size_t>(i)] = ax * std::sin(a * periodX * kDegree + phaseX);
    }
    for (int i = 0; i < n; ++i) {
        const float fi = fade(i);
        for (int j = 0; j < n; ++j) {
            const float f = std::min(fi, fade(j));
            DistortVertex& v = vertices[static_cast<size_t>(i * n + j)];
            v.x = (v.restX + f * rowX_[static_cast<size_t>(i)]) * scale;
            v.y = (v.restY + f * columnY_[static_cast<size_t>(j)]) * scale;
            v.z = (rowZ_[static_cast<size_t>(i)] + columnZ_[static_cast<size_t>(j)]) * f * scale;
        }
    }
}

void DistortionLayer::drawMesh() const {
    const int n = gridSize;
    const float d = 1.0f / static_cast<float>(n - 1);
    auto vertex = [&](int i, int j) {
        const DistortVertex& v = vertices[static_cast<size_t>(i * n + j)];
        glTexCoord2f(static_cast<float>(j) * d, -static_cast<float>(i) * d);
        glVertex3f(v.x, v.y, v.z);
    };
    glBegin(GL_TRIANGLES);
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = 0; j + 1 < n; ++j) {
            vertex(i, j);
            vertex(i, j + 1);
            vertex(i + 1, j);
            vertex(i, j + 1);
            vertex(i + 1, j);
            vertex(i + 1, j + 1);
        }
    }
    glEnd();
}

void DistortionLayer::drawLines() const {
    const int n = gridSize;
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_LINES);
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = 0; j + 1 < n; ++j) {
            const DistortVertex& a = vertices[static_cast<size_t>(i * n + j)];
            const DistortVertex& b = vertices[static_cast<size_t>(i * n + j + 1)];
            const DistortVertex& c = vertices[static_cast<size_t>((i + 1) * n + j)];
            glVertex3f(a.x, a.y, a.z);
            glVertex3f(b.x, b.y, b.z);
            glVertex3f(a.x, a.y, a.z);
            glVertex3f(c.x, c.y, c.z);
        }
    }
    glEnd();
    glEnable(GL_DEPTH_TEST);
}

void DistortionLayer::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (gridSize < 2 || vertices.empty()) {
        return;
    }
    const float w = static_cast<float>(width);
    // The animated field of view; 0 or 180 degrees would be a degenerate view.
    const float viewFov = std::isnan(fov) ? 45.0f : std::clamp(fov, 1.0f, 179.0f);
    const double eye = w * 0.5 / tanHalfFov;
    planeCamera(viewFov, eye, 2000.0, PlaneY::Up);
    glEnable(GL_TEXTURE_2D);
    bindAccumTexture();
    glLoadIdentity();
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    drawMesh();
    releaseAccumTexture();
    if (drawGrid) {
        drawLines();
    }
}

bool DistortionLayer::release() {
    vertices.clear();
    vertices.shrink_to_fit();
    return true;
}

}  // namespace kvx::effects
