// Repair of meshes the halfedge structure cannot hold: split fans, turned and
// dropped facets, and the files that stay per original vertex.

#include "mesh/repair/MeshRepair.hpp"
#include "core/Errors.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"
#include "mesh/io/AttributeFile.hpp"
#include "mesh/io/LabelFile.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/io/OriginalVertices.hpp"

#include "TempFolder.hpp"
#include "mesh/MeshFixtures.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace vornel {
namespace {

using test::Facets;
using test::makeSoup;
using test::Points;

const Points sixPoints{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}};

std::vector<std::uint32_t> facetCorners(const PolygonSoup& soup, std::size_t f) {
  return {soup.corners.begin() + soup.facetOffsets[f],
          soup.corners.begin() + soup.facetOffsets[f + 1]};
}

/// Two closed tetrahedra that share vertex 0 only.
PolygonSoup twoTetrahedra() {
  const Points points{{0, 0, 0},  {1, 0, 0},  {0, 1, 0}, {0, 0, 1},
                      {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  const Facets facets{{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3},
                      {0, 5, 4}, {0, 4, 6}, {0, 6, 5}, {4, 5, 6}};
  return makeSoup(points, facets);
}

TEST(MeshRepair, TwoTetrahedraSharingAVertexSplitIt) {
  const PolygonSoup soup = twoTetrahedra();
  LabeledMesh refused;
  EXPECT_THROW(buildSurface(soup, refused, "t.obj"), InvalidInputError);

  const RepairedSoup repaired = repairSoup(soup);
  EXPECT_EQ(repaired.summary.splitVertices, 1u);
  EXPECT_EQ(repaired.summary.vertexCopies, 2u);
  EXPECT_EQ(repaired.summary.droppedFacets, 0u);
  EXPECT_EQ(repaired.originalCount, 7u);
  EXPECT_EQ(repaired.originalOf, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 0}));
  // The first tetrahedron keeps vertex 0; the second gets the copy, vertex 7.
  EXPECT_EQ(facetCorners(repaired.soup, 0), (std::vector<std::uint32_t>{0, 2, 1}));
  EXPECT_EQ(facetCorners(repaired.soup, 4), (std::vector<std::uint32_t>{7, 5, 4}));
  EXPECT_EQ(repaired.soup.points[7], repaired.soup.points[0]);
  EXPECT_EQ(repaired.soup.facetLines, soup.facetLines);

  LabeledMesh mesh;
  buildSurface(repaired.soup, mesh, "t.obj");
  EXPECT_EQ(mesh.vertexCount(), 8u);
  EXPECT_EQ(mesh.surface.size_of_facets(), 8u);
  EXPECT_TRUE(mesh.surface.is_closed());
}

TEST(MeshRepair, BowTieIsSplitIntoTwoFans) {
  const RepairedSoup repaired = repairSoup(makeSoup(sixPoints, {{0, 1, 2}, {0, 4, 5}}));
  EXPECT_EQ(repaired.summary.splitVertices, 1u);
  EXPECT_EQ(facetCorners(repaired.soup, 1), (std::vector<std::uint32_t>{6, 4, 5}));
}

TEST(MeshRepair, FanJoinedAcrossSharedEdgesStaysOneVertex) {
  // Facets listed out of ring order still make one fan around vertex 0.
  const RepairedSoup repaired = repairSoup(makeSoup(sixPoints, {{0, 1, 2}, {0, 4, 5}, {0, 2, 4}}));
  EXPECT_FALSE(repaired.summary.changedAnything());
  EXPECT_EQ(repaired.soup.points.size(), 6u);
}

TEST(MeshRepair, ThirdFacetOnAnEdgeIsDroppedOrTurned) {
  // (0,1,4) reuses 0->1 and, turned over, 1->0 of the second facet: dropped.
  RepairedSoup repaired = repairSoup(makeSoup(sixPoints, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}}));
  EXPECT_EQ(repaired.summary.droppedFacets, 1u);
  EXPECT_EQ(repaired.soup.facetCount(), 2u);
  EXPECT_EQ(repaired.soup.facetLines, (std::vector<std::uint64_t>{7, 8}));
  LabeledMesh mesh;
  buildSurface(repaired.soup, mesh, "e.obj");
  EXPECT_EQ(mesh.vertexCount(), 6u); // vertex 4 stays, unused

  // Two facets running the same way along 0->1: the second is turned over.
  repaired = repairSoup(makeSoup(sixPoints, {{0, 1, 2}, {0, 1, 3}}));
  EXPECT_EQ(repaired.summary.reversedFacets, 1u);
  EXPECT_EQ(facetCorners(repaired.soup, 1), (std::vector<std::uint32_t>{3, 1, 0}));
}

TEST(MeshRepair, FacetRepeatingAVertexIsDropped) {
  const RepairedSoup repaired = repairSoup(makeSoup(sixPoints, {{0, 1, 0}, {0, 1, 2}}));
  EXPECT_EQ(repaired.summary.droppedFacets, 1u);
  EXPECT_EQ(facetCorners(repaired.soup, 0), (std::vector<std::uint32_t>{0, 1, 2}));
}

TEST(MeshRepair, SummaryLine) {
  RepairSummary summary;
  summary.splitVertices = 1;
  summary.vertexCopies = 2;
  summary.droppedFacets = 3;
  EXPECT_EQ(describeRepair(summary, "cow.obj"),
            "repaired cow.obj: split 1 vertex into 2 copies, reversed 0 facets, dropped 3 facets");
}

TEST(MeshRepair, AttributesAndLabelsStayPerOriginalVertex) {
  const RepairedSoup repaired = repairSoup(twoTetrahedra());
  LabeledMesh mesh;
  buildSurface(repaired.soup, mesh, "t.obj");
  testing::TempFolder folder;
  testing::writeFile(folder.file("a.att"), "10 11 12 13 14 15 16 99");
  const AttributeValues read = readAttributeFile(folder.file("a.att"), 7);
  EXPECT_EQ(read.extra, 1u);
  storeValuesOfOriginals(mesh, read.values, repaired.originalOf);
  std::vector<double> values;
  std::int32_t label = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    values.push_back(v->attribute);
    v->label = label++;
  }
  EXPECT_EQ(values, (std::vector<double>{10, 11, 12, 13, 14, 15, 16, 10}));
  EXPECT_EQ(mesh.attributeMax, 16.0);
  mesh.classCount = 8;
  const std::vector<std::int32_t> labels = labelsOfOriginals(mesh, 7);
  EXPECT_EQ(labelFileText(mesh.classCount, labels.data(), labels.size()),
            "8 \t0 \t1 \t2 \t3 \t4 \t5 \t6 \t");
}

TEST(MeshRepair, OffSoupDropsUnusedVerticesLikeTheOffInput) {
  testing::TempFolder folder;
  const std::string path = folder.file("m.off");
  testing::writeFile(path, "OFF\n5 2 0\n0 0 0\n9 9 9\n1 0 0\n0 1 0\n0 0 1\n3 0 2 3\n3 0 4 2\n");
  const PolygonSoup soup = readCheckedSoup(path, ReadOptions{true, {}}).soup;
  ASSERT_EQ(soup.points.size(), 4u);
  EXPECT_EQ(soup.points[1], Point3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(soup.corners, (std::vector<std::uint32_t>{0, 1, 2, 0, 3, 1}));
  testing::writeFile(path, "OFF\n500000 2 0\n0 0 0\n");
  EXPECT_THROW(readCheckedSoup(path, ReadOptions{true, {}}), InvalidInputError);
}

TEST(MeshRepair, SharedCowBuildsOnceRepaired) {
  const std::string path = std::string(VORNEL_SHARED_DATA_DIR) + "/cow.obj";
  std::ifstream in(path, std::ios::binary);
  if (!in)
    GTEST_SKIP() << path << " is absent";
  std::ostringstream text;
  text << in.rdbuf();
  const PolygonSoup soup = parseObj(text.str(), path);
  LabeledMesh refused;
  EXPECT_THROW(buildSurface(soup, refused, path), InvalidInputError);
  const RepairedSoup repaired = repairSoup(soup);
  EXPECT_TRUE(repaired.summary.changedAnything());
  LabeledMesh mesh;
  EXPECT_NO_THROW(buildSurface(repaired.soup, mesh, path));
  EXPECT_EQ(mesh.vertexCount(), repaired.soup.points.size());
}

} // namespace
} // namespace vornel
