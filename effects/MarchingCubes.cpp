// Marching cubes over a ball field: grid, cell polygonisation, flood fill.
#include "effects/MarchingCubes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace kvx::effects {

namespace {

using assets::Vec3;

constexpr int kEdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                     {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
// Corner k of a cell: offsets in x, y, z of cell sides.
constexpr int kCornerOffsets[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                      {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

constexpr float kEpsilon = 1e-5f;

double squaredDistance(Vec3 p, Vec3 b) {
    const double dx = static_cast<double>(p.x) - static_cast<double>(b.x);
    const double dy = static_cast<double>(p.y) - static_cast<double>(b.y);
    const double dz = static_cast<double>(p.z) - static_cast<double>(b.z);
    return dx * dx + dy * dy + dz * dz;
}

}  // namespace

int MarchingGrid::clampSize(int n) {
    return std::clamp(n, 0, kMaxSize);
}

float MarchingGrid::clampCellSize(float w) {
    if (!(w > 0.0f)) {
        return kDefaultCellSize;  // 0, negative or not a number
    }
    return std::clamp(w, kMinCellSize, kMaxCellSize);
}

bool MarchingGrid::build(int size, float w) {
    const int side = clampSize(size);
    cellSize = clampCellSize(w);
    n = 0;
    cellCount = 0;
    cells.clear();
    visited.clear();
    if (side == 0) {
        return false;
    }
    const auto count =
        static_cast<uint32_t>(side) * static_cast<uint32_t>(side) * static_cast<uint32_t>(side);
    try {
        cells.resize(count);
        visited.assign(count, 0);
    } catch (const std::bad_alloc&) {
        cells.clear();
        visited.clear();
        return false;
    }
    n = static_cast<uint32_t>(side);
    cellCount = count;
    const float half = cellSize * 0.5f;
    const float offset = static_cast<float>(side) * cellSize * 0.5f;
    for (int j = 0; j < side; ++j) {
        for (int k = 0; k < side; ++k) {
            for (int i = 0; i < side; ++i) {
                GridCell& cell = cells[static_cast<size_t>(i + side * (k + side * j))];
                const float x0 = cellSize * static_cast<float>(i) - half - offset;
                const float y0 = cellSize * static_cast<float>(k) - half - offset;
                const float z0 = cellSize * static_cast<float>(j) - half - offset;
                for (int c = 0; c < 8; ++c) {
                    cell.corners[static_cast<size_t>(c)] = {
                        kCornerOffsets[c][0] != 0 ? x0 + cellSize : x0,
                        kCornerOffsets[c][1] != 0 ? y0 + cellSize : y0,
                        kCornerOffsets[c][2] != 0 ? z0 + cellSize : z0};
                }
                cell.ix = static_cast<int16_t>(i);
                cell.iy = static_cast<int16_t>(k);
                cell.iz = static_cast<int16_t>(j);
            }
        }
    }
    return true;
}

uint32_t MarchingGrid::cellCoordinate(float c) const {
    const float t = c / cellSize + static_cast<float>(n) * 0.5f;
    if (t != t) {
        return 0;
    }
    // Saturate to the int range first: converting a float outside it is
    // undefined, and the fold below expects two's complement wrap-around.
    const double clamped =
        std::clamp(static_cast<double>(t), static_cast<double>(std::numeric_limits<int32_t>::min()),
                   static_cast<double>(std::numeric_limits<int32_t>::max()));
    return static_cast<uint32_t>(static_cast<int32_t>(clamped));
}

float BallField::value(Vec3 p) const {
    // Each term joins the float sum in double precision, rounded once per
    // addition (not rounded to float before it is added).
    float sum = 0.0f;
    for (int b = 0; b < count; ++b) {
        sum = static_cast<float>(static_cast<double>(sum) +
                                 1.0 / squaredDistance(p, centres[static_cast<size_t>(b)]));
    }
    return sum;
}

Vec3 BallField::normal(Vec3 p) const {
    Vec3 sum;
    for (int b = 0; b < count; ++b) {
        const Vec3 c = centres[static_cast<size_t>(b)];
        const auto d2 = static_cast<float>(squaredDistance(p, c));
        const Vec3 away{p.x - c.x, p.y - c.y, p.z - c.z};
        sum = assets::add(sum, assets::scale(away, 2.0f / d2));
    }
    return sum;
}

Vec3 interpolateEdge(float isolevel, Vec3 p1, Vec3 p2, float s1, float s2) {
    if (std::fabs(isolevel - s1) < kEpsilon) {
        return p1;
    }
    if (std::fabs(isolevel - s2) < kEpsilon) {
        return p2;
    }
    if (std::fabs(s1 - s2) < kEpsilon) {
        return p1;
    }
    const float mu = (isolevel - s1) / (s2 - s1);
    return {p1.x + mu * (p2.x - p1.x), p1.y + mu * (p2.y - p1.y), p1.z + mu * (p2.z - p1.z)};
}

int polygoniseCell(GridCell& cell, const BallField& field, float isolevel, CellSurface& out) {
    int index = 0;
    for (size_t k = 0; k < 8; ++k) {
        cell.values[k] = field.value(cell.corners[k]);
        if (cell.values[k] < isolevel) {
            index |= 1 << k;
        }
    }
    out.cubeIndex = index;
    const int edges = kEdgeTable[static_cast<size_t>(index)];
    for (int e = 0; e < 12; ++e) {
        if ((edges & (1 << e)) == 0) {
            continue;
        }
        const auto a = static_cast<size_t>(kEdgeCorners[e][0]);
        const auto b = static_cast<size_t>(kEdgeCorners[e][1]);
        const Vec3 p = interpolateEdge(isolevel, cell.corners[a], cell.corners[b], cell.values[a],
                                       cell.values[b]);
        out.points[static_cast<size_t>(e)] = p;
        out.normals[static_cast<size_t>(e)] = field.normal(p);
    }
    const int8_t* row = kTriangleTable[index];
    int t = 0;
    for (int i = 0; row[i] != -1 && t < kMaxCellTriangles; i += 3, ++t) {
        out.triangles[static_cast<size_t>(t)] = {static_cast<uint8_t>(row[i]),
                                                 static_cast<uint8_t>(row[i + 1]),
                                                 static_cast<uint8_t>(row[i + 2])};
    }
    out.triangleCount = t;
    return index;
}

void SurfaceWalker::reserve(uint32_t cellCount) {
    stack_.assign(std::max<uint32_t>(cellCount, 1), 0);
    top_ = 0;
}

uint32_t SurfaceWalker::walk(MarchingGrid& grid, const BallField& field, float isolevel,
                             const Vec3* starts, int startCount, CellSink& sink) {
    if (grid.cellCount == 0) {
        return 0;
    }
    std::fill(grid.visited.begin(), grid.visited.end(), uint8_t{0});
    top_ = 0;
    uint32_t polygonised = 0;
    for (int s = 0; s < startCount; ++s) {
        // Walk down in z from the ball's cell until a cell touches a blob
        // (or was done for an earlier ball).
        uint32_t x = grid.cellCoordinate(starts[s].x);
        uint32_t y = grid.cellCoordinate(starts[s].y);
        uint32_t z = grid.cellCoordinate(starts[s].z);
        for (;;) {
            const uint32_t index = grid.indexOf(x, y, z);
            if (grid.visited[index] != 0) {
                break;
            }
            ++polygonised;
            if (visit(grid, index, field, isolevel, sink) < 255) {
                break;
            }
            --z;  // wraps below 0 and folds back into the grid
        }
        pushNeighbours(grid, x, y, z);
        while (top_ > 0) {
            const uint32_t index = stack_[--top_];
            ++polygonised;
            if (visit(grid, index, field, isolevel, sink) < 255) {
                const GridCell& cell = grid.cells[index];
                pushNeighbours(grid, static_cast<uint32_t>(cell.ix), static_cast<uint32_t>(cell.iy),
                               static_cast<uint32_t>(cell.iz));
            }
        }
    }
    return polygonised;
}

int SurfaceWalker::visit(MarchingGrid& grid, uint32_t index, const BallField& field, float isolevel,
                         CellSink& sink) {
    const int cube = polygoniseCell(grid.cells[index], field, isolevel, surface_);
    sink.cell(surface_);
    grid.visited[index] = 1;
    return cube;
}

void SurfaceWalker::pushNeighbours(MarchingGrid& grid, uint32_t x, uint32_t y, uint32_t z) {
    push(grid, grid.indexOf(x + 1, y, z));
    push(grid, grid.indexOf(x - 1, y, z));
    push(grid, grid.indexOf(x, y + 1, z));
    push(grid, grid.indexOf(x, y - 1, z));
    push(grid, grid.indexOf(x, y, z + 1));
    push(grid, grid.indexOf(x, y, z - 1));
}

void SurfaceWalker::push(MarchingGrid& grid, uint32_t index) {
    if (grid.visited[index] != 0) {
        return;
    }
    if (top_ == stack_.size()) {
        // Only without reserve: the capacity doubles and is kept.
        stack_.resize(std::max<size_t>(stack_.size() * 2, 1));
    }
    stack_[top_++] = index;
    grid.visited[index] = 2;
}

uint32_t polygoniseAll(MarchingGrid& grid, const BallField& field, float isolevel, CellSink& sink) {
    CellSurface surface;
    for (GridCell& cell : grid.cells) {
        polygoniseCell(cell, field, isolevel, surface);
        sink.cell(surface);
    }
    return grid.cellCount;
}

}  // namespace kvx::effects
