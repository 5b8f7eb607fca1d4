// object: parameters, the reverse index, the per-frame twist, and the lit
// mesh read back from the compositor.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "assets/MeshShapes.h"
#include "effects/ObjectLayer.h"
#include "effects/Registry.h"
#include "layers/LayerFactory.h"
#include "support/CountingNew.h"
#include "support/EffectRig.h"
#include "support/MeshFiles.h"
#include "support/ParamSupport.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;
using assets::Vec3;

std::unique_ptr<ObjectLayer> makeObject(layers::LayerDesc d) {
    registerAll();
    d.type = "object";
    std::unique_ptr<layers::Layer> layer = layers::LayerFactory::create(d);
    std::unique_ptr<ObjectLayer> out(dynamic_cast<ObjectLayer*>(layer.get()));
    if (out) {
        layer.release();
        out->updateTracks(0);
    }
    return out;
}

bool same(Vec3 a, Vec3 b, float tol = 1e-3f) {
    return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol && std::fabs(a.z - b.z) < tol;
}

// Positions given, one vertex per position with normal (1, 0, 0).
assets::Mesh points(std::initializer_list<Vec3> ps) {
    assets::Mesh m;
    for (Vec3 p : ps) {
        m.positions.push_back(p);
        assets::MeshVertex v;
        v.position = static_cast<int32_t>(m.positions.size()) - 1;
        v.normal = {1.0f, 0.0f, 0.0f};
        m.vertices.push_back(v);
    }
    return m;
}

TEST(ObjectLayer, ParametersOfTheirKindAreReadAndBound) {
    layers::LayerDesc d;
    addText(d, "filename", "ship.msh");
    addFloat(d, "posx", 5.0f);
    addFloat(d, "camposz", 50.0f);
    addInt(d, "rotx", 3);  // an integer where a float is wanted: ignored
    addFloat(d, "scale", 2.0f);
    addFloat(d, "fov", 30.0f);
    addFloat(d, "fov", 60.0f, 1000, layers::Interpolation::Linear);
    addFloat(d, "d_xadd", 1.5f);
    addFloat(d, "d_zdiv", 0.0f);
    addInt(d, "direct", 1);
    addInt(d, "invertnormals", 2);
    auto o = makeObject(d);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->fileName, core::String("ship.msh"));
    EXPECT_FLOAT_EQ(o->view.position[0], 5.0f);
    EXPECT_FLOAT_EQ(o->view.cameraPosition[2], 50.0f);
    EXPECT_FLOAT_EQ(o->view.cameraUp[1], 1.0f);
    EXPECT_FLOAT_EQ(o->view.rotation[0], 0.0f);
    EXPECT_FLOAT_EQ(o->view.scale, 2.0f);
    EXPECT_FLOAT_EQ(o->view.light[2], 1000.0f);
    EXPECT_FLOAT_EQ(o->distortStep[0], 1.5f);
    EXPECT_FLOAT_EQ(o->distortDivisor[1], 500.0f);
    EXPECT_FLOAT_EQ(o->distortDivisor[2], 0.0f);
    EXPECT_EQ(o->direct, 1);
    EXPECT_FALSE(o->invertNormals);  // only 1 turns it on
    o->updateTracks(500);
    EXPECT_FLOAT_EQ(o->view.fov, 45.0f);  // animated

    layers::LayerDesc one;
    addInt(one, "invertnormals", 1);
    EXPECT_TRUE(makeObject(one)->invertNormals);
}

TEST(ObjectLayer, ReverseIndexListsTheVerticesOfEachPosition) {
    auto o = makeObject({});
    assets::Mesh m = points({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    // Vertices 3..6 name positions 2, 0, 2 and one that does not exist.
    for (int32_t p : {2, 0, 2, 9}) {
        assets::MeshVertex v;
        v.position = p;
        m.vertices.push_back(v);
    }
    o->setMesh(m);
    auto usersOf = [&](size_t i) {
        return std::vector<int32_t>(o->vertexUsers.begin() + o->vertexUserStart[i],
                                    o->vertexUsers.begin() + o->vertexUserStart[i + 1]);
    };
    EXPECT_EQ(usersOf(0), (std::vector<int32_t>{0, 4}));
    EXPECT_EQ(usersOf(1), (std::vector<int32_t>{1}));
    EXPECT_EQ(usersOf(2), (std::vector<int32_t>{2, 3, 5}));
    EXPECT_EQ(o->vertexUsers.size(), 6u);
}

TEST(ObjectLayer, DefaultsLeaveTheMeshUndeformed) {
    auto o = makeObject({});
    o->setMesh(assets::makeTorus(300.0f, 100.0f, 12, 8));
    for (int i = 0; i < 5; ++i) {
        o->advance(16);
    }
    for (size_t i = 0; i < o->originalMesh.positions.size(); ++i) {
        ASSERT_TRUE(same(o->deformedMesh.positions[i], o->originalMesh.positions[i]));
    }
    for (size_t j = 0; j < o->originalMesh.vertices.size(); ++j) {
        ASSERT_TRUE(same(o->deformedMesh.vertices[j].normal, o->originalMesh.vertices[j].normal));
    }
}

TEST(ObjectLayer, TheStepIsPerFrameNotPerMillisecond) {
    layers::LayerDesc d;
    addFloat(d, "d_xadd", 1.0f);
    auto o = makeObject(d);
    o->setMesh(points({{500, 0, 0}, {0, 0, 0}}));
    // One second at 50 frames per second: 50 degrees at x = 500.
    for (int i = 0; i < 50; ++i) {
        o->advance(20);
    }
    const double a = 50.0 * ObjectLayer::kDegree;
    EXPECT_TRUE(same(o->deformedMesh.positions[0], {static_cast<float>(500 * std::cos(a)),
                                                    static_cast<float>(-500 * std::sin(a)), 0}));
    EXPECT_TRUE(same(o->deformedMesh.positions[1], {0, 0, 0}));  // the origin stays

    // One second at 25 frames per second: 25 degrees.
    auto slow = makeObject(d);
    slow->setMesh(points({{500, 0, 0}}));
    for (int i = 0; i < 25; ++i) {
        slow->advance(40);
    }
    const double b = 25.0 * ObjectLayer::kDegree;
    EXPECT_TRUE(same(slow->deformedMesh.positions[0], {static_cast<float>(500 * std::cos(b)),
                                                       static_cast<float>(-500 * std::sin(b)), 0}));
    EXPECT_FLOAT_EQ(slow->distortAngle[0], 25.0f);
}

TEST(ObjectLayer, NormalsTurnWithTheirPosition) {
    // A quarter turn about z at z = 500: x turns into -y, y into x.
    layers::LayerDesc d;
    addFloat(d, "d_zangle", 90.0f);
    auto o = makeObject(d);
    assets::Mesh m = points({{0, 0, 500}});
    assets::MeshVertex second = m.vertices[0];
    second.normal = {0.0f, 1.0f, 0.0f};
    m.vertices.push_back(second);
    o->setMesh(m);
    o->advance(16);
    EXPECT_TRUE(same(o->deformedMesh.vertices[0].normal, {0, -1, 0}));
    EXPECT_TRUE(same(o->deformedMesh.vertices[1].normal, {1, 0, 0}));
    EXPECT_TRUE(same(o->deformedMesh.positions[0], {0, 0, 500}));
    EXPECT_TRUE(same(o->originalMesh.vertices[1].normal, {0, 1, 0}));  // never changed
}

TEST(ObjectLayer, ADivisorOfZeroTurnsNothingAboutItsAxis) {
    layers::LayerDesc d;
    addFloat(d, "d_xdiv", 0.0f);
    addFloat(d, "d_xangle", 40.0f);
    addFloat(d, "d_yangle", 40.0f);
    addFloat(d, "d_ydiv", 0.0f);
    auto o = makeObject(d);
    o->setMesh(points({{250, 250, 0}}));
    o->advance(16);
    EXPECT_TRUE(same(o->deformedMesh.positions[0], {250, 250, 0}));
}

TEST(ObjectLayer, DeformingAllocatesNothing) {
    layers::LayerDesc d;
    addFloat(d, "d_xadd", 2.0f);
    addFloat(d, "d_yadd", 3.0f);
    auto o = makeObject(d);
    o->setMesh(assets::makeSphere(200.0f, 24, 12));
    o->advance(16);
    const long before = allocationCount().load();
    for (int i = 0; i < 20; ++i) {
        o->advance(16);
    }
    EXPECT_EQ(allocationCount().load(), before);
}

// A red ball of radius 20 in front of the default camera, in its own folder.
class ObjectPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.path().string());
        writeMeshFiles(dir_, "ball.msh", assets::makeSphere(20.0f, 24, 12),
                       "diffuse = (1, 0, 0, 1)\nend\n");
    }
    void TearDown() override { vfs::Vfs::reset(); }
    static std::string layer(const std::string& params) {
        return R"(<LAYER> $TYPE = "object"; $END = -1; $BLENDING = "overwrite";
            <PARAM> filename = "ball.msh"; )" +
               params + " </PARAM> </LAYER>";
    }
    TempDir dir_;
};

TEST_F(ObjectPicture, TheBallIsLitRedInTheMiddle) {
    EffectRig rig(0.5f);
    ASSERT_TRUE(rig.load(layer("")));
    ASSERT_TRUE(rig.prepare());
    rig.frame(0);
    const Rgba centre = rig.pixel(256, 256);
    EXPECT_GT(centre[0], 200);
    EXPECT_LT(centre[1], 30);
    EXPECT_TRUE(near(rig.pixel(20, 20), 0, 0, 0));
    EXPECT_TRUE(near(rig.pixel(256, 60), 0, 0, 0));  // above the ball
}

TEST_F(ObjectPicture, InvertedNormalsFaceAwayFromTheLight) {
    for (int flag : {1, 2}) {
        EffectRig rig(0.5f);
        ASSERT_TRUE(rig.load(layer("invertnormals = " + std::to_string(flag) + ";")));
        ASSERT_TRUE(rig.prepare());
        rig.frame(0);
        if (flag == 1) {
            EXPECT_LT(rig.pixel(256, 256)[0], 40);
        } else {
            EXPECT_GT(rig.pixel(256, 256)[0], 200);
        }
    }
}

TEST_F(ObjectPicture, TheTwistChangesThePictureFrameByFrame) {
    writeMeshFiles(dir_, "box.msh", assets::makeTwistedBox(30.0f, 12, 0.0f),
                   "diffuse = (1, 1, 1, 1)\nend\n");
    EffectRig still(0.25f);
    ASSERT_TRUE(still.load(R"(<LAYER> $TYPE = "object"; $END = -1;
        <PARAM> filename = "box.msh"; rotx = 30.0; </PARAM> </LAYER>)"));
    ASSERT_TRUE(still.prepare());
    still.frame(0);
    const auto first = still.picture();
    still.frame(16);
    EXPECT_EQ(still.picture(), first);

    EffectRig twisting(0.25f);
    ASSERT_TRUE(twisting.load(R"(<LAYER> $TYPE = "object"; $END = -1;
        <PARAM> filename = "box.msh"; rotx = 30.0; d_yadd = 20.0; d_ydiv = 30.0; </PARAM> </LAYER>)"));
    ASSERT_TRUE(twisting.prepare());
    twisting.frame(0);
    EXPECT_NE(twisting.picture(), first);
}

TEST_F(ObjectPicture, AMissingMeshDrawsNothing) {
    EffectRig rig(0.25f);
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "object"; $END = -1;
        <PARAM> filename = "nothing.msh"; d_xadd = 5.0; </PARAM> </LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    EXPECT_EQ(rig.frame(0), 1);
    EXPECT_EQ(rig.frame(16), 1);
    EXPECT_TRUE(near(rig.pixel(256, 256), 0, 0, 0));
    for (auto& l : rig.layers()) {
        EXPECT_TRUE(l->release());
    }
}

}  // namespace
}  // namespace kvx::effects
