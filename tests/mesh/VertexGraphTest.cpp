// The flat ring adjacency, the feature array and writing labels back.

#include "mesh/MeshFixtures.hpp"
#include "mesh/MeshInput.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vornel {
namespace {

using test::vertexAt;

std::vector<std::uint32_t> ringOf(const VertexGraph& graph, std::size_t v) {
  return {graph.neighbours.begin() + graph.ringBegin(v),
          graph.neighbours.begin() + graph.ringEnd(v)};
}

std::size_t positionOf(const LabeledMesh& mesh, Surface::Vertex_const_handle vertex) {
  return static_cast<std::size_t>(std::distance(mesh.surface.vertices_begin(), vertex));
}

/// Every ring compared with CGAL's own circulator around the vertex.
void expectRingsFollowTheCirculator(const LabeledMesh& mesh, const VertexGraph& graph) {
  ASSERT_EQ(graph.vertexCount(), mesh.vertexCount());
  std::size_t v = 0;
  for (auto vertex = mesh.surface.vertices_begin(); vertex != mesh.surface.vertices_end();
       ++vertex, ++v) {
    std::vector<std::uint32_t> expected;
    if (vertex->halfedge() != Surface::Halfedge_const_handle()) {
      auto circulator = vertex->vertex_begin();
      const auto start = circulator;
      do {
        expected.push_back(
            static_cast<std::uint32_t>(positionOf(mesh, circulator->opposite()->vertex())));
      } while (++circulator != start);
    }
    EXPECT_EQ(ringOf(graph, v), expected) << "vertex " << v;
  }
}

std::vector<std::uint32_t> sorted(std::vector<std::uint32_t> values) {
  std::sort(values.begin(), values.end());
  return values;
}

TEST(VertexGraph, OpenFanAroundItsCentre) {
  LabeledMesh mesh;
  test::buildTriangleFan(mesh, 5, false);
  const VertexGraph graph = buildVertexGraph(mesh);
  expectRingsFollowTheCirculator(mesh, graph);
  // Centre: all five rim vertices, border edges to 1 and 5 included.
  EXPECT_EQ(sorted(ringOf(graph, 0)), (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
  // Rim ends lie on one facet: two edges each.
  EXPECT_EQ(sorted(ringOf(graph, 1)), (std::vector<std::uint32_t>{0, 2}));
  EXPECT_EQ(sorted(ringOf(graph, 3)), (std::vector<std::uint32_t>{0, 2, 4}));
  EXPECT_EQ(graph.neighbours.size(), mesh.surface.size_of_halfedges());
}

TEST(VertexGraph, ClosedFanRingIsCyclicRimOrder) {
  LabeledMesh mesh;
  test::buildTriangleFan(mesh, 6, true);
  const VertexGraph graph = buildVertexGraph(mesh);
  expectRingsFollowTheCirculator(mesh, graph);
  std::vector<std::uint32_t> ring = ringOf(graph, 0);
  ASSERT_EQ(ring.size(), 6u);
  std::rotate(ring.begin(), std::find(ring.begin(), ring.end(), 1u), ring.end());
  // Walking h -> opposite(next(h)) turns clockwise around a counter-clockwise fan.
  EXPECT_EQ(ring, (std::vector<std::uint32_t>{1, 6, 5, 4, 3, 2}));
}

TEST(VertexGraph, IsolatedVertexHasAnEmptyRing) {
  LabeledMesh mesh;
  test::buildMesh(mesh, {{0, 0, 0}, {5, 5, 5}, {1, 0, 0}, {0, 1, 0}}, {{0, 2, 3}});
  const VertexGraph graph = buildVertexGraph(mesh);
  EXPECT_EQ(graph.offsets, (std::vector<std::uint32_t>{0, 2, 2, 4, 6}));
  EXPECT_EQ(graph.degree(1), 0u);
  EXPECT_EQ(sorted(ringOf(graph, 2)), (std::vector<std::uint32_t>{0, 3}));
}

TEST(VertexGraph, OctahedronNeighboursAreAllButTheAntipode) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  const VertexGraph graph = buildVertexGraph(mesh);
  expectRingsFollowTheCirculator(mesh, graph);
  EXPECT_EQ(sorted(ringOf(graph, 0)), (std::vector<std::uint32_t>{2, 3, 4, 5}));
  EXPECT_EQ(sorted(ringOf(graph, 4)), (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST(VertexGraph, IcosphereAndStripAndACopy) {
  LabeledMesh ico;
  test::buildIcosphere(ico, 2);
  const VertexGraph graph = buildVertexGraph(ico);
  expectRingsFollowTheCirculator(ico, graph);
  EXPECT_EQ(graph.degree(0), 5u);
  EXPECT_EQ(graph.degree(ico.vertexCount() - 1), 6u);
  // The copy's graph matches: vertex order survives copying.
  const LabeledMesh copy(ico);
  EXPECT_EQ(buildVertexGraph(copy).neighbours, graph.neighbours);

  LabeledMesh strip;
  test::buildStrip(strip, 4);
  expectRingsFollowTheCirculator(strip, buildVertexGraph(strip));
}

TEST(VertexIndex, IsThePositionInVertexOrderInCopiesToo) {
  LabeledMesh mesh;
  test::buildIcosphere(mesh, 2);
  const LabeledMesh copy(mesh);
  for (const LabeledMesh* m : {static_cast<const LabeledMesh*>(&mesh), &copy}) {
    std::uint32_t k = 0;
    for (auto v = m->surface.vertices_begin(); v != m->surface.vertices_end(); ++v, ++k) {
      ASSERT_EQ(vertexIndex(m->surface, *v), k);
    }
  }
}

TEST(VertexGraph, EmptyMesh) {
  const VertexGraph graph = buildVertexGraph(LabeledMesh());
  EXPECT_EQ(graph.vertexCount(), 0u);
  EXPECT_TRUE(graph.neighbours.empty());
}

TEST(VertexFeature, SelectsAttributeOrSecondValue) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  for (std::size_t k = 0; k < 6; ++k) {
    vertexAt(mesh, k)->attribute = 1.0 + k;
    vertexAt(mesh, k)->secondValue = -1.0 - k;
  }
  EXPECT_EQ(vertexFeature(mesh, 0), (std::vector<double>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(vertexFeature(mesh, 1), (std::vector<double>{-1, -2, -3, -4, -5, -6}));
  EXPECT_THROW(vertexFeature(mesh, 2), std::invalid_argument);
}

TEST(StoreLabels, WritesInVertexOrder) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  storeLabels(mesh, {5, 4, 3, 2, 1, 0});
  EXPECT_EQ(vertexAt(mesh, 0)->label, 5);
  EXPECT_EQ(vertexAt(mesh, 5)->label, 0);
  EXPECT_THROW(storeLabels(mesh, {1, 2}), std::invalid_argument);
}

} // namespace
} // namespace vornel
