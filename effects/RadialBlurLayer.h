// RadialBlurLayer ("radialblur"): a zoom blur of the picture the earlier
// layers composed this frame. Copies of the accumulation buffer, each
// magnified a little more about the centre and a little fainter, are added
// up in the small buffer; the sum is then drawn over the layer. Optionally
// the plain picture is laid over the blur.
//
// Copy k shows the part of the picture from k * step to 1 - k * step in both
// texture directions (step = "delta" x 0.0001), stretched over the whole
// area, at opacity "alpha" x a - k x a x 0.9 / iterations^2 (a the layer
// COLOR's alpha). One copy is the plain picture at alpha x a: no blur.
//
// The small buffer's own projection and blending are set inside a pushed
// attribute and matrix scope and popped before returning to the target, so
// the target draws the blur with its own state.
#pragma once

#include <cstdint>

#include "layers/Layer.h"

namespace kvx::effects {

class RadialBlurLayer final : public layers::Layer {
  public:
    // Most copies drawn in a frame; an animated count above it draws this
    // many (each copy fills the whole small buffer).
    static constexpr int kMaxIterations = 256;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    // advance keeps the base class's default.
    void draw() override;
    // release keeps the base class's default.

    // The opacity of copy k (from 0) with this layer's settings.
    float copyOpacity(int k) const;

    int32_t showFirst = 0;  // nonzero: the plain picture over the blur
    int32_t overlay = 0;    // that pass: nonzero alpha blending, 0 additive
    int32_t delta = 100;    // magnification step per copy, in 0.0001 of the texture
    int32_t iterations = 1;
    float alpha = 0.1f;  // opacity of the first copy, before the COLOR's alpha

  private:
    void drawCopies(int count, float w, float h);
    void drawFullQuad(float w, float h) const;
};

}  // namespace kvx::effects
