// FireLayer ("fire"): the cellular fire. A heat grid is fed at the bottom
// with random hot and cold cells; every step each cell takes the average of
// itself and the three cells below it, so heat rises and cools. The grid is
// drawn as vertex-coloured quads from a 256-entry palette, with the grid and
// palette scheme of the plasma (PaletteGrid.h).
//
// Heat arrays: N x (N + 3) cells, the N grid rows followed by three fuel
// rows; cell (i, j) is entry i * N + j. Two arrays alternate roles after each
// step. The grid steps at most once per frame, when more than "delay"
// milliseconds have gathered, so the flames' speed does not follow the frame
// rate; what a long frame gathers beyond one interval is dropped down to the
// remainder.
//
// The random fuel comes from one seeded generator per layer, so a recorded
// show is the same frame for frame on every run.
//
// Bounds: N is fixed when prepare runs (a later keyframed "nPoints" is
// ignored) and clamped to kMaxGridSize; the delay is at least 1 ms; fuel
// heat saturates at the 16-bit range; palette lookups are limited to
// 0 .. 255 (negative heat, from a negative "min", shows entry 0).
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "effects/PaletteGrid.h"
#include "layers/Layer.h"

namespace kvx::effects {

class FireLayer final : public layers::Layer {
  public:
    // Vertices per side before the script's "nPoints" is read.
    static constexpr int kDefaultGridSize = 10;
    // Largest grid (vertices per side); larger values are clamped.
    static constexpr int kMaxGridSize = 1024;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    // release keeps the base class's default.

    // One step: feed the fuel rows, spread the heat upwards, swap.
    void step();
    // The palette entry that a heat value shows.
    static int paletteIndex(int heat) { return heat < 0 ? 0 : (heat > 255 ? 255 : heat); }

    int32_t elapsed = 0;                  // milliseconds gathered towards the next step
    int32_t delay = 25;                   // milliseconds per step
    int32_t gridSize = kDefaultGridSize;  // "nPoints"; see preparedSize
    int32_t intensity = 25;               // percent of fuel cells that are hot
    int32_t maxHeat = 500;
    int32_t minHeat = 0;
    bool drawGrid = false;
    Palette palette{};
    KeyColours keyColours{};
    std::vector<GridVertex> positions;  // N x N, shared by both heat arrays
    std::vector<int16_t> current;       // N x (N + 3)
    std::vector<int16_t> next;

    // The N that prepare sized the arrays for.
    int preparedSize() const { return preparedSize_; }

  private:
    void feed();
    void spread();

    int preparedSize_ = 0;
    std::minstd_rand random_;
};

}  // namespace kvx::effects
