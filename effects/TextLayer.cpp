// textlayer: font-sheet text in a movable, turnable plane.
#include "effects/TextLayer.h"

#include <GL/gl.h>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

float TextLayer::clampFov(float value) {
    return fieldOfView(value, kDefaultFov, kMinFov, kMaxFov);
}

bool TextLayer::loadParameters(const layers::LayerDesc& desc) {
    // Read once, in the order the values depend on each other.
    readText(desc, "fontfile", &fontFile);
    readInt(desc, "rows", &fontRows);
    readInt(desc, "cols", &fontCols);
    fontFirstChar = static_cast<uint8_t>(intSlot(desc, "offset", fontFirstChar));
    readFloat(desc, "fov", &fov);
    fov = clampFov(fov);
    tanHalfFov = halfAngleTangent(fov);

    // The colour and its factors are read once from a value of any kind;
    // "gf", "bf", "af" animate only when given as floats. The rest is read
    // and animated only for values of the right kind.
    colour = colourSlot(desc, "color", colour);
    greenFactor = floatSlot(desc, "rg", greenFactor);
    blueFactor = floatSlot(desc, "rb", blueFactor);
    alphaFactor = floatSlot(desc, "ra", alphaFactor);
    bindColor("color", colour.data());
    readSlotAndBindFloat(*this, desc, "rf", &redFactor);
    bindFloatIfGiven(*this, desc, "gf", &greenFactor);
    bindFloatIfGiven(*this, desc, "bf", &blueFactor);
    bindFloatIfGiven(*this, desc, "af", &alphaFactor);
    readSlotAndBindFloat(*this, desc, "f", &factor);
    readAndBindFloat(*this, desc, "x", &textX);
    readAndBindFloat(*this, desc, "y", &textY);
    readAndBindFloat(*this, desc, "w", &charWidth);
    readAndBindFloat(*this, desc, "h", &charHeight);
    if (readText(desc, "text", &text)) {
        bindString("text", &text);
    }
    readAndBindFloat(*this, desc, "rx", &rotX);
    readAndBindFloat(*this, desc, "ry", &rotY);
    readAndBindFloat(*this, desc, "rz", &rotZ);
    readAndBindFloat(*this, desc, "xpos", &posX);
    readAndBindFloat(*this, desc, "ypos", &posY);
    readAndBindFloat(*this, desc, "zpos", &posZ);
    return true;
}

bool TextLayer::prepare() {
    assets::deleteBitmapFont(font);
    font = assets::makeBitmapFont(fontFile, fontRows, fontCols, fontFirstChar);
    return true;
}

layers::Colour TextLayer::drawColour() const {
    return {redFactor * colour[0] * factor, greenFactor * colour[1] * factor,
            blueFactor * colour[2] * factor, alphaFactor * colour[3] * factor};
}

float TextLayer::eyeDistance() const {
    return static_cast<float>(static_cast<unsigned>(width)) * 0.5f / tanHalfFov;
}

void TextLayer::draw() {
    const unsigned w = static_cast<unsigned>(width);
    const unsigned h = static_cast<unsigned>(height);
    planeCamera(static_cast<double>(fov), static_cast<double>(eyeDistance()), kFar, PlaneY::Down);
    glLoadIdentity();
    glTranslatef(posX, posY, posZ);
    glRotatef(rotX, 1.0f, 0.0f, 0.0f);
    glRotatef(rotY, 0.0f, 1.0f, 0.0f);
    glRotatef(rotZ, 0.0f, 0.0f, 1.0f);

    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const layers::Colour c = drawColour();
    glColor4f(c[0], c[1], c[2], c[3]);
    const float cw = charWidth == -1.0f ? -1.0f : charWidth * static_cast<float>(w);
    const float ch = charHeight == -1.0f ? -1.0f : charHeight * static_cast<float>(h);
    assets::drawText(font, text, textX * static_cast<float>(w) - static_cast<float>(w / 2),
                     textY * static_cast<float>(h) - static_cast<float>(h / 2), cw, ch);
}

bool TextLayer::release() {
    assets::deleteBitmapFont(font);
    return true;
}

}  // namespace kvx::effects
