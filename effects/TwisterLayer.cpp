// twister: a formula-shaped tube of rings, each turned one twist step
// further than the ring below.
#include "effects/TwisterLayer.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "assets/MeshRender.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

namespace {

using assets::Vec3;

// A formula given as text, else the constant "1.0".
expr::Expression formulaParameter(const layers::LayerDesc& desc, const char* name) {
    return expr::compileExpression(givenAs(desc, name, layers::ValueKind::String)
                                       ? textParameter(desc, name)
                                       : core::String("1.0"));
}

void corner(const assets::MeshVertex& v, Vec3 normal, Vec3 p) {
    glNormal3f(normal.x, normal.y, normal.z);
    glTexCoord2f(v.u, v.v);
    glVertex3f(p.x, p.y, p.z);
}

}  // namespace

bool TwisterLayer::loadParameters(const layers::LayerDesc& desc) {
    xFormula = formulaParameter(desc, "xformula");
    zFormula = formulaParameter(desc, "zformula");
    rFormula = formulaParameter(desc, "rformula");
    yFormula = formulaParameter(desc, "yformula");
    readFloat(desc, "warpu", &warpU);
    readFloat(desc, "warpv", &warpV);
    readInt(desc, "ringcount", &ringCount);
    readFloat(desc, "ringdistance", &ringDistance);
    readInt(desc, "vertex", &vertexCount);
    readFloat(desc, "radius", &radius);
    readAndBindFloat(*this, desc, "twist", &twist);
    readAndBindInt(*this, desc, "specular", &specular);
    materialName = textParameter(desc, "material");
    view.loadPlacement(*this, desc);

    vertexCount = clampVertexCount(vertexCount);
    ringCount = clampRingCount(ringCount, vertexCount);
    rings.assign(static_cast<size_t>(ringCount), TwisterRing{});
    return true;
}

bool TwisterLayer::prepare() {
    for (int i = 0; i < ringCount; ++i) {
        buildRing(i);
    }
    material = assets::Material{};
    if (!materialName.empty()) {
        assets::loadMaterials(materialName, &material, 1);
    } else {
        material.diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
    }
    return true;
}

void TwisterLayer::draw() {
    applyView();
    const int m = vertexCount;
    if (ringCount < 2 || m < 2 || static_cast<int>(rings.size()) < ringCount) {
        return;
    }
    const float co = std::cos(twist * kDegree);
    const float si = std::sin(twist * kDegree);
    // A material without a reflection texture makes the blended pass draw
    // with alpha 0, which changes no pixel; it is skipped.
    const bool reflects = material.reflectionTexture != -1;
    assets::ModulationColour colour{0.0f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i + 1 < ringCount; ++i) {
        const TwisterRing& a = rings[static_cast<size_t>(i)];
        const TwisterRing& b = rings[static_cast<size_t>(i + 1)];
        // The turn accumulates: segment i is drawn under (i + 1) twists.
        glRotatef(twist, 0.0f, -1.0f, 0.0f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glDepthFunc(GL_LESS);
        assets::applyMaterialState(material, colour, assets::kBasePass);
        glColor4fv(colour.data());
        drawSegment(a, b, co, si);
        glDepthFunc(GL_LEQUAL);
        if (reflects) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            assets::applyMaterialState(material, colour, assets::kReflectionPass);
            glColor4fv(colour.data());
            drawSegment(a, b, co, si);
        }
        if (specular != 0) {
            glBlendFunc(GL_ONE, GL_ONE);
            assets::applyMaterialState(material, colour, assets::kSpecularPass);
            glColor4fv(colour.data());
            drawSegment(a, b, co, si);
        }
    }
}

bool TwisterLayer::release() {
    assets::releaseMaterialTextures(&material, 1);
    return true;
}

float TwisterLayer::factor(const expr::Expression& formula, float v) {
    return formula.failed() ? 1.0f : formula.evaluate(v);
}

int TwisterLayer::clampVertexCount(int m) {
    return std::clamp(m, 0, kMaxVertexCount);
}

int TwisterLayer::clampRingCount(int n, int m) {
    const int rings = std::clamp(n, 0, kMaxRingCount);
    return m > 0 ? std::min(rings, kMaxVertices / m) : rings;
}

void TwisterLayer::buildRing(int i) {
    TwisterRing& ring = rings[static_cast<size_t>(i)];
    const int m = vertexCount;
    if (m < 2) {
        // One vertex has no angle step (360 / (m - 1)); such a tube draws nothing.
        ring.vertices.clear();
        ring.positions.clear();
        return;
    }
    const auto fi = static_cast<float>(i);
    const auto fn = static_cast<float>(ringCount);
    const float a = fi * ringDistance - fn * ringDistance * 0.5f;
    const float r = radius * factor(rFormula, a);
    const float h = a * factor(yFormula, a);
    const float v = 1.0f - fi * warpV / fn;
    const auto steps = static_cast<float>(m - 1);
    ring.vertices.assign(static_cast<size_t>(m), assets::MeshVertex{});
    ring.positions.assign(static_cast<size_t>(m), Vec3{});
    for (int j = 0; j < m; ++j) {
        const auto fj = static_cast<float>(j);
        const float theta = fj * 360.0f / steps;  // vertex m - 1 closes the ring at 360
        const float fx = factor(xFormula, theta);
        const float fz = factor(zFormula, theta);
        ring.positions[static_cast<size_t>(j)] = {std::cos(theta * kDegree) * fx * r, h,
                                                  r * (fz * std::sin(theta * kDegree))};
        assets::MeshVertex& vertex = ring.vertices[static_cast<size_t>(j)];
        vertex.position = j;
        vertex.u = warpU - fj * warpU / steps;
        vertex.v = v;
    }
    // Normals from the position vectors of each vertex and its two
    // neighbours around the ring, so they lean with the ring's height.
    for (int j = 0; j < m; ++j) {
        const Vec3 p = ring.positions[static_cast<size_t>((j - 1 + m) % m)];
        const Vec3 q = ring.positions[static_cast<size_t>((j + 1) % m)];
        const Vec3 o = ring.positions[static_cast<size_t>(j)];
        const Vec3 sum =
            assets::add(o, assets::add(assets::scale(assets::normalize(p), assets::length(q)),
                                       assets::scale(assets::normalize(q), assets::length(p))));
        ring.vertices[static_cast<size_t>(j)].normal = assets::normalize(sum);
    }
}

void TwisterLayer::applyView() const {
    view.applyUnscaled(aspect);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void TwisterLayer::drawSegment(const TwisterRing& a, const TwisterRing& b, float co,
                               float si) const {
    auto turn = [co, si](Vec3 p) { return Vec3{co * p.x - si * p.z, p.y, si * p.x + co * p.z}; };
    // Separate quads, as many as vertex pairs, in one begin/end.
    glBegin(GL_QUADS);
    for (size_t j = 0; j + 1 < a.vertices.size(); ++j) {
        const assets::MeshVertex& a0 = a.vertices[j];
        const assets::MeshVertex& a1 = a.vertices[j + 1];
        const assets::MeshVertex& b0 = b.vertices[j];
        const assets::MeshVertex& b1 = b.vertices[j + 1];
        corner(a0, a0.normal, a.positions[j]);
        corner(b0, turn(b0.normal), turn(b.positions[j]));
        corner(b1, turn(b1.normal), turn(b.positions[j + 1]));
        corner(a1, a1.normal, a.positions[j + 1]);
    }
    glEnd();
}

}  // namespace kvx::effects
