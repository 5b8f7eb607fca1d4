// Marching cubes without GL: the tables, the grid, the field, and what the
// walk from the balls finds compared with polygonising every cell.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "effects/MarchingCubes.h"

namespace kvx::effects {
namespace {

using assets::Vec3;

constexpr int kEdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                     {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                               {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

std::vector<int> triangleRow(int index) {
    std::vector<int> row;
    for (int i = 0; i < kTriangleRowLength && kTriangleTable[index][i] != -1; ++i) {
        row.push_back(kTriangleTable[index][i]);
    }
    return row;
}

// Two edges lie on one face of the cube when their four corners agree in
// one coordinate.
bool shareFace(int a, int b) {
    for (int axis = 0; axis < 3; ++axis) {
        const int v = kCorner[kEdgeCorners[a][0]][axis];
        bool same = true;
        for (int c :
             {kEdgeCorners[a][0], kEdgeCorners[a][1], kEdgeCorners[b][0], kEdgeCorners[b][1]}) {
            same = same && kCorner[c][axis] == v;
        }
        if (same) {
            return true;
        }
    }
    return false;
}

// Keeps every polygonised cell's points and counts.
class Collect final : public CellSink {
  public:
    void cell(const CellSurface& s) override {
        ++cells;
        triangles += s.triangleCount;
        for (int t = 0; t < s.triangleCount; ++t) {
            for (uint8_t e : s.triangles[static_cast<size_t>(t)]) {
                points.push_back(s.points[e]);
                normals.push_back(s.normals[e]);
            }
        }
    }
    int cells = 0;
    int triangles = 0;
    std::vector<Vec3> points;
    std::vector<Vec3> normals;
};

BallField balls(std::initializer_list<Vec3> centres) {
    BallField f;
    for (const Vec3& c : centres) {
        f.centres[static_cast<size_t>(f.count++)] = c;
    }
    return f;
}

TEST(MarchingCubesTables, EdgeTableMarksTheEdgesBetweenInsideAndOutside) {
    EXPECT_EQ(kEdgeTable[0], 0);
    EXPECT_EQ(kEdgeTable[1], 0x109);
    EXPECT_EQ(kEdgeTable[2], 0x203);
    EXPECT_EQ(kEdgeTable[128], 0x8C0);
    EXPECT_EQ(kEdgeTable[255], 0);
}

TEST(MarchingCubesTables, TriangleRowsOfTheKnownCases) {
    EXPECT_TRUE(triangleRow(0).empty());
    EXPECT_EQ(triangleRow(1), (std::vector<int>{0, 8, 3}));
    EXPECT_EQ(triangleRow(2), (std::vector<int>{0, 1, 9}));
    EXPECT_EQ(triangleRow(3), (std::vector<int>{1, 8, 3, 9, 8, 1}));
    EXPECT_EQ(triangleRow(128), (std::vector<int>{7, 6, 11}));
    EXPECT_EQ(triangleRow(254), (std::vector<int>{0, 3, 8}));
    EXPECT_TRUE(triangleRow(255).empty());
}

TEST(MarchingCubesTables, EveryRowClosesItsSurfaceOnTheCutEdges) {
    // Each row uses exactly the cut edges of its pattern, at most five
    // triangles; inside the cube every triangle side is shared by exactly two
    // triangles wound oppositely, and on each face the cut edges are joined
    // once. A wrong number anywhere in the table breaks one of these.
    for (int i = 0; i < 256; ++i) {
        const std::vector<int> row = triangleRow(i);
        ASSERT_EQ(row.size() % 3, 0u) << i;
        ASSERT_LE(row.size(), 15u) << i;
        std::set<int> used(row.begin(), row.end());
        std::set<int> cut;
        for (int e = 0; e < 12; ++e) {
            if ((kEdgeTable[static_cast<size_t>(i)] >> e) & 1) {
                cut.insert(e);
            }
        }
        EXPECT_EQ(used, cut) << "row " << i;
        std::map<std::pair<int, int>, int> sides;
        for (size_t t = 0; t < row.size(); t += 3) {
            for (size_t k = 0; k < 3; ++k) {
                ++sides[{row[t + k], row[t + (k + 1) % 3]}];
            }
        }
        for (const auto& [side, count] : sides) {
            const int back =
                sides.count({side.second, side.first}) ? sides.at({side.second, side.first}) : 0;
            if (shareFace(side.first, side.second)) {
                EXPECT_EQ(count + back, 1) << "row " << i << " face side " << side.first;
            } else {
                EXPECT_EQ(count, 1) << "row " << i << " inner side " << side.first;
                EXPECT_EQ(back, 1) << "row " << i << " inner side " << side.first;
            }
        }
    }
}

TEST(MarchingGrid, CellsAndCornersSpanTheGridAroundTheOrigin) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(3, 2.0f));
    EXPECT_EQ(g.cellCount, 27u);
    EXPECT_EQ(g.visited.size(), 27u);
    // Cell (1, 2, 0) at 1 + 3 (2 + 3 * 0) = 7: x0 = 2 - 1 - 3 = -2, y0 = 0, z0 = -4.
    const GridCell& c = g.cells[7];
    EXPECT_EQ(c.ix, 1);
    EXPECT_EQ(c.iy, 2);
    EXPECT_EQ(c.iz, 0);
    EXPECT_EQ(g.indexOf(1, 2, 0), 7u);
    EXPECT_FLOAT_EQ(c.corners[0].x, -2.0f);
    EXPECT_FLOAT_EQ(c.corners[0].y, 0.0f);
    EXPECT_FLOAT_EQ(c.corners[0].z, -4.0f);
    EXPECT_FLOAT_EQ(c.corners[6].x, 0.0f);
    EXPECT_FLOAT_EQ(c.corners[6].y, 2.0f);
    EXPECT_FLOAT_EQ(c.corners[6].z, -2.0f);
    EXPECT_FLOAT_EQ(c.corners[3].z, -2.0f);  // corner 3 is (x0, y0, z1)
    // From -(n + 1) w / 2 to (n - 1) w / 2.
    EXPECT_FLOAT_EQ(g.cells[0].corners[0].x, -4.0f);
    EXPECT_FLOAT_EQ(g.cells[26].corners[6].z, 2.0f);
}

TEST(MarchingGrid, AbsurdSidesAreBoundedBeforeAnythingIsAllocated) {
    MarchingGrid g;
    EXPECT_FALSE(g.build(0, 2.0f));
    EXPECT_EQ(g.cellCount, 0u);
    EXPECT_TRUE(g.cells.empty());
    EXPECT_FALSE(g.build(-7, 2.0f));
    EXPECT_EQ(g.cellCount, 0u);
    // 1626^3 would overflow the 32-bit count; the grid stops at the bound.
    ASSERT_TRUE(g.build(1626, 2.0f));
    EXPECT_EQ(g.n, static_cast<uint32_t>(MarchingGrid::kMaxSize));
    EXPECT_EQ(g.cellCount, 64u * 64u * 64u);
    EXPECT_EQ(MarchingGrid::clampCellSize(0.0f), 2.0f);
    EXPECT_EQ(MarchingGrid::clampCellSize(-3.0f), 2.0f);
    EXPECT_EQ(MarchingGrid::clampCellSize(std::nanf("")), 2.0f);
    EXPECT_EQ(MarchingGrid::clampCellSize(1e-9f), MarchingGrid::kMinCellSize);
    EXPECT_EQ(MarchingGrid::clampCellSize(1e30f), MarchingGrid::kMaxCellSize);
    EXPECT_EQ(MarchingGrid::clampCellSize(0.5f), 0.5f);
}

TEST(MarchingGrid, FarCoordinatesSaturateAndFoldIntoTheGrid) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(30, 2.0f));
    EXPECT_EQ(g.cellCoordinate(0.0f), 15u);
    EXPECT_EQ(g.cellCoordinate(-31.0f), 0u);  // -15.5 + 15 truncates to 0
    EXPECT_EQ(g.cellCoordinate(1e20f), 2147483647u);
    EXPECT_EQ(g.cellCoordinate(-1e20f), 2147483648u);
    EXPECT_EQ(g.cellCoordinate(std::numeric_limits<float>::infinity()), 2147483647u);
    EXPECT_EQ(g.cellCoordinate(std::nanf("")), 0u);
    EXPECT_LT(g.indexOf(2147483647u, 2147483648u, 0xFFFFFFFFu), g.cellCount);
}

TEST(BallFieldTest, InverseSquareSumAndItsOutwardNormal) {
    const BallField f = balls({{0, 0, 0}, {4, 0, 0}});
    EXPECT_FLOAT_EQ(f.value({2, 0, 0}), 0.5f);
    EXPECT_FLOAT_EQ(f.value({0, 1, 0}), 1.0f + 1.0f / 17.0f);
    const Vec3 n = balls({{1, 1, 1}}).normal({3, 1, 1});
    EXPECT_FLOAT_EQ(n.x, 1.0f);  // 2 * 2 / 4
    EXPECT_FLOAT_EQ(n.y, 0.0f);
    EXPECT_FLOAT_EQ(n.z, 0.0f);
}

TEST(BallFieldTest, EachTermJoinsTheFloatSumInDoublePrecision) {
    // Five balls and a lattice of points around them; the field is the float
    // sum to which each double term 1 / d^2 is added, rounded once per term.
    const BallField f = balls({{0.3f, -1.7f, 2.1f},
                               {-2.5f, 0.9f, -0.4f},
                               {1.1f, 1.3f, -2.2f},
                               {-0.6f, -2.8f, 0.75f},
                               {2.9f, 0.2f, 1.6f}});
    int mismatches = 0;
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 12; ++j) {
            for (int k = 0; k < 12; ++k) {
                const Vec3 p{-6.0f + 1.07f * static_cast<float>(i),
                             -6.0f + 1.03f * static_cast<float>(j),
                             -6.0f + 0.97f * static_cast<float>(k)};
                float expected = 0.0f;
                for (int b = 0; b < f.count; ++b) {
                    const Vec3 c = f.centres[static_cast<size_t>(b)];
                    const double dx = static_cast<double>(p.x) - c.x;
                    const double dy = static_cast<double>(p.y) - c.y;
                    const double dz = static_cast<double>(p.z) - c.z;
                    expected += 1.0 / (dx * dx + dy * dy + dz * dz);
                }
                mismatches += f.value(p) != expected ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(MarchingCubesCell, EdgePointsInterpolateTheThreshold) {
    const Vec3 a{0, 0, 0};
    const Vec3 b{2, 0, 0};
    EXPECT_FLOAT_EQ(interpolateEdge(0.5f, a, b, 0.0f, 1.0f).x, 1.0f);
    EXPECT_FLOAT_EQ(interpolateEdge(0.5f, a, b, 0.25f, 1.25f).x, 0.5f);
    EXPECT_FLOAT_EQ(interpolateEdge(0.5f, a, b, 0.5f, 1.0f).x, 0.0f);  // at s1
    EXPECT_FLOAT_EQ(interpolateEdge(0.5f, a, b, 0.0f, 0.5f).x, 2.0f);  // at s2
    EXPECT_FLOAT_EQ(interpolateEdge(0.5f, a, b, 0.7f, 0.7f).x, 0.0f);  // flat: p1
}

TEST(MarchingCubesCell, OneCornerInsideGivesOneTriangle) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(2, 2.0f));  // cell 0 spans -3..-1
    // A ball just inside corner 6 of cell 0, (-1, -1, -1): only that corner
    // has a field above 0.5.
    const Vec3 ball{-1.2f, -1.2f, -1.2f};
    CellSurface s;
    const int index = polygoniseCell(g.cells[0], balls({ball}), 0.5f, s);
    EXPECT_EQ(index, 255 & ~(1 << 6));
    ASSERT_EQ(s.triangleCount, 1);
    // Edges 5, 6 and 10 meet corner 6; each point lies on its edge, two
    // of its coordinates those of corner 6 and the third strictly between
    // the edge's corners.
    for (uint8_t e : s.triangles[0]) {
        EXPECT_TRUE(e == 5 || e == 6 || e == 10) << int(e);
        const Vec3 p = s.points[e];
        int atCorner = 0;
        for (float c : {p.x, p.y, p.z}) {
            if (c == -1.0f) {
                ++atCorner;
            } else {
                EXPECT_GT(c, -3.0f);
                EXPECT_LT(c, -1.0f);
            }
        }
        EXPECT_EQ(atCorner, 2) << int(e);
    }
}

TEST(SurfaceWalkerTest, OneBallGivesASphereOfRadiusRootTwoFoundByTheFullScanToo) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(30, 0.25f));
    const BallField f = balls({{0, 0, 0}});
    SurfaceWalker walker;
    walker.reserve(g.cellCount);
    Collect walked;
    const uint32_t visited = walker.walk(g, f, 0.5f, f.centres.data(), 1, walked);
    EXPECT_EQ(visited, static_cast<uint32_t>(walked.cells));
    ASSERT_GT(walked.triangles, 100);
    for (size_t i = 0; i < walked.points.size(); ++i) {
        const Vec3 p = walked.points[i];
        const float r = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        EXPECT_NEAR(r, std::sqrt(2.0f), 0.03f);
        const Vec3 n = walked.normals[i];
        EXPECT_GT(n.x * p.x + n.y * p.y + n.z * p.z, 0.0f);  // away from the ball
    }
    // Every cell the surface passes through, and few others.
    Collect scanned;
    EXPECT_EQ(polygoniseAll(g, f, 0.5f, scanned), g.cellCount);
    EXPECT_EQ(walked.triangles, scanned.triangles);
    EXPECT_LT(visited, g.cellCount / 10);
    // Nothing was queued beyond the reserved stack.
    EXPECT_EQ(walker.stackCapacity(), g.cellCount);
}

TEST(SurfaceWalkerTest, TouchingBallsShareOneSurface) {
    // 3 units apart the field between them stays above 0.5 (2 / 2.25): the
    // walk from the first ball alone already reaches the second.
    MarchingGrid g;
    ASSERT_TRUE(g.build(30, 0.5f));
    const BallField f = balls({{-1.5f, 0, 0}, {1.5f, 0, 0}});
    SurfaceWalker walker;
    walker.reserve(g.cellCount);
    Collect fromOne;
    Collect fromBoth;
    const uint32_t one = walker.walk(g, f, 0.5f, f.centres.data(), 1, fromOne);
    const uint32_t both = walker.walk(g, f, 0.5f, f.centres.data(), 2, fromBoth);
    EXPECT_EQ(one, both);
    EXPECT_EQ(fromOne.triangles, fromBoth.triangles);
    // Apart (8 units), each ball has its own surface.
    const BallField apart = balls({{-4, 0, 0}, {4, 0, 0}});
    Collect alone;
    Collect pair;
    const uint32_t first = walker.walk(g, apart, 0.5f, apart.centres.data(), 1, alone);
    const uint32_t second = walker.walk(g, apart, 0.5f, apart.centres.data(), 2, pair);
    EXPECT_GT(second, first);
    EXPECT_NEAR(pair.triangles, 2 * alone.triangles, alone.triangles / 10);
}

TEST(SurfaceWalkerTest, BallsOutsideTheGridOnlyReachCellsOfTheGrid) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(8, 1.0f));
    SurfaceWalker walker;
    walker.reserve(g.cellCount);
    for (const Vec3 c : {Vec3{100, 0, 0}, Vec3{1e20f, -1e20f, 3e9f},
                         Vec3{-std::numeric_limits<float>::infinity(), 0, 0}}) {
        const BallField f = balls({c});
        Collect out;
        // The walk ends and polygonises each cell at most once.
        const uint32_t visited = walker.walk(g, f, 0.5f, f.centres.data(), 1, out);
        EXPECT_LE(visited, g.cellCount);
        EXPECT_GE(visited, 1u);
        EXPECT_EQ(out.triangles, 0);  // the blob is far outside
    }
}

TEST(SurfaceWalkerTest, WithoutReserveTheStackDoublesAndKeepsItsCapacity) {
    MarchingGrid g;
    ASSERT_TRUE(g.build(20, 0.25f));
    const BallField f = balls({{0, 0, 0}});
    SurfaceWalker walker;
    Collect a;
    const uint32_t visited = walker.walk(g, f, 0.5f, f.centres.data(), 1, a);
    const size_t capacity = walker.stackCapacity();
    EXPECT_GT(capacity, 1u);
    EXPECT_EQ(capacity & (capacity - 1), 0u);  // a power of two
    Collect b;
    EXPECT_EQ(walker.walk(g, f, 0.5f, f.centres.data(), 1, b), visited);
    EXPECT_EQ(walker.stackCapacity(), capacity);
}

}  // namespace
}  // namespace kvx::effects
