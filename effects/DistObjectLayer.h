// DistObjectLayer ("dist_object"): one mesh from a mesh file, lit and in
// perspective, with an animated camera, light and model transform (the view
// of MeshView.h) and no deformation. The mesh is compiled once into a
// display list that is called every frame; with "direct" set, the mesh is
// morphed to the layer's own time instead (the time the layer has been
// active, so the morph plays) and drawn afresh every frame. The display
// list holds the mesh as it was at prepare: switching "direct" off again
// shows that state.
//
// The list is compiled in prepare, while no layer is being drawn, so
// materials that name an offscreen picture ("$0".."$2") are drawn without
// it from the list; direct drawing binds them.
//
// Parameters: "filename" (text, read once), "invertnormals" (integer, read
// once: only 1 flips the normals, in the list and in direct drawing), the
// view, and "direct" (integer, read at load and animated).
#pragma once

#include <cstdint>

#include "assets/Mesh.h"
#include "effects/MeshView.h"
#include "layers/Layer.h"

namespace kvx::effects {

class DistObjectLayer final : public layers::Layer {
  public:
    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    // Loads the mesh and compiles its display list.
    bool prepare() override;
    // Counts the layer's time and, when direct, morphs the mesh to it.
    void advance(unsigned dt) override;
    void draw() override;
    // Deletes the display list and the textures the materials loaded.
    bool release() override;

    core::String fileName;
    assets::Mesh mesh;
    MeshView view;
    bool invertNormals = false;
    unsigned displayList = 0;
    int direct = 0;
    // Milliseconds the layer has been active: the time the morph shows.
    uint32_t layerTime = 0;
};

}  // namespace kvx::effects
