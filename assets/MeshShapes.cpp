// Generated meshes: torus, sphere, twisted box, and a breathing morph.
#include "assets/MeshShapes.h"

#include <algorithm>
#include <cmath>

namespace kvx::assets {

namespace {

constexpr float kPi = 3.14159265358979f;

int clampSegments(int n, int low) {
    return std::clamp(n, low, kMaxShapeSegments);
}

Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 sub(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// A mesh under construction: one submesh, material 0 of one material.
class Builder {
  public:
    Builder() {
        mesh_.submeshes.resize(1);
        mesh_.submeshes[0].material = 0;
        mesh_.materials.resize(1);
    }
    int position(Vec3 p) {
        mesh_.positions.push_back(p);
        return static_cast<int>(mesh_.positions.size()) - 1;
    }
    int vertex(int position, float u, float v, Vec3 normal) {
        MeshVertex mv;
        mv.position = position;
        mv.u = u;
        mv.v = v;
        mv.normal = normalize(normal);
        mv.r = mv.g = mv.b = mv.a = 1.0f;
        mesh_.vertices.push_back(mv);
        return static_cast<int>(mesh_.vertices.size()) - 1;
    }
    // Counter-clockwise seen from outside; degenerate triangles are skipped.
    void triangle(int a, int b, int c) {
        const Vec3 n = faceNormal(a, b, c);
        if (length(n) == 0.0f) {
            return;
        }
        mesh_.submeshes[0].triangles.push_back({{a, b, c}, normalize(n)});
    }
    void quad(int a, int b, int c, int d) {
        triangle(a, b, c);
        triangle(a, c, d);
    }
    Vec3 faceNormal(int a, int b, int c) const {
        const Vec3 pa = at(a);
        return cross(sub(at(b), pa), sub(at(c), pa));
    }
    // Vertex normals as the sum of the face normals around each vertex.
    void smoothNormalsPerVertex() {
        std::vector<Vec3> sum(mesh_.vertices.size());
        for (const MeshTriangle& t : mesh_.submeshes[0].triangles) {
            for (int32_t v : t.vertices) {
                sum[static_cast<size_t>(v)] = add(sum[static_cast<size_t>(v)], t.normal);
            }
        }
        for (size_t i = 0; i < sum.size(); ++i) {
            mesh_.vertices[i].normal = normalize(sum[i]);
        }
    }
    Mesh take() { return std::move(mesh_); }

  private:
    Vec3 at(int vertex) const {
        return mesh_
            .positions[static_cast<size_t>(mesh_.vertices[static_cast<size_t>(vertex)].position)];
    }
    Mesh mesh_;
};

}  // namespace

Mesh makeTorus(float major, float minor, int rings, int sides) {
    rings = clampSegments(rings, 3);
    sides = clampSegments(sides, 3);
    Builder b;
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(rings);
            const float t = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(sides);
            const float r = major + minor * std::cos(t);
            b.position({r * std::cos(a), minor * std::sin(t), r * std::sin(a)});
        }
    }
    // (rings + 1) x (sides + 1) vertices: the seams repeat positions with
    // texture coordinates 1 instead of 0.
    for (int i = 0; i <= rings; ++i) {
        for (int j = 0; j <= sides; ++j) {
            const float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(rings);
            const float t = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(sides);
            const Vec3 n{std::cos(t) * std::cos(a), std::sin(t), std::cos(t) * std::sin(a)};
            b.vertex((i % rings) * sides + j % sides, static_cast<float>(i) / rings,
                     static_cast<float>(j) / sides, n);
        }
    }
    const int row = sides + 1;
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            const int v = i * row + j;
            b.quad(v, v + 1, v + row + 1, v + row);
        }
    }
    return b.take();
}

Mesh makeSphere(float radius, int slices, int stacks) {
    slices = clampSegments(slices, 3);
    stacks = clampSegments(stacks, 3);
    Builder b;
    // Positions: the two poles once, the rings in between slices each.
    const int north = b.position({0.0f, radius, 0.0f});
    const int south = b.position({0.0f, -radius, 0.0f});
    for (int s = 1; s < stacks; ++s) {
        const float phi = kPi * static_cast<float>(s) / static_cast<float>(stacks);
        for (int k = 0; k < slices; ++k) {
            const float theta = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(slices);
            b.position({radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi),
                        -radius * std::sin(phi) * std::sin(theta)});
        }
    }
    auto positionOf = [&](int s, int k) {
        return s == 0 ? north : s == stacks ? south : 2 + (s - 1) * slices + k % slices;
    };
    for (int s = 0; s <= stacks; ++s) {
        const float phi = kPi * static_cast<float>(s) / static_cast<float>(stacks);
        for (int k = 0; k <= slices; ++k) {
            const float theta = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(slices);
            const Vec3 n{std::sin(phi) * std::cos(theta), std::cos(phi),
                         -std::sin(phi) * std::sin(theta)};
            b.vertex(positionOf(s, k), static_cast<float>(k) / slices,
                     static_cast<float>(s) / stacks, n);
        }
    }
    const int row = slices + 1;
    for (int s = 0; s < stacks; ++s) {
        for (int k = 0; k < slices; ++k) {
            const int v = s * row + k;
            b.quad(v, v + row, v + row + 1, v + 1);
        }
    }
    return b.take();
}

Mesh makeTwistedBox(float size, int segments, float twistDegrees) {
    segments = clampSegments(segments, 1);
    Builder b;
    const float half = size * 0.5f;
    const float corners[4][2] = {{-half, half}, {half, half}, {half, -half}, {-half, -half}};
    // Ring s: the four corners at height y, turned by the twist so far.
    auto cornerAt = [&](int s, int c) {
        const float f = static_cast<float>(s) / static_cast<float>(segments);
        const float a = twistDegrees * f * kPi / 180.0f;
        const float x = corners[c][0];
        const float z = corners[c][1];
        return Vec3{x * std::cos(a) - z * std::sin(a), size * (2.0f * f - 1.0f),
                    x * std::sin(a) + z * std::cos(a)};
    };
    for (int s = 0; s <= segments; ++s) {
        for (int c = 0; c < 4; ++c) {
            b.position(cornerAt(s, c));
        }
    }
    // Each side has its own vertices, so the edges stay sharp.
    for (int side = 0; side < 4; ++side) {
        const int first = static_cast<int>(side * 2 * (segments + 1));
        for (int s = 0; s <= segments; ++s) {
            const float v = static_cast<float>(s) / static_cast<float>(segments);
            b.vertex(s * 4 + side, 0.0f, v, {});
            b.vertex(s * 4 + (side + 1) % 4, 1.0f, v, {});
        }
        for (int s = 0; s < segments; ++s) {
            const int v = first + 2 * s;
            b.quad(v, v + 1, v + 3, v + 2);
        }
    }
    // The two ends.
    const int bottom = b.vertex(0, 0.0f, 0.0f, {});
    for (int c = 1; c < 4; ++c) {
        b.vertex(c, corners[c][0] / size + 0.5f, corners[c][1] / size + 0.5f, {});
    }
    b.quad(bottom, bottom + 3, bottom + 2, bottom + 1);
    const int top = b.vertex(segments * 4, 0.0f, 0.0f, {});
    for (int c = 1; c < 4; ++c) {
        b.vertex(segments * 4 + c, corners[c][0] / size + 0.5f, corners[c][1] / size + 0.5f, {});
    }
    b.quad(top, top + 1, top + 2, top + 3);
    b.smoothNormalsPerVertex();
    return b.take();
}

void addBreathingMorph(Mesh& mesh, int frames, int frameLength, float amplitude) {
    frames = std::clamp(frames, 2, kMaxShapeSegments);
    MorphFrames& m = mesh.morphFrames;
    m.frameLength = std::max(frameLength, 1);
    m.frameCount = frames;
    m.positions.clear();
    m.positions.reserve(static_cast<size_t>(frames) * mesh.positions.size());
    for (int f = 0; f < frames; ++f) {
        const float phase = 2.0f * kPi * static_cast<float>(f) / static_cast<float>(frames - 1);
        for (const Vec3& p : mesh.positions) {
            // Weighted by the distance from the y axis, so that the lobes
            // fade out towards the axis instead of pinching it.
            const float angle = std::atan2(p.z, p.x);
            const float l = length(p);
            const float weight = l > 0.0f ? std::sqrt(p.x * p.x + p.z * p.z) / l : 0.0f;
            const float push = amplitude * weight * std::sin(phase + 3.0f * angle);
            m.positions.push_back(add(p, scale(normalize(p), push)));
        }
    }
    m.valueCount = static_cast<int32_t>(m.positions.size());
    m.currentTime = 0;
    m.totalDuration = static_cast<uint32_t>(m.frameLength) * static_cast<uint32_t>(frames) * 200u;
}

}  // namespace kvx::assets
