// textlayer: font-sheet text in a movable, turnable plane.
#include "effects/TextLayer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace kvx::effects {

namespace {

using layers::ValueKind;

// The first keyframe of a parameter, when the script gave it as `kind`.
bool given(const layers::LayerDesc& desc, const char* name, ValueKind kind) {
    return desc.findTrack(name).current().kind == kind;
}

// Read once and animated, both only for a float value.
void readAndBindFloat(TextLayer& layer, const layers::LayerDesc& desc, const char* name,
                      float* out) {
    if (given(desc, name, ValueKind::Float)) {
        *out = desc.findTrack(name).current().floatValue;
        layer.bindFloat(name, out);
    }
}

// Read once from the float slot of a value of any kind.
void readAnyFloat(const layers::LayerDesc& desc, const char* name, float* out) {
    const layers::Track track = desc.findTrack(name);
    if (track.current().hasValue()) {
        *out = track.current().floatValue;
    }
}

}  // namespace

float TextLayer::clampFov(float value) {
    if (value == 0.0f || std::isnan(value)) {
        value = kDefaultFov;
    }
    return std::clamp(value, kMinFov, kMaxFov);
}

bool TextLayer::loadParameters(const layers::LayerDesc& desc) {
    // Read once, in the order the values depend on each other.
    if (given(desc, "fontfile", ValueKind::String)) {
        fontFile = desc.findTrack("fontfile").current().text;
    }
    if (given(desc, "rows", ValueKind::Int)) {
        fontRows = desc.findTrack("rows").current().intValue;
    }
    if (given(desc, "cols", ValueKind::Int)) {
        fontCols = desc.findTrack("cols").current().intValue;
    }
    const layers::Track offset = desc.findTrack("offset");
    if (offset.current().hasValue()) {
        fontFirstChar = static_cast<uint8_t>(offset.current().intValue);
    }
    if (given(desc, "fov", ValueKind::Float)) {
        fov = desc.findTrack("fov").current().floatValue;
    }
    fov = clampFov(fov);
    // 0.008726389 is 3.1415 / 360 in single precision: degrees to half radians.
    tanHalfFov = std::tan(fov * 0.008726389f);

    // Read once and animated: the values of the right kind only.
    const layers::Track colourTrack = desc.findTrack("color");
    if (colourTrack.current().hasValue()) {
        colour = colourTrack.current().colour;
    }
    readAnyFloat(desc, "rf", &redFactor);
    readAnyFloat(desc, "rg", &greenFactor);
    readAnyFloat(desc, "rb", &blueFactor);
    readAnyFloat(desc, "ra", &alphaFactor);
    readAnyFloat(desc, "f", &factor);
    bindColor("color", colour.data());
    bindFloat("rf", &redFactor);
    if (given(desc, "gf", ValueKind::Float)) {
        bindFloat("gf", &greenFactor);
    }
    if (given(desc, "bf", ValueKind::Float)) {
        bindFloat("bf", &blueFactor);
    }
    if (given(desc, "af", ValueKind::Float)) {
        bindFloat("af", &alphaFactor);
    }
    bindFloat("f", &factor);
    readAndBindFloat(*this, desc, "x", &textX);
    readAndBindFloat(*this, desc, "y", &textY);
    readAndBindFloat(*this, desc, "w", &charWidth);
    readAndBindFloat(*this, desc, "h", &charHeight);
    if (given(desc, "text", ValueKind::String)) {
        text = desc.findTrack("text").current().text;
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
    const double eye = static_cast<double>(eyeDistance());
    // A narrow view puts the eye beyond the usual far plane; the plane then
    // moves out so that the text stays in view.
    const double farPlane = std::max(kFar, 2.0 * eye);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(static_cast<double>(fov), 1.0, kNear, farPlane);
    // Looking along +z with y down the screen, as the layers' own space.
    gluLookAt(0.0, 0.0, -eye, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
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
