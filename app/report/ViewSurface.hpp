#pragma once
// The surface the report's 3D view draws: the mesh itself, triangulated, or,
// above a triangle budget, a simplified stand-in for it.

#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

/// The 3D view draws at most this many triangles (a facet of n corners counts
/// n - 2) and vertices; a larger mesh is shown simplified.
constexpr std::size_t viewTriangleBudget = 300000;

struct ViewSurface {
  std::vector<float> positions;         // x, y, z per vertex
  std::vector<std::uint32_t> triangles; // three vertex indices per triangle
  std::vector<std::uint8_t> labels;     // the class of each vertex
  std::vector<float> values;            // the attribute value of each vertex
  std::vector<std::uint32_t> segments;  // the segment of each vertex; empty when not known
  bool simplified = false;
  double cellSize = 0.0; // the clustering grid's cell edge when simplified

  std::size_t vertexCount() const { return labels.size(); }
  std::size_t triangleCount() const { return triangles.size() / 3; }
};

/// Number of triangles of the mesh's facets split into fans.
std::size_t fanTriangleCount(const ColouredMesh& mesh);

/// The mesh with every facet split into a fan from its first corner.
ViewSurface triangulatedSurface(const ColouredMesh& mesh);

/// The mesh itself when its fan triangles and its vertices fit the budget, its
/// grid clustering (coarse enough to fit) otherwise.
ViewSurface viewSurfaceOf(const ColouredMesh& mesh, std::size_t triangleBudget);

} // namespace vornel
