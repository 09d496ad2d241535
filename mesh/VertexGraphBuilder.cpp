// The flat views of a mesh for the segmentation stages: the 1-ring adjacency,
// one feature value per vertex, and writing labels back to the vertices.

#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace vornel {

VertexGraph buildVertexGraph(const LabeledMesh& mesh) {
  const Surface& surface = mesh.surface;
  if (surface.size_of_halfedges() >= std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError("the mesh has " + std::to_string(surface.size_of_halfedges()) +
                            " halfedges; at most 4294967294 are supported");
  }
  VertexGraph graph;
  graph.offsets.reserve(surface.size_of_vertices() + 1);
  graph.neighbours.reserve(surface.size_of_halfedges());
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    const auto start = v->halfedge();
    if (start != Surface::Halfedge_const_handle()) {
      // Incoming halfedges in ring order: h -> opposite(next(h)).
      auto h = start;
      do {
        graph.neighbours.push_back(vertexIndex(surface, *h->opposite()->vertex()));
        h = h->next()->opposite();
      } while (h != start);
    }
    graph.offsets.push_back(static_cast<std::uint32_t>(graph.neighbours.size()));
  }
  return graph;
}

std::vector<double> vertexFeature(const LabeledMesh& mesh, int selector) {
  if (selector != 0 && selector != 1) {
    throw std::invalid_argument("feature selector " + std::to_string(selector) +
                                " is neither 0 (attribute) nor 1 (second value)");
  }
  std::vector<double> feature;
  feature.reserve(mesh.vertexCount());
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v) {
    feature.push_back(selector == 0 ? v->attribute : v->secondValue);
  }
  return feature;
}

void storeLabels(LabeledMesh& mesh, const std::vector<std::int32_t>& labels) {
  if (labels.size() != mesh.vertexCount()) {
    throw std::invalid_argument(std::to_string(labels.size()) + " labels for a mesh of " +
                                std::to_string(mesh.vertexCount()) + " vertices");
  }
  auto label = labels.begin();
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++label) {
    v->label = *label;
  }
}

} // namespace vornel
