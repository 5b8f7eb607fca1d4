// MeshRender: drawing meshes and applying materials with fixed-function GL.
//
// Each submesh is drawn in up to three passes: the base pass (pass 0) with
// the material's texture and diffuse colour, the reflection pass (pass 2)
// that blends a sphere-mapped environment texture by the material's
// reflectiveness, and the additive specular pass (pass 1). drawMesh runs
// them in the order 0, 2, 1 and leaves the blend function, depth function
// and enables of the last pass behind; callers set what they need before
// drawing. A static mesh can be compiled into a display list once
// (compileMesh) and called every frame; a morphing or deformed one is drawn
// with drawMesh every frame.
//
// Texture ids (Material.h): -1 none; -256 the accumulation picture; -256 + n
// target buffer n; other values GL texture names. Offscreen pictures are
// bound through the layer being drawn (layers::currentLayer()); with no
// layer current an offscreen id counts as no texture.
//
// Needs a current GL context; the layer's projection and model-view set.
#pragma once

#include <array>

#include "assets/Mesh.h"

namespace kvx::assets {

enum MeshPass : int {
    kBasePass = 0,
    kSpecularPass = 1,
    kReflectionPass = 2,
};

// The colour a material pass multiplies into every vertex colour.
using ModulationColour = std::array<float, 4>;

// All three passes.
void drawMesh(const Mesh& mesh, bool flipNormals);
// One pass over all submeshes. A submesh without a valid material keeps the
// colour and state of the submesh before it ((0, 0, 0, 0) for the first).
void drawMeshPass(const Mesh& mesh, int pass, bool flipNormals);
// The GL state of material materialIndex of mesh for one pass; nothing (and
// colour unchanged) when the index is not a valid material.
void applyMaterial(const Mesh& mesh, int materialIndex, ModulationColour& colour, int pass);
// The GL state of one material for one pass, and its modulation colour.
void applyMaterialState(const Material& material, ModulationColour& colour, int pass);
// The submesh's triangles, vertex colours multiplied by colour.
void drawSubmesh(const Submesh& submesh, const Mesh& mesh, const ModulationColour& colour,
                 bool flipNormals);

// Records drawMesh into a new display list and returns its name (0 when GL
// could not make one).
unsigned compileMesh(const Mesh& mesh, bool flipNormals);
void callMesh(unsigned list);
// Deletes a display list made by compileMesh (0 is ignored).
void deleteMeshList(unsigned list);
// Delete the GL textures that materials loaded (not the offscreen pictures)
// and set their ids to -1. Copies of a mesh share texture names: release
// them through one copy only.
void releaseMaterialTextures(Material* materials, int count);
void releaseMeshTextures(Mesh& mesh);

}  // namespace kvx::assets
