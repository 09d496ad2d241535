#include "classes/SegmentMerge.hpp"
#include "GridGraphs.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vornel {
namespace {

using Labels = std::vector<std::int32_t>;
using Rings = std::vector<std::vector<std::uint32_t>>;

/// Labels in runs along a path: {label, length} pairs.
Labels runs(const std::vector<std::pair<std::int32_t, int>>& pieces) {
  Labels labels;
  for (const auto& [label, length] : pieces)
    labels.insert(labels.end(), static_cast<std::size_t>(length), label);
  return labels;
}

/// Merges, and checks that the segments it leaves are those of the new labels.
SegmentMergeSummary merge(const VertexGraph& graph, Labels& labels, std::uint32_t minimumSize) {
  Segments segments = connectedSegments(graph, labels);
  const SegmentMergeSummary summary = mergeSmallSegments(graph, segments, minimumSize, labels);
  const Segments expected = connectedSegments(graph, labels);
  EXPECT_EQ(segments.ids, expected.ids);
  EXPECT_EQ(segments.sizes, expected.sizes);
  EXPECT_EQ(segments.labels, expected.labels);
  return summary;
}

TEST(MergeSmallSegments, ATieInEdgesGoesToTheLargerNeighbourThenToTheLowerLabel) {
  const VertexGraph graph = testing::pathGraph(9);
  Labels larger = runs({{2, 3}, {1, 1}, {0, 5}});
  EXPECT_EQ(merge(graph, larger, 2).merged, 1u);
  EXPECT_EQ(larger, runs({{2, 3}, {0, 6}}));

  Labels lower = runs({{2, 4}, {1, 1}, {0, 4}});
  merge(graph, lower, 2);
  EXPECT_EQ(lower, runs({{2, 4}, {0, 5}}));
}

TEST(MergeSmallSegments, MoreSharedEdgesBeatASizeAdvantage) {
  // Vertex 0 alone (label 1) touches the large segment {1..5} by one edge and
  // the small one {6, 7} by two.
  Rings rings(8);
  const auto join = [&rings](std::uint32_t a, std::uint32_t b) {
    rings[a].push_back(b);
    rings[b].push_back(a);
  };
  join(0, 1), join(0, 6), join(0, 7), join(6, 7);
  for (std::uint32_t v = 1; v < 5; ++v)
    join(v, v + 1);
  const VertexGraph graph = VertexGraph::fromRings(rings);
  Labels labels{1, 0, 0, 0, 0, 0, 2, 2};
  merge(graph, labels, 2);
  EXPECT_EQ(labels, (Labels{2, 0, 0, 0, 0, 0, 2, 2}));
}

TEST(MergeSmallSegments, TheSmallestGoesFirst) {
  // Segment {10} (size 1) goes before {8, 9} (size 2): it joins the larger
  // right-hand neighbour, which then also takes {8, 9}. The other order would
  // have given both to the left.
  const VertexGraph graph = testing::pathGraph(21);
  Labels labels = runs({{0, 8}, {1, 2}, {2, 1}, {3, 10}});
  EXPECT_EQ(merge(graph, labels, 3).merged, 2u);
  EXPECT_EQ(labels, runs({{0, 8}, {3, 13}}));
}

TEST(MergeSmallSegments, AJoinedSegmentStillTooSmallIsConsideredAgain) {
  const VertexGraph graph = testing::pathGraph(13);
  Labels labels = runs({{1, 1}, {2, 2}, {0, 10}});
  EXPECT_EQ(merge(graph, labels, 4).merged, 2u);
  EXPECT_EQ(labels, Labels(13, 0));
}

TEST(MergeSmallSegments, NeighboursOfTheChosenLabelJoinThroughTheMergedSegment) {
  const VertexGraph graph = testing::pathGraph(11);
  Labels labels = runs({{0, 5}, {1, 1}, {0, 5}});
  // The halves, each below the size, join through the merged vertex: one
  // segment of 11, reached by a single merge.
  EXPECT_EQ(merge(graph, labels, 6).merged, 1u);
  EXPECT_EQ(labels, Labels(11, 0));

  // Both halves large: the one not chosen joins all the same.
  const VertexGraph longer = testing::pathGraph(14);
  Labels large = runs({{0, 6}, {1, 1}, {0, 7}});
  EXPECT_EQ(merge(longer, large, 2).merged, 1u);
  EXPECT_EQ(large, Labels(14, 0));
}

TEST(MergeSmallSegments, ASmallSeparatePieceStaysAndIsCounted) {
  // A 6 x 6 grid of label 0 with a one-vertex speckle, and apart from it a
  // path of three vertices of label 1.
  const VertexGraph grid = testing::fourNeighbourGrid(6);
  Rings rings;
  for (std::size_t v = 0; v < grid.vertexCount(); ++v)
    rings.emplace_back(grid.neighbours.begin() + grid.ringBegin(v),
                       grid.neighbours.begin() + grid.ringEnd(v));
  rings.push_back({37});
  rings.push_back({36, 38});
  rings.push_back({37});
  const VertexGraph graph = VertexGraph::fromRings(rings);
  Labels labels(39, 0);
  labels[14] = 2;
  labels[36] = labels[37] = labels[38] = 1;
  const SegmentMergeSummary summary = merge(graph, labels, 5);
  EXPECT_EQ(summary.merged, 1u);
  EXPECT_EQ(summary.isolated, 1u);
  Labels expected(39, 0);
  expected[36] = expected[37] = expected[38] = 1;
  EXPECT_EQ(labels, expected);
}

TEST(MergeSmallSegments, ASizeOfOneOrLessChangesNothing) {
  const VertexGraph graph = testing::pathGraph(5);
  for (const std::uint32_t size : {0u, 1u}) {
    Labels labels{0, 1, 0, 2, 0};
    const SegmentMergeSummary summary = merge(graph, labels, size);
    EXPECT_EQ(labels, (Labels{0, 1, 0, 2, 0}));
    EXPECT_EQ(summary.merged, 0u);
    EXPECT_EQ(summary.isolated, 0u);
  }
}

TEST(MergeSmallSegments, NoisyLabelsEndInSegmentsOfTheSizeWithDistinctNeighbours) {
  const int side = 60;
  const VertexGraph graph = testing::fourNeighbourGrid(side);
  std::mt19937 generator(7);
  std::uniform_int_distribution<int> noise(0, 9);
  Labels labels(side * side);
  for (int v = 0; v < side * side; ++v) // three vertical bands with 30 % noise
    labels[v] = noise(generator) < 3 ? noise(generator) % 3 : (v % side) / 20;
  const Labels original = labels;
  const std::uint32_t minimumSize = 25;
  const SegmentMergeSummary summary = merge(graph, labels, minimumSize);
  EXPECT_GT(summary.merged, 100u);
  EXPECT_EQ(summary.isolated, 0u);

  const Segments segments = connectedSegments(graph, labels);
  for (const std::uint32_t size : segments.sizes)
    EXPECT_GE(size, minimumSize);
  for (std::size_t v = 0; v < labels.size(); ++v) {
    EXPECT_EQ(segments.labels[segments.ids[v]], labels[v]);
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      EXPECT_EQ(segments.ids[n] == segments.ids[v], labels[n] == labels[v])
          << "neighbouring segments share a label";
    }
  }
  Labels again = original;
  merge(graph, again, minimumSize);
  EXPECT_EQ(again, labels);
}

} // namespace
} // namespace vornel
