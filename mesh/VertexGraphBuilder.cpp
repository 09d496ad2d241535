// The flat views of a mesh for the segmentation stages: the 1-ring adjacency,
// one feature value per vertex, and writing labels back to the vertices.

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "core/PrefaultPages.hpp"
#include "mesh/MeshInput.hpp"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace vornel {

namespace {

/// Room for this many neighbours per vertex is taken ahead: most vertices of
/// a triangle mesh have six.
constexpr std::size_t typicalDegree = 7;

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

/// Blocks of vertices walked at once: their buffers are all that the
/// parallel walk holds beyond the rings themselves (a few MiB).
constexpr std::size_t blocksPerRound = 64;

/// Walks the rings of vertices [first, last) in parallel, each block once into
/// a buffer of its own, and appends the buffers in block order; the ring
/// sizes go to offsets[v + 1].
void appendRingsInParallel(const Surface& surface, std::size_t first, std::size_t last,
                           VertexGraph& graph) {
  const auto vertices = surface.vertices_begin();
  std::uint32_t* const offsets = graph.offsets.data();
  std::vector<std::vector<std::uint32_t>> blockRings(blockCount(last - first));
  forEachBlock(last - first, [&](std::size_t begin, std::size_t end, std::size_t block) {
    std::vector<std::uint32_t>& rings = blockRings[block];
    rings.reserve(typicalDegree * (end - begin));
    for (std::size_t i = first + begin; i < first + end; ++i) {
      const std::size_t before = rings.size();
      visitRing(surface, vertices[static_cast<std::ptrdiff_t>(i)],
                [&rings](std::uint32_t neighbour) { rings.push_back(neighbour); });
      offsets[i + 1] = static_cast<std::uint32_t>(rings.size() - before);
    }
  });
  for (const std::vector<std::uint32_t>& rings : blockRings)
    graph.neighbours.insert(graph.neighbours.end(), rings.begin(), rings.end());
}

/// On several threads: the rings walked once, a round of blocks at a time (a
/// walk for the ring sizes and a second one writing the rings in place
/// walked the halfedges twice, and was slower on two threads than one walk on
/// one); the same arrays as appendRings.
void fillRingsInParallel(const Surface& surface, VertexGraph& graph) {
  const std::size_t count = surface.size_of_vertices();
  graph.offsets.resize(count + 1);
  const std::size_t roundSize = blocksPerRound * parallelBlockSize;
  for (std::size_t first = 0; first < count; first += roundSize)
    appendRingsInParallel(surface, first, std::min(count, first + roundSize), graph);
  for (std::size_t i = 0; i < count; ++i)
    graph.offsets[i + 1] += graph.offsets[i];
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
  // On several threads the rings are appended in a sequential pass: map the
  // fresh pages in ahead on every thread rather than fault by fault there.
  prefaultPages(graph.neighbours.data(), graph.neighbours.capacity() * sizeof(std::uint32_t));
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
