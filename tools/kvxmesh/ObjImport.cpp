// OBJ to mesh conversion on top of tinyobjloader.
#include "tools/kvxmesh/ObjImport.h"

#include <tiny_obj_loader.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace kvx::tools {

namespace {

using assets::Vec3;

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 minus(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

assets::MaterialSpec specOf(const tinyobj::material_t& m) {
    assets::MaterialSpec s;
    s.diffuse = {static_cast<float>(m.diffuse[0]), static_cast<float>(m.diffuse[1]),
                 static_cast<float>(m.diffuse[2]), static_cast<float>(m.dissolve)};
    s.specular = {static_cast<float>(m.specular[0]), static_cast<float>(m.specular[1]),
                  static_cast<float>(m.specular[2]), 1.0f};
    // The renderer takes shininess 0..128 (OBJ allows up to 1000).
    s.shininess = std::clamp(static_cast<float>(m.shininess), 0.0f, 128.0f);
    s.texture = m.diffuse_texname;
    s.reflection = m.reflection_texname;
    return s;
}

// Builds the positions, vertices, submeshes and materials of one model.
class Converter {
  public:
    Converter(const tinyobj::ObjReader& reader, ObjModel& out) : reader_(reader), out_(out) {}

    void run() {
        const tinyobj::attrib_t& attrib = reader_.GetAttrib();
        for (size_t i = 0; i + 2 < attrib.vertices.size(); i += 3) {
            out_.mesh.positions.push_back(
                {attrib.vertices[i], attrib.vertices[i + 1], attrib.vertices[i + 2]});
        }
        for (const tinyobj::shape_t& shape : reader_.GetShapes()) {
            addShape(shape.mesh);
        }
        fillMissingNormals();
        for (const tinyobj::material_t& m : reader_.GetMaterials()) {
            out_.materials.push_back(specOf(m));
        }
        if (plainMaterial_ >= 0 || out_.materials.empty()) {
            out_.materials.push_back(assets::MaterialSpec{});
        }
        out_.mesh.materials.assign(out_.materials.size(), assets::Material{});
    }

  private:
    void addShape(const tinyobj::mesh_t& mesh) {
        size_t corner = 0;
        for (size_t f = 0; f < mesh.num_face_vertices.size(); ++f) {
            const size_t n = mesh.num_face_vertices[f];
            if (n == 3) {
                const int material = f < mesh.material_ids.size() ? mesh.material_ids[f] : -1;
                std::array<int32_t, 3> v{vertexOf(mesh.indices[corner]),
                                         vertexOf(mesh.indices[corner + 1]),
                                         vertexOf(mesh.indices[corner + 2])};
                if (v[0] >= 0 && v[1] >= 0 && v[2] >= 0) {
                    assets::MeshTriangle t{v, faceNormal(v)};
                    submeshFor(material).triangles.push_back(t);
                }
            }
            corner += n;
        }
    }

    // The submesh of an OBJ material; faces without one share a plain
    // material placed after the file's own.
    assets::Submesh& submeshFor(int objMaterial) {
        const int count = static_cast<int>(reader_.GetMaterials().size());
        if (objMaterial < 0 || objMaterial >= count) {
            plainMaterial_ = count;
            objMaterial = count;
        }
        auto found = submeshOf_.find(objMaterial);
        if (found == submeshOf_.end()) {
            found = submeshOf_.emplace(objMaterial, out_.mesh.submeshes.size()).first;
            out_.mesh.submeshes.emplace_back();
            out_.mesh.submeshes.back().material = objMaterial;
        }
        return out_.mesh.submeshes[found->second];
    }

    // The vertex of one face corner (made on first use), -1 when the
    // corner names a position that does not exist.
    int32_t vertexOf(const tinyobj::index_t& index) {
        const tinyobj::attrib_t& a = reader_.GetAttrib();
        if (index.vertex_index < 0 ||
            static_cast<size_t>(index.vertex_index) >= out_.mesh.positions.size()) {
            return -1;
        }
        const auto key =
            std::make_tuple(index.vertex_index, index.texcoord_index, index.normal_index);
        const auto found = vertexOf_.find(key);
        if (found != vertexOf_.end()) {
            return found->second;
        }
        assets::MeshVertex v;
        v.position = index.vertex_index;
        const auto t = static_cast<size_t>(index.texcoord_index);
        if (index.texcoord_index >= 0 && 2 * t + 1 < a.texcoords.size()) {
            v.u = a.texcoords[2 * t];
            v.v = a.texcoords[2 * t + 1];
        }
        const auto n = static_cast<size_t>(index.normal_index);
        if (index.normal_index >= 0 && 3 * n + 2 < a.normals.size()) {
            v.normal =
                assets::normalize({a.normals[3 * n], a.normals[3 * n + 1], a.normals[3 * n + 2]});
        }
        v.r = v.g = v.b = v.a = 1.0f;
        const auto id = static_cast<int32_t>(out_.mesh.vertices.size());
        out_.mesh.vertices.push_back(v);
        vertexOf_.emplace(key, id);
        return id;
    }

    Vec3 faceNormal(const std::array<int32_t, 3>& v) const {
        const Vec3 a = positionOf(v[0]);
        return assets::normalize(cross(minus(positionOf(v[1]), a), minus(positionOf(v[2]), a)));
    }

    Vec3 positionOf(int32_t vertex) const {
        const auto p = out_.mesh.vertices[static_cast<size_t>(vertex)].position;
        return out_.mesh.positions[static_cast<size_t>(p)];
    }

    void fillMissingNormals() {
        std::vector<Vec3> sum(out_.mesh.positions.size());
        for (const assets::Submesh& sub : out_.mesh.submeshes) {
            for (const assets::MeshTriangle& t : sub.triangles) {
                for (int32_t v : t.vertices) {
                    const auto p =
                        static_cast<size_t>(out_.mesh.vertices[static_cast<size_t>(v)].position);
                    sum[p] = assets::add(sum[p], t.normal);
                }
            }
        }
        for (assets::MeshVertex& v : out_.mesh.vertices) {
            if (assets::length(v.normal) == 0.0f) {
                v.normal = assets::normalize(sum[static_cast<size_t>(v.position)]);
            }
        }
    }

    const tinyobj::ObjReader& reader_;
    ObjModel& out_;
    std::map<std::tuple<int, int, int>, int32_t> vertexOf_;
    std::map<int, size_t> submeshOf_;
    int plainMaterial_ = -1;
};

}  // namespace

std::optional<ObjModel> importObj(const std::string& path, std::string* error) {
    tinyobj::ObjReaderConfig config;
    config.triangulate = true;
    config.vertex_color = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config)) {
        if (error != nullptr) {
            *error = reader.Error().empty() ? "cannot read '" + path + "'" : reader.Error();
        }
        return std::nullopt;
    }
    ObjModel model;
    model.warning = reader.Warning();
    Converter(reader, model).run();
    size_t triangles = 0;
    for (const assets::Submesh& sub : model.mesh.submeshes) {
        triangles += sub.triangles.size();
    }
    if (triangles == 0) {
        if (error != nullptr) {
            *error = "'" + path + "' has no faces";
        }
        return std::nullopt;
    }
    return model;
}

}  // namespace kvx::tools
