// The ring check after building: each vertex's ring is walked once, bounded by
// the halfedge count, and the ring lengths must add up to that count.

#include "mesh/build/SurfaceCheck.hpp"

#include "core/Errors.hpp"

#include <cstddef>
#include <string>
#include <unordered_map>

namespace vornel {
namespace {

using VertexHandle = Surface::Vertex_const_handle;

/// The halfedges on the vertex's ring, or limit + 1 when the walk has not come
/// back to its start after limit steps.
std::size_t ringLength(const VertexHandle& vertex, std::size_t limit) {
  const auto start = vertex->halfedge();
  if (start == Surface::Halfedge_const_handle()) {
    return 0;
  }
  std::size_t length = 0;
  auto h = start;
  do {
    if (++length > limit) {
      return length;
    }
    h = h->next()->opposite();
  } while (h != start);
  return length;
}

[[noreturn]] void rejectVertex(const VertexHandle& vertex, std::size_t position,
                               const std::string& sourceName) {
  const Point3& p = vertex->point();
  throw NonManifoldError(sourceName + ": vertex " + std::to_string(position) + " (" +
                         std::to_string(p.x()) + " " + std::to_string(p.y()) + " " +
                         std::to_string(p.z()) +
                         ") is non-manifold: its facets form more than one fan");
}

/// Only reached when the rings miss some halfedges: the first vertex, in
/// vertex order, with more incoming halfedges than its ring holds.
[[noreturn]] void rejectShortRing(const Surface& surface, const std::string& sourceName) {
  std::unordered_map<const void*, std::size_t> incoming;
  for (auto h = surface.halfedges_begin(); h != surface.halfedges_end(); ++h) {
    ++incoming[&*h->vertex()];
  }
  std::size_t position = 1;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v, ++position) {
    if (ringLength(v, surface.size_of_halfedges()) != incoming[&*v]) {
      rejectVertex(v, position, sourceName);
    }
  }
  throw InvalidInputError(sourceName + ": the surface has halfedges on no vertex ring");
}

} // namespace

void checkVertexRings(const Surface& surface, const std::string& sourceName) {
  const std::size_t halfedges = surface.size_of_halfedges();
  std::size_t onRings = 0;
  std::size_t position = 1;
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v, ++position) {
    const std::size_t length = ringLength(v, halfedges - onRings);
    if (length > halfedges - onRings) {
      rejectVertex(v, position, sourceName);
    }
    onRings += length;
  }
  if (onRings != halfedges) {
    rejectShortRing(surface, sourceName);
  }
}

} // namespace vornel
