// background: a textured cube or sphere turning around the camera.
#include "effects/BackgroundLayer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "effects/EffectGl.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

struct CubeVertex {
    float s, t;
    float x, y, z;  // in units of the half edge
};
struct CubeFace {
    float nx, ny, nz;
    CubeVertex v[4];
};

// Six faces, each with one normal; texture coordinates as the show's
// backdrops were painted for them.
constexpr CubeFace kCube[6] = {
    {0, 0, 1, {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},
    {0, 0, -1, {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}},
    {0, 1, 0, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},
    {0, -1, 0, {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}},
    {1, 0, 0, {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},
    {-1, 0, 0, {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}},
};

void drawCube(float a) {
    glBegin(GL_QUADS);
    for (const CubeFace& f : kCube) {
        glNormal3f(f.nx, f.ny, f.nz);
        for (const CubeVertex& v : f.v) {
            glTexCoord2f(v.s, v.t);
            glVertex3f(v.x * a, v.y * a, v.z * a);
        }
    }
    glEnd();
}

}  // namespace

void BackgroundLayer::QuadricDeleter::operator()(GLUquadric* q) const {
    gluDeleteQuadric(q);
}

BackgroundLayer::Shape BackgroundLayer::shapeFor(const core::String& name) {
    if (name.equalsIgnoreCase("cube")) {
        return Shape::Cube;
    }
    return name.equalsIgnoreCase("sphere") ? Shape::Sphere : Shape::Nothing;
}

float BackgroundLayer::usableFov(float v) {
    return fieldOfView(v, kDefaultFov, kMinFov, kMaxFov);
}

float BackgroundLayer::viewFov(float v) {
    return fieldOfView(v, kDefaultFov, 1.0f, 179.0f);
}

bool BackgroundLayer::loadParameters(const layers::LayerDesc& desc) {
    shape = Shape::Nothing;
    angleX = angleY = angleZ = 0.0f;

    core::String type;
    if (readText(desc, "type", &type)) {
        shape = shapeFor(type);
        bindString("type", &shapeName);
    }
    // A "texture" that is not a text names no file: the layer then shows
    // the accumulation buffer, as when none is given.
    useAccum = !readText(desc, "texture", &textureName);
    if (readFloat(desc, "fov", &fov)) {
        fov = usableFov(fov);
        bindFloat("fov", &fov);
    }
    readAndBindFloat(*this, desc, "rotx", &spinX);
    readAndBindFloat(*this, desc, "roty", &spinY);
    readAndBindFloat(*this, desc, "rotz", &spinZ);
    return true;
}

bool BackgroundLayer::prepare() {
    if (!useAccum) {
        texture = loadLayerTexture(textureName);
    }
    quadric_.reset(gluNewQuadric());
    if (quadric_) {
        gluQuadricNormals(quadric_.get(), GLU_SMOOTH);
        gluQuadricTexture(quadric_.get(), GL_TRUE);
    }
    return true;
}

void BackgroundLayer::advance(unsigned dt) {
    const Shape named = shapeFor(shapeName);
    if (named != Shape::Nothing) {
        shape = named;
    }
    const float t = static_cast<float>(dt);
    angleX += t * spinX;
    angleY += t * spinY;
    angleZ += t * spinZ;
}

void BackgroundLayer::draw() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The track's value as it is (the start-up evaluation writes the
    // script's own value back over the one clamped at load); only views
    // that would be degenerate are held off.
    gluPerspective(viewFov(fov), aspect, 0.1, size + 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(angleX, 1.0f, 0.0f, 0.0f);
    glRotatef(angleY, 0.0f, 1.0f, 0.0f);
    glRotatef(angleZ, 0.0f, 0.0f, 1.0f);

    // A texture that failed to load (-1 or 0) shows no image: the shape is
    // drawn in the plain colour.
    texturedUnlitState(useAccum ? bindAccumTexture() : texture);
    glEnable(GL_DEPTH_TEST);
    glColor4f(colour[0], colour[1], colour[2], colour[3]);

    if (shape == Shape::Cube) {
        drawCube(size);
    } else if (shape == Shape::Sphere && quadric_) {
        gluSphere(quadric_.get(), size, kSphereSlices, kSphereStacks);
    }
    if (useAccum) {
        releaseAccumTexture();
    }
}

bool BackgroundLayer::release() {
    quadric_.reset();
    deleteLayerTexture(texture);
    return true;
}

}  // namespace kvx::effects
