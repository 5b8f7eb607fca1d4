// kvxmesh as a user runs it: generated shapes and converted OBJ models are
// read back with the show's own mesh loader; dump reports what a file holds.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "assets/Mesh.h"
#include "support/TempDir.h"
#include "support/ToolRun.h"
#include "vfs/Vfs.h"

using kvx::test::TempDir;
using kvx::test::ToolRun;
namespace fs = std::filesystem;
namespace assets = kvx::assets;

namespace {

ToolRun kvxmesh(const std::string& args) {
    return kvx::test::runTool("kvxmesh", args);
}

// Loads name from dir through the Vfs, as a show would.
assets::Mesh load(const TempDir& dir, const char* name) {
    kvx::vfs::Vfs::reset();
    kvx::vfs::Vfs::setDataDirectory(dir.path().string());
    assets::Mesh mesh = assets::loadMesh(name);
    kvx::vfs::Vfs::reset();
    return mesh;
}

size_t triangles(const assets::Mesh& m) {
    size_t n = 0;
    for (const assets::Submesh& s : m.submeshes) {
        n += s.triangles.size();
    }
    return n;
}

TEST(Kvxmesh, GeneratedTorusLoadsWithItsMaterialAndMorph) {
    TempDir dir;
    const ToolRun r = kvxmesh("torus " + dir / "ring.msh" +
                              " --rings 10 --sides 6 --diffuse 1,0,0,1 --shininess 64"
                              " --reflection '$0' --reflectiveness 0.25 --morph-frames 4");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::exists(dir / "ring.materials"));
    const assets::Mesh m = load(dir, "ring.msh");
    EXPECT_EQ(m.positions.size(), 60u);
    EXPECT_EQ(m.vertices.size(), 77u);
    EXPECT_EQ(triangles(m), 120u);
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_EQ(m.materials[0].diffuse, (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_FLOAT_EQ(m.materials[0].shininess, 64.0f);
    EXPECT_EQ(m.materials[0].reflectionTexture, -256);
    EXPECT_FLOAT_EQ(m.materials[0].reflectiveness, 0.25f);
    EXPECT_EQ(m.morphFrames.frameCount, 4);
    EXPECT_EQ(m.morphFrames.positions.size(), 4 * m.positions.size());
    EXPECT_EQ(m.morphFrames.totalDuration, 800u);
}

TEST(Kvxmesh, ShapesWithoutMaterialFile) {
    TempDir dir;
    ASSERT_EQ(kvxmesh("sphere " + dir / "ball.msh" + " --slices 8 --stacks 4 --no-material").status,
              0);
    ASSERT_EQ(kvxmesh("twisted-box " + dir / "box.msh" + " --segments 3 --no-material").status, 0);
    EXPECT_FALSE(fs::exists(dir / "ball.materials"));
    const assets::Mesh ball = load(dir, "ball.msh");
    EXPECT_EQ(triangles(ball), 2u * 8u * 4u - 16u);
    EXPECT_EQ(ball.materials.size(), 1u);
    EXPECT_FLOAT_EQ(ball.materials[0].diffuse[3], 0.0f);  // no file: defaults
    EXPECT_EQ(triangles(load(dir, "box.msh")), 4u * 3u * 2u + 4u);
}

// Two materials, a quad and a pentagon (triangulated), shared positions
// with different texture coordinates, normals given for some corners only,
// and a face before any usemtl.
void writeModel(const TempDir& dir) {
    dir.write("model.obj",
              "mtllib model.mtl\n"
              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nv 3 0.5 0\n"
              "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0.5 0.5\n"
              "vn 0 0 1\n"
              "f 1 2 3\n"
              "usemtl glass\n"
              "f 1/1/1 2/2/1 3/3/1 4/4/1\n"
              "usemtl metal\n"
              "f 2/5 5/1 7/2 6/3 3/4\n");
    dir.write("model.mtl",
              "newmtl metal\nKd 0.5 0.5 0.5\nKs 1 1 1\nNs 900\nmap_Kd $1\n"
              "newmtl glass\nKd 0 0.25 1\nd 0.5\nKs 0 0 0\nNs 10\nrefl $0\n");
}

TEST(Kvxmesh, ObjModelsBecomeSubmeshesPerMaterial) {
    TempDir dir;
    writeModel(dir);
    const ToolRun r =
        kvxmesh("from-obj " + dir / "model.obj" + " " + dir / "model.msh" + " --mtl --scale 2");
    ASSERT_EQ(r.status, 0) << r.out;
    const assets::Mesh m = load(dir, "model.msh");
    ASSERT_EQ(m.positions.size(), 7u);
    EXPECT_FLOAT_EQ(m.positions[6].x, 6.0f);  // the placement matrix scales by 2
    ASSERT_EQ(m.submeshes.size(), 3u);        // in the order of first use
    EXPECT_EQ(m.submeshes[0].triangleCount(), 1);
    EXPECT_EQ(m.submeshes[1].triangleCount(), 2);
    EXPECT_EQ(m.submeshes[2].triangleCount(), 3);
    // OBJ materials keep their order; the faces without one get a third.
    ASSERT_EQ(m.materials.size(), 3u);
    EXPECT_EQ(m.submeshes[0].material, 2);
    EXPECT_EQ(m.submeshes[1].material, 1);
    EXPECT_EQ(m.submeshes[2].material, 0);
    EXPECT_EQ(m.materials[0].texture, -255);
    EXPECT_FLOAT_EQ(m.materials[0].shininess, 128.0f);  // clamped from 900
    EXPECT_EQ(m.materials[1].diffuse, (std::array<float, 4>{0, 0.25f, 1, 0.5f}));
    EXPECT_EQ(m.materials[1].reflectionTexture, -256);
    EXPECT_EQ(m.materials[2].diffuse, (std::array<float, 4>{1, 1, 1, 1}));
    // Position 2 (x = 1, y = 1) is used with no texture coordinate, with
    // (1, 1) and with (0, 1): three vertices.
    int users = 0;
    for (const assets::MeshVertex& v : m.vertices) {
        users += v.position == 2;
        EXPECT_EQ(v.r + v.g + v.b + v.a, 4.0f);  // white
        EXPECT_NEAR(v.normal.z, 1.0f, 1e-5f);    // given or computed, all face +z
    }
    EXPECT_EQ(users, 3);
}

TEST(Kvxmesh, DumpShowsCountsSubmeshesAndMaterials) {
    TempDir dir;
    writeModel(dir);
    ASSERT_EQ(kvxmesh("from-obj " + dir / "model.obj" + " " + dir / "model.msh" + " --mtl").status,
              0);
    const ToolRun r = kvxmesh("dump " + dir / "model.msh");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("version 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("positions 7, submeshes 3, materials 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("submesh 2: material 0, triangles 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("texture $1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("reflection $0, reflectiveness 1"), std::string::npos) << r.out;
}

TEST(Kvxmesh, ErrorsAreReported) {
    TempDir dir;
    ToolRun r = kvxmesh("from-obj " + dir / "none.obj" + " " + dir / "x.msh");
    EXPECT_EQ(r.status, 1);
    dir.write("empty.obj", "v 0 0 0\nv 1 0 0\n");
    r = kvxmesh("from-obj " + dir / "empty.obj" + " " + dir / "x.msh");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no faces"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir / "x.msh"));

    // A mesh file cut short is reported with the loader's reason.
    ASSERT_EQ(kvxmesh("torus " + dir / "t.msh").status, 0);
    fs::resize_file(dir / "t.msh", fs::file_size(dir / "t.msh") / 2);
    r = kvxmesh("dump " + dir / "t.msh");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("mesh: "), std::string::npos) << r.out;
    EXPECT_NE(kvxmesh("torus " + dir / "t.msh" + " --shininess 500").status, 0);
}

}  // namespace
