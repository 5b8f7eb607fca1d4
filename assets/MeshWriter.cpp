// Writing mesh chunk files and material file text.
#include "assets/MeshWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kvx::assets {

namespace {

void putInt(vfs::Bytes& out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
}

void putFloat(vfs::Bytes& out, float value) {
    uint32_t v = 0;
    std::memcpy(&v, &value, sizeof v);
    putInt(out, static_cast<int32_t>(v));
}

void putVec3(vfs::Bytes& out, Vec3 v) {
    putFloat(out, v.x);
    putFloat(out, v.y);
    putFloat(out, v.z);
}

int32_t count(size_t n) {
    return static_cast<int32_t>(n);
}

void writeVertices(vfs::ChunkWriter& w, const Mesh& mesh) {
    vfs::Bytes positions, uvs, normals, colours;
    for (const MeshVertex& v : mesh.vertices) {
        putInt(positions, v.position);
        putFloat(uvs, v.u);
        putFloat(uvs, v.v);
        putVec3(normals, v.normal);
        for (float c : {v.r, v.g, v.b, v.a}) {
            putFloat(colours, c);
        }
    }
    for (const Vec3& p : mesh.positions) {
        putVec3(positions, p);
    }
    w.add("VPLS", positions);
    w.add("VTLS", uvs);
    w.add("VNLS", normals);
    w.add("VCLS", colours);
}

void writeSubmesh(vfs::ChunkWriter& w, const Submesh& sub) {
    vfs::Bytes start, indices, normals;
    putInt(start, sub.material);
    putInt(start, count(sub.triangles.size()));
    for (const MeshTriangle& t : sub.triangles) {
        for (int32_t v : t.vertices) {
            putInt(indices, v);
        }
        putVec3(normals, t.normal);
    }
    w.add("SMMT", start);
    w.add("SMVL", indices);
    w.add("SMNL", normals);
    w.add("SMEN", {});
}

void putColour(std::string& out, const char* key, const std::array<float, 4>& c) {
    out += std::string(key) + " = (" + formatMaterialNumber(c[0]) + ", " +
           formatMaterialNumber(c[1]) + ", " + formatMaterialNumber(c[2]) + ", " +
           formatMaterialNumber(c[3]) + ")\n";
}

}  // namespace

vfs::Bytes writeMesh(const Mesh& mesh, const std::string& name) {
    vfs::ChunkWriter w(3);
    vfs::Bytes head(name.begin(), name.end());
    head.push_back(0);
    putInt(head, count(mesh.vertices.size()));
    putInt(head, count(mesh.positions.size()));
    putInt(head, count(mesh.submeshes.size()));
    putInt(head, count(mesh.materials.size()));
    w.add("HEAD", head);

    vfs::Bytes matrix;
    for (float e : mesh.matrix) {
        putFloat(matrix, e);
    }
    w.add("MTRX", matrix);
    writeVertices(w, mesh);
    for (const Submesh& sub : mesh.submeshes) {
        writeSubmesh(w, sub);
    }
    const MorphFrames& m = mesh.morphFrames;
    if (!m.positions.empty()) {
        vfs::Bytes morph;
        putInt(morph, m.frameLength);
        putInt(morph, m.frameCount);
        putInt(morph, count(m.positions.size()));
        for (const Vec3& p : m.positions) {
            putVec3(morph, p);
        }
        w.add("MRPH", morph);
    }
    return w.finish();
}

std::string formatMaterialNumber(float value) {
    if (!std::isfinite(value)) {
        value = 0.0f;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
    // Trailing zeros say nothing: "0.500000" becomes "0.5", "2.000000" "2".
    std::string s(text);
    while (s.size() > 1 && s.back() == '0' && s.find('.') != std::string::npos) {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

std::string formatMaterials(const std::vector<MaterialSpec>& materials) {
    std::string out;
    for (const MaterialSpec& m : materials) {
        putColour(out, "diffuse", m.diffuse);
        putColour(out, "specular", m.specular);
        out += "shininess = " + formatMaterialNumber(m.shininess) + "\n";
        if (!m.texture.empty()) {
            out += "texture = " + m.texture + "\n";
        }
        if (!m.reflection.empty()) {
            out += "reflection = " + m.reflection + "\n";
            out += "reflectiveness = " + formatMaterialNumber(m.reflectiveness) + "\n";
        }
        out += "end\n";
    }
    return out;
}

}  // namespace kvx::assets
