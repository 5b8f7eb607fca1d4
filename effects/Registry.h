// Registry: makes every effect known to the layer factory by its keyword.
#pragma once

namespace kvx::effects {

// Registers all effects with layers::LayerFactory. Call once at start-up,
// before the script builds its layers; calling again is harmless.
void registerAll();

}  // namespace kvx::effects
