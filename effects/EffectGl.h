// EffectGl: GL set-up pieces that several effects share: the field-of-view
// rule for script values, the camera that sees a plane at pixel scale
// (text, image, distortion, wipe), the state of an unlit textured shape
// and freeing a texture a layer loaded.
//
// Each effect keeps its own range for the field of view and its own far
// plane; these functions take them as arguments.
#pragma once

namespace kvx::effects {

// Degrees to half radians as the show has always computed them:
// 3.1415 / 360 in single precision.
constexpr float kHalfDegree = 0.008726389f;

// A field of view (degrees) a script gave: 0 or not a number gives
// fallback, anything else is clamped to lowest..highest.
float fieldOfView(float v, float fallback, float lowest, float highest);
// tan(fov / 2) with the show's own half-degree factor.
float halfAngleTangent(float fov);

// Which way y runs in the plane the camera looks at: Down puts the camera
// at -eye looking along +z with -y up (the layers' own space, y down the
// screen); Up puts it at +eye looking along -z with +y up.
enum class PlaneY { Down, Up };

// A square-aspect perspective of fov degrees, near plane 0.1, looking at the
// origin from distance eye. The far plane keeps at least minFar and moves
// out to twice the distance for narrow views, whose camera would otherwise
// stand beyond it and see nothing. Leaves the model-view matrix current
// (and untouched).
void planeCamera(double fov, double eye, double minFar, PlaneY y);

// The state of a textured shape drawn unlit and unblended: lighting,
// blending, alpha test and face culling off, texturing on and modulated by
// the current colour, with texture bound. A texture that failed to load
// (-1) or none (0) turns texturing off, so the shape shows the plain colour.
void texturedUnlitState(int texture);

// Deletes a texture a layer loaded (a name above 0; -1 and 0 hold none)
// and sets texture to 0.
void deleteLayerTexture(int& texture);

}  // namespace kvx::effects
