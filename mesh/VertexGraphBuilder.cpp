// The flat views of a mesh for the segmentation stages: the 1-ring adjacency,
// one feature value per vertex, and writing labels back to the vertices.

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/MeshInput.hpp"

#include <limits>
#include <stdexcept>
#include <string>

namespace vornel {

namespace {

/// Calls visit(neighbour index) for the vertex at the other end of every
/// incoming halfedge of vertex, in ring order: h -> opposite(next(h)).
template <class Visit>
void visitRing(const Surface& surface, const Vertex& vertex, const Visit& visit) {
  const auto start = vertex.halfedge();
  if (start == Surface::Halfedge_const_handle()) {
    return;
  }
  auto h = start;
  do {
    visit(vertexIndex(surface, *h->opposite()->vertex()));
    h = h->next()->opposite();
  } while (h != start);
}

/// One walk in vertex order, appending each ring.
void appendRings(const Surface& surface, VertexGraph& graph) {
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
    visitRing(surface, *v,
              [&graph](std::uint32_t neighbour) { graph.neighbours.push_back(neighbour); });
    graph.offsets.push_back(static_cast<std::uint32_t>(graph.neighbours.size()));
  }
}

/// On several threads: the ring sizes in parallel, their prefix sums, then
/// every ring written in parallel to its place; the same arrays as appendRings.
void fillRingsInParallel(const Surface& surface, VertexGraph& graph) {
  const std::size_t count = surface.size_of_vertices();
  const auto vertices = surface.vertices_begin();
  const auto vertexAt = [&vertices](std::size_t i) -> const Vertex& {
    return vertices[static_cast<std::ptrdiff_t>(i)];
  };
  graph.offsets.resize(count + 1);
  std::uint32_t* const offsets = graph.offsets.data();
  offsets[0] = 0;
  forEachBlock(count, [&](std::size_t begin, std::size_t end, std::size_t) {
    for (std::size_t i = begin; i < end; ++i) {
      std::uint32_t degree = 0;
      visitRing(surface, vertexAt(i), [&degree](std::uint32_t) { ++degree; });
      offsets[i + 1] = degree;
    }
  });
  for (std::size_t i = 0; i < count; ++i) {
    offsets[i + 1] += offsets[i];
  }
  graph.neighbours.resize(offsets[count]);
  std::uint32_t* const neighbours = graph.neighbours.data();
  forEachBlock(count, [&](std::size_t begin, std::size_t end, std::size_t) {
    for (std::size_t i = begin; i < end; ++i) {
      std::uint32_t* next = neighbours + offsets[i];
      visitRing(surface, vertexAt(i), [&next](std::uint32_t neighbour) { *next++ = neighbour; });
    }
  });
}

} // namespace

VertexGraph buildVertexGraph(const LabeledMesh& mesh) {
  const Surface& surface = mesh.surface;
  if (surface.size_of_halfedges() >= std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError("the mesh has " + std::to_string(surface.size_of_halfedges()) +
                            " halfedges; at most 4294967294 are supported");
  }
  VertexGraph graph;
  graph.offsets.reserve(surface.size_of_vertices() + 1);
  graph.neighbours.reserve(surface.size_of_halfedges());
  // One walk on one thread; two walks (sizes, then rings) split over several.
  if (severalThreads()) {
    fillRingsInParallel(surface, graph);
  } else {
    appendRings(surface, graph);
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
