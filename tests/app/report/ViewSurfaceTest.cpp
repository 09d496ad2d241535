#include "app/report/ViewSurface.hpp"
#include "app/report/GridClustering.hpp"
#include "app/report/QuadGrid.hpp"

#include <gtest/gtest.h>

#include <set>

namespace vornel {
namespace {

/// An n x n grid of quads labelled by column: the left half class 0, the
/// right half class 1; value = column.
ColouredMesh gridOfQuads(int n) {
  ColouredMesh mesh = testing::quadGrid(n);
  mesh.classCount = 2;
  for (std::size_t v = 0; v < mesh.positions.size(); ++v)
    mesh.labels.push_back(2 * testing::quadGridColumn(n, v) < n ? 0 : 1);
  return mesh;
}

TEST(ViewSurface, AMeshWithinTheBudgetIsDrawnAsItIs) {
  const ColouredMesh mesh = gridOfQuads(4);
  ASSERT_EQ(fanTriangleCount(mesh), 32u);
  const ViewSurface surface = viewSurfaceOf(mesh, 32);
  EXPECT_FALSE(surface.simplified);
  ASSERT_EQ(surface.vertexCount(), 25u);
  ASSERT_EQ(surface.triangleCount(), 32u);
  // The first quad (0, 1, 6, 5) becomes the fan (0, 1, 6) and (0, 6, 5).
  EXPECT_EQ(std::vector<std::uint32_t>(surface.triangles.begin(), surface.triangles.begin() + 6),
            (std::vector<std::uint32_t>{0, 1, 6, 0, 6, 5}));
  EXPECT_EQ(surface.positions[3 * 7], 2.0f);
  EXPECT_EQ(surface.positions[3 * 7 + 1], 1.0f);
  EXPECT_EQ(surface.labels[3], 1);
  EXPECT_EQ(surface.values[3], 3.0f);
}

TEST(ViewSurface, AMeshOverTheBudgetIsSimplifiedToFitIt) {
  const ColouredMesh mesh = gridOfQuads(100); // 20000 triangles
  const ViewSurface surface = viewSurfaceOf(mesh, 2000);
  EXPECT_TRUE(surface.simplified);
  EXPECT_LE(surface.triangleCount(), 2000u);
  EXPECT_GT(surface.triangleCount(), 200u); // not coarser than it needs to be
  EXPECT_EQ(surface.positions.size(), 3 * surface.vertexCount());
  EXPECT_EQ(surface.values.size(), surface.vertexCount());
  for (const std::uint32_t index : surface.triangles)
    ASSERT_LT(index, surface.vertexCount());
}

TEST(ViewSurface, VerticesCountAgainstTheBudgetToo) {
  ColouredMesh mesh = gridOfQuads(4); // 25 vertices, 32 triangles
  for (int v = 0; v < 5000; ++v) {    // and many vertices that no facet uses
    mesh.positions.emplace_back(static_cast<float>(v % 50) * 0.08f,
                                static_cast<float>(v / 50) * 0.04f, 1.0f);
    mesh.labels.push_back(0);
    mesh.values.push_back(0.0f);
  }
  const ViewSurface surface = viewSurfaceOf(mesh, 1000);
  EXPECT_TRUE(surface.simplified);
  EXPECT_LE(surface.vertexCount(), 1000u);
  EXPECT_LE(surface.triangleCount(), 1000u);
}

TEST(GridClustering, ClustersTakeTheMeanPositionAndTheMajorityClass) {
  ColouredMesh mesh = gridOfQuads(4);
  // Cells of edge 2.5 from the lowest corner: x in {0, 1, 2} -> cell 0, {3, 4} -> cell 1.
  mesh.labels[0] = 1; // the first cell: five vertices of class 0, four of class 1
  const ViewSurface surface = clusterOnGrid(mesh, 2.5);
  ASSERT_EQ(surface.vertexCount(), 4u);
  // Cluster 0 holds x, y in {0, 1, 2}: mean (1, 1), labels mostly 0.
  EXPECT_FLOAT_EQ(surface.positions[0], 1.0f);
  EXPECT_FLOAT_EQ(surface.positions[1], 1.0f);
  EXPECT_EQ(surface.labels[0], 0);
  EXPECT_FLOAT_EQ(surface.values[0], 1.0f);
  // Cluster 1 holds x in {3, 4}, y in {0, 1, 2}: all class 1.
  EXPECT_FLOAT_EQ(surface.positions[3], 3.5f);
  EXPECT_EQ(surface.labels[1], 1);
  // Two triangles between the four clusters, each triple once.
  std::set<std::set<std::uint32_t>> triples;
  for (std::size_t t = 0; t < surface.triangleCount(); ++t)
    triples.insert(
        {surface.triangles[3 * t], surface.triangles[3 * t + 1], surface.triangles[3 * t + 2]});
  EXPECT_EQ(triples.size(), surface.triangleCount());
  EXPECT_EQ(surface.triangleCount(), 2u);
}

TEST(GridClustering, AreaIsSummedOverFanTriangles) {
  EXPECT_DOUBLE_EQ(surfaceArea(gridOfQuads(3)), 9.0);
}

} // namespace
} // namespace vornel
