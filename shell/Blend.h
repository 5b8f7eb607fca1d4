// Blend: applies a layer's blend mode before it is composited.
#pragma once

#include "layers/BlendMode.h"

namespace kvx::shell {

// Enables blending; normal: source alpha / one minus source alpha; additive:
// source alpha / one; overwrite: one / zero; any other value only enables.
void applyBlendMode(layers::BlendMode mode);

}  // namespace kvx::shell
