// dist_object: a mesh from a display list, or morphed and drawn directly.
#include "effects/DistObjectLayer.h"

#include "assets/MeshRender.h"
#include "effects/EffectParams.h"

namespace kvx::effects {

bool DistObjectLayer::loadParameters(const layers::LayerDesc& desc) {
    fileName = textParameter(desc, "filename");
    int flip = 0;
    invertNormals = readInt(desc, "invertnormals", &flip) && flip == 1;
    view.loadParameters(*this, desc);
    readAndBindInt(*this, desc, "direct", &direct);
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
