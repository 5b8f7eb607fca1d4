// MetaballsLayer ("metaballs"): up to five blobs that melt into each other,
// the surface where the field sum of 1 / d^2 around the ball centres
// crosses the isolevel, polygonised every frame with marching cubes
// (MarchingCubes.h) and drawn lit in perspective with one material through
// the mesh renderer. The walk starts at each ball and visits only the cells
// near the surface; the balls move through their animated parameters.
//
// Parameters (a value of another kind than the one named is neither read
// nor bound):
//   "ballcount" integer, read and animated (0; clamped to 0..5 every draw)
//   "ballx1".."ballz5" floats, animated (0): ball centres in model units
//   "isolevel" float, animated (0.5; every draw <= 0 gives 0.001, >= 1
//              gives 0.999, not a number 0.5)
//   "gridsize" integer, read once (30; clamped to 0..64, 0 draws nothing)
//   "cellsize" float, read once (2; 0 or below gives 2, clamped to
//              0.001..1e6)
//   "material" text, read once: material file (none: diffuse 0.7 grey)
//   the camera, light and model transform of MeshView.h ("fov", "posx",
//   "camposx", "rotx", "lightx", "scale" and the rest), animated.
//
// The triangles of the visited cells are gathered into one scratch mesh of
// kBatchCells cells and drawn whenever it is full, rather than cell by
// cell: the same triangles with the same material passes, at a fraction of
// the material state changes. The grid, the walk's stack and the scratch
// mesh are sized once; a frame allocates nothing.
#pragma once

#include <array>

#include "assets/Material.h"
#include "assets/Mesh.h"
#include "effects/MarchingCubes.h"
#include "effects/MeshView.h"
#include "layers/Layer.h"

namespace kvx::effects {

class MetaballsLayer final : public layers::Layer {
  public:
    // Cells whose triangles one draw of the scratch mesh takes: 12 vertex
    // slots and 5 triangles each.
    static constexpr int kBatchCells = 128;

    // Parameters; builds the grid.
    bool loadParameters(const layers::LayerDesc& desc) override;
    // Sizes the scratch mesh and the walk's stack, reads the material.
    bool prepare() override;
    // advance keeps the base class's default.
    void draw() override;
    // Deletes the textures the material loaded.
    bool release() override;

    // The balls that take part this frame: the first ballCount (clamped),
    // without those whose centre is not a number.
    BallField activeBalls() const;
    // Clamps ballCount and isolevel as every draw does (and writes them back).
    void clampAnimated();

    assets::Mesh scratchMesh;
    core::String materialName;
    int ballCount = 0;
    std::array<assets::Vec3, kMaxBalls> balls{};
    float isolevel = 0.5f;
    int gridSize = 30;
    float cellSize = MarchingGrid::kDefaultCellSize;
    MeshView view;
    SurfaceWalker walker;
    MarchingGrid grid;

    // Cells polygonised by the last draw.
    uint32_t lastVisited = 0;
};

}  // namespace kvx::effects
