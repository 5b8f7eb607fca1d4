// Mesh rendering on a headless GL context: material passes, colours,
// normals, offscreen texture ids and display lists, read back as pixels.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "assets/MeshRender.h"
#include "layers/Layer.h"
#include "platform/video/Video.h"
#include "support/SuiteWindow.h"

namespace kvx::assets {
namespace {

constexpr int kSide = 64;
using Rgba = std::array<int, 4>;

// A square in the plane z = 0 from x0 to x1 (y from -1 to 1), facing +z,
// white, as one submesh using the given material.
void addSquare(Mesh& m, float x0, float x1, int material) {
    const auto base = static_cast<int32_t>(m.vertices.size());
    const float xs[4] = {x0, x1, x1, x0};
    const float ys[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        m.positions.push_back({xs[i], ys[i], 0.0f});
        MeshVertex v;
        v.position = static_cast<int32_t>(m.positions.size()) - 1;
        v.normal = {0.0f, 0.0f, 1.0f};
        v.r = v.g = v.b = v.a = 1.0f;
        m.vertices.push_back(v);
    }
    Submesh sub;
    sub.material = material;
    sub.triangles.push_back({{base, base + 1, base + 2}, {0.0f, 0.0f, 1.0f}});
    sub.triangles.push_back({{base, base + 2, base + 3}, {0.0f, 0.0f, 1.0f}});
    m.submeshes.push_back(sub);
}

Mesh squareWith(const Material& material) {
    Mesh m;
    m.materials.push_back(material);
    addSquare(m, -1.0f, 1.0f, 0);
    return m;
}

Material diffuse(float r, float g, float b, float a = 1.0f) {
    Material m;
    m.diffuse = {r, g, b, a};
    return m;
}

// A 4 x 4 texture of one colour.
GLuint solidTexture(uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px;
    for (int i = 0; i < 16; ++i) {
        px.insert(px.end(), {r, g, b, 255});
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// The offscreen pictures of a layer, as solid textures: the accumulation
// picture green, the target buffers red; remembers the target asked for.
class FakeBuffers final : public layers::LayerGraphics {
  public:
    FakeBuffers() : accum_(solidTexture(0, 255, 0)), target_(solidTexture(255, 0, 0)) {}
    ~FakeBuffers() override {
        glDeleteTextures(1, &accum_);
        glDeleteTextures(1, &target_);
    }
    int bindAccumTexture() override {
        glBindTexture(GL_TEXTURE_2D, accum_);
        return static_cast<int>(accum_);
    }
    void releaseAccumTexture() override {}
    int bindSmallTexture() override { return -1; }
    void releaseSmallTexture() override {}
    int bindTargetTexture(int i) override {
        lastTarget = i;
        glBindTexture(GL_TEXTURE_2D, target_);
        return static_cast<int>(target_);
    }
    void releaseTargetTexture(int) override {}
    void beginSmallBuffer() override {}
    void endSmallBuffer() override {}
    int loadLayerTexture(const core::String&) override { return -1; }
    int lastTarget = 0;

  private:
    GLuint accum_;
    GLuint target_;
};

class NoLayer final : public layers::Layer {
  public:
    bool loadParameters(const layers::LayerDesc&) override { return true; }
    void draw() override {}
};

class MeshRender : public test::SuiteWindow {
  protected:
    void SetUp() override {
        ASSERT_NE(window_, nullptr) << "no GL context";
        window_->makeCurrent();
        glViewport(0, 0, kSide, kSide);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        clear(0.0f, 0.0f, 0.0f);
    }
    void TearDown() override { layers::setCurrentLayer(nullptr); }

    static void clear(float r, float g, float b) {
        glClearColor(r, g, b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // Runs draw with light 0 in front of the square, as the frame loop runs
    // a layer: every attribute pushed before and popped after.
    template <typename F>
    static void lit(F&& draw) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        const GLfloat light[4] = {0.0f, 0.0f, 5.0f, 1.0f};
        glLightfv(GL_LIGHT0, GL_POSITION, light);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        draw();
        glPopAttrib();
    }
    static Rgba pixel(int x, int y) {
        unsigned char v[4] = {0, 0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, v);
        return {v[0], v[1], v[2], v[3]};
    }
    static Rgba centre() { return pixel(kSide / 2, kSide / 2); }
    static ::testing::AssertionResult about(const Rgba& got, int r, int g, int b, int tol = 3) {
        if (std::abs(got[0] - r) > tol || std::abs(got[1] - g) > tol ||
            std::abs(got[2] - b) > tol) {
            return ::testing::AssertionFailure()
                   << "got (" << got[0] << "," << got[1] << "," << got[2] << ") want (" << r << ","
                   << g << "," << b << ")";
        }
        return ::testing::AssertionSuccess();
    }
};

// Lit colour of a face turned to the light: the vertex colour times the
// modulation, plus the global ambient 0.2 x the default material ambient
// 0.2 (about 10 of 255).
constexpr int kAmbient = 10;

TEST_F(MeshRender, RedDiffuseOnAWhiteMeshDrawsRed) {
    const Mesh m = squareWith(diffuse(1.0f, 0.0f, 0.0f));
    lit([&] { drawMesh(m, false); });
    EXPECT_TRUE(about(centre(), 255, kAmbient, kAmbient));
    EXPECT_TRUE(about(pixel(2, 2), 255, kAmbient, kAmbient));
}

TEST_F(MeshRender, TheSpecularPassAddsOnlyTheHighlight) {
    Material mat = diffuse(1.0f, 0.0f, 0.0f);
    mat.specular = {0.0f, 0.0f, 0.25f, 1.0f};
    mat.shininess = 0.0f;  // the highlight covers the whole face
    const Mesh m = squareWith(mat);
    lit([&] {
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        drawMeshPass(m, kSpecularPass, false);
    });
    EXPECT_TRUE(about(centre(), 0, 0, 64));  // black apart from the highlight
    clear(0.0f, 0.0f, 0.0f);
    // All passes: the base pass lights red with the highlight (0.25 + the
    // ambient), the specular pass adds the highlight once more.
    lit([&] { drawMesh(m, false); });
    EXPECT_TRUE(about(centre(), 255, kAmbient, kAmbient + 64 + 64));
}

TEST_F(MeshRender, ASubmeshWithoutMaterialReusesThePreviousOne) {
    Mesh m;
    m.materials.push_back(diffuse(0.0f, 1.0f, 0.0f));
    addSquare(m, -1.0f, -0.5f, -1);  // first: colour (0, 0, 0, 0)
    addSquare(m, -0.5f, 0.5f, 0);    // green
    addSquare(m, 0.5f, 1.0f, -1);    // green again
    addSquare(m, 0.5f, 1.0f, 5);     // an index past the materials: also kept
    clear(0.0f, 0.0f, 1.0f);
    lit([&] { drawMesh(m, false); });
    // The first square has no colour of its own: only ambient light (from
    // the base and the additive pass) covers the blue background.
    const Rgba first = pixel(4, 32);
    EXPECT_EQ(first[0], first[2]);
    EXPECT_EQ(first[1], first[2]);
    EXPECT_LT(first[2], 3 * kAmbient);
    EXPECT_TRUE(about(pixel(32, 32), kAmbient, 255, kAmbient));
    EXPECT_TRUE(about(pixel(60, 32), kAmbient, 255, kAmbient));
}

TEST_F(MeshRender, ReflectionBlendsBySphereMapAndReflectiveness) {
    const GLuint blue = solidTexture(0, 0, 255);
    Material mat = diffuse(1.0f, 1.0f, 1.0f);
    mat.reflectionTexture = static_cast<int>(blue);

    // Reflectiveness 0: alpha 0, the base pass is left as it is.
    mat.reflectiveness = 0.0f;
    const Mesh none = squareWith(mat);
    lit([&] { drawMeshPass(none, kBasePass, false); });
    const Rgba base = centre();
    clear(0.0f, 0.0f, 0.0f);
    lit([&] { drawMesh(none, false); });
    EXPECT_EQ(centre(), base);
    EXPECT_TRUE(about(base, 255, 255, 255));

    // Half: the blue environment over white at half strength.
    mat.reflectiveness = 0.5f;
    const Mesh half = squareWith(mat);
    clear(0.0f, 0.0f, 0.0f);
    lit([&] { drawMesh(half, false); });
    EXPECT_TRUE(about(centre(), 128, 128, 255));

    // No reflection texture: no reflection however reflective.
    mat.reflectionTexture = -1;
    mat.reflectiveness = 1.0f;
    const Mesh plain = squareWith(mat);
    clear(0.0f, 0.0f, 0.0f);
    lit([&] { drawMesh(plain, false); });
    EXPECT_TRUE(about(centre(), 255, 255, 255));
    glDeleteTextures(1, &blue);
}

TEST_F(MeshRender, FlippedNormalsTurnAwayFromTheLight) {
    const Mesh m = squareWith(diffuse(1.0f, 1.0f, 1.0f));
    lit([&] { drawMesh(m, true); });
    EXPECT_TRUE(about(centre(), kAmbient, kAmbient, kAmbient));
    clear(0.0f, 0.0f, 0.0f);
    lit([&] { drawMesh(m, false); });
    EXPECT_TRUE(about(centre(), 255, 255, 255));
}

TEST_F(MeshRender, OffscreenIdsBindThroughTheCurrentLayer) {
    NoLayer layer;
    auto buffers = std::make_unique<FakeBuffers>();
    FakeBuffers* fake = buffers.get();
    layer.attachGraphics(std::move(buffers));

    Material mat = diffuse(1.0f, 1.0f, 1.0f);
    mat.texture = offscreenTextureId(0);
    const Mesh accum = squareWith(mat);
    layers::setCurrentLayer(&layer);
    lit([&] { drawMesh(accum, false); });
    EXPECT_TRUE(about(centre(), 0, 255, 0));

    mat.texture = offscreenTextureId(2);
    const Mesh target = squareWith(mat);
    lit([&] { drawMesh(target, false); });
    EXPECT_TRUE(about(centre(), 255, 0, 0));
    EXPECT_EQ(fake->lastTarget, 2);

    // No layer current: no texture, the plain diffuse colour.
    layers::setCurrentLayer(nullptr);
    clear(0.0f, 0.0f, 0.0f);
    lit([&] { drawMesh(accum, false); });
    EXPECT_TRUE(about(centre(), 255, 255, 255));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshRender, ADisplayListKeepsTheMeshAsCompiled) {
    Mesh m;
    m.materials.push_back(diffuse(1.0f, 0.0f, 0.0f));
    addSquare(m, -1.0f, 0.0f, 0);
    const unsigned list = compileMesh(m, false);
    ASSERT_NE(list, 0u);
    for (Vec3& p : m.positions) {
        p.x += 1.0f;  // the mesh moves right; the list does not
    }
    lit([&] { callMesh(list); });
    EXPECT_TRUE(about(pixel(16, 32), 255, kAmbient, kAmbient));
    EXPECT_TRUE(about(pixel(48, 32), 0, 0, 0));
    deleteMeshList(list);
    EXPECT_EQ(glIsList(list), GL_FALSE);
}

TEST_F(MeshRender, AbsurdShininessIsNoGlError) {
    while (glGetError() != GL_NO_ERROR) {
    }
    for (float s : {500.0f, -3.0f}) {
        Material mat = diffuse(1.0f, 1.0f, 1.0f);
        mat.shininess = s;
        const Mesh m = squareWith(mat);
        lit([&] { drawMesh(m, false); });
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << s;
    }
}

TEST_F(MeshRender, ReleasingTexturesLeavesOffscreenIds) {
    Mesh m;
    m.materials.resize(2);
    m.materials[0].texture = static_cast<int>(solidTexture(1, 2, 3));
    m.materials[0].reflectionTexture = offscreenTextureId(1);
    const auto name = static_cast<GLuint>(m.materials[0].texture);
    releaseMeshTextures(m);
    EXPECT_EQ(glIsTexture(name), GL_FALSE);
    EXPECT_EQ(m.materials[0].texture, -1);
    EXPECT_EQ(m.materials[0].reflectionTexture, offscreenTextureId(1));
}

}  // namespace
}  // namespace kvx::assets
