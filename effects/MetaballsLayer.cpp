// metaballs: marching-cubes blobs walked from the balls, drawn through the
// mesh renderer in batches of cells.
#include "effects/MetaballsLayer.h"

#include <GL/gl.h>

#include <algorithm>

#include "assets/MeshRender.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

using assets::Vec3;

constexpr int kSlotsPerCell = 12;

// Gathers the triangles of polygonised cells into the scratch mesh and
// draws it whenever kBatchCells cells with triangles are in it. Cell c of a
// batch owns vertex slots 12 c .. 12 c + 11, slot 12 c + e for its edge e.
class BatchSink final : public CellSink {
  public:
    explicit BatchSink(assets::Mesh& mesh) : mesh_(mesh), triangles_(mesh.submeshes[0].triangles) {
        triangles_.clear();
    }

    void cell(const CellSurface& surface) override {
        if (surface.triangleCount == 0) {
            return;  // nothing to draw: a cell wholly inside or outside
        }
        if (cells_ == MetaballsLayer::kBatchCells) {
            flush();
        }
        const int base = cells_ * kSlotsPerCell;
        const int edges = kEdgeTable[static_cast<size_t>(surface.cubeIndex)];
        for (int e = 0; e < kSlotsPerCell; ++e) {
            if ((edges & (1 << e)) != 0) {
                const auto slot = static_cast<size_t>(base + e);
                mesh_.positions[slot] = surface.points[static_cast<size_t>(e)];
                mesh_.vertices[slot].normal = surface.normals[static_cast<size_t>(e)];
            }
        }
        for (int t = 0; t < surface.triangleCount; ++t) {
            const auto& edgesOf = surface.triangles[static_cast<size_t>(t)];
            assets::MeshTriangle triangle;
            for (size_t k = 0; k < 3; ++k) {
                triangle.vertices[k] = base + edgesOf[k];
            }
            triangles_.push_back(triangle);  // within the capacity prepare reserved
        }
        ++cells_;
    }

    void flush() {
        if (!triangles_.empty()) {
            assets::drawMesh(mesh_, false);
        }
        triangles_.clear();
        cells_ = 0;
    }

  private:
    assets::Mesh& mesh_;
    std::vector<assets::MeshTriangle>& triangles_;
    int cells_ = 0;
};

}  // namespace

bool MetaballsLayer::loadParameters(const layers::LayerDesc& desc) {
    readAndBindInt(*this, desc, "ballcount", &ballCount);
    for (int b = 0; b < kMaxBalls; ++b) {
        Vec3& ball = balls[static_cast<size_t>(b)];
        readAndBindFloat(*this, desc, core::String("ballx") + (b + 1), &ball.x);
        readAndBindFloat(*this, desc, core::String("bally") + (b + 1), &ball.y);
        readAndBindFloat(*this, desc, core::String("ballz") + (b + 1), &ball.z);
    }
    readAndBindFloat(*this, desc, "isolevel", &isolevel);
    readInt(desc, "gridsize", &gridSize);
    readFloat(desc, "cellsize", &cellSize);
    materialName = textParameter(desc, "material");
    view.loadParameters(*this, desc);
    // The grid's sides are clamped by build (MarchingGrid::kMaxSize and the
    // cell size bounds); the clamped values are what the layer uses.
    grid.build(gridSize, cellSize);
    gridSize = static_cast<int>(grid.n);
    cellSize = grid.cellSize;
    return true;
}

bool MetaballsLayer::prepare() {
    constexpr size_t kSlots = static_cast<size_t>(kBatchCells) * kSlotsPerCell;
    scratchMesh = assets::Mesh{};
    scratchMesh.positions.assign(kSlots, Vec3{});
    scratchMesh.vertices.assign(kSlots, assets::MeshVertex{});
    for (size_t i = 0; i < kSlots; ++i) {
        assets::MeshVertex& v = scratchMesh.vertices[i];
        v.position = static_cast<int32_t>(i);
        v.r = v.g = v.b = v.a = 1.0f;
    }
    scratchMesh.submeshes.resize(1);
    scratchMesh.submeshes[0].material = 0;
    scratchMesh.submeshes[0].triangles.reserve(static_cast<size_t>(kBatchCells) *
                                               kMaxCellTriangles);
    scratchMesh.materials.assign(1, assets::Material{});
    if (!materialName.empty()) {
        assets::loadMaterials(materialName, scratchMesh.materials.data(), 1);
    } else {
        scratchMesh.materials[0].diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
    }
    walker.reserve(grid.cellCount);
    return true;
}

void MetaballsLayer::draw() {
    glEnable(GL_BLEND);
    clampAnimated();
    view.apply(aspect);
    // The surface's colour is the material's, through the vertex colours.
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    if (grid.cellCount == 0 || scratchMesh.submeshes.empty()) {
        lastVisited = 0;
        return;  // no grid, or prepare never ran
    }
    const BallField field = activeBalls();
    BatchSink batch(scratchMesh);
    lastVisited = walker.walk(grid, field, isolevel, field.centres.data(), field.count, batch);
    batch.flush();
}

bool MetaballsLayer::release() {
    assets::releaseMeshTextures(scratchMesh);
    return true;
}

BallField MetaballsLayer::activeBalls() const {
    BallField field;
    const int count = std::clamp(ballCount, 0, kMaxBalls);
    for (int b = 0; b < count; ++b) {
        const Vec3 c = balls[static_cast<size_t>(b)];
        // A centre that is not a number would make the whole field one.
        if (c.x == c.x && c.y == c.y && c.z == c.z) {
            field.centres[static_cast<size_t>(field.count++)] = c;
        }
    }
    return field;
}

void MetaballsLayer::clampAnimated() {
    ballCount = std::clamp(ballCount, 0, kMaxBalls);
    if (isolevel != isolevel) {
        isolevel = 0.5f;
    } else if (isolevel <= 0.0f) {
        isolevel = 0.001f;
    } else if (isolevel >= 1.0f) {
        isolevel = 0.999f;
    }
}

}  // namespace kvx::effects
