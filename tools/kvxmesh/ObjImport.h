// ObjImport: Wavefront OBJ models (read with tinyobjloader) as meshes.
//
// Positions become the mesh's shared positions; every distinct combination
// of position, texture coordinate and normal used by a face corner becomes
// one vertex; polygons are triangulated; the faces of each material ("usemtl"
// group) become one submesh, in the order the materials first appear. OBJ
// has no vertex colours, so every vertex is white (drawing multiplies it by
// the material's diffuse colour). Vertices without a normal get the
// normalized sum of the face normals around their position. Faces before
// any "usemtl", or a model without materials, use a plain white material.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "assets/Mesh.h"
#include "assets/MeshWriter.h"

namespace kvx::tools {

struct ObjModel {
    assets::Mesh mesh;                            // materials sized, at their defaults
    std::vector<assets::MaterialSpec> materials;  // as the material file spells them
    std::string warning;                          // tinyobjloader's remarks, if any
};

// Reads path (and the MTL files it names, from its folder). Nothing, with a
// reason in error, when the file cannot be read or holds no faces.
std::optional<ObjModel> importObj(const std::string& path, std::string* error);

}  // namespace kvx::tools
