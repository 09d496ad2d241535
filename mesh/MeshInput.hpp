#pragma once
// Reading a mesh file into an empty LabeledMesh, and the flat views of it that
// the segmentation stages work on.

#include "mesh/LabeledMesh.hpp"
#include "core/VertexGraph.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// Reads the mesh file at path into an empty mesh through the one reading path
/// (mesh/io/MeshReading.hpp) and builds its surface; the format is chosen by
/// the path (meshFormatOf). Throws IOError when the file cannot be read and
/// InvalidInputError naming the file and the line or facet at fault.
void readMeshFile(const std::string& path, LabeledMesh& mesh);

/// The 1-ring adjacency of every vertex, in vertex order.
VertexGraph buildVertexGraph(const LabeledMesh& mesh);

/// One value per vertex in vertex order: selector 0 takes the attribute,
/// selector 1 the second value.
std::vector<double> vertexFeature(const LabeledMesh& mesh, int selector);

/// Writes labels[k] into the k-th vertex's label.
void storeLabels(LabeledMesh& mesh, const std::vector<std::int32_t>& labels);

} // namespace vornel
