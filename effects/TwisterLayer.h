// TwisterLayer ("twister"): a lit, textured tube along the y axis, a stack
// of rings each turned against the one below by the animated twist angle,
// so the tube screws around its axis. Four formulas of one variable shape
// it: "xformula" and "zformula" scale a ring vertex's x and z by the
// vertex's angle around the ring (degrees), "rformula" the ring radius and
// "yformula" the ring height by the ring's axial coordinate. A formula that
// does not compile counts as the constant 1, and so does a missing one.
//
// The rings are built once in prepare; per frame only the twist, camera,
// light and model transform move. Each segment between two rings is drawn
// in the material's passes (opaque, blended, and additive when "specular"
// is not 0), the upper ring turned by one more twist step than the lower.
//
// Parameters (a value of another kind than the one named is neither read
// nor bound):
//   "xformula" "zformula" "rformula" "yformula" text, compiled once ("1.0")
//   "ringcount" integer, read once (100; clamped to 0..kMaxRingCount)
//   "vertex" integer, read once (36, the last closing the ring; clamped to
//            0..kMaxVertexCount; below 2 draws nothing)
//   Rings times vertices is held to kMaxVertices by dropping rings.
//   "ringdistance" "radius" "warpu" "warpv" floats, read once
//            (1, 10, 1, 1)
//   "material" text, read once: material file (none: diffuse 0.7 grey)
//   "twist" float, animated (degrees per ring); "specular" integer, animated
//   "posx".."posz", "camposx".."camupz" ((0, 0, 100), (0, 0, 0),
//   (0, 1, 0)), "rotx".."rotz" (degrees), "lightx".."lightz"
//   ((0, 0, 1000)): floats, animated. The view angle is always 45 degrees
//   and the tube is not scaled.
#pragma once

#include <vector>

#include "assets/Material.h"
#include "assets/Mesh.h"
#include "effects/MeshView.h"
#include "expr/Expression.h"
#include "layers/Layer.h"

namespace kvx::effects {

struct TwisterRing {
    std::vector<assets::MeshVertex> vertices;  // vertex i uses position i
    std::vector<assets::Vec3> positions;
};

class TwisterLayer final : public layers::Layer {
  public:
    // The layer's own degree-to-radian factor (not exactly pi / 180).
    static constexpr float kDegree = 0.017452778f;
    static constexpr int kMaxRingCount = 4096;
    static constexpr int kMaxVertexCount = 4096;
    // 262 144 vertices of 52 bytes: 13.6 MB of rings at most.
    static constexpr int kMaxVertices = 1 << 18;

    // Parameters; compiles the formulas and allocates the (empty) rings.
    bool loadParameters(const layers::LayerDesc& desc) override;
    // Builds the rings and reads the material.
    bool prepare() override;
    // advance keeps the base class's default.
    void draw() override;
    // Deletes the textures the material loaded.
    bool release() override;

    // The formula's value at v, or 1 when it did not compile.
    static float factor(const expr::Expression& formula, float v);
    // Ring and vertex counts within their bounds (see above).
    static int clampVertexCount(int m);
    static int clampRingCount(int n, int m);

    std::vector<TwisterRing> rings;
    int vertexCount = 36;
    int ringCount = 100;
    int specular = 0;
    float ringDistance = 1.0f;
    float radius = 10.0f;
    float twist = 0.0f;
    float warpU = 1.0f;
    float warpV = 1.0f;
    core::String materialName;
    assets::Material material;
    expr::Expression xFormula;
    expr::Expression yFormula;
    expr::Expression zFormula;
    expr::Expression rFormula;
    // Camera, light and placement; the field of view stays at its 45
    // degrees and the tube is not scaled.
    MeshView view;

  private:
    void buildRing(int i);
    void applyView() const;
    // One quad per vertex pair between ring a and ring b, b turned by
    // (co, si) about the y axis.
    void drawSegment(const TwisterRing& a, const TwisterRing& b, float co, float si) const;
};

}  // namespace kvx::effects
