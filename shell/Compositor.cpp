// Buffer set-up and per-frame compositing.
#include "shell/Compositor.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "shell/Blend.h"

namespace kvx::shell {

namespace {

// Projection over the window's pixels, y down, as the accumulation buffer
// and the window use it.
void windowOrtho(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
}

void layerPerspective(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(w) / static_cast<double>(h), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace

float Compositor::clampQuality(float q) {
    if (!(q >= kMinQuality)) {
        return kMinQuality;
    }
    return q > kMaxQuality ? kMaxQuality : q;
}

int Compositor::bufferSide(float quality) {
    return static_cast<int>(clampQuality(quality) * 512.0f);
}

int Compositor::smallSide(float quality) {
    return static_cast<int>(clampQuality(quality) * 256.0f);
}

Compositor::Compositor(GlWindow& window, float quality)
    : window_(window), side_(bufferSide(quality)), smallSide_(smallSide(quality)) {
    const int w = window.width();
    const int h = window.height();
    window.makeCurrent();

    // One share group: every buffer's context shares the window's textures
    // and display lists, and keeps the rest of its state to itself.
    accum_.create(side_, side_, window.context());
    accum_.makeCurrent();
    glClearColor(0, 0, 0, 0);
    windowOrtho(w, h);
    glLoadIdentity();

    layer_.create(side_, side_, window.context());
    layer_.makeCurrent();
    glClearColor(0, 0, 0, 0);
    layerPerspective(w, h);

    small_.create(smallSide_, smallSide_, window.context());
    small_.makeCurrent();
    glClearColor(0, 0, 0, 0);
    layerPerspective(w, h);

    for (size_t i = 0; i < targets_.size(); ++i) {
        targets_[i] = std::make_unique<PBuffer>(side_, side_, window.context());
        targetArray_[i] = targets_[i].get();
        targets_[i]->makeCurrent();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        windowOrtho(w, h);
        glLoadIdentity();
    }

    layer_.makeCurrent();
    window.makeCurrent();
    glClearColor(0, 0, 0, 0);
    windowOrtho(w, h);
}

Compositor::~Compositor() {
    // The targets go first, then the small, layer and accumulation buffers.
    destroyTargets();
    small_.destroy();
    layer_.destroy();
    accum_.destroy();
    window_.makeCurrent();
}

void Compositor::destroyTargets() {
    for (auto& t : targets_) {
        if (t) {
            t->destroy();
        }
    }
}

bool Compositor::failed() const {
    return accum_.failed() || layer_.failed() || small_.failed() || targets_[0]->failed() ||
           targets_[1]->failed();
}

PBuffer* Compositor::targetFor(int target) {
    if (target == 1 || target == 2) {
        return targets_[static_cast<size_t>(target - 1)].get();
    }
    return &layer_;
}

bool Compositor::initLayer(layers::Layer& layer, float aspect) {
    layer.target = layers::Layer::clampTarget(layer.target);
    layer.width = 512;
    layer.height = 512;
    layer.aspect = aspect;
    targetFor(layer.target)->makeCurrent();
    auto buffers = std::make_unique<LayerBuffers>();
    buffers->attachSmallBuffer(&small_);
    buffers->attachAccumBuffer(&accum_);
    buffers->attachTargetBuffers(targetArray_.data(), static_cast<int>(targetArray_.size()));
    layer.attachGraphics(std::move(buffers));
    // Every bound field takes its time-0 value before prepare sees it.
    layer.updateTracks(0);
    const bool ok = layer.prepare();
    window_.makeCurrent();
    return ok;
}

void Compositor::beginFrame() {
    accum_.makeCurrent();
    glDisable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
}

void Compositor::advanceLayer(layers::Layer& layer, uint32_t dt) {
    layers::setCurrentLayer(&layer);
    layer.updateTracks(dt);
    layer.advance(dt);
    layers::setCurrentLayer(nullptr);
}

void Compositor::drawLayer(layers::Layer& layer, uint32_t dt) {
    layers::setCurrentLayer(&layer);
    layer.updateTracks(dt);
    layer.advance(dt);

    PBuffer& target = *targetFor(layer.target);
    target.makeCurrent();
    glClear(layer.keepZBuffer() ? GL_COLOR_BUFFER_BIT : GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (layer.target == 0) {
        glOrtho(0, 512, 512, 0, -100, 100);  // y down
    } else {
        glOrtho(0, 512, 0, 512, -100, 100);  // y up
    }
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The attribute stack is the target's own: push and pop both happen
    // with the target's context current.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    layer.draw();
    if (auto* buffers = dynamic_cast<LayerBuffers*>(layer.graphics())) {
        // An effect that forgot endSmallBuffer comes back from the small
        // buffer here.
        buffers->endSmallBuffer();
        buffers->releaseAccumTexture();
        buffers->releaseTargetTexture(1);
        buffers->releaseTargetTexture(2);
    }
    target.makeCurrent();
    layers::setCurrentLayer(nullptr);
#ifndef NDEBUG
    // Debug builds name the layer that left a GL error behind.
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) {
        std::fprintf(stderr, "kvx: GL error 0x%04x after drawing a %s layer\n", e,
                     layer.description.type.text());
    }
#endif
    glPopAttrib();
    glFlush();

    accum_.makeCurrent();
    applyBlendMode(layer.blendMode);
    drawBufferQuad(layer_, layer_.texture(), window_.width(), window_.height());
}

void Compositor::present(bool swap) {
    window_.makeCurrent();
    glEnable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawBufferQuad(accum_, accum_.texture(), window_.width(), window_.height());
    if (swap) {
        window_.swap();
    }
}

}  // namespace kvx::shell
