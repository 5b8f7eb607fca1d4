// MarchingCubes: the surface where a field of balls crosses a threshold,
// cut into triangles cell by cell on a fixed cubic grid. The metaballs layer
// draws it; nothing here touches GL.
//
// The field is the sum of 1 / d^2 over the balls; a point lies inside the
// blobs where the field is at least the isolevel. Each cell's eight corner
// values give a cube index (bit k set: corner k lies outside) that selects
// the cut edges and up to five triangles from the standard marching-cubes
// tables. Corners and edges are numbered as in those tables:
//
//        7 ------ 6         corner 0 (x0, y0, z0)   edges 0-3: 0-1 1-2 2-3 3-0
//       /|       /|               1 (x1, y0, z0)   edges 4-7: 4-5 5-6 6-7 7-4
//      4 ------ 5 |               2 (x1, y0, z1)   edges 8-11: 0-4 1-5 2-6 3-7
//      | 3 -----|-2               3 (x0, y0, z1)
//      |/       |/          corners 4..7 lie one cell above 0..3 (y1)
//      0 ------ 1
//
// Instead of scanning all n^3 cells, SurfaceWalker starts at each ball,
// walks down to a cell that touches a blob and flood-fills outwards: every
// cell with a corner inside is polygonised once per walk, plus a one-cell
// shell of wholly outside cells. Cell coordinates fold into the grid
// ((x + n (y + n z)) mod n^3 in 32-bit unsigned arithmetic), so a walk that
// leaves the grid, or a ball outside it, only ever reaches cells of the grid.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "assets/Mesh.h"

namespace kvx::effects {

constexpr int kMaxBalls = 5;
// Rows of kTriangleTable: edge numbers, three per triangle, ended by -1.
constexpr int kTriangleRowLength = 16;
constexpr int kMaxCellTriangles = 5;

// Bit e set: edge e joins an inside and an outside corner.
extern const std::array<uint16_t, 256> kEdgeTable;
extern const int8_t kTriangleTable[256][kTriangleRowLength];

struct GridCell {
    std::array<assets::Vec3, 8> corners;  // fixed when the grid is built
    std::array<float, 8> values{};        // field at the corners, per polygonise
    int16_t ix = 0;
    int16_t iy = 0;
    int16_t iz = 0;
};

// The cells of an n x n x n grid of cube cells of side w, centred on the
// origin up to half a cell: from -(n + 1) w / 2 to (n - 1) w / 2 per axis.
class MarchingGrid {
  public:
    // Largest n: 64^3 cells of 136 bytes are 36 MB. Past 1625 the 32-bit
    // cell count would overflow, and memory runs out long before.
    static constexpr int kMaxSize = 64;
    // Cell sides outside these bounds are clamped; 0, negative or not a
    // number gives the default 2.
    static constexpr float kMinCellSize = 0.001f;
    static constexpr float kMaxCellSize = 1.0e6f;
    static constexpr float kDefaultCellSize = 2.0f;

    // Sides clamped as above; n <= 0 builds no cells (nothing is drawn).
    static int clampSize(int n);
    static float clampCellSize(float w);

    // Replaces the grid; false (and no cells) when n clamps to 0 or the
    // memory cannot be had.
    bool build(int n, float w);

    // The cell of grid coordinates (x, y, z), folded into the grid.
    // cellCount must not be 0.
    uint32_t indexOf(uint32_t x, uint32_t y, uint32_t z) const {
        return (x + n * (y + n * z)) % cellCount;
    }
    // The coordinate of the cell that holds model coordinate c on one axis:
    // truncate(c / w + n / 2). Values beyond the int range saturate and a
    // value that is not a number gives 0, so a far-away ball folds into the
    // grid like any other.
    uint32_t cellCoordinate(float c) const;

    uint32_t cellCount = 0;  // n^3
    uint32_t n = 0;
    float cellSize = kDefaultCellSize;
    std::vector<GridCell> cells;
    std::vector<uint8_t> visited;  // 0 unseen, 2 queued, 1 done (per walk)
};

// The field of up to kMaxBalls balls.
struct BallField {
    std::array<assets::Vec3, kMaxBalls> centres;
    int count = 0;

    // Sum of 1 / |p - ball|^2 (each term in double precision).
    float value(assets::Vec3 p) const;
    // Sum of 2 (p - ball) / |p - ball|^2: points away from the balls, not
    // normalised.
    assets::Vec3 normal(assets::Vec3 p) const;
};

// One polygonised cell: a point and a normal on each cut edge, and up to
// five triangles of edge numbers.
struct CellSurface {
    std::array<assets::Vec3, 12> points;
    std::array<assets::Vec3, 12> normals;
    std::array<std::array<uint8_t, 3>, kMaxCellTriangles> triangles{};
    int triangleCount = 0;
    int cubeIndex = 255;
};

// The point between corners p1 and p2 (values s1, s2) where the field
// crosses isolevel, by linear interpolation.
assets::Vec3 interpolateEdge(float isolevel, assets::Vec3 p1, assets::Vec3 p2, float s1, float s2);

// Recomputes the cell's corner values and fills out; returns the cube index
// (255 wholly outside, 0 wholly inside).
int polygoniseCell(GridCell& cell, const BallField& field, float isolevel, CellSurface& out);

// Receives every polygonised cell, also the ones without triangles.
class CellSink {
  public:
    virtual ~CellSink() = default;
    virtual void cell(const CellSurface& surface) = 0;
};

// The flood fill. Its stack is sized once (reserve) to the grid's cell
// count, which no walk can exceed: a cell is queued only while unseen.
class SurfaceWalker {
  public:
    void reserve(uint32_t cellCount);

    // Clears the visited bytes and walks from each start point in order;
    // returns the number of cells polygonised.
    uint32_t walk(MarchingGrid& grid, const BallField& field, float isolevel,
                  const assets::Vec3* starts, int startCount, CellSink& sink);

    size_t stackCapacity() const { return stack_.size(); }

  private:
    int visit(MarchingGrid& grid, uint32_t index, const BallField& field, float isolevel,
              CellSink& sink);
    void pushNeighbours(MarchingGrid& grid, uint32_t x, uint32_t y, uint32_t z);
    void push(MarchingGrid& grid, uint32_t index);

    std::vector<uint32_t> stack_;
    size_t top_ = 0;
    CellSurface surface_;
};

// Every cell of the grid polygonised in index order: what the walk avoids.
// Returns the number of cells polygonised (the cell count).
uint32_t polygoniseAll(MarchingGrid& grid, const BallField& field, float isolevel, CellSink& sink);

}  // namespace kvx::effects
