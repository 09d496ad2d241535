#pragma once
// What one triangle adds to the curvature sums of each of its corners. The
// costly part (angles, unit normal, mixed-area parts) is formed once per
// triangle; a corner's Laplacian term follows from the unit normal and the
// opposite edge where the corner's share is added. Both the one-pass sum over
// the facets and the per-vertex gather on several threads add exactly these
// numbers, so their results agree bit for bit.

#include <array>
#include <cstdint>

namespace vornel {

using CurvaturePosition = std::array<double, 3>;

/// A triangle's contributions to its corners a, b and c (in facet order).
struct TriangleShares {
  std::array<double, 3> angles{};
  CurvaturePosition unitNormal{};
  std::array<double, 3> areas{}; // each corner's part of the mixed area
  bool flat = true;              // zero area: only the angles count
};

/// The shares of triangle (a, b, c) at positions pa, pb, pc.
TriangleShares triangleShares(const CurvaturePosition& pa, const CurvaturePosition& pb,
                              const CurvaturePosition& pc);

/// The edge opposite a triangle corner, in the triangle's direction: from
/// `from` to `to`, that is b to c for corner a, c to a for b, a to b for c.
inline CurvaturePosition oppositeEdge(const CurvaturePosition& from, const CurvaturePosition& to) {
  return {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
}

/// The sums of one vertex, each added to in the order of its triangles.
struct CurvatureSums {
  CurvaturePosition laplacian{}; // sum of (cot a + cot b)(x_v - x_w)
  CurvaturePosition normal{};    // sum of angle * unit facet normal
  double area = 0.0;             // mixed area
  double angleSum = 0.0;

  /// Adds the share of the triangle's corner (0, 1, 2 for a, b, c) whose
  /// opposite edge is `edge`. The triangle's Laplacian term at a,
  /// cot c (a - b) + cot b (a - c), equals unitNormal x (c - b), twice the
  /// gradient of its area at a: bounded by the edge length, so on a needle
  /// triangle the two huge cotangent terms cancel, which clamping them one by
  /// one would spoil.
  void add(const TriangleShares& shares, int corner, const CurvaturePosition& edge) {
    angleSum += shares.angles[corner];
    if (shares.flat)
      return;
    const CurvaturePosition& n = shares.unitNormal;
    const CurvaturePosition term{n[1] * edge[2] - n[2] * edge[1], n[2] * edge[0] - n[0] * edge[2],
                                 n[0] * edge[1] - n[1] * edge[0]};
    for (int k = 0; k < 3; ++k)
      laplacian[k] += term[k];
    for (int k = 0; k < 3; ++k)
      normal[k] += shares.angles[corner] * n[k];
    area += shares.areas[corner];
  }
};

/// A vertex's three measures.
struct VertexCurvature {
  double mean = 0.0;
  double gaussian = 0.0;
  double curvedness = 0.0;
};

/// The measures of a vertex with these sums; border says whether it lies on
/// the border (its fan does not close).
VertexCurvature vertexCurvature(const CurvatureSums& sums, bool border);

/// A corner's term in its vertex's border signature: hash(next corner) -
/// hash(previous corner), wrapping. Every neighbour of a closed, consistently
/// oriented fan appears once as next and once as previous, so only border
/// vertices are left with a non-zero sum, whatever the order of the terms.
std::uint64_t borderTerm(std::uint32_t next, std::uint32_t previous);

} // namespace vornel
