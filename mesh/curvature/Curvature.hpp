#pragma once
// Per-vertex curvature of a polygon mesh given as positions and facets: the
// signed mean curvature, the Gaussian curvature and the curvedness, computed
// in double precision on the input positions in one pass over the facets.
//
// Discretisation, for vertex v with mixed area A (Voronoi area of its
// non-obtuse triangles; of an obtuse triangle, half its area at the obtuse
// corner and a quarter at the other two):
// - mean curvature H = (L . n) / (4 A), where L = sum over v's edges vw of
//   (cot a + cot b)(x_v - x_w), the cotangent Laplacian of the position over the
//   triangles present, and n is the unit vertex normal, the sum of v's facet
//   normals weighted by their angles at v. H > 0 where the surface bends away
//   from n, so a sphere whose facets run counter-clockwise seen from outside
//   has H = 1/r; reversing every facet reverses the sign. Units 1/length.
// - Gaussian curvature K = (2 pi - angle sum) / A at an interior vertex and
//   (pi - angle sum) / A at a border vertex. Units 1/length^2.
// - curvedness sqrt((k1^2 + k2^2) / 2) with k1,2 = H +- sqrt(max(H^2 - K, 0)),
//   that is sqrt(max(2 H^2 - K, 0)). Units 1/length.
//
// Rules:
// - A facet of n > 3 corners is split into the fan (c0, ci, ci+1), i = 1 .. n-2,
//   from its first corner; a facet of fewer than three corners adds nothing.
// - A border vertex is one whose facets' edges do not pair up into a closed,
//   consistently oriented fan (some edge at it has one facet). Its mean
//   curvature uses the facets present; projecting L on the normal drops the
//   in-surface pull of the missing side, so a straight flat border gives 0;
//   along a jagged border it is underestimated, and the Gaussian value there
//   mostly measures how the border turns.
// - A triangle's cotangent terms at corner a, cot c (a - b) + cot b (a - c),
//   are summed in the equal form m x (c - b), m the triangle's unit normal:
//   bounded by the edge length, so on a needle triangle the two huge terms
//   cancel as they should. The cotangents that weigh squared edges into the Voronoi areas are
//   clamped to [-1e5, 1e5] (angles within about 1e-5 rad of 0 or pi; the
//   term is then negligible anyway).
// - A zero-area triangle (twice its area at most 1e-12 times its longest edge
//   squared; this covers coincident corners) adds its angles (0 or pi) to the
//   angle sums and nothing to the areas, the Laplacian or the normals.
// - A vertex with zero area (no facet, or only zero-area ones) gets 0 for
//   every measure, and so does a vertex whose normal sums to zero (mean
//   curvature) or whose value would not be finite (non-finite positions).

#include "mesh/PolygonSoup.hpp"
#include "mesh/curvature/CurvatureMeasure.hpp"

#include <array>
#include <cstdint>
#include <vector>

namespace vornel {

using PositionList = std::vector<std::array<float, 3>>;
using FacetList = std::vector<std::vector<std::uint32_t>>; // 0-based corners per facet

/// One value per vertex for each measure, in vertex order.
struct CurvatureFields {
  std::vector<double> meanCurvature;
  std::vector<double> gaussianCurvature;
  std::vector<double> curvedness;
};

// Every function reads the positions (soup.points) and the facets
// (soup.facetOffsets, soup.corners; soup.facetLines is not used), makes the
// same single pass computing all three measures, and returns one value per
// vertex of the measure it names. A corner index out of range, or facet
// offsets that decrease or run past the corner array, throw InvalidInputError
// naming the facet.

CurvatureFields computeCurvatures(const PolygonSoup& soup);
CurvatureFields computeCurvatures(const PositionList& positions, const FacetList& facets);

std::vector<double> meanCurvature(const PolygonSoup& soup);
std::vector<double> meanCurvature(const PositionList& positions, const FacetList& facets);

std::vector<double> gaussianCurvature(const PolygonSoup& soup);
std::vector<double> gaussianCurvature(const PositionList& positions, const FacetList& facets);

std::vector<double> curvedness(const PolygonSoup& soup);
std::vector<double> curvedness(const PositionList& positions, const FacetList& facets);

/// The one measure a user named.
std::vector<double> computeCurvature(CurvatureMeasure measure, const PolygonSoup& soup);
std::vector<double> computeCurvature(CurvatureMeasure measure, const PositionList& positions,
                                     const FacetList& facets);

} // namespace vornel
