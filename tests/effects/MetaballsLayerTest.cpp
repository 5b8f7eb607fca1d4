// metaballs: the blob's place and size in the picture, the clamps of its
// parameters, its material, and a frame that allocates nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "effects/MetaballsLayer.h"
#include "support/EffectRig.h"
#include "support/TempDir.h"
#include "vfs/Vfs.h"

namespace kvx::effects {
namespace {

using namespace kvx::test;

// A fine grid around the origin seen from 10 units away: a ball's sphere of
// radius sqrt 2 (isolevel 0.5) fills a good part of the picture.
const char* kView = "gridsize = 30; cellsize = 0.25; camposz = 10.0; ";

class MetaballsPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        vfs::Vfs::reset();
        vfs::Vfs::setDataDirectory(dir_.path().string());
    }
    void TearDown() override {
        for (auto& l : rig_.layers()) {
            l->release();
        }
        vfs::Vfs::reset();
    }

    // One metaballs layer, written straight into the picture (alpha shows
    // where the surface is), drawn once at show time 0.
    bool show(const std::string& params) {
        const std::string text =
            R"(<LAYER> $TYPE = "metaballs"; $END = -1; $BLENDING = "overwrite"; <PARAM>)" + params +
            "</PARAM></LAYER>";
        if (!rig_.load(text) || rig_.layers().size() != 1 || !rig_.prepare()) {
            return false;
        }
        return rig_.frame(0, 0) == 1;
    }
    MetaballsLayer& layer() { return dynamic_cast<MetaballsLayer&>(rig_.layer(0)); }
    bool covered(float x, float y) { return rig_.pixel(x, y)[3] > 128; }
    // The first and last covered column of a row (-1, -1 when none).
    std::pair<int, int> rowSpan(int y) {
        int first = -1;
        int last = -1;
        for (int x = 0; x < 512; ++x) {
            if (covered(static_cast<float>(x), static_cast<float>(y))) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        return {first, last};
    }
    std::pair<int, int> columnSpan(int x) {
        int first = -1;
        int last = -1;
        for (int y = 0; y < 512; ++y) {
            if (covered(static_cast<float>(x), static_cast<float>(y))) {
                first = first < 0 ? y : first;
                last = y;
            }
        }
        return {first, last};
    }
    int coveredCount() {
        const std::vector<unsigned char> px = rig_.picture();
        int n = 0;
        for (size_t i = 3; i < px.size(); i += 4) {
            n += px[i] > 128 ? 1 : 0;
        }
        return n;
    }

    TempDir dir_;
    EffectRig rig_;
};

TEST_F(MetaballsPicture, OneBallDrawsARoundBlobWhereItsCentreProjects) {
    // Ball at (1, 0.5, 0), eye 10 units in front, 45 degrees, aspect 4:3:
    // its centre lands at x = 256 (1 + 0.1 / (tan 22.5 * 4/3)) = 302.4 and
    // y = 256 (1 - 0.05 / tan 22.5) = 225.1; the sphere of radius sqrt 2
    // spans about 0.1443 / tan 22.5 of the half height: 89 units up and
    // down, 67 left and right (the 4:3 picture squeezes x).
    ASSERT_TRUE(show(std::string(kView) +
                     "ballcount = 1; ballx1 = 1.0; bally1 = 0.5; ballz1 = 0.0; isolevel = 0.5;"));
    const auto [left, right] = rowSpan(225);
    const auto [top, bottom] = columnSpan(302);
    EXPECT_NEAR((left + right) / 2.0, 302.4, 4.0);
    EXPECT_NEAR((top + bottom) / 2.0, 225.1, 4.0);
    EXPECT_NEAR((right - left) / 2.0, 67.0, 5.0);
    EXPECT_NEAR((bottom - top) / 2.0, 89.0, 5.0);
    // Round: the diagonal reaches as far as the axes predict.
    EXPECT_TRUE(covered(302.4f + 67.0f * 0.65f, 225.1f + 89.0f * 0.65f));
    EXPECT_FALSE(covered(302.4f + 67.0f * 0.78f, 225.1f + 89.0f * 0.78f));
    // Lit from the front: the middle is bright, the default grey material.
    const Rgba mid = rig_.pixel(302, 225);
    EXPECT_GT(mid[0], 150);
    EXPECT_EQ(mid[0], mid[1]);
    EXPECT_EQ(mid[1], mid[2]);
    EXPECT_GT(layer().lastVisited, 0u);
    EXPECT_LT(layer().lastVisited, layer().grid.cellCount / 10);
}

TEST_F(MetaballsPicture, NoBallsDrawNothingAndSevenDrawFive) {
    ASSERT_TRUE(show(std::string(kView) + "ballcount = 0; isolevel = 0.5;"));
    EXPECT_EQ(coveredCount(), 0);
    EffectRig rig;
    // Seven balls asked for: the count becomes five, and all five show.
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "metaballs"; $END = -1;
        $BLENDING = "overwrite"; <PARAM> gridsize = 30; cellsize = 0.3; camposz = 10.0;
        ballcount = 7; isolevel = 0.9;
        ballx1 = -2.5; bally1 = 2.0; ballx2 = 2.5; bally2 = 2.0; ballx3 = -2.5; bally3 = -2.0;
        ballx4 = 2.5; bally4 = -2.0; ballx5 = 0.0; bally5 = 2.5; </PARAM></LAYER>)"));
    ASSERT_TRUE(rig.prepare());
    ASSERT_EQ(rig.frame(0, 0), 1);
    auto& l = dynamic_cast<MetaballsLayer&>(rig.layer(0));
    EXPECT_EQ(l.ballCount, 5);
    auto at = [&rig](float x, float y) {
        return rig.pixel(256.0f + x * 256.0f / (4.1421f * 4.0f / 3.0f),
                         256.0f - y * 256.0f / 4.1421f)[3] > 128;
    };
    EXPECT_TRUE(at(-2.5f, 2.0f));
    EXPECT_TRUE(at(2.5f, 2.0f));
    EXPECT_TRUE(at(-2.5f, -2.0f));
    EXPECT_TRUE(at(2.5f, -2.0f));
    EXPECT_TRUE(at(0.0f, 2.5f));
    EXPECT_FALSE(at(0.0f, 0.0f));
    l.release();
}

TEST_F(MetaballsPicture, IsolevelIsClampedBelowOneAndAboveZero) {
    // Above 1 draws as 0.999, at 0 or below as 0.001 (and is written back).
    // Near 1 the blobs are small, near 0 huge: each is seen through a grid
    // and an eye that fit it.
    const std::string small = "gridsize = 24; cellsize = 0.25; camposz = 10.0; ";
    const std::string huge = "gridsize = 24; cellsize = 4.0; camposz = 200.0; ";
    auto pictureAt = [](const std::string& view, const char* iso, float* written) {
        EffectRig rig;
        EXPECT_TRUE(rig.load(R"(<LAYER> $TYPE = "metaballs"; $END = -1;
            $BLENDING = "overwrite"; <PARAM> ballcount = 2; ballx1 = -0.8; ballx2 = 0.8; )" +
                             view + "isolevel = " + iso + "; </PARAM></LAYER>"));
        EXPECT_TRUE(rig.prepare());
        EXPECT_EQ(rig.frame(0, 0), 1);
        *written = dynamic_cast<MetaballsLayer&>(rig.layer(0)).isolevel;
        return rig.picture();
    };
    float iso = 0.0f;
    const auto over = pictureAt(small, "1.5", &iso);
    EXPECT_FLOAT_EQ(iso, 0.999f);
    EXPECT_EQ(over, pictureAt(small, "0.999", &iso));
    EXPECT_NE(over, pictureAt(small, "0.9", &iso));
    const auto zero = pictureAt(huge, "0.0", &iso);
    EXPECT_FLOAT_EQ(iso, 0.001f);
    EXPECT_EQ(zero, pictureAt(huge, "0.001", &iso));
    EXPECT_EQ(zero, pictureAt(huge, "-4.0", &iso));
    EXPECT_NE(zero, pictureAt(huge, "0.002", &iso));
}

TEST_F(MetaballsPicture, AbsurdGridsAreBoundedAndDegradeAlone) {
    // No cells: nothing drawn, no division by a zero cell count.
    for (const char* grid : {"gridsize = 0;", "gridsize = -12;"}) {
        EffectRig rig;
        ASSERT_TRUE(rig.load(std::string(R"(<LAYER> $TYPE = "metaballs"; $END = -1;
            $BLENDING = "overwrite"; <PARAM> ballcount = 1; camposz = 10.0; )") +
                             grid + "</PARAM></LAYER>"));
        ASSERT_TRUE(rig.prepare());
        ASSERT_EQ(rig.frame(0, 0), 1);
        EXPECT_EQ(dynamic_cast<MetaballsLayer&>(rig.layer(0)).grid.cellCount, 0u) << grid;
        EXPECT_EQ(rig.pixel(256, 256)[3], 0) << grid;
    }
    // A huge grid stops at the bound; a zero cell size takes the default.
    // (Cells of 2 units: isolevel 0.2 makes the sphere wider than a cell.)
    ASSERT_TRUE(
        show("gridsize = 5000; cellsize = 0.0; ballcount = 1; camposz = 10.0; "
             "isolevel = 0.2;"));
    EXPECT_EQ(layer().gridSize, MarchingGrid::kMaxSize);
    EXPECT_EQ(layer().grid.n, static_cast<uint32_t>(MarchingGrid::kMaxSize));
    EXPECT_FLOAT_EQ(layer().cellSize, 2.0f);
    EXPECT_GT(rig_.pixel(256, 256)[3], 128);
}

TEST_F(MetaballsPicture, BallsBeyondTheIntRangeOnlyVisitCellsOfTheGrid) {
    ASSERT_TRUE(show(std::string(kView) + R"(ballcount = 3; ballx1 = 100000000000000000000.0;
        bally1 = -30000000000000000000.0; ballz2 = -1000000000000000000000000000000.0;
        ballx3 = 0.0;)"));
    EXPECT_LE(layer().lastVisited, layer().grid.cellCount);
    // The ball at the origin still shows; the far ones add nothing near it.
    EXPECT_GT(rig_.pixel(256, 256)[3], 128);
    EXPECT_EQ(rig_.pixel(20, 20)[3], 0);
}

TEST_F(MetaballsPicture, TheMaterialFileColoursTheSurface) {
    dir_.write("red.materials", "diffuse = (1, 0, 0, 1)\nend\n");
    ASSERT_TRUE(show(std::string(kView) + R"(ballcount = 1; material = "red.materials";)"));
    const Rgba mid = rig_.pixel(256, 256);
    EXPECT_GT(mid[0], 200);
    EXPECT_LT(mid[1], 20);
    EXPECT_LT(mid[2], 20);
}

TEST_F(MetaballsPicture, MovingBallsReuseTheBuffersOfPrepare) {
    ASSERT_TRUE(show(std::string(kView) + R"(ballcount = 3; isolevel = 0.3;
        ballx1 = 'sin(x / 200) * 2'; bally2 = 'cos(x / 300) * 2'; ballz3 = -1.0;)"));
    MetaballsLayer& l = layer();
    const void* positions = l.scratchMesh.positions.data();
    const void* vertices = l.scratchMesh.vertices.data();
    const void* triangles = l.scratchMesh.submeshes[0].triangles.data();
    const size_t triangleCapacity = l.scratchMesh.submeshes[0].triangles.capacity();
    const size_t stack = l.walker.stackCapacity();
    uint32_t most = 0;
    for (uint32_t t = 100; t <= 2000; t += 100) {
        ASSERT_EQ(rig_.frame(t, 100), 1);
        most = std::max(most, l.lastVisited);
    }
    EXPECT_GT(most, 0u);
    EXPECT_EQ(l.scratchMesh.positions.data(), positions);
    EXPECT_EQ(l.scratchMesh.vertices.data(), vertices);
    EXPECT_EQ(l.scratchMesh.submeshes[0].triangles.data(), triangles);
    EXPECT_EQ(l.scratchMesh.submeshes[0].triangles.capacity(), triangleCapacity);
    EXPECT_EQ(l.walker.stackCapacity(), stack);
    EXPECT_EQ(stack, l.grid.cellCount);
}

TEST(MetaballsLayer, ParametersOfTheWrongKindAreIgnored) {
    EffectRig rig;
    ASSERT_TRUE(rig.load(R"(<LAYER> $TYPE = "metaballs"; $END = -1; <PARAM>
        ballcount = 2.5; isolevel = 1; gridsize = 10.0; cellsize = 3; material = 4;
        ballx1 = 7; bally1 = 2.0; </PARAM></LAYER>)"));
    auto& l = dynamic_cast<MetaballsLayer&>(rig.layer(0));
    EXPECT_EQ(l.ballCount, 0);
    EXPECT_FLOAT_EQ(l.isolevel, 0.5f);
    EXPECT_EQ(l.gridSize, 30);
    EXPECT_FLOAT_EQ(l.cellSize, 2.0f);
    EXPECT_TRUE(l.materialName.empty());
    EXPECT_FLOAT_EQ(l.balls[0].x, 0.0f);
    EXPECT_FLOAT_EQ(l.balls[0].y, 2.0f);
}

}  // namespace
}  // namespace kvx::effects
