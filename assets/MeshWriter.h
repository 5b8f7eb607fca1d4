// MeshWriter: writes meshes as mesh chunk files (version 3) and materials as
// material file text, for the authoring tool and the tests. The formats are
// described in Mesh.h and Material.h.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "assets/Mesh.h"
#include "vfs/ChunkFile.h"

namespace kvx::assets {

// A material as a material file spells it: textures by file name ("" for
// none, "$0".."$2" for the offscreen pictures).
struct MaterialSpec {
    std::array<float, 4> diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    std::array<float, 4> specular{0.0f, 0.0f, 0.0f, 0.0f};
    float shininess = 10.0f;
    std::string texture;
    std::string reflection;
    float reflectiveness = 1.0f;  // written only with a reflection
};

// HEAD (with name), MTRX, VPLS, VTLS, VNLS, VCLS, one SMMT/SMVL/SMNL/SMEN
// group per submesh, and MRPH when the mesh has morph frames. The matrix is
// written as it is: a loaded (baked) mesh written back should carry the
// identity.
vfs::Bytes writeMesh(const Mesh& mesh, const std::string& name);

// A number the material reader takes back: fixed notation, no exponent.
std::string formatMaterialNumber(float value);
// One block per material, each closed by "end".
std::string formatMaterials(const std::vector<MaterialSpec>& materials);

}  // namespace kvx::assets
