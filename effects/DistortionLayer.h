// DistortionLayer ("distortionlayer"): the picture composed so far (the
// accumulation buffer) drawn onto a grid of triangles in perspective whose
// vertices wave. With "distfunc" = "dycp", a sine along the rows and a
// cosine along the columns displace every vertex in x, y and z (each
// direction switched by "dycpx", "dycpy", "dycpz"), the displacement fading
// to nothing over a border of "boxsize" vertices. "disttest", "pelmotwirl"
// and any other function show the undistorted grid.
//
// The grid has n x n vertices ("n_vertex"), row 0 at the bottom, centred on
// the origin and spanning the layer (plus "zoom" of the other dimension).
// The texture's t runs from 0 at row 0 to -1 at the last row; with the
// buffer texture's repeat wrap that shows the picture upright. The camera
// sits where the layer's width fills the view at the load-time field of
// view; an animated "fov" changes only the projection, which zooms.
//
// Bounds: n is clamped to kMaxGridSize (below 2 nothing is drawn), a
// boxsize of 0 means no fading, and the projection's field of view is kept
// within 1 .. 179 degrees.
#pragma once

#include <cstdint>
#include <vector>

#include "layers/Layer.h"

namespace kvx::effects {

struct DistortVertex {
    float x = 0.0f, y = 0.0f, z = 0.0f;              // current position
    float restX = 0.0f, restY = 0.0f, restZ = 0.0f;  // position without the wave
};

enum class DistortFunction : int32_t { DistTest = 0, PelmoTwirl = 1, Dycp = 2, None = 3 };

class DistortionLayer final : public layers::Layer {
  public:
    // Vertices per side at most (65536 vertices, two sines per row and two
    // cosines per column per frame).
    static constexpr int kMaxGridSize = 256;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    // How much of the wave vertex index t (row or column) takes: 0 at the
    // outer ring, rising over boxSize vertices to 1.
    float fade(int t) const;

    DistortFunction mode = DistortFunction::None;
    int32_t gridSize = 0;                 // n
    std::vector<DistortVertex> vertices;  // n x n, row-major
    bool waveZ = false, waveY = false, waveX = false;
    float periodZX = 1.0f, periodZY = 1.0f, periodX = 1.0f, periodY = 1.0f;
    float speedZX = 1.0f, speedZY = 1.0f, speedX = 1.0f, speedY = 1.0f;
    float ampZX = 30.0f, ampZY = 30.0f, ampX = 30.0f, ampY = 30.0f;
    float phaseZX = 0.0f, phaseZY = 0.0f, phaseX = 0.0f, phaseY = 0.0f;  // radians
    int32_t boxSize = 1;
    bool drawGrid = false;
    float zoom = 0.0f;
    float zoomW = 0.0f, zoomH = 0.0f;
    float fov = 45.0f;  // degrees
    float tanHalfFov = 0.0f;
    float scale = 1.0f;

  private:
    void restGrid();
    void wave();
    void drawMesh() const;
    void drawLines() const;

    // Per-row and per-column wave terms, sized in loadParameters.
    std::vector<float> rowZ_, rowX_, columnZ_, columnY_;
};

}  // namespace kvx::effects
