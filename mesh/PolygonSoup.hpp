#pragma once
// Vertices and facets as read from a file, before the halfedge surface is built.

#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

struct PolygonSoup {
  std::vector<Point3> points;                  // in file order
  std::vector<std::uint32_t> facetOffsets{0};  // facet f: corners[facetOffsets[f] .. facetOffsets[f+1])
  std::vector<std::uint32_t> corners;          // 0-based vertex indices, checked to be in range
  std::vector<std::uint64_t> facetLines;       // source line of each facet (1-based), for messages

  std::size_t facetCount() const { return facetOffsets.size() - 1; }
};

/// Builds the soup into the empty surface of mesh with CGAL's incremental
/// builder: every vertex in order (unused ones are kept), then every facet in
/// order. A facet the builder rejects (non-manifold edge or vertex,
/// inconsistent orientation, repeated vertex) throws InvalidInputError naming
/// sourceName and the facet's line; the mesh is then left empty.
void buildSurface(const PolygonSoup& soup, LabeledMesh& mesh, const std::string& sourceName);

} // namespace vornel
