// Geometry preparation: bounding box, unit box, pure-degree flags and normals.

#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshFixtures.hpp"

#include <gtest/gtest.h>

#include <cstring>

#include <cmath>

namespace vornel {
namespace {

using test::buildMesh;
using test::vertexAt;

Vector3 pointOf(LabeledMesh& mesh, std::size_t k) {
  const Point3& p = vertexAt(mesh, k)->point();
  return {p.x(), p.y(), p.z()};
}

Vector3 firstFacetNormal(LabeledMesh& mesh) {
  Facet& facet = *mesh.surface.facets_begin();
  computeFacetNormal(facet);
  return facet.normal;
}

TEST(Geometry, NormaliseCentresAndScalesByTheLargestSide) {
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {4, 0, 0}, {0, 2, 0}, {4, 2, 1}}, {});
  mesh.normaliseIntoUnitBox();
  EXPECT_EQ(mesh.boxMin, (Vector3{0, 0, 0}));
  EXPECT_EQ(mesh.boxMax, (Vector3{4, 2, 1}));
  EXPECT_EQ(pointOf(mesh, 0), (Vector3{-0.5f, -0.25f, -0.125f}));
  EXPECT_EQ(pointOf(mesh, 3), (Vector3{0.5f, 0.25f, 0.125f}));
  EXPECT_EQ(pointOf(mesh, 2), (Vector3{-0.5f, 0.25f, -0.125f}));
}

TEST(Geometry, CentreAndScaleStayInDoublePrecision) {
  // The centre 8388608.5 has no float; x - centre = -+8388607.5 has one, and
  // half the extent 16777215 scales it to exactly -+0.5. A centre rounded to
  // float (8388608) would give -0.49999997 and 0.50000003.
  LabeledMesh mesh;
  buildMesh(mesh, {{1, 0, 0}, {16777216.0f, 0, 0}}, {});
  mesh.normaliseIntoUnitBox();
  EXPECT_EQ(pointOf(mesh, 0)[0], -0.5f);
  EXPECT_EQ(pointOf(mesh, 1)[0], 0.5f);
}

TEST(Geometry, CoincidentVerticesAreCentredAndNotScaled) {
  LabeledMesh mesh;
  buildMesh(mesh, {{3, -2, 7}, {3, -2, 7}, {3, -2, 7}}, {{0, 1, 2}});
  prepareGeometry(mesh);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(pointOf(mesh, k), (Vector3{0, 0, 0}));
    EXPECT_EQ(vertexAt(mesh, k)->normal, (Vector3{0, 0, 0}));
  }
  EXPECT_EQ(mesh.surface.facets_begin()->normal, (Vector3{0, 0, 0}));
  EXPECT_EQ(mesh.boxMin, (Vector3{3, -2, 7}));
}

TEST(Geometry, EmptyMeshKeepsItsBoxAndPassesBothDegreeTests) {
  LabeledMesh mesh;
  mesh.boxMin = {7, 7, 7};
  mesh.boxMax = {8, 8, 8};
  prepareGeometry(mesh);
  EXPECT_EQ(mesh.boxMin, (Vector3{7, 7, 7}));
  EXPECT_EQ(mesh.boxMax, (Vector3{8, 8, 8}));
  EXPECT_TRUE(mesh.isQuadMesh);
  EXPECT_TRUE(mesh.isTriangleMesh);
}

TEST(Geometry, DegreeTests) {
  LabeledMesh mixed;
  buildMesh(mixed, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}},
            {{0, 1, 2, 3}, {1, 4, 2}});
  EXPECT_FALSE(mixed.allFacetsHaveDegree(4));
  EXPECT_FALSE(mixed.allFacetsHaveDegree(3));

  LabeledMesh quad;
  buildMesh(quad, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}});
  prepareGeometry(quad);
  EXPECT_TRUE(quad.isQuadMesh);
  EXPECT_FALSE(quad.isTriangleMesh);

  LabeledMesh ico;
  test::buildIcosphere(ico, 1);
  EXPECT_TRUE(ico.allFacetsHaveDegree(3));
  EXPECT_FALSE(ico.allFacetsHaveDegree(4));
}

TEST(Geometry, TriangleNormalFollowsTheBoundaryOrder) {
  LabeledMesh up;
  buildMesh(up, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  EXPECT_EQ(firstFacetNormal(up), (Vector3{0, 0, 1}));
  LabeledMesh down;
  buildMesh(down, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 1}});
  EXPECT_EQ(firstFacetNormal(down), (Vector3{0, 0, -1}));
}

TEST(Geometry, SlopedQuadNormal) {
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 1}}, {{0, 1, 2, 3}});
  const float s = static_cast<float>(1.0 / std::sqrt(2.0));
  EXPECT_EQ(firstFacetNormal(mesh), (Vector3{0, -s, s}));
}

TEST(Geometry, CollinearFacetHasZeroNormal) {
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}}, {{0, 1, 2}});
  EXPECT_EQ(firstFacetNormal(mesh), (Vector3{0, 0, 0}));
}

TEST(Geometry, VertexNormals) {
  // Two facets sharing edge 0-1, folded flat onto each other: their normals
  // cancel at 0 and 1; vertex 4 is isolated.
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}, {1, 0, 3}});
  for (auto f = mesh.surface.facets_begin(); f != mesh.surface.facets_end(); ++f) {
    computeFacetNormal(*f);
  }
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    computeVertexNormal(*v);
  }
  EXPECT_EQ(vertexAt(mesh, 0)->normal, (Vector3{0, 0, 0}));
  EXPECT_EQ(vertexAt(mesh, 1)->normal, (Vector3{0, 0, 0}));
  EXPECT_EQ(vertexAt(mesh, 2)->normal, (Vector3{0, 0, 1}));
  EXPECT_EQ(vertexAt(mesh, 3)->normal, (Vector3{0, 0, -1}));
  EXPECT_EQ(vertexAt(mesh, 4)->normal, (Vector3{0, 0, 0}));
}

TEST(Geometry, BorderVertexCountsOnlyItsFacets) {
  // A facet in the z = 0 plane (normal +z) and one in the y = 0 plane
  // (normal +y) share edge 0-1.
  LabeledMesh mesh;
  buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}, {1, 0, 3}});
  prepareGeometry(mesh);
  const float s = static_cast<float>(1.0 / std::sqrt(2.0));
  EXPECT_EQ(vertexAt(mesh, 0)->normal, (Vector3{0, s, s}));
  EXPECT_EQ(vertexAt(mesh, 1)->normal, (Vector3{0, s, s}));
  EXPECT_EQ(vertexAt(mesh, 2)->normal, (Vector3{0, 0, 1}));
  EXPECT_EQ(vertexAt(mesh, 3)->normal, (Vector3{0, 1, 0}));
}

TEST(Geometry, OctahedronNormalsPointOutwards) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  prepareGeometry(mesh);
  EXPECT_TRUE(mesh.isTriangleMesh);
  const float third = static_cast<float>(1.0 / std::sqrt(3.0));
  const Vector3 n = mesh.surface.facets_begin()->normal;
  for (const float c : n) {
    EXPECT_NEAR(c, third, 1e-7f);
  }
  // Four facets at +z: the x and y parts cancel exactly.
  EXPECT_EQ(vertexAt(mesh, 4)->normal, (Vector3{0, 0, 1}));
  EXPECT_EQ(vertexAt(mesh, 1)->normal, (Vector3{-1, 0, 0}));
}

TEST(Geometry, PreparationGivesExactlyThePlainNormals) {
  // The preparation computes each facet's normal when a vertex ring first
  // meets it, in one walk; every bit must equal the facet-by-facet and
  // vertex-by-vertex functions run in list order. A mixed mesh of quads and
  // triangles with a border.
  LabeledMesh mesh;
  test::Points points;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 11; ++x)
      points.push_back({static_cast<float>(x) + 0.1f * static_cast<float>(y % 3),
                        static_cast<float>(y), 0.3f * static_cast<float>((x * y) % 5)});
  test::Facets facets;
  for (std::uint32_t y = 0; y + 1 < 9; ++y)
    for (std::uint32_t x = 0; x + 1 < 11; ++x) {
      const std::uint32_t a = y * 11 + x;
      if ((x + y) % 3 == 0)
        facets.push_back({a, a + 1, a + 12, a + 11});
      else
        facets.insert(facets.end(), {{a, a + 1, a + 12}, {a, a + 12, a + 11}});
    }
  buildMesh(mesh, points, facets);
  LabeledMesh plain = mesh;
  prepareGeometry(mesh);
  plain.normaliseIntoUnitBox();
  for (auto f = plain.surface.facets_begin(); f != plain.surface.facets_end(); ++f)
    computeFacetNormal(*f);
  for (auto v = plain.surface.vertices_begin(); v != plain.surface.vertices_end(); ++v)
    computeVertexNormal(*v);
  auto f = mesh.surface.facets_begin();
  for (auto g = plain.surface.facets_begin(); g != plain.surface.facets_end(); ++f, ++g)
    ASSERT_EQ(std::memcmp(f->normal.data(), g->normal.data(), sizeof(Vector3)), 0);
  auto v = mesh.surface.vertices_begin();
  for (auto w = plain.surface.vertices_begin(); w != plain.surface.vertices_end(); ++v, ++w)
    ASSERT_EQ(std::memcmp(v->normal.data(), w->normal.data(), sizeof(Vector3)), 0);
  EXPECT_FALSE(mesh.isTriangleMesh);
  EXPECT_FALSE(mesh.isQuadMesh);
}

} // namespace
} // namespace vornel
