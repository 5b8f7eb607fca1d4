// PlasmaLayer ("plasma"): the classic sine plasma. A regular grid of
// vertex-coloured quads fills the layer; each vertex takes its colour from a
// 256-entry palette indexed by a sum of four integer sine terms, two of
// which move with time so the colour bands flow. The palette is built from
// nine key colours, 32 steps between each pair (PaletteGrid.h, shared with
// the fire).
//
// The grid has N vertices per side ("nPoints"); the outer ring of vertices
// lies one cell outside the area and is never drawn, so N = 4 draws one quad
// over the whole area and N <= 3 draws nothing. The arrays are sized in
// prepare for the N that holds then; a later keyframed change of "nPoints"
// is ignored, because the arrays cannot follow it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "effects/PaletteGrid.h"
#include "layers/Layer.h"

namespace kvx::effects {

class PlasmaLayer final : public layers::Layer {
  public:
    static constexpr int kPaletteSize = effects::kPaletteSize;
    static constexpr int kSineSize = 512;
    static constexpr int kSineAmplitude = 1024;
    // Grid size when the script gives no integer "nPoints".
    static constexpr int kDefaultGridSize = 32;
    // Largest grid accepted (vertices per side); larger values are clamped.
    static constexpr int kMaxGridSize = 1024;

    using Vertex = GridVertex;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    // release keeps the base class's default.

    // The palette index of a term sum, wrapping: low byte of (v >> 4) + 128.
    static int paletteIndex(int v) { return ((v >> 4) + 128) & 0xFF; }

    KeyColours keyColours{};
    Palette palette{};
    std::vector<layers::Colour> vertexColours;  // N * N, row-major
    std::array<int32_t, kSineSize> sineTable{};
    int32_t phase1 = 0;
    int32_t phase2 = 0;
    int32_t phase3 = 0;
    int32_t phase4 = 0;
    std::array<float, 4> weights{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<int32_t, 6> steps{1, 1, 1, 1, 1, 1};
    int32_t gridSize = kDefaultGridSize;  // animated by "nPoints"; see preparedSize
    std::vector<Vertex> vertexGrid;       // N * N, row-major
    bool drawGrid = false;

    // The N that prepare sized the arrays for.
    int preparedSize() const { return preparedSize_; }

  private:
    int preparedSize_ = 0;
};

}  // namespace kvx::effects
