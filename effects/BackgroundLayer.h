// BackgroundLayer ("background"): a rotating backdrop. The camera sits at
// the centre of a textured cube or sphere of half-size 1 and the shape turns
// around it, so its inside faces fill the view. The texture is an image file
// ("texture") or, when none is named, the accumulation buffer: the picture
// the layers drawn before this one composed in the same frame.
//
// "type" picks the shape ("cube" or "sphere", any case); without it nothing
// is drawn. An animated "type" switches between the two shapes, but a text
// that names neither keeps the shape it had. "rotx", "roty", "rotz" are
// speeds in degrees per millisecond.
#pragma once

#include <cstdint>
#include <memory>

#include "core/String.h"
#include "layers/Layer.h"

struct GLUquadric;

namespace kvx::effects {

class BackgroundLayer final : public layers::Layer {
  public:
    enum class Shape : int32_t { Cube = 0, Sphere = 1, Nothing = 2 };

    // Field of view used when none (or 0, or not a number) is given, and the
    // range it is clamped to.
    static constexpr float kDefaultFov = 45.0f;
    static constexpr float kMinFov = 1.0f;
    static constexpr float kMaxFov = 150.0f;
    static constexpr int kSphereSlices = 32;
    static constexpr int kSphereStacks = 32;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    // The shape a "type" text names, Nothing for any other text.
    static Shape shapeFor(const core::String& name);
    // The load rule for a field of view: 0 or not a number gives the
    // default, anything else is clamped to kMinFov..kMaxFov.
    static float usableFov(float v);
    // The angle draw gives the projection: the value the track wrote, with
    // 0 or not a number as the default and only degenerate views (below 1
    // or above 179 degrees) held off.
    static float viewFov(float v);

    Shape shape = Shape::Nothing;
    core::String shapeName;  // animated "type"
    core::String textureName;
    bool useAccum = false;  // no "texture": the accumulation buffer is the texture
    int texture = 0;        // loader result: a name, or -1 / 0 when the image failed
    float fov = kDefaultFov;
    static constexpr float size = 1.0f;  // half the cube's edge, the sphere's radius
    float spinX = 0.0f;                  // degrees per millisecond
    float spinY = 0.0f;
    float spinZ = 0.0f;
    float angleX = 0.0f;  // degrees
    float angleY = 0.0f;
    float angleZ = 0.0f;

  private:
    struct QuadricDeleter {
        void operator()(GLUquadric* q) const;
    };
    std::unique_ptr<GLUquadric, QuadricDeleter> quadric_;
};

}  // namespace kvx::effects
