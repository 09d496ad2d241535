#include "classes/Segments.hpp"
#include "GridGraphs.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vornel {
namespace {

using Labels = std::vector<std::int32_t>;
using testing::fourNeighbourGrid;

/// The segments are the components: every vertex carries its segment's label,
/// an edge joins two vertices of one segment exactly when their labels agree,
/// the sizes add up, and ids appear first in increasing order.
void expectConsistent(const VertexGraph& graph, const Labels& labels, const Segments& segments) {
  ASSERT_EQ(segments.ids.size(), labels.size());
  std::vector<std::uint32_t> sizes(segments.count(), 0);
  std::int32_t nextNew = 0;
  for (std::size_t v = 0; v < labels.size(); ++v) {
    const std::int32_t id = segments.ids[v];
    ASSERT_GE(id, 0);
    ASSERT_LT(static_cast<std::size_t>(id), segments.count());
    ASSERT_LE(id, nextNew) << "segment " << id << " met before segment " << nextNew;
    if (id == nextNew)
      ++nextNew;
    ++sizes[id];
    EXPECT_EQ(segments.labels[id], labels[v]);
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      EXPECT_EQ(segments.ids[n] == id, labels[n] == labels[v]) << "edge " << v << " - " << n;
    }
  }
  EXPECT_EQ(sizes, segments.sizes);
}

TEST(ConnectedSegments, BandsAcrossAGridAreOneSegmentEach) {
  const int side = 12;
  const VertexGraph graph = fourNeighbourGrid(side);
  Labels labels(side * side);
  for (int v = 0; v < side * side; ++v)
    labels[v] = (v / side / 3) % 2; // bands of three rows: 0, 1, 0, 1
  const Segments segments = connectedSegments(graph, labels);
  expectConsistent(graph, labels, segments);
  EXPECT_EQ(segments.sizes, (std::vector<std::uint32_t>{36, 36, 36, 36}));
  EXPECT_EQ(segments.labels, (Labels{0, 1, 0, 1}));
}

TEST(ConnectedSegments, ARingOfBlobsGivesOneSegmentPerBlobAndTheBackground) {
  const int side = 40;
  const VertexGraph graph = fourNeighbourGrid(side);
  const int blobCount = 8;
  Labels labels(side * side, 0);
  for (int b = 0; b < blobCount; ++b) {
    const double angle = 2.0 * M_PI * b / blobCount;
    const double cx = 20 + 13 * std::cos(angle), cy = 20 + 13 * std::sin(angle);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        if (std::hypot(x - cx, y - cy) <= 3.0)
          labels[y * side + x] = 1 + b % 2; // neighbouring blobs differ, all apart
  }
  const Segments segments = connectedSegments(graph, labels);
  expectConsistent(graph, labels, segments);
  EXPECT_EQ(segments.count(), 1u + blobCount);
  EXPECT_EQ(segments.labels[0], 0); // vertex 0 lies in the background
}

TEST(ConnectedSegments, TheSeparatePiecesOfAMeshAreSeparateSegments) {
  // Two 3 x 3 grids side by side without an edge between them, one label.
  const VertexGraph grid = fourNeighbourGrid(3);
  std::vector<std::vector<std::uint32_t>> rings;
  for (std::uint32_t copy = 0; copy < 2; ++copy)
    for (std::size_t v = 0; v < grid.vertexCount(); ++v) {
      rings.emplace_back();
      for (std::uint32_t j = grid.ringBegin(v); j < grid.ringEnd(v); ++j)
        rings.back().push_back(grid.neighbours[j] + 9 * copy);
    }
  rings.emplace_back(); // and a vertex without edges
  const VertexGraph graph = VertexGraph::fromRings(rings);
  const Labels labels(19, 4);
  const Segments segments = connectedSegments(graph, labels);
  expectConsistent(graph, labels, segments);
  EXPECT_EQ(segments.sizes, (std::vector<std::uint32_t>{9, 9, 1}));
  EXPECT_EQ(segments.labels, (Labels{4, 4, 4}));
}

TEST(ConnectedSegments, ACheckerboardOnFourNeighboursIsAllSingleVertices) {
  const int side = 7;
  const VertexGraph graph = fourNeighbourGrid(side);
  Labels labels(side * side);
  for (int v = 0; v < side * side; ++v)
    labels[v] = (v / side + v % side) % 2;
  const Segments segments = connectedSegments(graph, labels);
  expectConsistent(graph, labels, segments);
  EXPECT_EQ(segments.count(), static_cast<std::size_t>(side * side));
}

TEST(ConnectedSegments, ALabelCountThatDiffersFromTheVertexCountIsRefused) {
  const VertexGraph graph = fourNeighbourGrid(3);
  EXPECT_THROW(connectedSegments(graph, Labels(8, 0)), InvalidInputError);
}

} // namespace
} // namespace vornel
