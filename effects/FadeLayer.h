// FadeLayer ("fadelayer"): fills the layer with one flat colour. With the
// layer's blend mode it fades the picture to or from a colour, flashes it on
// beats, or tints it.
//
// Each component is colour x its own factor x the overall factor. The green,
// blue and alpha factors have two parameter names: "rg", "rb", "ra" give a
// starting value read once, "gf", "bf", "af" animate it.
#pragma once

#include "layers/Layer.h"

namespace kvx::effects {

class FadeLayer final : public layers::Layer {
  public:
    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    // prepare, advance and release keep the base class's defaults.
    void draw() override;

    // The fade's own base colour, parameter "color"; the LAYER's COLOR
    // attribute is the base class's colour, which the fade does not use.
    layers::Colour fadeColour{1.0f, 1.0f, 1.0f, 1.0f};
    float redFactor = 1.0f;
    float greenFactor = 1.0f;
    float blueFactor = 1.0f;
    float alphaFactor = 1.0f;
    float factor = 1.0f;

    // The colour draw() sets.
    layers::Colour drawColour() const;
};

}  // namespace kvx::effects
