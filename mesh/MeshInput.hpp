#pragma once
// Reading a mesh file into an empty LabeledMesh, and the flat views of it that
// the segmentation stages work on.

#include "mesh/LabeledMesh.hpp"
#include "mesh/VertexGraph.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// Reads a Wavefront OBJ file (vertex and facet lines) into an empty mesh.
/// Throws IOError when the file cannot be read and InvalidInputError, naming the
/// line, for a facet that cannot be built.
void readObjFile(const std::string& path, LabeledMesh& mesh);

/// Reads an OFF file into an empty mesh; vertices that no facet uses are dropped.
/// Throws IOError or InvalidInputError.
void readOffFile(const std::string& path, LabeledMesh& mesh);

/// Chooses the reader from the path: a ".ply" ending in any letter case selects
/// the PLY reader, last three characters "obj" in any letter case the OBJ
/// reader, everything else the OFF input.
void readMeshFile(const std::string& path, LabeledMesh& mesh);

/// The 1-ring adjacency of every vertex, in vertex order.
VertexGraph buildVertexGraph(const LabeledMesh& mesh);

/// One value per vertex in vertex order: selector 0 takes the attribute,
/// selector 1 the second value.
std::vector<double> vertexFeature(const LabeledMesh& mesh, int selector);

/// Writes labels[k] into the k-th vertex's label.
void storeLabels(LabeledMesh& mesh, const std::vector<std::int32_t>& labels);

} // namespace vornel
