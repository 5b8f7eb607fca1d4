// fadelayer: a flat colour over the whole layer.
#include "effects/FadeLayer.h"

#include <GL/gl.h>

#include "effects/EffectParams.h"

namespace kvx::effects {

bool FadeLayer::loadParameters(const layers::LayerDesc& desc) {
    // Read once: the first keyframe's value (an expression is not evaluated
    // here; the first track update does that for the animated names).
    fadeColour = colourSlot(desc, "color", fadeColour);
    redFactor = floatSlot(desc, "rf", redFactor);
    greenFactor = floatSlot(desc, "rg", greenFactor);
    blueFactor = floatSlot(desc, "rb", blueFactor);
    alphaFactor = floatSlot(desc, "ra", alphaFactor);
    factor = floatSlot(desc, "f", factor);
    // Animated.
    bindColor("color", fadeColour.data());
    bindFloat("rf", &redFactor);
    bindFloat("gf", &greenFactor);
    bindFloat("bf", &blueFactor);
    bindFloat("af", &alphaFactor);
    bindFloat("f", &factor);
    return true;
}

layers::Colour FadeLayer::drawColour() const {
    return {redFactor * fadeColour[0] * factor, greenFactor * fadeColour[1] * factor,
            blueFactor * fadeColour[2] * factor, alphaFactor * fadeColour[3] * factor};
}

void FadeLayer::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    const layers::Colour c = drawColour();
    glColor4f(c[0], c[1], c[2], c[3]);
    const float w = static_cast<float>(static_cast<unsigned>(width));
    const float h = static_cast<float>(static_cast<unsigned>(height));
    glBegin(GL_TRIANGLES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(w, 0.0f, 0.0f);
    glVertex3f(0.0f, h, 0.0f);
    glVertex3f(0.0f, h, 0.0f);
    glVertex3f(w, 0.0f, 0.0f);
    glVertex3f(w, h, 0.0f);
    glEnd();
}

}  // namespace kvx::effects
