#pragma once
// Flat per-vertex sums over the triangles of a mesh (mixed area, angle sum,
// cotangent Laplacian of the position, angle-weighted normal, border
// signature) and the curvature measures that follow from them. The rules are
// described in mesh/curvature/Curvature.hpp.

#include "core/LargeBlockAllocator.hpp"
#include "mesh/curvature/Curvature.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

class CurvatureAccumulator {
public:
  using Position = std::array<double, 3>;

  explicit CurvatureAccumulator(std::size_t vertexCount);

  /// Adds the triangle (a, b, c), corners in facet order, at positions pa, pb, pc.
  void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const Position& pa,
                   const Position& pb, const Position& pc);

  /// The three measures of every vertex from the triangles added so far.
  CurvatureFields finish() const;

private:
  struct alignas(64) VertexSums {      // one cache line per vertex
    std::array<double, 3> laplacian{}; // sum of (cot a + cot b)(x_v - x_w)
    std::array<double, 3> normal{};    // sum of angle * unit facet normal
    double area = 0.0;                 // mixed area
    double angleSum = 0.0;
  };

  // Sum over v's triangle corners of hash(next corner) - hash(previous
  // corner), wrapping: every neighbour of a closed, consistently oriented fan
  // appears once as next and once as previous, so only border vertices are
  // left with a non-zero signature.
  std::vector<std::uint64_t, LargeBlockAllocator<std::uint64_t>> borderSignature_;
  std::vector<VertexSums, LargeBlockAllocator<VertexSums>> sums_;
};

} // namespace vornel
