#pragma once
// Simplification by vertex clustering: every vertex falls in a cell of a
// regular grid, each occupied cell becomes one vertex, and each triangle whose
// corners lie in three different cells becomes one triangle between them.

#include "app/report/ViewSurface.hpp"

namespace vornel {

/// Clusters the mesh's vertices on a grid of cubic cells with edge cellSize
/// (> 0). A cluster sits at the mean of its vertices, takes their majority
/// class (ties to the lowest label) and the mean of their values. Triangles
/// repeated between the same three clusters are kept once.
ViewSurface clusterOnGrid(const ColouredMesh& mesh, double cellSize);

/// The summed area of the mesh's fan triangles.
double surfaceArea(const ColouredMesh& mesh);

} // namespace vornel
