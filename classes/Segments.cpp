#include "classes/Segments.hpp"

#include "core/Errors.hpp"

#include <string>

namespace vornel {

namespace {

/// The root of x's tree; halves the path on the way.
std::uint32_t rootOf(std::vector<std::uint32_t>& parent, std::uint32_t x) {
  while (parent[x] != x) {
    parent[x] = parent[parent[x]];
    x = parent[x];
  }
  return x;
}

} // namespace

Segments connectedSegments(const VertexGraph& graph, const std::vector<std::int32_t>& labels) {
  const std::size_t vertexCount = graph.vertexCount();
  if (labels.size() != vertexCount)
    throw InvalidInputError("the label array holds " + std::to_string(labels.size()) +
                            " labels; the mesh has " + std::to_string(vertexCount) + " vertices");
  // Union-find in one scan of the edges, each tree rooted at its lowest
  // vertex: a segment's root is its first vertex, and it comes before every
  // other vertex of the segment, which reads its id from it.
  std::vector<std::uint32_t> parent(vertexCount);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    parent[v] = static_cast<std::uint32_t>(v);
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      if (n >= v || labels[n] != labels[v])
        continue;
      const std::uint32_t a = rootOf(parent, static_cast<std::uint32_t>(v));
      const std::uint32_t b = rootOf(parent, n);
      if (a < b)
        parent[b] = a;
      else if (b < a)
        parent[a] = b;
    }
  }
  Segments segments;
  segments.ids.resize(vertexCount);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const std::uint32_t root = rootOf(parent, static_cast<std::uint32_t>(v));
    if (root == v) {
      segments.ids[v] = static_cast<std::int32_t>(segments.sizes.size());
      segments.sizes.push_back(0);
      segments.labels.push_back(labels[v]);
    } else {
      segments.ids[v] = segments.ids[root];
    }
    ++segments.sizes[static_cast<std::size_t>(segments.ids[v])];
  }
  return segments;
}

} // namespace vornel
