// The shared view of the mesh layers.
#include "effects/MeshView.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <string>

#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

void vectorParameter(layers::Layer& layer, const layers::LayerDesc& desc, const std::string& stem,
                     std::array<float, 3>& out) {
    const char* axes[3] = {"x", "y", "z"};
    for (size_t i = 0; i < 3; ++i) {
        readAndBindFloat(layer, desc, (stem + axes[i]).c_str(), &out[i]);
    }
}

}  // namespace

void MeshView::loadParameters(layers::Layer& layer, const layers::LayerDesc& desc) {
    bindFloatIfGiven(layer, desc, "fov", &fov);
    loadPlacement(layer, desc);
    vectorParameter(layer, desc, "scale", scale3);
    readAndBindFloat(layer, desc, "scale", &scale);
}

void MeshView::loadPlacement(layers::Layer& layer, const layers::LayerDesc& desc) {
    vectorParameter(layer, desc, "pos", position);
    vectorParameter(layer, desc, "campos", cameraPosition);
    vectorParameter(layer, desc, "camtarget", cameraTarget);
    vectorParameter(layer, desc, "camup", cameraUp);
    vectorParameter(layer, desc, "rot", rotation);
    vectorParameter(layer, desc, "light", light);
}

void MeshView::apply(float aspect) const {
    applyUnscaled(aspect);
    glScalef(scale3[0] * scale, scale3[1] * scale, scale3[2] * scale);
}

void MeshView::applyUnscaled(float aspect) const {
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // NaN fails both comparisons of the clamp, so it is caught first.
    const float f = fov == fov ? std::clamp(fov, kMinFov, kMaxFov) : 45.0f;
    gluPerspective(f, aspect, 1.0, 10000.0);
    gluLookAt(cameraPosition[0], cameraPosition[1], cameraPosition[2], cameraTarget[0],
              cameraTarget[1], cameraTarget[2], cameraUp[0], cameraUp[1], cameraUp[2]);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat lightPosition[4] = {light[0], light[1], light[2], 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glTranslatef(position[0], position[1], position[2]);
    glRotatef(rotation[0], 1.0f, 0.0f, 0.0f);
    glRotatef(rotation[1], 0.0f, 1.0f, 0.0f);
    glRotatef(rotation[2], 0.0f, 0.0f, 1.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
}

}  // namespace kvx::effects
