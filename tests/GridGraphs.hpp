#pragma once
// Ring adjacencies of paths and square grids, for tests of stages that need only the
// vertex graph and not a surface.

#include "core/VertexGraph.hpp"

#include <cstdint>
#include <vector>

namespace vornel::testing {

/// A path 0 - 1 - ... - (n-1).
inline VertexGraph pathGraph(std::uint32_t n) {
  std::vector<std::vector<std::uint32_t>> rings(n);
  for (std::uint32_t v = 0; v + 1 < n; ++v) {
    rings[v].push_back(v + 1);
    rings[v + 1].push_back(v);
  }
  return VertexGraph::fromRings(rings);
}

/// A side x side grid, vertex y * side + x, each vertex joined to its
/// horizontal and vertical neighbours (4 inside, 2 or 3 on the border).
inline VertexGraph fourNeighbourGrid(int side) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(side) * side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      auto& ring = rings[static_cast<std::size_t>(y * side + x)];
      if (x > 0)
        ring.push_back(y * side + x - 1);
      if (x + 1 < side)
        ring.push_back(y * side + x + 1);
      if (y > 0)
        ring.push_back((y - 1) * side + x);
      if (y + 1 < side)
        ring.push_back((y + 1) * side + x);
    }
  return VertexGraph::fromRings(rings);
}

} // namespace vornel::testing
