// Mesh: a 3D object as the mesh chunk file stores it, and its loader.
//
// A mesh has a shared position list, a vertex list that indexes into it
// (with texture coordinates, normals and colours), submeshes of triangles
// each bound to one material, the materials (from a separate material file,
// Material.h), and optional morph frames that replace the positions over
// time. The file's placement matrix is baked into the geometry at load time,
// so drawing needs no extra transform.
//
// File: a "kvx::chunks" container (vfs/ChunkFile.h) of version 2 or 3. All
// numbers little-endian; counts are 32-bit signed, values 32-bit floats.
//   HEAD  NUL-terminated name (ignored), V, version 3 only P (else P = V),
//         S submeshes, M materials. Must be the first chunk, and the only one.
//   MTRX  16 floats, the placement matrix, column-major (12..14 translate).
//   VPLS  version 3: V position indices, then P x (x, y, z);
//         version 2: V x (x, y, z), vertex i uses position i.
//   VTLS  V x (u, v)      VNLS  V x (x, y, z)      VCLS  V x (r, g, b, a)
//   SMMT  starts a submesh: material index, triangle count T
//   SMVL  T x 3 vertex indices      SMNL  T x face normal (x, y, z)
//   SMEN  stores the current submesh at the next free slot (empty payload)
//   MRPH  frame length L (units of 200 ms), frame count F, value count C,
//         then C x (x, y, z): F frames of P positions each
// Unknown chunks are skipped. The material file is the mesh's name with its
// last extension replaced by ".materials", or with ".material" appended
// when the name has no ".".
//
// Bad files never crash the loader and never make it allocate for data that
// is not there: every count is checked against the bytes left in the file
// before its array is made, and every chunk against the payload its counts
// need. A file that is cut off, whose counts do not fit its bytes, or whose
// chunks are out of order loads as an empty mesh (all counts 0), which draws
// nothing. Triangles that name a vertex outside the vertex list, or a vertex
// whose position index lies outside the position list, are dropped, so every
// triangle left can be drawn without further checks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/Material.h"
#include "core/String.h"

namespace kvx::assets {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vec3 add(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 scale(Vec3 v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
float length(Vec3 v);
// v / |v|; a zero vector stays zero.
Vec3 normalize(Vec3 v);

// Column-major 4 x 4, as OpenGL stores it.
using Matrix4 = std::array<float, 16>;
constexpr Matrix4 kIdentityMatrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
// m x (p, 1): the point transformed, translation included.
Vec3 transformPoint(const Matrix4& m, Vec3 p);
// The direction of a normal after the mesh was transformed by m: the
// inverse transpose of m's 3 x 3 part (translation plays no part), not
// normalized. Keeps normals perpendicular under non-uniform scales and
// pointing outwards under mirroring.
Vec3 transformNormal(const Matrix4& m, Vec3 n);

struct MeshVertex {
    int32_t position = 0;  // index into Mesh::positions
    float u = 0.0f;
    float v = 0.0f;
    Vec3 normal;
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

struct MeshTriangle {
    std::array<int32_t, 3> vertices{0, 0, 0};  // indices into Mesh::vertices
    Vec3 normal;                               // face normal
};

struct Submesh {
    std::vector<MeshTriangle> triangles;
    int32_t material = -1;  // -1: drawn with the previous submesh's material
    int triangleCount() const { return static_cast<int>(triangles.size()); }
};

// Positions over time: frame after frame of positions.size() positions.
struct MorphFrames {
    int32_t frameLength = 0;  // L, in units of 200 ms
    int32_t frameCount = 0;   // F
    int32_t valueCount = 0;   // C, the number of stored positions
    std::vector<Vec3> positions;
    uint32_t currentTime = 0;    // milliseconds into the cycle
    uint32_t totalDuration = 0;  // L x F x 200 ms; 0 means no morph
};

// A value type: copying a mesh copies all its arrays.
struct Mesh {
    Matrix4 matrix = kIdentityMatrix;
    std::vector<Vec3> positions;
    std::vector<MeshVertex> vertices;
    std::vector<Submesh> submeshes;
    std::vector<Material> materials;
    MorphFrames morphFrames;

    bool empty() const { return positions.empty() && vertices.empty() && submeshes.empty(); }

    // Sets the positions for a point in time (milliseconds, repeating with
    // the total duration). Changes nothing for a mesh without morph frames
    // or when the frames needed are not all stored. Allocates nothing.
    void morph(uint32_t timeMs);
};

// Parses the bytes of a mesh file into an unplaced mesh without materials
// (materials.size() is M, all at their defaults). On failure returns an
// empty mesh and, when reason is given, says why ("mesh: ...").
Mesh parseMesh(const uint8_t* data, size_t size, std::string* reason = nullptr);

// Transforms positions, vertex normals and face normals by the placement
// matrix (normals renormalized; morph frames stay as stored).
void bakePlacement(Mesh& mesh);

// The material file that belongs to a mesh file name.
std::string materialFileName(const std::string& meshName);

// Reads a mesh through the Vfs: parse, materials (loading their textures, so
// a GL context must be current when the material file names images), bake.
// An empty mesh when the file is missing or unusable.
Mesh loadMesh(const core::String& name);

}  // namespace kvx::assets
