// Mesh chunk files: layout of both versions, submeshes, placement, morph
// frames, and files that lie about their counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "assets/Mesh.h"
#include "assets/MeshShapes.h"
#include "assets/MeshWriter.h"
#include "support/CountingNew.h"
#include "support/MeshFiles.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::assets {
namespace {

using test::Payload;

Mesh parse(const vfs::ChunkWriter& w, std::string* why = nullptr) {
    const vfs::Bytes bytes = w.finish();
    return parseMesh(bytes.data(), bytes.size(), why);
}

Payload head(int v, int p, int s, int m, bool v3 = true) {
    Payload h;
    h.text("thing").i32(v);
    if (v3) {
        h.i32(p);
    }
    h.i32(s).i32(m);
    return h;
}

// A version 3 quad: four vertices over three positions (vertex 3 reuses
// position 1), two triangles in one submesh of material 0.
vfs::ChunkWriter quadFile() {
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(4, 3, 1, 1).bytes);
    w.add("VPLS", Payload().ints({0, 1, 2, 1}).floats({0, 0, 0, 1, 0, 0, 1, 1, 0}).bytes);
    w.add("VTLS", Payload().floats({0, 0, 1, 0, 1, 1, 0.5f, 0.25f}).bytes);
    w.add("VNLS", Payload().floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 0}).bytes);
    w.add("VCLS",
          Payload().floats({1, 1, 1, 1, 0.5f, 0.5f, 0.5f, 1, 1, 0, 0, 1, 0, 1, 0, 1}).bytes);
    w.add("SMMT", Payload().ints({0, 2}).bytes);
    w.add("SMVL", Payload().ints({0, 1, 2, 0, 2, 3}).bytes);
    w.add("SMNL", Payload().floats({0, 0, 1, 0, 0, 1}).bytes);
    w.add("SMEN", {});
    return w;
}

bool sameVec(Vec3 a, Vec3 b, float tol = 1e-5f) {
    return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol && std::fabs(a.z - b.z) < tol;
}

TEST(MeshFile, Version3VerticesIndexSharedPositions) {
    std::string why;
    Mesh m = parse(quadFile(), &why);
    ASSERT_EQ(m.vertices.size(), 4u) << why;
    ASSERT_EQ(m.positions.size(), 3u);
    EXPECT_EQ(m.vertices[3].position, 1);
    EXPECT_TRUE(sameVec(m.positions[2], {1, 1, 0}));
    EXPECT_FLOAT_EQ(m.vertices[3].u, 0.5f);
    EXPECT_FLOAT_EQ(m.vertices[3].v, 0.25f);
    EXPECT_TRUE(sameVec(m.vertices[3].normal, {0, 1, 0}));
    EXPECT_FLOAT_EQ(m.vertices[1].r, 0.5f);
    EXPECT_FLOAT_EQ(m.vertices[2].g, 0.0f);
    EXPECT_FLOAT_EQ(m.vertices[3].a, 1.0f);
    ASSERT_EQ(m.submeshes.size(), 1u);
    ASSERT_EQ(m.submeshes[0].triangleCount(), 2);
    EXPECT_EQ(m.submeshes[0].material, 0);
    EXPECT_EQ(m.submeshes[0].triangles[1].vertices, (std::array<int32_t, 3>{0, 2, 3}));
    EXPECT_TRUE(sameVec(m.submeshes[0].triangles[1].normal, {0, 0, 1}));
    EXPECT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].shininess, 10.0f);  // defaults until the material file
}

TEST(MeshFile, Version2VertexUsesItsOwnPosition) {
    vfs::ChunkWriter w(2);
    w.add("HEAD", head(4, 0, 0, 0, false).bytes);
    w.add("VPLS", Payload().floats({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}).bytes);
    Mesh m = parse(w);
    ASSERT_EQ(m.vertices.size(), 4u);
    ASSERT_EQ(m.positions.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.vertices[static_cast<size_t>(i)].position, i);
    }
    EXPECT_TRUE(sameVec(m.positions[3], {10, 11, 12}));
}

TEST(MeshFile, WrongVersionOrChunkOrderGivesAnEmptyMesh) {
    vfs::ChunkWriter v4(4);
    v4.add("HEAD", head(0, 0, 0, 0).bytes);
    EXPECT_TRUE(parse(v4).empty());

    vfs::ChunkWriter first(3);
    first.add("VPLS", Payload().floats({0, 0, 0}).bytes);
    first.add("HEAD", head(1, 1, 0, 0).bytes);
    std::string why;
    EXPECT_TRUE(parse(first, &why).empty());
    EXPECT_NE(why.find("first chunk"), std::string::npos) << why;

    vfs::ChunkWriter twice = quadFile();
    twice.add("HEAD", head(1, 1, 0, 0).bytes);
    Mesh m = parse(twice, &why);
    EXPECT_TRUE(m.empty());
    EXPECT_TRUE(m.materials.empty());
    EXPECT_EQ(m.matrix, kIdentityMatrix);

    const vfs::Bytes notChunks{'n', 'o', 'p', 'e'};
    EXPECT_TRUE(parseMesh(notChunks.data(), notChunks.size()).empty());
}

TEST(MeshFile, UnknownChunksAreSkipped) {
    vfs::ChunkWriter w = quadFile();
    w.add("XTRA", Payload().ints({1, 2, 3}).bytes);
    EXPECT_EQ(parse(w).vertices.size(), 4u);
}

TEST(MeshFile, SubmeshEndsStoreTheCurrentSubmesh) {
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(3, 3, 3, 2).bytes);
    w.add("VPLS", Payload().ints({0, 1, 2}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).bytes);
    w.add("SMEN", {});  // no current submesh: an empty one is stored
    w.add("SMMT", Payload().ints({1, 1}).bytes);
    w.add("SMVL", Payload().ints({0, 1, 2}).bytes);
    w.add("SMEN", {});
    w.add("SMVL", Payload().ints({2, 1, 0}).bytes);  // writes into the current one again
    w.add("SMEN", {});
    w.add("SMEN", {});  // a fourth for three slots: dropped
    Mesh m = parse(w);
    ASSERT_EQ(m.submeshes.size(), 3u);
    EXPECT_EQ(m.submeshes[0].triangleCount(), 0);
    EXPECT_EQ(m.submeshes[0].material, -1);
    EXPECT_EQ(m.submeshes[1].material, 1);
    EXPECT_EQ(m.submeshes[1].triangles[0].vertices, (std::array<int32_t, 3>{0, 1, 2}));
    EXPECT_EQ(m.submeshes[2].triangles[0].vertices, (std::array<int32_t, 3>{2, 1, 0}));
}

TEST(MeshFile, TrianglesWithBadIndicesAreDropped) {
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(4, 3, 1, 0).bytes);
    // Vertex 3 names position 9 of 3.
    w.add("VPLS", Payload().ints({0, 1, 2, 9}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).bytes);
    w.add("SMMT", Payload().ints({0, 4}).bytes);
    w.add("SMVL", Payload().ints({0, 1, 2, 0, 1, 7, 0, -1, 2, 0, 1, 3}).bytes);
    w.add("SMEN", {});
    Mesh m = parse(w);
    ASSERT_EQ(m.submeshes.size(), 1u);
    ASSERT_EQ(m.submeshes[0].triangleCount(), 1);
    EXPECT_EQ(m.submeshes[0].triangles[0].vertices, (std::array<int32_t, 3>{0, 1, 2}));
}

TEST(MeshFile, CountsThatTheFileCannotHoldGiveAnEmptyMesh) {
    // Each of these would have sized an array before any data arrived.
    struct Case {
        const char* what;
        Payload headChunk;
    };
    const Case cases[] = {
        {"vertices", head(0x7fffffff, 0, 0, 0)},           {"positions", head(0, 0x40000000, 0, 0)},
        {"submeshes", head(0, 0, 0x7fffffff, 0)},          {"materials", head(0, 0, 0, 0x7fffffff)},
        {"vertices v2", head(0x7fffffff, 0, 0, 0, false)},
    };
    for (const Case& c : cases) {
        vfs::ChunkWriter w(std::string(c.what) == "vertices v2" ? 2 : 3);
        w.add("HEAD", c.headChunk.bytes);
        std::string why;
        EXPECT_TRUE(parse(w, &why).empty()) << c.what;
        EXPECT_NE(why.find("count"), std::string::npos) << c.what << ": " << why;
    }

    std::string why;
    vfs::ChunkWriter triangles(3);
    triangles.add("HEAD", head(1, 1, 1, 0).bytes);
    triangles.add("SMMT", Payload().ints({0, 0x7fffffff}).bytes);
    triangles.add("VPLS", Payload().ints({0}).floats({0, 0, 0}).bytes);
    EXPECT_TRUE(parse(triangles, &why).empty());
    EXPECT_NE(why.find("triangle count"), std::string::npos) << why;

    vfs::ChunkWriter morph(3);
    morph.add("HEAD", head(1, 1, 0, 0).bytes);
    morph.add("MRPH", Payload().ints({1, 4, 0x7fffffff}).floats({0, 0, 0}).bytes);
    EXPECT_TRUE(parse(morph, &why).empty());
    EXPECT_NE(why.find("morph value count"), std::string::npos) << why;
}

TEST(MeshFile, NegativeCountsMakeNoArrays) {
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(-4, -1, -2, -3).bytes);
    w.add("SMMT", Payload().ints({0, -5}).bytes);
    w.add("MRPH", Payload().ints({1, 2, -9}).bytes);
    w.add("VPLS", {});
    std::string why;
    Mesh m = parse(w, &why);
    EXPECT_TRUE(why.empty()) << why;
    EXPECT_TRUE(m.vertices.empty());
    EXPECT_TRUE(m.positions.empty());
    EXPECT_TRUE(m.submeshes.empty());
    EXPECT_TRUE(m.materials.empty());
    EXPECT_TRUE(m.morphFrames.positions.empty());
    EXPECT_EQ(m.morphFrames.valueCount, 0);
}

TEST(MeshFile, ChunksShorterThanTheirCountsGiveAnEmptyMesh) {
    for (const char* tag : {"VPLS", "VTLS", "VNLS", "VCLS", "SMVL", "SMNL", "MTRX", "MRPH"}) {
        vfs::ChunkWriter w(3);
        w.add("HEAD", head(4, 1, 1, 1).bytes);
        w.add("SMMT", Payload().ints({0, 1}).bytes);
        w.add(tag, Payload().ints({0, 1}).bytes);  // 8 bytes: too short for each
        std::string why;
        EXPECT_TRUE(parse(w, &why).empty()) << tag;
        EXPECT_FALSE(why.empty()) << tag;
    }
}

TEST(MeshFile, AChunkCountBeyondTheChunksEndsTheReading) {
    vfs::Bytes bytes = quadFile().finish();
    bytes[19] = 200;  // the header's chunk count, now far more than are there
    std::string why;
    EXPECT_TRUE(parseMesh(bytes.data(), bytes.size(), &why).empty());
    EXPECT_NE(why.find("ends before"), std::string::npos) << why;

    // Cut off in the middle of a chunk.
    const vfs::Bytes whole = quadFile().finish();
    for (size_t cut : {size_t{30}, whole.size() / 2, whole.size() - 1}) {
        EXPECT_TRUE(parseMesh(whole.data(), cut).empty()) << cut;
    }
}

TEST(MeshPlacement, MatrixIsBakedIntoPositionsAndNormals) {
    // 90 degrees about z, then a translation by (10, 20, 30).
    vfs::ChunkWriter w = quadFile();
    w.add("MTRX", Payload().floats({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1}).bytes);
    w.add("MRPH", Payload().ints({1, 1, 3}).floats({1, 0, 0, 2, 0, 0, 3, 0, 0}).bytes);
    Mesh m = parse(w);
    bakePlacement(m);
    EXPECT_TRUE(sameVec(m.positions[0], {10, 20, 30}));
    EXPECT_TRUE(sameVec(m.positions[1], {10, 21, 30}));  // x axis turns into y
    EXPECT_TRUE(sameVec(m.positions[2], {9, 21, 30}));
    // Normals turn but do not move: the translation plays no part.
    EXPECT_TRUE(sameVec(m.vertices[3].normal, {-1, 0, 0}));
    EXPECT_TRUE(sameVec(m.vertices[0].normal, {0, 0, 1}));
    EXPECT_TRUE(sameVec(m.submeshes[0].triangles[0].normal, {0, 0, 1}));
    // Morph frames are used as stored.
    EXPECT_TRUE(sameVec(m.morphFrames.positions[1], {2, 0, 0}));
}

TEST(MeshPlacement, NormalsStayPerpendicularUnderNonUniformScale) {
    Matrix4 m = kIdentityMatrix;
    m[0] = 2.0f;  // x doubled
    // The plane x + y = 1 becomes x / 2 + y = 1, whose normal is (1, 2) / sqrt 5.
    const Vec3 n = normalize(transformNormal(m, normalize({1, 1, 0})));
    EXPECT_TRUE(sameVec(n, normalize({1, 2, 0})));
    // A mirror keeps normals pointing out of the mirrored surface.
    Matrix4 mirror = kIdentityMatrix;
    mirror[0] = -1.0f;
    EXPECT_TRUE(sameVec(normalize(transformNormal(mirror, {1, 0, 0})), {-1, 0, 0}));
    EXPECT_TRUE(sameVec(normalize(Vec3{}), {0, 0, 0}));
}

Mesh morphingLine(int values) {
    // P = 2 positions, L = 1 (200 ms), F = 4 frames: 800 ms in all. Frame f
    // puts both positions at x = 10 f.
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(2, 2, 0, 0).bytes);
    w.add("VPLS", Payload().ints({0, 1}).floats({-1, 0, 0, -1, 1, 0}).bytes);
    Payload morph;
    morph.ints({1, 4, values});
    for (int i = 0; i < values; ++i) {
        morph.floats({10.0f * static_cast<float>(i / 2), static_cast<float>(i % 2), 0});
    }
    w.add("MRPH", morph.bytes);
    return parse(w);
}

TEST(MeshMorph, FramesBlendAndTheCycleRepeats) {
    Mesh m = morphingLine(8);
    ASSERT_EQ(m.morphFrames.totalDuration, 800u);
    m.morph(100);  // halfway from frame 0 to frame 1
    EXPECT_TRUE(sameVec(m.positions[0], {5, 0, 0}));
    EXPECT_TRUE(sameVec(m.positions[1], {5, 1, 0}));
    EXPECT_EQ(m.morphFrames.currentTime, 100u);
    m.morph(250);  // a quarter of the way from frame 1 to frame 2
    EXPECT_TRUE(sameVec(m.positions[0], {12.5f, 0, 0}));
    for (uint32_t t : {600u, 700u, 799u}) {
        m.morph(t);  // the last frame is shown as stored
        EXPECT_TRUE(sameVec(m.positions[0], {30, 0, 0})) << t;
    }
    m.morph(900);
    EXPECT_EQ(m.morphFrames.currentTime, 100u);
    EXPECT_TRUE(sameVec(m.positions[0], {5, 0, 0}));
}

TEST(MeshMorph, AStaticMeshIsLeftAlone) {
    Mesh m = parse(quadFile());
    const std::vector<Vec3> before = m.positions;
    for (uint32_t t : {0u, 16u, 5000u}) {
        m.morph(t);
    }
    ASSERT_EQ(m.positions.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(sameVec(m.positions[i], before[i]));
    }
    EXPECT_EQ(m.morphFrames.currentTime, 0u);

    // Frames of length 0: no cycle either.
    vfs::ChunkWriter w(3);
    w.add("HEAD", head(1, 1, 0, 0).bytes);
    w.add("VPLS", Payload().ints({0}).floats({7, 7, 7}).bytes);
    w.add("MRPH", Payload().ints({0, 2, 2}).floats({1, 1, 1, 2, 2, 2}).bytes);
    Mesh zero = parse(w);
    zero.morph(123);
    EXPECT_TRUE(sameVec(zero.positions[0], {7, 7, 7}));
}

TEST(MeshMorph, MissingFramesChangeNothing) {
    // Three of four frames stored: frames 0..2 can be shown, but the blend
    // from frame 2 to frame 3 needs a frame that is not there.
    Mesh m = morphingLine(6);
    m.morph(300);  // frame 1 towards 2: both stored
    EXPECT_TRUE(sameVec(m.positions[0], {15, 0, 0}));
    m.morph(500);  // frame 2 towards the missing frame 3
    EXPECT_TRUE(sameVec(m.positions[0], {15, 0, 0}));
    m.morph(700);  // the missing last frame
    EXPECT_TRUE(sameVec(m.positions[0], {15, 0, 0}));
}

TEST(MeshMorph, MorphingAllocatesNothing) {
    Mesh m = morphingLine(8);
    const long before = test::allocationCount().load();
    for (uint32_t t = 0; t < 2000; t += 16) {
        m.morph(t);
    }
    EXPECT_EQ(test::allocationCount().load(), before);
}

TEST(MeshFileName, MaterialFileBesideTheMesh) {
    EXPECT_EQ(materialFileName("ship.msh"), "ship.materials");
    EXPECT_EQ(materialFileName("ship"), "ship.material");
    EXPECT_EQ(materialFileName("ship.v2.msh"), "ship.v2.materials");
    EXPECT_EQ(materialFileName("meshes/ship.msh"), "meshes/ship.materials");
}

TEST(MeshLoad, ReadsTheMeshAndItsMaterialsThroughTheVfs) {
    test::TempDir dir;
    vfs::Vfs::reset();
    vfs::Vfs::setDataDirectory(dir.path().string());
    vfs::ChunkWriter w = quadFile();
    w.add("MTRX", Payload().floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}).bytes);
    dir.write("quad.msh", w.finish());
    // Two blocks for a mesh with one material: the first is kept.
    dir.write("quad.materials", "diffuse = (1, 0.5, 0.25, 1)\nend\ndiffuse = (0, 1, 0, 1)\nend\n");
    Mesh m = loadMesh("quad.msh");
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FLOAT_EQ(m.materials[0].diffuse[1], 0.5f);
    EXPECT_TRUE(sameVec(m.positions[2], {1, 1, 5}));

    EXPECT_TRUE(loadMesh("missing.msh").empty());
    vfs::Vfs::reset();
}

TEST(MeshWriter, WrittenMeshesReadBackUnchanged) {
    Mesh torus = makeTorus(3.0f, 1.0f, 12, 8);
    addBreathingMorph(torus, 5, 2, 0.5f);
    const vfs::Bytes bytes = writeMesh(torus, "torus");
    std::string why;
    Mesh back = parseMesh(bytes.data(), bytes.size(), &why);
    ASSERT_EQ(back.vertices.size(), torus.vertices.size()) << why;
    ASSERT_EQ(back.positions.size(), torus.positions.size());
    ASSERT_EQ(back.submeshes.size(), 1u);
    EXPECT_EQ(back.submeshes[0].triangleCount(), torus.submeshes[0].triangleCount());
    EXPECT_EQ(back.materials.size(), 1u);
    for (size_t i = 0; i < torus.vertices.size(); ++i) {
        const MeshVertex& a = torus.vertices[i];
        const MeshVertex& b = back.vertices[i];
        ASSERT_EQ(a.position, b.position);
        ASSERT_TRUE(sameVec(a.normal, b.normal));
        ASSERT_EQ(a.u, b.u);
        ASSERT_EQ(a.a, b.a);
    }
    EXPECT_EQ(back.morphFrames.frameCount, 5);
    EXPECT_EQ(back.morphFrames.totalDuration, 2000u);
    EXPECT_EQ(back.morphFrames.positions.size(), 5 * torus.positions.size());
}

// Every face of a closed shape faces away from its inside.
void expectOutwardFaces(const Mesh& m, Vec3 (*inside)(Vec3)) {
    ASSERT_FALSE(m.submeshes.empty());
    int wrong = 0;
    for (const MeshTriangle& t : m.submeshes[0].triangles) {
        Vec3 c{};
        for (int32_t v : t.vertices) {
            c = add(c,
                    m.positions[static_cast<size_t>(m.vertices[static_cast<size_t>(v)].position)]);
        }
        c = scale(c, 1.0f / 3.0f);
        const Vec3 out = add(c, scale(inside(c), -1.0f));
        wrong += out.x * t.normal.x + out.y * t.normal.y + out.z * t.normal.z <= 0.0f;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MeshShapes, ShapesAreClosedOutwardAndCounted) {
    Mesh torus = makeTorus(3.0f, 1.0f, 16, 10);
    EXPECT_EQ(torus.positions.size(), 160u);
    EXPECT_EQ(torus.vertices.size(), 17u * 11u);
    EXPECT_EQ(torus.submeshes[0].triangleCount(), 320);
    expectOutwardFaces(torus, [](Vec3 p) {  // the centre of the tube
        const float r = std::sqrt(p.x * p.x + p.z * p.z);
        return Vec3{3.0f * p.x / r, 0.0f, 3.0f * p.z / r};
    });
    Mesh sphere = makeSphere(2.0f, 12, 6);
    EXPECT_EQ(sphere.positions.size(), 2u + 5u * 12u);
    EXPECT_EQ(sphere.submeshes[0].triangleCount(), 2 * 12 * 6 - 2 * 12);  // poles are fans
    expectOutwardFaces(sphere, [](Vec3) { return Vec3{}; });
    Mesh box = makeTwistedBox(2.0f, 8, 90.0f);
    EXPECT_EQ(box.submeshes[0].triangleCount(), 4 * 8 * 2 + 4);
    // Inside the column: its axis, short of the two ends.
    expectOutwardFaces(box, [](Vec3 p) { return Vec3{0.0f, std::clamp(p.y, -1.9f, 1.9f), 0.0f}; });
    for (const Mesh* m : {&torus, &sphere, &box}) {
        for (const MeshVertex& v : m->vertices) {
            ASSERT_NEAR(length(v.normal), 1.0f, 1e-4f);
            ASSERT_EQ(v.r + v.g + v.b + v.a, 4.0f);
        }
    }
    // Absurd segment counts are clamped.
    EXPECT_EQ(makeTorus(1, 0.5f, -3, 1 << 30).positions.size(), 3u * kMaxShapeSegments);
}

}  // namespace
}  // namespace kvx::assets
