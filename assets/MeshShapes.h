// MeshShapes: simple meshes made from numbers alone, for the authoring tool,
// the example shows and the benchmarks. Every shape is one submesh using
// material 0 of one material (diffuse white, from its material file), with
// white vertex colours, texture coordinates and unit normals. Positions
// along texture seams are shared between vertices, as the file format
// allows.
//
// Segment counts are clamped to 3..kMaxShapeSegments (1..kMaxShapeSegments
// along the twisted box's height) so that no request can ask for an
// unbounded mesh.
#pragma once

#include "assets/Mesh.h"

namespace kvx::assets {

constexpr int kMaxShapeSegments = 1024;

// A ring of radius major around the y axis, tube radius minor; rings
// segments around the ring, sides around the tube: rings x sides positions,
// 2 x rings x sides triangles.
Mesh makeTorus(float major, float minor, int rings, int sides);
// Radius r, slices around the y axis, stacks from pole to pole.
Mesh makeSphere(float radius, int slices, int stacks);
// A square column of side size and height 2 x size along y, cut into
// segments slices, each turned twistDegrees / segments further about y;
// closed at both ends; faces are shaded flat across, smooth along.
Mesh makeTwistedBox(float size, int segments, float twistDegrees);

// Adds F morph frames of frame length L (units of 200 ms) that make the
// mesh breathe: each position moves along its direction from the origin by
// amplitude x sin(phase + 3 x its angle about y), scaled by its distance
// from the y axis over its distance from the origin (the axis stays put),
// the phase running once round over the frames (the last frame equals the
// first).
void addBreathingMorph(Mesh& mesh, int frames, int frameLength, float amplitude);

}  // namespace kvx::assets
