// ObjectLayer ("object"): one mesh from a mesh file, lit and in perspective,
// bent every frame by a coordinate-dependent rotation. Each position is
// turned about the three axes by angles proportional to its own x, y and z
// (angle x coordinate / divisor), and the three angles grow by a fixed step
// every frame, so the object twists and writhes: positions near the origin
// hardly move, the farther one lies from a coordinate plane, the more it
// turns.
//
// The deformation is computed on the CPU from the mesh as loaded
// (originalMesh) into a copy (deformedMesh) that is drawn. Positions shared
// by several vertices are turned once; the reverse index vertexUsers lists,
// per position, the vertices whose normals turn with it.
//
// Parameters: "filename" (text, read once), "invertnormals" (integer, read
// once: only 1 flips the normals), the view of MeshView.h, "direct"
// (integer, accepted and animated, no effect), and animated floats
// "d_xangle" "d_yangle" "d_zangle" (degrees, 0), "d_xadd" "d_yadd" "d_zadd"
// (degrees per frame, 0), "d_xdiv" "d_ydiv" "d_zdiv" (500). A divisor of 0
// turns nothing about its axis.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "assets/Mesh.h"
#include "effects/MeshView.h"
#include "layers/Layer.h"

namespace kvx::effects {

class ObjectLayer final : public layers::Layer {
  public:
    // The layer's own degree-to-radian factor.
    static constexpr double kDegree = 0.01745277777777778;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    // Loads the mesh and builds the reverse index.
    bool prepare() override;
    // Steps the angles by one frame's step and deforms the mesh; dt is not
    // used (the step is per frame).
    void advance(unsigned dt) override;
    void draw() override;
    // Deletes the textures the mesh's materials loaded.
    bool release() override;

    // Takes mesh as the one to show (prepare does this with the loaded one).
    void setMesh(assets::Mesh mesh);

    core::String fileName;
    assets::Mesh originalMesh;
    assets::Mesh deformedMesh;
    // Vertices per position, in increasing vertex order: those of position
    // i are vertexUsers[vertexUserStart[i] .. vertexUserStart[i + 1]).
    std::vector<int32_t> vertexUserStart;
    std::vector<int32_t> vertexUsers;
    MeshView view;
    bool invertNormals = false;
    int direct = 0;
    std::array<float, 3> distortAngle{0.0f, 0.0f, 0.0f};
    std::array<float, 3> distortStep{0.0f, 0.0f, 0.0f};
    std::array<float, 3> distortDivisor{500.0f, 500.0f, 500.0f};
};

}  // namespace kvx::effects
