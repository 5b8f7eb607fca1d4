// Mesh chunk files: the parser with its count and size checks, placement,
// the material file name, and morphing.
#include "assets/Mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "core/ByteReader.h"
#include "vfs/ChunkFile.h"
#include "vfs/Vfs.h"

namespace kvx::assets {

namespace {

using vfs::Chunk;
using vfs::tagId;

// Materials live in their own file, so no byte count can bound them; a mesh
// with more than this many is taken for a broken file.
constexpr int64_t kMaxMaterials = 4096;

// Bytes that back one element of each count at the least: a vertex has its
// 4-byte position index (version 3) or its 12-byte position (version 2); a
// position 12 bytes; a submesh at least its 8-byte SMEN chunk header; a
// triangle its 12 bytes of vertex indices; a morph value 12 bytes.
constexpr int64_t kVertexBytesV3 = 4;
constexpr int64_t kVec3Bytes = 12;
constexpr int64_t kSubmeshBytes = 8;

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 readVec3(core::ByteReader& r) {
    Vec3 v;
    v.x = r.f32();
    v.y = r.f32();
    v.z = r.f32();
    return v;
}

class MeshParser {
  public:
    explicit MeshParser(vfs::ChunkFile& file) : file_(file) {}

    // Reads every chunk into mesh; false with error_ set when the file is
    // unusable.
    bool run(Mesh& mesh);
    const std::string& error() const { return error_; }

  private:
    bool fail(std::string why) {
        error_ = "mesh: " + std::move(why);
        return false;
    }
    // A count read from the file, as a size: negative counts are 0; a count
    // whose elements cannot fit in `available` bytes fails.
    bool boundCount(int32_t count, int64_t bytesEach, int64_t available, const char* what,
                    size_t& out);
    bool needBytes(const Chunk& chunk, int64_t bytes, const char* tag);

    bool onHead(Chunk& chunk, Mesh& mesh);
    bool onMatrix(Chunk& chunk, Mesh& mesh);
    bool onPositions(Chunk& chunk, Mesh& mesh);
    bool onVertexData(Chunk& chunk, Mesh& mesh, int32_t tag);
    bool onSubmeshStart(Chunk& chunk);
    bool onSubmeshData(Chunk& chunk, int32_t tag);
    void onSubmeshEnd(Mesh& mesh);
    bool onMorph(Chunk& chunk, Mesh& mesh);
    bool dispatch(Chunk& chunk, Mesh& mesh);

    vfs::ChunkFile& file_;
    std::string error_;
    bool haveHead_ = false;
    std::optional<Submesh> current_;
    size_t nextSubmesh_ = 0;
};

bool MeshParser::boundCount(int32_t count, int64_t bytesEach, int64_t available, const char* what,
                            size_t& out) {
    const int64_t n = count < 0 ? 0 : count;
    if (n * bytesEach > available) {
        return fail(std::string(what) + " count " + std::to_string(n) + " needs more than the " +
                    std::to_string(available) + " bytes left");
    }
    out = static_cast<size_t>(n);
    return true;
}

bool MeshParser::needBytes(const Chunk& chunk, int64_t bytes, const char* tag) {
    if (static_cast<int64_t>(chunk.size()) < bytes) {
        return fail(std::string(tag) + " holds " + std::to_string(chunk.size()) + " bytes, needs " +
                    std::to_string(bytes));
    }
    return true;
}

bool MeshParser::onHead(Chunk& chunk, Mesh& mesh) {
    if (haveHead_) {
        return fail("second HEAD chunk");
    }
    haveHead_ = true;
    chunk.readString();  // the object's name, not used
    core::ByteReader r(chunk.data().data() + chunk.position(),
                       static_cast<size_t>(chunk.remaining()));
    const bool v3 = file_.version() == 3;
    const int32_t v = r.i32();
    const int32_t p = v3 ? r.i32() : v;
    const int32_t s = r.i32();
    const int32_t m = r.i32();
    if (!r.ok()) {
        return fail("HEAD is cut off");
    }
    // Every array is sized from these counts before its data arrives, so
    // each count must fit in what the file still holds.
    const auto left = static_cast<int64_t>(file_.bytesLeft());
    size_t nv = 0, np = 0, ns = 0, nm = 0;
    if (!boundCount(v, v3 ? kVertexBytesV3 : kVec3Bytes, left, "vertex", nv) ||
        !boundCount(p, kVec3Bytes, left, "position", np) ||
        !boundCount(s, kSubmeshBytes, left, "submesh", ns) ||
        !boundCount(m, 1, kMaxMaterials, "material", nm)) {
        return false;
    }
    mesh.vertices.assign(nv, MeshVertex{});
    mesh.positions.assign(np, Vec3{});
    mesh.submeshes.assign(ns, Submesh{});
    mesh.materials.assign(nm, Material{});
    return true;
}

bool MeshParser::onMatrix(Chunk& chunk, Mesh& mesh) {
    if (!needBytes(chunk, 64, "MTRX")) {
        return false;
    }
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    for (float& e : mesh.matrix) {
        e = r.f32();
    }
    return true;
}

bool MeshParser::onPositions(Chunk& chunk, Mesh& mesh) {
    const auto nv = static_cast<int64_t>(mesh.vertices.size());
    const auto np = static_cast<int64_t>(mesh.positions.size());
    const bool v3 = file_.version() == 3;
    if (!needBytes(chunk, (v3 ? 4 * nv : 0) + kVec3Bytes * np, "VPLS")) {
        return false;
    }
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        mesh.vertices[i].position = v3 ? r.i32() : static_cast<int32_t>(i);
    }
    for (Vec3& p : mesh.positions) {
        p = readVec3(r);
    }
    return true;
}

bool MeshParser::onVertexData(Chunk& chunk, Mesh& mesh, int32_t tag) {
    const int64_t floats = tag == tagId("VTLS") ? 2 : tag == tagId("VNLS") ? 3 : 4;
    const char* name = tag == tagId("VTLS") ? "VTLS" : tag == tagId("VNLS") ? "VNLS" : "VCLS";
    if (!needBytes(chunk, 4 * floats * static_cast<int64_t>(mesh.vertices.size()), name)) {
        return false;
    }
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    for (MeshVertex& v : mesh.vertices) {
        if (floats == 2) {
            v.u = r.f32();
            v.v = r.f32();
        } else if (floats == 3) {
            v.normal = readVec3(r);
        } else {
            v.r = r.f32();
            v.g = r.f32();
            v.b = r.f32();
            v.a = r.f32();
        }
    }
    return true;
}

bool MeshParser::onSubmeshStart(Chunk& chunk) {
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    Submesh sub;
    sub.material = r.i32();
    const int32_t t = r.i32();
    if (!r.ok()) {
        return fail("SMMT is cut off");
    }
    size_t count = 0;
    if (!boundCount(t, kVec3Bytes, static_cast<int64_t>(file_.bytesLeft()), "triangle", count)) {
        return false;
    }
    sub.triangles.assign(count, MeshTriangle{});
    current_ = std::move(sub);
    return true;
}

bool MeshParser::onSubmeshData(Chunk& chunk, int32_t tag) {
    if (!current_) {
        return true;  // triangles without a submesh are ignored
    }
    const bool indices = tag == tagId("SMVL");
    const auto count = static_cast<int64_t>(current_->triangles.size());
    if (!needBytes(chunk, kVec3Bytes * count, indices ? "SMVL" : "SMNL")) {
        return false;
    }
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    for (MeshTriangle& t : current_->triangles) {
        if (indices) {
            t.vertices = {r.i32(), r.i32(), r.i32()};
        } else {
            t.normal = readVec3(r);
        }
    }
    return true;
}

void MeshParser::onSubmeshEnd(Mesh& mesh) {
    // Submeshes beyond the announced count are dropped; the current submesh
    // stays current, so SMVL or SMNL after SMEN write into it again.
    if (nextSubmesh_ < mesh.submeshes.size()) {
        mesh.submeshes[nextSubmesh_++] = current_ ? *current_ : Submesh{};
    }
}

bool MeshParser::onMorph(Chunk& chunk, Mesh& mesh) {
    core::ByteReader r(chunk.data().data(), chunk.data().size());
    MorphFrames& m = mesh.morphFrames;
    m.frameLength = r.i32();
    m.frameCount = r.i32();
    m.valueCount = r.i32();
    if (!r.ok()) {
        return fail("MRPH is cut off");
    }
    size_t count = 0;
    if (!boundCount(m.valueCount, kVec3Bytes, static_cast<int64_t>(r.remaining()), "morph value",
                    count)) {
        return false;
    }
    m.valueCount = static_cast<int32_t>(count);
    m.positions.resize(count);
    for (Vec3& p : m.positions) {
        p = readVec3(r);
    }
    m.currentTime = 0;
    // Frames of no length, or none at all, are no morph; a cycle longer
    // than the 32-bit millisecond range would never be reached either.
    const int64_t total = int64_t{m.frameLength} * m.frameCount * 200;
    const bool playable = m.frameLength > 0 && m.frameCount > 0 && total <= INT32_MAX;
    m.totalDuration = playable ? static_cast<uint32_t>(total) : 0;
    return true;
}

bool MeshParser::dispatch(Chunk& chunk, Mesh& mesh) {
    const int32_t tag = chunk.tag();
    if (tag == tagId("HEAD")) {
        return onHead(chunk, mesh);
    }
    if (!haveHead_) {
        return fail("the first chunk is not HEAD");
    }
    if (tag == tagId("MTRX")) {
        return onMatrix(chunk, mesh);
    }
    if (tag == tagId("VPLS")) {
        return onPositions(chunk, mesh);
    }
    if (tag == tagId("VTLS") || tag == tagId("VNLS") || tag == tagId("VCLS")) {
        return onVertexData(chunk, mesh, tag);
    }
    if (tag == tagId("SMMT")) {
        return onSubmeshStart(chunk);
    }
    if (tag == tagId("SMVL") || tag == tagId("SMNL")) {
        return onSubmeshData(chunk, tag);
    }
    if (tag == tagId("SMEN")) {
        onSubmeshEnd(mesh);
        return true;
    }
    if (tag == tagId("MRPH")) {
        return onMorph(chunk, mesh);
    }
    return true;  // unknown chunks are skipped
}

bool MeshParser::run(Mesh& mesh) {
    if (file_.version() != 2 && file_.version() != 3) {
        return fail("version " + std::to_string(file_.version()) + " is neither 2 nor 3");
    }
    while (file_.isOpen() && file_.chunksRead() < file_.chunkCount()) {
        const int32_t announced = file_.chunkCount();
        Chunk chunk = file_.nextChunk();
        if (chunk.isNone()) {
            // The reader found no whole chunk where the count promised one.
            return fail("the file ends before its " + std::to_string(announced) + " chunks");
        }
        if (!dispatch(chunk, mesh)) {
            return false;
        }
    }
    if (!haveHead_) {
        return fail("no HEAD chunk");
    }
    return true;
}

// A triangle can be drawn when its vertices exist and their positions do.
bool drawable(const Mesh& mesh, const MeshTriangle& t) {
    for (int32_t v : t.vertices) {
        if (v < 0 || static_cast<size_t>(v) >= mesh.vertices.size()) {
            return false;
        }
        const int32_t p = mesh.vertices[static_cast<size_t>(v)].position;
        if (p < 0 || static_cast<size_t>(p) >= mesh.positions.size()) {
            return false;
        }
    }
    return true;
}

void dropBadTriangles(Mesh& mesh) {
    for (Submesh& sub : mesh.submeshes) {
        std::vector<MeshTriangle>& t = sub.triangles;
        size_t kept = 0;
        for (const MeshTriangle& tri : t) {
            if (drawable(mesh, tri)) {
                t[kept++] = tri;
            }
        }
        t.resize(kept);
    }
}

}  // namespace

float length(Vec3 v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

Vec3 normalize(Vec3 v) {
    const float l = length(v);
    return l > 0.0f ? scale(v, 1.0f / l) : Vec3{};
}

Vec3 transformPoint(const Matrix4& m, Vec3 p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
            m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

Vec3 transformNormal(const Matrix4& m, Vec3 n) {
    // Columns a, b, c of the 3 x 3 part; its cofactor matrix has the
    // columns b x c, c x a, a x b and equals det x inverse transpose.
    const Vec3 a{m[0], m[1], m[2]};
    const Vec3 b{m[4], m[5], m[6]};
    const Vec3 c{m[8], m[9], m[10]};
    const Vec3 bc = cross(b, c);
    const Vec3 ca = cross(c, a);
    const Vec3 ab = cross(a, b);
    const float det = a.x * bc.x + a.y * bc.y + a.z * bc.z;
    const Vec3 out = add(add(scale(bc, n.x), scale(ca, n.y)), scale(ab, n.z));
    return det < 0.0f ? scale(out, -1.0f) : out;
}

void Mesh::morph(uint32_t timeMs) {
    MorphFrames& m = morphFrames;
    if (m.totalDuration == 0) {
        m.currentTime = 0;
        return;  // a static mesh: nothing to morph
    }
    const uint32_t t = timeMs % m.totalDuration;
    m.currentTime = t;
    const int64_t frames = m.frameCount;
    const auto k =
        static_cast<int64_t>(static_cast<double>(t) / static_cast<double>(m.totalDuration) *
                             static_cast<double>(frames));
    if (k < 0 || k >= frames || positions.empty()) {
        return;
    }
    // The last frame is shown as it is; any other blends into the next one,
    // so both must be stored.
    const bool last = k == frames - 1;
    const size_t np = positions.size();
    const size_t needed = static_cast<size_t>(k + (last ? 1 : 2)) * np;
    if (m.positions.size() < needed) {
        return;
    }
    const Vec3* from = m.positions.data() + static_cast<size_t>(k) * np;
    if (last) {
        std::copy(from, from + np, positions.begin());
        return;
    }
    const Vec3* to = from + np;
    const double frameMs = static_cast<double>(m.frameLength) * 200.0;
    const auto w = static_cast<float>(1.0 - (static_cast<double>(t) - frameMs * k) / frameMs);
    for (size_t i = 0; i < np; ++i) {
        positions[i] = add(scale(to[i], 1.0f - w), scale(from[i], w));
    }
}

Mesh parseMesh(const uint8_t* data, size_t size, std::string* reason) {
    vfs::ChunkFile file;
    if (data == nullptr || !file.openBytes(vfs::Bytes(data, data + size))) {
        if (reason != nullptr) {
            *reason = "mesh: not a chunk file";
        }
        return Mesh{};
    }
    Mesh mesh;
    MeshParser parser(file);
    if (!parser.run(mesh)) {
        if (reason != nullptr) {
            *reason = parser.error();
        }
        return Mesh{};
    }
    dropBadTriangles(mesh);
    return mesh;
}

void bakePlacement(Mesh& mesh) {
    const Matrix4& m = mesh.matrix;
    for (Vec3& p : mesh.positions) {
        p = transformPoint(m, p);
    }
    for (MeshVertex& v : mesh.vertices) {
        v.normal = normalize(transformNormal(m, v.normal));
    }
    for (Submesh& sub : mesh.submeshes) {
        for (MeshTriangle& t : sub.triangles) {
            t.normal = normalize(transformNormal(m, t.normal));
        }
    }
}

std::string materialFileName(const std::string& meshName) {
    const size_t dot = meshName.rfind('.');
    if (dot == std::string::npos) {
        return meshName + ".material";
    }
    return meshName.substr(0, dot) + ".materials";
}

Mesh loadMesh(const core::String& name) {
    std::optional<vfs::Bytes> bytes = vfs::Vfs::readAll(name.text());
    if (!bytes) {
        return Mesh{};
    }
    Mesh mesh = parseMesh(bytes->data(), bytes->size());
    if (mesh.empty() && mesh.materials.empty()) {
        return mesh;
    }
    loadMaterials(materialFileName(name.str()).c_str(), mesh.materials.data(),
                  static_cast<int>(mesh.materials.size()));
    bakePlacement(mesh);
    return mesh;
}

}  // namespace kvx::assets
