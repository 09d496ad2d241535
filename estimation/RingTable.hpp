#pragma once
// The distinct ring label histograms of a labelling, each with the centre
// labels seen with it, collected over ranges of vertices. A range's table is
// built alone; tables of consecutive ranges appended in vertex order give
// exactly the table of one pass over all of them, so the ranges can be
// collected apart (one per worker) and merged in a fixed order.

#include "core/VertexGraph.hpp"
#include "estimation/ConfigurationIndex.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

class RingTable {
public:
  explicit RingTable(int classCount);

  /// Adds vertices [begin, end) of graph; labels holds one label (0 ..
  /// classCount-1) per vertex of graph. Vertices without neighbours are left
  /// out: their empty ring would give 0/0 agreement ratios.
  void addVertices(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                   std::size_t begin, std::size_t end);

  /// Appends the table of vertices that come after this table's: its rings
  /// not seen here follow in its order, and the centre counts of rings seen
  /// in both add up.
  void append(const RingTable& later);

  /// The rings in order of first appearance; the table is left empty.
  std::vector<NeighbourhoodConfiguration> release();

private:
  /// The row of ring (classCount counts), a new one with zero centre counts
  /// when the ring was not seen before.
  std::int32_t rowOf(const std::vector<std::int32_t>& ring);

  int classCount_;
  ConfigurationIndex index_;
  std::vector<NeighbourhoodConfiguration> configurations_;
  std::vector<std::int32_t> ring_; // scratch, reused for every vertex
};

} // namespace vornel
