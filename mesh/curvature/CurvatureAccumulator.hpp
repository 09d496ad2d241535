#pragma once
// Flat per-vertex sums over the triangles of a mesh (mixed area, angle sum,
// cotangent Laplacian of the position, angle-weighted normal, border
// signature), added in triangle order, and the curvature measures that follow
// from them. The rules are described in mesh/curvature/Curvature.hpp.
//
// An accumulator holds the sums of one range of vertices and takes from each
// triangle the shares of the corners in its range only. Every vertex's sums
// are then added in triangle order whatever the ranges, so accumulators over
// disjoint ranges can run on separate threads and give the values of a single
// one over all vertices bit for bit.

#include "core/LargeBlockAllocator.hpp"
#include "mesh/curvature/Curvature.hpp"
#include "mesh/curvature/TriangleShares.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

class CurvatureAccumulator {
public:
  using Position = CurvaturePosition;

  /// Sums for the vertices first .. first + count - 1.
  CurvatureAccumulator(std::size_t first, std::size_t count);

  /// Whether any of the corners is one of its vertices.
  bool holdsAny(std::uint32_t a, std::uint32_t b, std::uint32_t c) const {
    return holds(a) || holds(b) || holds(c);
  }

  /// Adds the triangle (a, b, c), corners in facet order, at positions pa, pb,
  /// pc, to the sums of those of its corners that are its vertices.
  void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, const Position& pa,
                   const Position& pb, const Position& pc);

  /// The three measures of its vertices, in vertex order.
  CurvatureFields finish() const;

  /// Writes the three measures of its vertices at their places in fields,
  /// whose vectors hold every vertex.
  void finishInto(CurvatureFields& fields) const;

private:
  bool holds(std::uint32_t vertex) const { return vertex - first_ < sums_.size(); }

  struct alignas(64) VertexSums { // one cache line per vertex
    CurvatureSums sums;
  };

  std::size_t first_;
  // Sum of the vertex's border terms (mesh/curvature/TriangleShares.hpp).
  std::vector<std::uint64_t, LargeBlockAllocator<std::uint64_t>> borderSignature_;
  std::vector<VertexSums, LargeBlockAllocator<VertexSums>> sums_;
};

} // namespace vornel
