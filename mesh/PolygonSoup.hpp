#pragma once
// Vertices and facets as read from a file, before the halfedge surface is built.

#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

struct PolygonSoup {
  std::vector<Point3> points; // in file order
  std::vector<std::uint32_t> facetOffsets{
      0};                                // facet f: corners[facetOffsets[f] .. facetOffsets[f+1])
  std::vector<std::uint32_t> corners;    // 0-based vertex indices, checked to be in range
  std::vector<std::uint64_t> facetLines; // source line of each facet (1-based), for messages;
                                         // empty when the file has no lines to name
  /// How the file numbers its vertices, for messages: 1 in OBJ, 0 in OFF and PLY.
  unsigned firstVertexNumber = 0;

  std::size_t facetCount() const { return facetOffsets.size() - 1; }

  /// Where facet f is in the file: "name:line", or "name: facet n" (1-based).
  std::string facetPlace(std::size_t facet, const std::string& sourceName) const;
  /// Vertex v (0-based) as the file numbers it.
  std::string vertexName(std::uint32_t vertex) const;
};

} // namespace vornel
