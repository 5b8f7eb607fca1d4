// imagelayer: one textured rectangle at pixel scale, moving and fading.
#include "effects/ImageLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

// The show's rounding: half up for positive values, truncation for
// negative ones; not a number gives 0. Unclamped, in double precision, so
// sums of huge values stay finite until they are clamped.
double showRound(double v) {
    if (std::isnan(v)) {
        return 0.0;
    }
    const double t = std::trunc(v);
    return v - t >= 0.5 ? t + 1.0 : t;
}

int32_t clampCoord(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double limit = ImageLayer::kCoordLimit;
    return static_cast<int32_t>(std::clamp(v, -limit, limit));
}

}  // namespace

int32_t ImageLayer::pixelRound(double v) {
    return clampCoord(showRound(v));
}

float ImageLayer::usableFov(float v) {
    return fieldOfView(v, kDefaultFov, kMinFov, kMaxFov);
}

float ImageLayer::viewFov(float v) {
    return fieldOfView(v, kDefaultFov, 1.0f, kMaxFov);
}

bool ImageLayer::loadParameters(const layers::LayerDesc& desc) {
    readText(desc, "filename", &fileName);
    // The float slot whatever kind the script gave (an integer literal
    // reads as 0), then animated.
    readSlotAndBindFloat(*this, desc, "x", &x);
    readSlotAndBindFloat(*this, desc, "y", &y);
    readSlotAndBindFloat(*this, desc, "w", &w);
    readSlotAndBindFloat(*this, desc, "h", &h);
    readSlotAndBindFloat(*this, desc, "alpha", &alpha);
    readSlotAndBindFloat(*this, desc, "dx", &dx);
    readSlotAndBindFloat(*this, desc, "dy", &dy);
    readSlotAndBindFloat(*this, desc, "dw", &dw);
    readSlotAndBindFloat(*this, desc, "dh", &dh);
    da = floatSlot(desc, "da", da);  // read once, never animated
    source = intSlot(desc, "source", 0);
    bindInt("source", &source);

    if (readFloat(desc, "fov", &fov)) {
        fov = usableFov(fov);
        bindFloat("fov", &fov);
    }
    tanHalfFov = halfAngleTangent(fov);
    // Only values given as floats are read and animated.
    readAndBindFloat(*this, desc, "rx", &rotX);
    readAndBindFloat(*this, desc, "ry", &rotY);
    readAndBindFloat(*this, desc, "rz", &rotZ);
    readAndBindFloat(*this, desc, "scale", &scale);
    readAndBindFloat(*this, desc, "xpos", &posX);
    readAndBindFloat(*this, desc, "ypos", &posY);
    readAndBindFloat(*this, desc, "zpos", &posZ);
    return true;
}

bool ImageLayer::prepare() {
    texture = fileName.view().empty() ? 0 : loadLayerTexture(fileName);
    return true;
}

void ImageLayer::advance(unsigned dt) {
    const float t = static_cast<float>(dt);
    x += t * dx;
    y += t * dy;
    w += t * dw;
    h += t * dh;

    const unsigned uw = static_cast<unsigned>(width);
    const unsigned uh = static_cast<unsigned>(height);
    const float fw = static_cast<float>(uw);
    const float fh = static_cast<float>(uh);
    const double l = showRound(fw * x) - static_cast<double>(uw / 2);
    const double tp = showRound(fh * y) - static_cast<double>(uh / 2);
    left = clampCoord(l);
    top = clampCoord(tp);
    right = clampCoord(showRound(fw * w) + l);
    bottom = clampCoord(showRound(fh * h) + tp);

    alpha += da;
    alpha = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
}

void ImageLayer::draw() {
    const double distance =
        static_cast<double>(static_cast<unsigned>(width)) * 0.5 / static_cast<double>(tanHalfFov);
    planeCamera(viewFov(fov), distance, 2000.0, PlaneY::Down);
    glTranslatef(posX, posY, posZ);
    glRotatef(rotX, 1.0f, 0.0f, 0.0f);
    glRotatef(rotY, 0.0f, 1.0f, 0.0f);
    glRotatef(rotZ, 0.0f, 0.0f, 1.0f);

    const int src = effectiveSource();
    int bound = texture;
    if (texture == 0) {
        bound = src != 0 ? bindTargetTexture(src) : bindAccumTexture();
    }
    // A file that could not be read (-1) shows no image: the rectangle is
    // drawn in the plain colour.
    texturedUnlitState(bound);
    glColor4f(colour[0], colour[1], colour[2], alpha * colour[3]);

    const float l = static_cast<float>(left) * scale;
    const float t = static_cast<float>(top) * scale;
    const float r = static_cast<float>(right) * scale;
    const float b = static_cast<float>(bottom) * scale;
    auto corner = [](float s, float tc, float vx, float vy) {
        glTexCoord2f(s, tc);
        glVertex3f(vx, vy, 0.0f);
    };
    glBegin(GL_TRIANGLES);
    corner(0, 0, l, t);
    corner(1, 0, r, t);
    corner(0, 1, l, b);
    corner(1, 0, r, t);
    corner(0, 1, l, b);
    corner(1, 1, r, b);
    glEnd();

    if (texture == 0) {
        if (src != 0) {
            releaseTargetTexture(src);
        } else {
            releaseAccumTexture();
        }
    }
    glEnable(GL_DEPTH_TEST);
}

bool ImageLayer::release() {
    deleteLayerTexture(texture);
    return true;
}

}  // namespace kvx::effects
