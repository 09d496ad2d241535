#pragma once
// A coloured mesh for the report's tests: an n x n grid of unit squares as
// quads in the plane z = 0, vertex y * (n + 1) + x, with value x. Labels and
// segments are left to the test.

#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstdint>

namespace vornel::testing {

inline ColouredMesh quadGrid(int n) {
  ColouredMesh mesh;
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) {
      mesh.positions.emplace_back(static_cast<float>(x), static_cast<float>(y), 0.0f);
      mesh.values.push_back(static_cast<float>(x));
    }
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const auto a = static_cast<std::uint32_t>(y * (n + 1) + x);
      mesh.corners.insert(mesh.corners.end(), {a, a + 1, a + n + 2, a + n + 1});
      mesh.facetOffsets.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
    }
  return mesh;
}

/// The column x of vertex v in a quadGrid(n).
inline int quadGridColumn(int n, std::size_t v) {
  return static_cast<int>(v % static_cast<std::size_t>(n + 1));
}

} // namespace vornel::testing
