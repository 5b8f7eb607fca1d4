// ImageLayer ("imagelayer"): one textured rectangle, an image file or, when
// no file is named, one of the frame's offscreen pictures ("source" 0: the
// accumulation buffer, 1 or 2: that target buffer).
//
// Placement is in fractions of the layer: "x", "y" the left and top edge,
// "w", "h" the size; "dx", "dy", "dw", "dh" move them per millisecond and
// "da" changes the opacity "alpha" once per frame, whatever the frame's
// length. The rectangle lies in a plane the camera sees at pixel scale (the
// layer's centre at the origin, y down) and can be moved ("xpos", "ypos",
// "zpos"), turned ("rx", "ry", "rz", degrees) and scaled ("scale").
//
// Positions are held in pixels relative to the layer's centre, clamped to
// +-kCoordLimit so that absurd values cannot overflow them.
#pragma once

#include <cstdint>

#include "core/String.h"
#include "layers/Layer.h"

namespace kvx::effects {

class ImageLayer final : public layers::Layer {
  public:
    static constexpr float kDefaultFov = 45.0f;
    static constexpr float kMinFov = 10.0f;
    static constexpr float kMaxFov = 179.0f;
    // Largest distance of an edge from the centre, in pixels: 2048 layer
    // widths, far outside any view, and exact in a float vertex.
    static constexpr int32_t kCoordLimit = 1 << 20;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    // Rounds half away from zero for positive values and truncates negative
    // ones (the show's own rounding), clamped to +-kCoordLimit; not a
    // number gives 0.
    static int32_t pixelRound(double v);
    // The load rule for a field of view: 0 or not a number gives the
    // default, anything else is clamped to kMinFov..kMaxFov.
    static float usableFov(float v);
    // The angle draw gives the projection: the value the track wrote, with
    // 0 or not a number as the default and only degenerate views (below 1
    // or above 179 degrees) held off. Narrow angles zoom in.
    static float viewFov(float v);
    // The source actually read: 0 unless "source" names a target buffer.
    int effectiveSource() const { return source == 1 || source == 2 ? source : 0; }

    core::String fileName;
    int texture = 0;  // loader result; 0 when no file is named
    int source = 0;
    float x = 0.0f;  // fractions of the layer's width and height
    float y = 0.0f;
    float w = 0.0f;
    float h = 0.0f;
    float dx = 0.0f;  // per millisecond
    float dy = 0.0f;
    float dw = 0.0f;
    float dh = 0.0f;
    float alpha = 1.0f;
    float da = 0.0f;   // per frame
    int32_t left = 0;  // pixels from the layer's centre, set by advance
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    float fov = kDefaultFov;
    float tanHalfFov = 0.0f;  // from the load-time fov; fixes the camera distance
    float rotX = 0.0f;        // degrees
    float rotY = 0.0f;
    float rotZ = 0.0f;
    float scale = 1.0f;
    float posX = 0.0f;
    float posY = 0.0f;
    float posZ = 0.0f;
};

}  // namespace kvx::effects
