// MeshView: the camera, light and model transform that the lit 3D layers
// (object, dist_object, metaballs, twister) share, with their parameters
// and the GL set-up before a mesh is drawn.
//
// Parameters (floats; each read at load and animated unless noted):
//   "fov" (animated only, default 45), "posx" "posy" "posz" (0),
//   "camposx" "camposy" "camposz" (0, 0, 100), "camtargetx" .. "z" (0),
//   "camupx" .. "z" (0, 1, 0), "rotx" "roty" "rotz" (degrees, 0),
//   "lightx" "lighty" "lightz" (0, 0, 1000), "scalex" "scaley" "scalez"
//   and "scale" (1).
// A value of another kind than float is neither read nor bound
// (EffectParams.h).
#pragma once

#include <array>

#include "layers/Layer.h"

namespace kvx::effects {

struct MeshView {
    // The field of view is kept inside this range (degrees), so that the
    // projection stays finite whatever a script animates.
    static constexpr float kMinFov = 1.0f;
    static constexpr float kMaxFov = 179.0f;

    float fov = 45.0f;
    std::array<float, 3> position{0.0f, 0.0f, 0.0f};
    std::array<float, 3> light{0.0f, 0.0f, 1000.0f};
    std::array<float, 3> cameraPosition{0.0f, 0.0f, 100.0f};
    std::array<float, 3> cameraTarget{0.0f, 0.0f, 0.0f};
    std::array<float, 3> cameraUp{0.0f, 1.0f, 0.0f};
    std::array<float, 3> rotation{0.0f, 0.0f, 0.0f};
    std::array<float, 3> scale3{1.0f, 1.0f, 1.0f};
    float scale = 1.0f;

    // Reads and binds the parameters above to layer's tracks.
    void loadParameters(layers::Layer& layer, const layers::LayerDesc& desc);
    // Only the placement: position, camera, turn and light, leaving the
    // field of view and the scale as they are (for a layer that has no
    // such parameters).
    void loadPlacement(layers::Layer& layer, const layers::LayerDesc& desc);
    // Normalisation and depth test on; perspective and camera in the
    // projection matrix; light 0 placed, then the model translated, turned
    // (x, then y, then z) and scaled in the model-view matrix; lighting and
    // light 0 on.
    void apply(float aspect) const;
    // apply without the scale, for a layer that has none.
    void applyUnscaled(float aspect) const;
};

}  // namespace kvx::effects
