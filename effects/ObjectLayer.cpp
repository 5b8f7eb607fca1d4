// object: a mesh twisted about the three axes, more the farther out.
#include "effects/ObjectLayer.h"

#include <cmath>
#include <string>

#include "assets/MeshRender.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

using assets::Vec3;

// Rows of the rotation that turns a position.
struct Rotation {
    float m[3][3];
    Vec3 operator*(Vec3 v) const {
        return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
    }
};

// The angle (radians) of one axis for a coordinate; none for divisor 0.
double axisAngle(float coordinate, float divisor, float angle) {
    if (divisor == 0.0f) {
        return 0.0;
    }
    return static_cast<double>(coordinate) / divisor * angle * ObjectLayer::kDegree;
}

Rotation rotationFor(double a1, double a2, double a3) {
    const double s1 = std::sin(a1), c1 = std::cos(a1);
    const double s2 = std::sin(a2), c2 = std::cos(a2);
    const double s3 = std::sin(a3), c3 = std::cos(a3);
    Rotation r{};
    r.m[0][0] = static_cast<float>(c1 * c2 * c3 - s1 * s3);
    r.m[0][1] = static_cast<float>(c1 * c2 * s3 + s1 * c3);
    r.m[0][2] = static_cast<float>(-c1 * s2);
    r.m[1][0] = static_cast<float>(-s1 * c2 * c3 - c1 * s3);
    r.m[1][1] = static_cast<float>(c1 * c3 - s1 * c2 * s3);
    r.m[1][2] = static_cast<float>(s1 * s2);
    r.m[2][0] = static_cast<float>(s2 * c3);
    r.m[2][1] = static_cast<float>(s2 * s3);
    r.m[2][2] = static_cast<float>(c2);
    return r;
}

}  // namespace

bool ObjectLayer::loadParameters(const layers::LayerDesc& desc) {
    fileName = textParameter(desc, "filename");
    int flip = 0;
    invertNormals = readInt(desc, "invertnormals", &flip) && flip == 1;
    view.loadParameters(*this, desc);
    readAndBindInt(*this, desc, "direct", &direct);
    const char* axes[3] = {"x", "y", "z"};
    for (size_t i = 0; i < 3; ++i) {
        const std::string a = std::string("d_") + axes[i];
        bindFloatIfGiven(*this, desc, (a + "angle").c_str(), &distortAngle[i]);
        bindFloatIfGiven(*this, desc, (a + "add").c_str(), &distortStep[i]);
        bindFloatIfGiven(*this, desc, (a + "div").c_str(), &distortDivisor[i]);
    }
    return true;
}

bool ObjectLayer::prepare() {
    setMesh(assets::loadMesh(fileName));
    return true;
}

void ObjectLayer::setMesh(assets::Mesh mesh) {
    originalMesh = std::move(mesh);
    deformedMesh = originalMesh;
    // The reverse index in two linear passes: count the vertices of each
    // position, then file each vertex under its position in vertex order.
    // Vertices naming no position (the loader keeps them, unused) are left out.
    const size_t positions = originalMesh.positions.size();
    vertexUserStart.assign(positions + 1, 0);
    for (const assets::MeshVertex& v : originalMesh.vertices) {
        if (v.position >= 0 && static_cast<size_t>(v.position) < positions) {
            ++vertexUserStart[static_cast<size_t>(v.position) + 1];
        }
    }
    for (size_t i = 0; i < positions; ++i) {
        vertexUserStart[i + 1] += vertexUserStart[i];
    }
    vertexUsers.assign(static_cast<size_t>(vertexUserStart[positions]), 0);
    std::vector<int32_t> next(vertexUserStart.begin(), vertexUserStart.end() - 1);
    for (size_t j = 0; j < originalMesh.vertices.size(); ++j) {
        const int32_t p = originalMesh.vertices[j].position;
        if (p >= 0 && static_cast<size_t>(p) < positions) {
            vertexUsers[static_cast<size_t>(next[static_cast<size_t>(p)]++)] =
                static_cast<int32_t>(j);
        }
    }
}

void ObjectLayer::advance(unsigned) {
    for (size_t i = 0; i < 3; ++i) {
        distortAngle[i] += distortStep[i];
    }
    const std::vector<assets::MeshVertex>& from = originalMesh.vertices;
    std::vector<assets::MeshVertex>& to = deformedMesh.vertices;
    for (size_t i = 0; i < originalMesh.positions.size(); ++i) {
        const Vec3 p = originalMesh.positions[i];
        const Rotation m = rotationFor(axisAngle(p.x, distortDivisor[0], distortAngle[0]),
                                       axisAngle(p.y, distortDivisor[1], distortAngle[1]),
                                       axisAngle(p.z, distortDivisor[2], distortAngle[2]));
        for (int32_t k = vertexUserStart[i]; k < vertexUserStart[i + 1]; ++k) {
            const auto j = static_cast<size_t>(vertexUsers[static_cast<size_t>(k)]);
            to[j].normal = m * from[j].normal;
        }
        deformedMesh.positions[i] = m * p;
    }
}

void ObjectLayer::draw() {
    view.apply(aspect);
    assets::drawMesh(deformedMesh, invertNormals);
}

bool ObjectLayer::release() {
    // Both copies hold the same texture names: delete them once.
    assets::releaseMeshTextures(originalMesh);
    deformedMesh.materials = originalMesh.materials;
    return true;
}

}  // namespace kvx::effects
