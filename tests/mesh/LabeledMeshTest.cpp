// The mesh model: default state, palettes, copies, and building from a soup.

#include "mesh/LabeledMesh.hpp"
#include "core/Errors.hpp"
#include "mesh/MeshFixtures.hpp"
#include "mesh/PolygonSoup.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vornel {
namespace {

using test::buildMesh;
using test::vertexAt;

std::vector<std::int32_t> labelsOf(const LabeledMesh& mesh) {
  std::vector<std::int32_t> labels;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    labels.push_back(v->label);
  }
  return labels;
}

std::vector<float> xsOf(const LabeledMesh& mesh) {
  std::vector<float> xs;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    xs.push_back(v->point().x());
  }
  return xs;
}

void labelInOrder(LabeledMesh& mesh) {
  std::int32_t next = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    v->label = next;
    v->attribute = 0.5 * next;
    ++next;
  }
}

TEST(LabeledMesh, DefaultMeshIsEmpty) {
  const LabeledMesh mesh;
  EXPECT_EQ(mesh.vertexCount(), 0u);
  EXPECT_EQ(mesh.surface.size_of_facets(), 0u);
  EXPECT_EQ(mesh.surface.size_of_halfedges(), 0u);
  EXPECT_EQ(mesh.classCount, 0);
  EXPECT_FALSE(mesh.isQuadMesh);
  EXPECT_FALSE(mesh.isTriangleMesh);
}

TEST(Palette, RampRowsHaveFourDecimals) {
  const Palette& ramp = rampPalette();
  EXPECT_EQ(ramp[0], (RgbColour{0, 0, 0.5156}));
  EXPECT_EQ(ramp[1], (RgbColour{0, 0, 0.5313})); // 0.53125 rounds away from zero
  EXPECT_EQ(ramp[31], (RgbColour{0, 0, 1}));
  EXPECT_EQ(ramp[32], (RgbColour{0, 0.0156, 1}));
  EXPECT_EQ(ramp[95], (RgbColour{0, 1, 1}));
  EXPECT_EQ(ramp[96], (RgbColour{0.0156, 1, 1}));
  EXPECT_EQ(ramp[127], (RgbColour{0.5, 1, 0.5156}));
  EXPECT_EQ(ramp[159], (RgbColour{1, 1, 0.0156}));
  EXPECT_EQ(ramp[160], (RgbColour{1, 1, 0}));
  EXPECT_EQ(ramp[161], (RgbColour{1, 0.9844, 0}));
  EXPECT_EQ(ramp[224], (RgbColour{1, 0, 0}));
  EXPECT_EQ(ramp[255], (RgbColour{0.5156, 0, 0}));
}

TEST(Palette, ShuffledIsAPermutationOfTheRamp) {
  const Palette& ramp = rampPalette();
  const Palette& shuffled = shuffledPalette();
  const int leading[] = {6, 246, 104, 113, 168, 199, 8, 213, 9, 193, 91, 24, 134, 153, 115, 161};
  for (std::size_t j = 0; j < 16; ++j) {
    EXPECT_EQ(shuffled[j], ramp[static_cast<std::size_t>(leading[j])]) << "row " << j;
  }
  std::vector<RgbColour> a(ramp.begin(), ramp.end());
  std::vector<RgbColour> b(shuffled.begin(), shuffled.end());
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
  EXPECT_EQ(std::adjacent_find(a.begin(), a.end()), a.end()) << "ramp rows are distinct";
}

TEST(LabeledMesh, CopyKeepsVertexOrderAndIsIndependent) {
  LabeledMesh source;
  test::buildIcosphere(source, 1);
  labelInOrder(source);
  source.classCount = 3;
  source.attributeFileName = "ico_attribute.att";

  LabeledMesh copy(source);
  ASSERT_EQ(copy.vertexCount(), source.vertexCount());
  EXPECT_EQ(copy.surface.size_of_halfedges(), source.surface.size_of_halfedges());
  EXPECT_EQ(labelsOf(copy), labelsOf(source));
  EXPECT_EQ(xsOf(copy), xsOf(source));
  EXPECT_EQ(vertexAt(copy, 7)->attribute, 3.5);
  EXPECT_EQ(copy.classCount, 3);
  EXPECT_EQ(copy.attributeFileName, "ico_attribute.att");
  EXPECT_TRUE(copy.surface.is_valid());

  vertexAt(copy, 5)->label = 99;
  EXPECT_EQ(vertexAt(source, 5)->label, 5);
  // The copy's connectivity refers to its own records.
  EXPECT_EQ(&*vertexAt(copy, 0)->halfedge()->vertex(), &*vertexAt(copy, 0));
}

TEST(LabeledMesh, AssigningACopyBackTakesItsLabels) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  labelInOrder(mesh);
  LabeledMesh work(mesh);
  for (auto v = work.surface.vertices_begin(); v != work.surface.vertices_end(); ++v) {
    v->label = 10 - v->label;
  }
  const std::vector<float> xsBefore = xsOf(mesh);
  mesh = work;
  EXPECT_EQ(labelsOf(mesh), (std::vector<std::int32_t>{10, 9, 8, 7, 6, 5}));
  EXPECT_EQ(xsOf(mesh), xsBefore);
  EXPECT_EQ(mesh.surface.size_of_facets(), 8u);
  EXPECT_TRUE(mesh.surface.is_valid());
}

TEST(LabeledMesh, SelfAssignmentKeepsTheMesh) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  labelInOrder(mesh);
  const LabeledMesh& same = mesh;
  mesh = same;
  EXPECT_EQ(labelsOf(mesh), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(mesh.surface.is_valid());
}

TEST(LabeledMesh, CopyOfEmptyMeshIsEmpty) {
  const LabeledMesh empty;
  LabeledMesh target;
  test::buildOctahedron(target);
  target = empty;
  EXPECT_EQ(target.vertexCount(), 0u);
  EXPECT_EQ(target.surface.size_of_halfedges(), 0u);
  const LabeledMesh copy(empty);
  EXPECT_EQ(copy.vertexCount(), 0u);
}

TEST(BuildSurface, KeepsFileOrderAndUnusedVertices) {
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {9, 9, 9}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 3}});
  EXPECT_EQ(mesh.vertexCount(), 4u);
  EXPECT_EQ(mesh.surface.size_of_facets(), 1u);
  EXPECT_EQ(xsOf(mesh), (std::vector<float>{0, 9, 1, 0}));
  EXPECT_EQ(vertexAt(mesh, 1)->halfedge(), Surface::Halfedge_handle());
}

std::string rejection(const test::Points& points, const test::Facets& facets, LabeledMesh& mesh) {
  try {
    buildMesh(mesh, points, facets);
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "accepted";
}

const test::Points square{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}};

TEST(BuildSurface, InconsistentOrientationNamesTheLine) {
  LabeledMesh mesh;
  // The facet at line 8 runs edge 2->0 the same way as the facet at line 6.
  const std::string message = rejection(square, {{0, 1, 2}, {0, 2, 3}, {2, 0, 3}}, mesh);
  EXPECT_EQ(message.rfind("test.obj:8: facet cannot be added", 0), 0u) << message;
  EXPECT_EQ(mesh.vertexCount(), 0u);
  EXPECT_EQ(mesh.surface.size_of_halfedges(), 0u);
}

TEST(BuildSurface, EdgeOfThreeFacetsIsRejected) {
  LabeledMesh mesh;
  const std::string message = rejection(square, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}}, mesh);
  EXPECT_EQ(message.rfind("test.obj:8: facet cannot be added", 0), 0u) << message;
  EXPECT_EQ(mesh.vertexCount(), 0u);
}

TEST(BuildSurface, FacetOnAClosedSurfaceIsRejected) {
  LabeledMesh mesh;
  const test::Points points{{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0},
                            {0, 0, 1}, {0, 0, -1}, {5, 5, 5}, {6, 5, 5}};
  const test::Facets facets{{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5},
                            {1, 2, 5}, {3, 1, 5}, {0, 3, 5}, {4, 6, 7}};
  const std::string message = rejection(points, facets, mesh);
  EXPECT_EQ(message.rfind("test.obj:17: facet cannot be added", 0), 0u) << message;
}

TEST(BuildSurface, RepeatedVertexAndShortFacetAreNamed) {
  LabeledMesh mesh;
  EXPECT_EQ(rejection(square, {{0, 1, 2}, {0, 2, 2}}, mesh), "test.obj:7: facet repeats vertex 3");
  EXPECT_EQ(rejection(square, {{0, 1}}, mesh),
            "test.obj:6: facet has 2 corners; at least 3 are needed");
  EXPECT_EQ(rejection(square, {{0, 1, 7}}, mesh),
            "test.obj:6: facet corner 8 is beyond the 5 vertices");
  EXPECT_EQ(mesh.vertexCount(), 0u);
}

TEST(BuildSurface, ReplacesWhatTheMeshHeld) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  EXPECT_EQ(mesh.vertexCount(), 3u);
  EXPECT_EQ(mesh.surface.size_of_facets(), 1u);
}

} // namespace
} // namespace vornel
