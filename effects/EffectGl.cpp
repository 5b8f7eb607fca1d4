// GL set-up shared by several effects.
#include "effects/EffectGl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace kvx::effects {

float fieldOfView(float v, float fallback, float lowest, float highest) {
    if (v == 0.0f || std::isnan(v)) {
        return fallback;
    }
    return std::clamp(v, lowest, highest);
}

float halfAngleTangent(float fov) {
    return std::tan(fov * kHalfDegree);
}

void planeCamera(double fov, double eye, double minFar, PlaneY y) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, 1.0, 0.1, std::max(minFar, 2.0 * eye));
    if (y == PlaneY::Down) {
        gluLookAt(0.0, 0.0, -eye, 0.0, 0.0, 0.0, 0.0, -1.0, 0.0);
    } else {
        gluLookAt(0.0, 0.0, eye, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    }
    glMatrixMode(GL_MODELVIEW);
}

void texturedUnlitState(int texture) {
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (texture > 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void deleteLayerTexture(int& texture) {
    if (texture > 0) {
        const GLuint name = static_cast<GLuint>(texture);
        glDeleteTextures(1, &name);
    }
    texture = 0;
}

}  // namespace kvx::effects
