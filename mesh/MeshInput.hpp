#pragma once
// The flat views of a mesh that the segmentation stages work on.

#include "core/VertexGraph.hpp"
#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// The 1-ring adjacency of every vertex, in vertex order.
VertexGraph buildVertexGraph(const LabeledMesh& mesh);

/// One value per vertex in vertex order: selector 0 takes the attribute,
/// selector 1 the second value.
std::vector<double> vertexFeature(const LabeledMesh& mesh, int selector);

/// Writes labels[k] into the k-th vertex's label.
void storeLabels(LabeledMesh& mesh, const std::vector<std::int32_t>& labels);

} // namespace vornel
