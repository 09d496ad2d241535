#pragma once
// The 1-ring adjacency of a mesh as two flat arrays, built once per run.
//
// For vertex v (in vertex order) its neighbours are
//   neighbours[offsets[v]] .. neighbours[offsets[v + 1] - 1],
// one entry per edge at v in ring order (the vertex at the other end of each
// incoming halfedge, starting from the vertex's own halfedge), border edges
// included. A neighbour joined by two edges appears twice. An isolated vertex
// has an empty ring.

#include <cstdint>
#include <vector>

namespace vornel {

struct VertexGraph {
  std::vector<std::uint32_t> offsets{0}; // vertexCount() + 1 entries
  std::vector<std::uint32_t> neighbours; // one entry per edge end

  std::size_t vertexCount() const { return offsets.size() - 1; }
  std::uint32_t ringBegin(std::size_t v) const { return offsets[v]; }
  std::uint32_t ringEnd(std::size_t v) const { return offsets[v + 1]; }
  std::uint32_t degree(std::size_t v) const { return offsets[v + 1] - offsets[v]; }

  /// Builds a graph from explicit rings (tests and callers without a mesh).
  static VertexGraph fromRings(const std::vector<std::vector<std::uint32_t>>& rings) {
    VertexGraph graph;
    graph.offsets.reserve(rings.size() + 1);
    for (const auto& ring : rings) {
      graph.neighbours.insert(graph.neighbours.end(), ring.begin(), ring.end());
      graph.offsets.push_back(static_cast<std::uint32_t>(graph.neighbours.size()));
    }
    return graph;
  }
};

} // namespace vornel
