#include "app/report/ViewSurface.hpp"

#include "app/report/GridClustering.hpp"

#include <algorithm>
#include <cmath>

namespace vornel {

namespace {

/// An attempt that still gives too many triangles coarsens the grid by at
/// least this, and aims `margin` below the budget.
constexpr double coarsening = 1.05;
constexpr double margin = 1.05;
constexpr double cellsPerArea = 1.3;
constexpr int maxAttempts = 20;

/// The longest side of the positions' bounding box.
double boundingBoxSize(const ColouredMesh& mesh) {
  if (mesh.positions.empty())
    return 0.0;
  double low[3] = {mesh.positions[0].x(), mesh.positions[0].y(), mesh.positions[0].z()};
  double high[3] = {low[0], low[1], low[2]};
  for (const Point3& p : mesh.positions)
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], static_cast<double>(p[axis]));
      high[axis] = std::max(high[axis], static_cast<double>(p[axis]));
    }
  return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
}

} // namespace

std::size_t fanTriangleCount(const ColouredMesh& mesh) {
  std::size_t count = 0;
  for (std::size_t f = 0; f < mesh.facetCount(); ++f)
    count += mesh.facetOffsets[f + 1] - mesh.facetOffsets[f] - 2;
  return count;
}

ViewSurface triangulatedSurface(const ColouredMesh& mesh) {
  ViewSurface surface;
  surface.positions.reserve(mesh.positions.size() * 3);
  for (const Point3& p : mesh.positions)
    surface.positions.insert(surface.positions.end(), {p.x(), p.y(), p.z()});
  surface.labels.reserve(mesh.labels.size());
  for (const std::int32_t label : mesh.labels)
    surface.labels.push_back(static_cast<std::uint8_t>(label));
  surface.values = mesh.values;
  surface.segments.assign(mesh.segments.begin(), mesh.segments.end());
  surface.triangles.reserve(fanTriangleCount(mesh) * 3);
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const std::uint32_t first = mesh.facetOffsets[f];
    for (std::uint32_t k = first + 1; k + 1 < mesh.facetOffsets[f + 1]; ++k)
      surface.triangles.insert(surface.triangles.end(),
                               {mesh.corners[first], mesh.corners[k], mesh.corners[k + 1]});
  }
  return surface;
}

ViewSurface viewSurfaceOf(const ColouredMesh& mesh, std::size_t triangleBudget) {
  // How far a surface is over the budget: its triangles, and its vertices
  // (which a closed surface has about half as many of as triangles).
  const auto excess = [triangleBudget](std::size_t triangles, std::size_t vertices) {
    return static_cast<double>(std::max(triangles, vertices)) /
           static_cast<double>(std::max<std::size_t>(triangleBudget, 1));
  };
  if (excess(fanTriangleCount(mesh), mesh.positions.size()) <= 1.0)
    return triangulatedSurface(mesh);
  // A closed triangulated surface has about twice as many triangles as
  // vertices, and a curved surface of area A meets about 1.3 A / h^2 cells of
  // edge h: the first try aims at budget / 2 occupied cells.
  const double targetCells = std::max(1.0, static_cast<double>(triangleBudget) / 2.0 / margin);
  const double size = boundingBoxSize(mesh);
  double cellSize = std::sqrt(cellsPerArea * surfaceArea(mesh) / targetCells);
  if (!(cellSize > 0.0))
    cellSize = size > 0.0 ? size / 2.0 : 1.0;
  ViewSurface surface = clusterOnGrid(mesh, cellSize);
  // The counts fall about as the square of the cell size grows.
  for (int attempt = 1; attempt < maxAttempts; ++attempt) {
    const double over = excess(surface.triangleCount(), surface.vertexCount());
    if (over <= 1.0)
      break;
    cellSize *= std::max(std::sqrt(over) * margin, coarsening);
    surface = clusterOnGrid(mesh, cellSize);
  }
  return surface;
}

} // namespace vornel
