// radialblur: stacked, ever more magnified copies of the accumulation buffer.
#include "effects/RadialBlurLayer.h"

#include <GL/gl.h>

#include <algorithm>

#include "effects/EffectParams.h"

namespace kvx::effects {

bool RadialBlurLayer::loadParameters(const layers::LayerDesc& desc) {
    // The two switches are read whatever kind the script gave (a missing
    // one reads 0) and always bound.
    showFirst = intSlot(desc, "showfirst", 0);
    overlay = intSlot(desc, "overlay", 0);
    bindInt("showfirst", &showFirst);
    bindInt("overlay", &overlay);
    readAndBindInt(*this, desc, "delta", &delta);
    readAndBindInt(*this, desc, "iterations", &iterations);
    readAndBindFloat(*this, desc, "alpha", &alpha);
    return true;
}

bool RadialBlurLayer::prepare() {
    // Only the starting count is corrected; an animated count that reaches
    // 0 later draws no copies.
    if (iterations <= 0) {
        iterations = 1;
    }
    return true;
}

float RadialBlurLayer::copyOpacity(int k) const {
    const int count = std::min(iterations, kMaxIterations);
    if (count <= 0) {
        return 0.0f;
    }
    const float a = colour[3];
    const float decrement = a * 0.9f / static_cast<float>(count * count);
    return alpha * a - static_cast<float>(k) * decrement;
}

void RadialBlurLayer::drawFullQuad(float w, float h) const {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(w, 0.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(w, h, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(0.0f, h, 0.0f);
    glEnd();
}

// Into the small buffer, which is current: its own projection and blending,
// all popped again before returning.
void RadialBlurLayer::drawCopies(int count, float w, float h) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, w, 0.0, h, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    bindAccumTexture();

    const float step = static_cast<float>(delta) * 0.0001f;
    float s = 0.0f;
    glBegin(GL_QUADS);
    for (int k = 0; k < count; ++k) {
        glColor4f(colour[0], colour[1], colour[2], copyOpacity(k));
        glTexCoord2f(s, s);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glTexCoord2f(1.0f - s, s);
        glVertex3f(w, 0.0f, 0.0f);
        glTexCoord2f(1.0f - s, 1.0f - s);
        glVertex3f(w, h, 0.0f);
        glTexCoord2f(s, 1.0f - s);
        glVertex3f(0.0f, h, 0.0f);
        s += step;
    }
    glEnd();
    releaseAccumTexture();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void RadialBlurLayer::draw() {
    if (graphics() == nullptr) {
        return;  // no buffers to read or draw into
    }
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    beginSmallBuffer();
    drawCopies(std::min(iterations, kMaxIterations), w, h);
    endSmallBuffer();

    // Back in the target, with the blending and projection the frame loop
    // left there.
    glEnable(GL_TEXTURE_2D);
    bindSmallTexture();
    glColor4f(colour[0], colour[1], colour[2], colour[3]);
    drawFullQuad(w, h);
    releaseSmallTexture();
    releaseAccumTexture();

    if (showFirst != 0) {
        bindAccumTexture();
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, overlay != 0 ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE);
        glColor4f(colour[0], colour[1], colour[2], colour[3]);
        drawFullQuad(w, h);
        releaseAccumTexture();
    }
}

}  // namespace kvx::effects
