// The surface builder against CGAL's incremental builder: on every soup the
// validation accepts, both must give the same surface, record for record.
// Random soups cover shuffled facet orders, holes, vertices with several open
// fans, mixed polygons and very high valences.

#include "mesh/build/SurfaceBuilder.hpp"
#include "mesh/build/SoupValidation.hpp"

#include "mesh/MeshFixtures.hpp"

#include <CGAL/Polyhedron_incremental_builder_3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace vornel {
namespace {

/// Every link of a surface as indices into its record arrays (-1 for none).
struct SurfaceRecords {
  std::vector<std::int64_t> next, previous, opposite, vertex, face;
  std::vector<std::int64_t> vertexHalfedge, faceHalfedge;

  bool operator==(const SurfaceRecords& o) const {
    return next == o.next && previous == o.previous && opposite == o.opposite &&
           vertex == o.vertex && face == o.face && vertexHalfedge == o.vertexHalfedge &&
           faceHalfedge == o.faceHalfedge;
  }
};

SurfaceRecords recordsOf(Surface& surface) {
  const auto h0 = surface.halfedges_begin();
  const auto v0 = surface.vertices_begin();
  const auto f0 = surface.facets_begin();
  SurfaceRecords r;
  for (auto h = surface.halfedges_begin(); h != surface.halfedges_end(); ++h) {
    r.next.push_back(h->next() - h0);
    r.previous.push_back(h->prev() - h0);
    r.opposite.push_back(h->opposite() - h0);
    r.vertex.push_back(h->vertex() - v0);
    r.face.push_back(h->is_border() ? -1 : h->facet() - f0);
  }
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    r.vertexHalfedge.push_back(v->halfedge() == Surface::Halfedge_handle() ? -1
                                                                           : v->halfedge() - h0);
  }
  for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
    r.faceHalfedge.push_back(f->halfedge() - h0);
  }
  return r;
}

/// The reference: CGAL's incremental builder on the same soup.
bool buildWithIncrementalBuilder(const PolygonSoup& soup, LabeledMesh& mesh) {
  CGAL::Polyhedron_incremental_builder_3<HalfedgeDS> builder(mesh.surface.hds(), false);
  builder.begin_surface(soup.points.size(), soup.facetCount(), 2 * soup.corners.size() + 2);
  for (const Point3& p : soup.points) {
    builder.add_vertex(p);
  }
  for (std::size_t f = 0; f < soup.facetCount() && !builder.error(); ++f) {
    builder.begin_facet();
    for (std::uint32_t k = soup.facetOffsets[f]; k < soup.facetOffsets[f + 1]; ++k) {
      builder.add_vertex_to_facet(soup.corners[k]);
    }
    builder.end_facet();
  }
  const bool ok = !builder.error();
  builder.end_surface();
  return ok;
}

void expectSameSurface(const PolygonSoup& soup, const std::string& what) {
  ASSERT_FALSE(findSoupProblem(soup)) << what;
  LabeledMesh reference;
  ASSERT_TRUE(buildWithIncrementalBuilder(soup, reference)) << what;
  LabeledMesh built;
  PolygonSoup copy = soup;
  buildValidatedSurface(std::move(copy), built);
  EXPECT_TRUE(recordsOf(built.surface) == recordsOf(reference.surface)) << what;
}

/// A rows x columns grid of vertices split into triangles, optionally with
/// quads instead, as a soup in row order.
PolygonSoup gridSoup(std::uint32_t rows, std::uint32_t columns, bool quads) {
  test::Points points;
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t c = 0; c < columns; ++c) {
      points.push_back({static_cast<float>(c), static_cast<float>(r), 0.0f});
    }
  }
  test::Facets facets;
  for (std::uint32_t r = 0; r + 1 < rows; ++r) {
    for (std::uint32_t c = 0; c + 1 < columns; ++c) {
      const std::uint32_t a = r * columns + c;
      if (quads) {
        facets.push_back({a, a + 1, a + columns + 1, a + columns});
      } else {
        facets.push_back({a, a + 1, a + columns + 1});
        facets.push_back({a, a + columns + 1, a + columns});
      }
    }
  }
  return test::makeSoup(points, facets);
}

/// The soup's facets in another order; `keep` of them, chosen at random.
PolygonSoup shuffledSubset(const PolygonSoup& soup, std::mt19937& random, double keep) {
  std::vector<std::size_t> order(soup.facetCount());
  for (std::size_t f = 0; f < order.size(); ++f) {
    order[f] = f;
  }
  std::shuffle(order.begin(), order.end(), random);
  order.resize(static_cast<std::size_t>(keep * static_cast<double>(order.size())));
  PolygonSoup result;
  result.points = soup.points;
  for (const std::size_t f : order) {
    result.corners.insert(result.corners.end(), soup.corners.begin() + soup.facetOffsets[f],
                          soup.corners.begin() + soup.facetOffsets[f + 1]);
    result.facetOffsets.push_back(static_cast<std::uint32_t>(result.corners.size()));
  }
  return result;
}

TEST(SurfaceBuilder, MatchesTheIncrementalBuilderOnFixtures) {
  expectSameSurface(gridSoup(5, 7, false), "triangle grid");
  expectSameSurface(gridSoup(6, 4, true), "quad grid");
  // Two triangles meeting at one vertex, and a vertex no facet uses.
  expectSameSurface(
      test::makeSoup({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}, {9, 9, 9}},
                     {{0, 1, 2}, {0, 3, 4}}),
      "bow tie");
  expectSameSurface(test::makeSoup({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                   {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}),
                    "tetrahedron");
  // No facet at all: no corners to pair (an empty table once met pointer arithmetic).
  expectSameSurface(test::makeSoup({{0, 0, 0}, {1, 0, 0}}, {}), "vertices only");
}

TEST(SurfaceBuilder, MatchesTheIncrementalBuilderOnShuffledSoupsWithHolesAndPinches) {
  std::mt19937 random(12345);
  int compared = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const bool quads = trial % 3 == 0;
    const PolygonSoup grid = gridSoup(4 + trial % 5, 4 + trial % 7, quads);
    const double keep = trial % 4 == 0 ? 1.0 : 0.45 + 0.1 * (trial % 5);
    const PolygonSoup soup = shuffledSubset(grid, random, keep);
    if (findSoupProblem(soup)) {
      continue;
    }
    expectSameSurface(soup, "trial " + std::to_string(trial));
    ++compared;
  }
  EXPECT_GT(compared, 250);
}

TEST(SurfaceBuilder, MatchesTheIncrementalBuilderOnManyFansAtOneVertex) {
  // Triangles around vertex 0 in random order, some of them missing: the
  // vertex carries many open fans that join one by one.
  std::mt19937 random(7);
  for (int trial = 0; trial < 40; ++trial) {
    const std::uint32_t rim = 20 + static_cast<std::uint32_t>(trial);
    test::Points points{{0, 0, 0}};
    for (std::uint32_t i = 0; i < rim; ++i) {
      points.push_back({static_cast<float>(i), 1.0f, 0.0f});
    }
    test::Facets facets;
    for (std::uint32_t i = 1; i <= rim; ++i) {
      if (random() % 5 != 0 || i == rim) {
        facets.push_back({0, i, i % rim + 1});
      }
    }
    if (facets.size() == rim) {
      facets.pop_back(); // keep the fan open: a closed fan would be a single fan
    }
    std::shuffle(facets.begin(), facets.end(), random);
    expectSameSurface(test::makeSoup(points, facets), "fan trial " + std::to_string(trial));
  }
}

TEST(SurfaceBuilder, BuildsAHundredThousandTrianglesAroundOneVertex) {
  // The incremental builder walks around a vertex for every edge it looks
  // up, which takes minutes here; the builder must stay linear.
  const std::uint32_t rim = 100000;
  PolygonSoup soup;
  soup.points.emplace_back(0.0f, 0.0f, 0.0f);
  for (std::uint32_t i = 0; i < rim; ++i) {
    soup.points.emplace_back(static_cast<float>(i), 1.0f, 0.0f);
  }
  for (std::uint32_t i = 1; i <= rim; ++i) {
    soup.corners.insert(soup.corners.end(), {0, i, i % rim + 1});
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  ASSERT_FALSE(findSoupProblem(soup));
  LabeledMesh mesh;
  buildValidatedSurface(std::move(soup), mesh);
  EXPECT_EQ(mesh.surface.size_of_facets(), rim);
  EXPECT_EQ(mesh.surface.size_of_halfedges(), 4u * rim); // spokes and rim
  auto centre = mesh.surface.vertices_begin();
  std::size_t ring = 0;
  auto h = centre->halfedge();
  do {
    ++ring;
    h = h->next()->opposite();
  } while (h != centre->halfedge() && ring <= rim);
  EXPECT_EQ(ring, rim);
}

} // namespace
} // namespace vornel
