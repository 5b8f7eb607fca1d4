// Registry: makes every effect known to the layer factory by its keyword.
#pragma once

namespace kvx::effects {

// Registers every effect with layers::LayerFactory whose keyword has no
// constructor yet. Call once at start-up, before the script builds its
// layers; calling again is harmless. A keyword registered beforehand keeps
// its constructor, so a test or tool can put its own layer in place of an
// effect and still run the show's start-up.
void registerAll();

}  // namespace kvx::effects
