// WipeLayer ("wipe"): cuts the picture of target buffer 1 into an n x n grid
// of tiles and turns every tile about its own centre around the diagonal
// axis (1, 1, 0), so that the picture flips away or in tile by tile.
// Optionally the tile outlines are drawn (turning about each tile's first
// corner, not its centre).
//
// The view is a perspective camera on the z axis placed so that the layer's
// width fills it at z = 0, y growing upwards: tile (0, 0) lies in the
// lower-left corner and shows the texture from t = 1 - 1/n to t = 1, which
// puts a target-1 layer's picture where that layer drew it. The angle grows
// by "anglespeed" degrees per frame, whatever the frame's length.
//
// n is clamped to 1 .. kMaxTilesPerSide before the tiles are allocated.
#pragma once

#include <array>
#include <vector>

#include "layers/Layer.h"

namespace kvx::effects {

struct WipeTile {
    struct Corner {
        float x, y, z;  // pixels within the layer
        float s, t;     // texture coordinates
    };
    std::array<Corner, 4> corners;
    std::array<float, 3> axis;
    float angle;  // degrees
};

class WipeLayer final : public layers::Layer {
  public:
    // Tiles per side at most: 128 x 128 tiles of 4 x 4 pixels; more would
    // only multiply the drawing (and n x n overflows past 46340).
    static constexpr int kMaxTilesPerSide = 128;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    int tilesPerSide = 1;
    float fov = 45.0f;  // vertical field of view, degrees
    float tanHalfFov = 0.0f;
    float angleSpeed = 0.0f;  // degrees per frame
    bool drawGrid = false;
    std::vector<WipeTile> tiles;  // tilesPerSide^2, row-major from the bottom

  private:
    void drawTiles(float w, float h) const;
    void drawOutlines(float w, float h) const;
};

}  // namespace kvx::effects
