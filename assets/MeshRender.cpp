// Mesh rendering: material state per pass, immediate-mode triangles and
// display lists.
#include "assets/MeshRender.h"

#include <GL/gl.h>

#include <algorithm>

#include "layers/Layer.h"

namespace kvx::assets {

namespace {

constexpr ModulationColour kBlack{0.0f, 0.0f, 0.0f, 1.0f};
constexpr ModulationColour kWhite{1.0f, 1.0f, 1.0f, 1.0f};

// Binds a texture id: offscreen ids through the current layer's buffers.
// Returns false when the id names no texture (also an offscreen id while no
// layer is current, which GL could not bind).
bool bindTextureId(int id) {
    if (isOffscreenTextureId(id)) {
        layers::Layer* layer = layers::currentLayer();
        if (layer == nullptr) {
            return false;
        }
        if (id == offscreenTextureId(0)) {
            layer->bindAccumTexture();
        } else {
            layer->bindTargetTexture(id - offscreenTextureId(0));
        }
        return true;
    }
    if (id < 0) {
        return false;
    }
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(id));
    return true;
}

void disableTexGen() {
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

void specularPass(ModulationColour& colour) {
    disableTexGen();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glDisable(GL_TEXTURE_2D);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kBlack.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, kBlack.data());
    colour = kBlack;
}

void reflectionPass(const Material& m, ModulationColour& colour) {
    const int id = m.reflectionTexture;
    const bool viaLayer = isOffscreenTextureId(id) && layers::currentLayer() != nullptr;
    if (id == -1 || (isOffscreenTextureId(id) && !viaLayer)) {
        disableTexGen();
        glDisable(GL_TEXTURE_2D);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse.data());
        colour = {0.0f, 0.0f, 0.0f, 0.0f};  // the pass blends nothing
        return;
    }
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (viaLayer) {
        // An offscreen picture is mirrored left to right, as a mirror shows it.
        glRotatef(180.0f, 0.0f, 1.0f, 0.0f);
    }
    bindTextureId(id);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, kWhite.data());
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    colour = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.reflectiveness * m.diffuse[3]};
}

void basePass(const Material& m, ModulationColour& colour) {
    disableTexGen();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const bool textured = m.texture != -1 && bindTextureId(m.texture);
    if (textured) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, textured ? kWhite.data() : m.diffuse.data());
    colour = m.diffuse;
}

void emitVertex(const MeshVertex& v, const Mesh& mesh, const ModulationColour& c, float sign) {
    glColor4f(v.r * c[0], v.g * c[1], v.b * c[2], v.a * c[3]);
    glNormal3f(v.normal.x * sign, v.normal.y * sign, v.normal.z * sign);
    glTexCoord2f(v.u, v.v);
    const Vec3& p = mesh.positions[static_cast<size_t>(v.position)];
    glVertex3f(p.x, p.y, p.z);
}

}  // namespace

void drawMesh(const Mesh& mesh, bool flipNormals) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glDepthFunc(GL_LESS);
    drawMeshPass(mesh, kBasePass, flipNormals);
    glDepthFunc(GL_LEQUAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawMeshPass(mesh, kReflectionPass, flipNormals);
    glBlendFunc(GL_ONE, GL_ONE);
    drawMeshPass(mesh, kSpecularPass, flipNormals);
}

void drawMeshPass(const Mesh& mesh, int pass, bool flipNormals) {
    ModulationColour colour{0.0f, 0.0f, 0.0f, 0.0f};
    for (const Submesh& sub : mesh.submeshes) {
        applyMaterial(mesh, sub.material, colour, pass);
        drawSubmesh(sub, mesh, colour, flipNormals);
    }
}

void applyMaterial(const Mesh& mesh, int materialIndex, ModulationColour& colour, int pass) {
    if (materialIndex < 0 || static_cast<size_t>(materialIndex) >= mesh.materials.size()) {
        return;
    }
    applyMaterialState(mesh.materials[static_cast<size_t>(materialIndex)], colour, pass);
}

void applyMaterialState(const Material& material, ModulationColour& colour, int pass) {
    // The texture matrix starts fresh for every material; the matrix mode
    // comes back with the transform bits.
    glPushAttrib(GL_TRANSFORM_BIT);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular.data());
    // GL takes shininess 0..128 only; a value outside would be an error.
    glMaterialf(GL_FRONT, GL_SHININESS, std::clamp(material.shininess, 0.0f, 128.0f));
    if (pass == kSpecularPass) {
        specularPass(colour);
    } else if (pass == kReflectionPass) {
        reflectionPass(material, colour);
    } else {
        basePass(material, colour);
    }
    glPopAttrib();
}

void drawSubmesh(const Submesh& submesh, const Mesh& mesh, const ModulationColour& colour,
                 bool flipNormals) {
    // The mode before the enable: enabling with GL's default mode would
    // copy whatever colour is current into the ambient material as well.
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    const float sign = flipNormals ? -1.0f : 1.0f;
    // One begin/end for the whole submesh: the same triangles as one per
    // triangle, at a fraction of the calls. The loader dropped every
    // triangle whose indices lie outside the mesh.
    glBegin(GL_TRIANGLES);
    for (const MeshTriangle& t : submesh.triangles) {
        for (int32_t v : t.vertices) {
            emitVertex(mesh.vertices[static_cast<size_t>(v)], mesh, colour, sign);
        }
    }
    glEnd();
    glDisable(GL_COLOR_MATERIAL);
}

unsigned compileMesh(const Mesh& mesh, bool flipNormals) {
    const GLuint list = glGenLists(1);
    if (list == 0) {
        return 0;
    }
    glNewList(list, GL_COMPILE);
    drawMesh(mesh, flipNormals);
    glEndList();
    return list;
}

void callMesh(unsigned list) {
    if (list != 0) {
        glCallList(list);
    }
}

void deleteMeshList(unsigned list) {
    if (list != 0) {
        glDeleteLists(list, 1);
    }
}

void releaseMaterialTextures(Material* materials, int count) {
    for (int i = 0; materials != nullptr && i < count; ++i) {
        for (int* id : {&materials[i].texture, &materials[i].reflectionTexture}) {
            if (*id > 0) {
                const auto name = static_cast<GLuint>(*id);
                glDeleteTextures(1, &name);
            }
            if (!isOffscreenTextureId(*id)) {
                *id = -1;
            }
        }
    }
}

void releaseMeshTextures(Mesh& mesh) {
    releaseMaterialTextures(mesh.materials.data(), static_cast<int>(mesh.materials.size()));
}

}  // namespace kvx::assets
