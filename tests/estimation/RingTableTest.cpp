// Ring tables of consecutive vertex ranges, appended in order, must give the
// table of one pass: what lets the collection be split over workers.

#include "estimation/RingTable.hpp"
#include "TestGraphs.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vornel {
namespace {

using test_graphs::gridGraph;
using test_graphs::randomLabels;

std::vector<NeighbourhoodConfiguration> collectInRanges(const VertexGraph& graph,
                                                        const std::vector<std::int32_t>& labels,
                                                        int K, std::size_t rangeCount) {
  const std::size_t n = graph.vertexCount();
  RingTable total(K);
  for (std::size_t r = 0; r < rangeCount; ++r) {
    RingTable part(K);
    part.addVertices(graph, labels, n * r / rangeCount, n * (r + 1) / rangeCount);
    total.append(part);
  }
  return total.release();
}

TEST(RingTable, RangesAppendedInOrderGiveTheTableOfOnePass) {
  const VertexGraph graph = gridGraph(23, 17);
  for (const int K : {2, 4, 9}) {
    const std::vector<std::int32_t> labels = randomLabels(graph.vertexCount(), K, 40u + K);
    const std::vector<NeighbourhoodConfiguration> whole = collectInRanges(graph, labels, K, 1);
    ASSERT_GT(whole.size(), 10u);
    for (const std::size_t ranges : {2u, 3u, 7u, 50u}) {
      SCOPED_TRACE("K " + std::to_string(K) + ", " + std::to_string(ranges) + " ranges");
      const std::vector<NeighbourhoodConfiguration> split =
          collectInRanges(graph, labels, K, ranges);
      ASSERT_EQ(split.size(), whole.size());
      for (std::size_t c = 0; c < whole.size(); ++c) {
        EXPECT_EQ(split[c].neighbourCounts, whole[c].neighbourCounts) << c;
        EXPECT_EQ(split[c].centreCounts, whole[c].centreCounts) << c;
      }
    }
  }
}

} // namespace
} // namespace vornel
