// The surface builder. The facets of a checked soup determine the whole
// surface except one thing: at a vertex with several open fans, which fan the
// border leads to after each one; the soup's topology (SoupTopology.hpp)
// tells that. Everything is written straight into the surface's arrays: no
// lookup walks around a vertex, so the time stays linear in the soup.

#include "mesh/build/SurfaceBuilder.hpp"

#include "core/Errors.hpp"
#include "core/PrefaultPages.hpp"
#include "mesh/build/CornerPairing.hpp"
#include "mesh/build/SoupTopology.hpp"

#include <CGAL/HalfedgeDS_items_decorator.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace vornel {
namespace {

constexpr std::uint32_t none = CornerPairing::none;

using HalfedgeHandle = HalfedgeDS::Halfedge_handle;
using FaceHandle = HalfedgeDS::Face_handle;
using VertexHandle = HalfedgeDS::Vertex_handle;
using HalfedgeBase = HalfedgeDS::Halfedge::Base;
// The surface's records hide their setters; the decorator reaches them.
const CGAL::HalfedgeDS_items_decorator<HalfedgeDS> records;

std::uint32_t previousInFacet(const PolygonSoup& soup, std::uint32_t corner) {
  const auto after = std::upper_bound(soup.facetOffsets.begin(), soup.facetOffsets.end(), corner);
  const std::uint32_t begin = *(after - 1);
  return corner == begin ? *after - 1 : corner - 1;
}

/// Gives the memory of an array's consumed prefix back to the system, a few
/// megabytes at a time, so that the arrays a pass streams through shrink while
/// the surface it writes grows. Only whole pages inside the array are given
/// back, and the pass never reads them again.
class PrefixRelease {
public:
  PrefixRelease(const void* begin, std::size_t bytes)
      : released_(reinterpret_cast<std::uintptr_t>(begin)), end_(released_ + bytes) {
    released_ = roundUp(released_);
  }

  /// Everything before `consumed` is no longer needed.
  void consumedUpTo(const void* consumed) {
    const std::uintptr_t limit = reinterpret_cast<std::uintptr_t>(consumed) & ~(pageBytes - 1);
    if (limit >= released_ + stepBytes && limit <= end_) {
      ::madvise(reinterpret_cast<void*>(released_), limit - released_, MADV_DONTNEED);
      released_ = limit;
    }
  }

private:
  static constexpr std::uintptr_t pageBytes = 4096;
  static constexpr std::uintptr_t stepBytes = std::uintptr_t{4} << 20;
  static std::uintptr_t roundUp(std::uintptr_t address) {
    return (address + pageBytes - 1) & ~(pageBytes - 1);
  }
  std::uintptr_t released_;
  std::uintptr_t end_;
};

/// Faults in a store of records ahead of the pass that appends to it, a chunk
/// at a time (core/PrefaultPages.hpp's populatePages): the system clears the
/// fresh pages on every core, and no more than a chunk is resident ahead of the pass, so
/// that the memory the pass gives back keeps the peak where it was.
template <class Record> class AheadFault {
public:
  explicit AheadFault(std::size_t capacity) : capacity_(capacity) {}

  /// `used` records, starting at `first`, are written; the pass goes on past them.
  void reach(Record& first, std::size_t used) {
    if (used + chunkRecords / 2 < faulted_ || faulted_ == capacity_) {
      return;
    }
    const std::size_t end = std::min(capacity_, std::max(faulted_, used) + chunkRecords);
    populatePages(&first + faulted_, (end - faulted_) * sizeof(Record));
    faulted_ = end;
  }

private:
  static constexpr std::size_t chunkRecords = (std::size_t{8} << 20) / sizeof(Record);
  const std::size_t capacity_;
  std::size_t faulted_ = 0;
};

/// Writes the surface in three passes. First every corner's outgoing edge gets
/// its halfedge number (a new pair where the edge first appears, else the
/// twin's opposite), in place of the twin array. Then the facets are written
/// in order, each pair of halfedges appended as it is first used, while the
/// corner and halfedge-number arrays, read front to back, are given back: the
/// peak memory stays near that of the finished surface. Last the border
/// halfedges are linked around their vertices.
class SurfaceWriter {
public:
  SurfaceWriter(PolygonSoup& soup, SoupTopology& topology, HalfedgeDS& hds)
      : soup_(soup), topology_(topology), hds_(hds) {}

  void write() {
    const std::size_t edgeCount = numberHalfedges();
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> pinchedLinks = pinchedBorderLinks();
    hds_.reserve(soup_.points.size(), 2 * edgeCount, soup_.facetCount());
    AheadFault<Vertex> vertexFault(soup_.points.size());
    for (const Point3& point : soup_.points) {
      const VertexHandle vertex = hds_.vertices_push_back(Vertex(point));
      records.set_vertex_halfedge(vertex, HalfedgeHandle());
      vertexFault.reach(*hds_.vertices_begin(), hds_.size_of_vertices());
    }
    soup_.points = {};
    vertices_ = hds_.vertices_begin();
    writeFacets();
    soup_.corners = {};
    soup_.facetOffsets = {0};
    topology_.twins = {};
    linkBorder(pinchedLinks);
  }

private:
  /// Turns each twin entry into the corner's halfedge number; returns the
  /// number of edges.
  std::size_t numberHalfedges() {
    ScratchVector<std::uint32_t>& slots = topology_.twins;
    std::uint32_t edges = 0;
    for (std::uint32_t k = 0; k < slots.size(); ++k) {
      const std::uint32_t twin = slots[k];
      // A twin earlier than k already holds its own halfedge number.
      slots[k] = (twin == none || twin > k) ? 2 * edges++ : slots[twin] ^ 1u;
      borderEdges_ += twin == none ? 1 : 0;
    }
    return edges;
  }

  /// The border links at vertices with several open fans, as halfedge numbers:
  /// the halfedge entering the vertex at the end of a fan, and the one leaving
  /// it at the start of the next fan.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pinchedBorderLinks() const {
    const ScratchVector<std::uint32_t>& halfedgeOf = topology_.twins;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> links;
    for (const auto& [end, start] : topology_.nextFanStart) {
      links.emplace_back(halfedgeOf[end] ^ 1u, halfedgeOf[previousInFacet(soup_, start)] ^ 1u);
    }
    return links;
  }

  void writeFacets() {
    const std::uint32_t* const corners = soup_.corners.data();
    const std::uint32_t* const halfedgeOf = topology_.twins.data();
    PrefixRelease cornerRelease(corners, soup_.corners.size() * sizeof(std::uint32_t));
    PrefixRelease numberRelease(halfedgeOf, topology_.twins.size() * sizeof(std::uint32_t));
    AheadFault<Facet> facetFault(soup_.facetCount());
    AheadFault<Halfedge> halfedgeFault(hds_.capacity_of_halfedges());
    for (std::size_t f = 0; f < soup_.facetCount(); ++f) {
      const std::uint32_t begin = soup_.facetOffsets[f];
      const std::uint32_t end = soup_.facetOffsets[f + 1];
      writeFacet(begin, end, hds_.faces_push_back(Facet()));
      facetFault.reach(*hds_.faces_begin(), hds_.size_of_faces());
      halfedgeFault.reach(*hds_.halfedges_begin(), hds_.size_of_halfedges());
      cornerRelease.consumedUpTo(corners + begin);
      numberRelease.consumedUpTo(halfedgeOf + begin);
    }
  }

  void writeFacet(std::uint32_t begin, std::uint32_t end, FaceHandle face) {
    const std::uint32_t* const corners = soup_.corners.data();
    const std::uint32_t* const halfedgeOf = topology_.twins.data();
    const HalfedgeHandle first = hds_.halfedges_begin();
    for (std::uint32_t k = begin; k < end; ++k) {
      if (halfedgeOf[k] == hds_.size_of_halfedges()) { // the edge's first use: a new pair
        const HalfedgeHandle pair = hds_.edges_push_back(Halfedge(), Halfedge());
        records.set_vertex(pair->opposite(), vertices_ + corners[k]);
        records.set_face(pair->opposite(), FaceHandle());
      }
    }
    for (std::uint32_t k = begin; k < end; ++k) {
      const std::uint32_t next = k + 1 == end ? begin : k + 1;
      const std::uint32_t previous = k == begin ? end - 1 : k - 1;
      const HalfedgeHandle h = first + halfedgeOf[k];
      const VertexHandle target = vertices_ + corners[next];
      records.set_vertex(h, target);
      records.set_face(h, face);
      h->HalfedgeBase::set_next(first + halfedgeOf[next]);
      records.set_prev(h, first + halfedgeOf[previous]);
      records.set_vertex_halfedge(target, h); // the vertex keeps the halfedge of its last facet
    }
    records.set_face_halfedge(face, first + halfedgeOf[end - 1]);
  }

  /// Links every border halfedge to the border halfedge that leaves its vertex
  /// next: at a vertex with one open fan the one that starts it.
  void linkBorder(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pinchedLinks) {
    if (borderEdges_ == 0) {
      return; // a closed surface: no need to scan every halfedge for the border
    }
    const HalfedgeHandle first = hds_.halfedges_begin();
    for (const auto& [entering, leaving] : pinchedLinks) {
      link(first + entering, first + leaving);
    }
    const std::vector<std::uint32_t>& pinched = topology_.pinchedVertices;
    for (HalfedgeHandle h = hds_.halfedges_begin(); h != hds_.halfedges_end(); ++h) {
      if (h->is_border() &&
          (pinched.empty() ||
           !std::binary_search(pinched.begin(), pinched.end(),
                               static_cast<std::uint32_t>(h->vertex() - vertices_)))) {
        link(h, fanStartBorder(h));
      }
    }
  }

  /// The border halfedge leaving the vertex that `border` enters, at the start
  /// of the vertex's only open fan: walked back across the fan's facets.
  static HalfedgeHandle fanStartBorder(HalfedgeHandle border) {
    HalfedgeHandle entering = border->opposite()->prev();
    while (!entering->opposite()->is_border()) {
      entering = entering->opposite()->prev();
    }
    return entering->opposite();
  }

  static void link(HalfedgeHandle from, HalfedgeHandle to) {
    from->HalfedgeBase::set_next(to);
    records.set_prev(to, from);
  }

  PolygonSoup& soup_;
  SoupTopology& topology_;
  HalfedgeDS& hds_;
  VertexHandle vertices_;
  std::size_t borderEdges_ = 0;
};

} // namespace

void checkIndexable(const PolygonSoup& soup) {
  if (soup.corners.size() >= std::numeric_limits<std::uint32_t>::max() / 2 ||
      soup.points.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError("the mesh has " + std::to_string(soup.points.size()) +
                            " vertices and " + std::to_string(soup.corners.size()) +
                            " facet corners; at most 4294967294 vertices and 2147483646 corners "
                            "are supported");
  }
}

void buildValidatedSurface(PolygonSoup&& input, SoupTopology&& topology, LabeledMesh& mesh) {
  PolygonSoup soup = std::move(input);
  SoupTopology owned = std::move(topology);
  if (owned.twins.size() != soup.corners.size()) {
    throw std::logic_error("the topology does not belong to the soup");
  }
  soup.facetLines = {};
  mesh.surface.clear();
  SurfaceWriter(soup, owned, mesh.surface.hds()).write();
}

void buildValidatedSurface(PolygonSoup&& soup, LabeledMesh& mesh) {
  checkIndexable(soup);
  CornerPairing pairing(soup, soup.facetCount());
  if (pairing.firstRepeatedEdge() != none) {
    throw InvalidInputError("a directed edge belongs to two facets");
  }
  SoupTopology topology = topologyOf(pairing);
  buildValidatedSurface(std::move(soup), std::move(topology), mesh);
}

} // namespace vornel
