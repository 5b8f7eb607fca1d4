// dist_object: a mesh from a display list, or morphed and drawn directly.
#include "effects/DistObjectLayer.h"

#include "assets/MeshRender.h"

namespace kvx::effects {

bool DistObjectLayer::loadParameters(const layers::LayerDesc& desc) {
    fileName = textParameter(desc, "filename");
    const layers::Track flip = desc.findTrack("invertnormals");
    invertNormals = flip.current().kind == layers::ValueKind::Int && flip.current().intValue == 1;
    view.loadParameters(*this, desc);
    intParameter(*this, desc, "direct", &direct);
    return true;
}

bool DistObjectLayer::prepare() {
    mesh = assets::loadMesh(fileName);
    // Compiling records the passes without running them: no state changes.
    displayList = assets::compileMesh(mesh, invertNormals);
    return true;
}

void DistObjectLayer::advance(unsigned dt) {
    layerTime += dt;
    if (direct != 0) {
        mesh.morph(layerTime);
    }
}

void DistObjectLayer::draw() {
    view.apply(aspect);
    if (direct != 0) {
        assets::drawMesh(mesh, invertNormals);
    } else {
        assets::callMesh(displayList);
    }
}

bool DistObjectLayer::release() {
    assets::deleteMeshList(displayList);
    displayList = 0;
    assets::releaseMeshTextures(mesh);
    return true;
}

}  // namespace kvx::effects
