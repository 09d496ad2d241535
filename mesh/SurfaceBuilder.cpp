// The surface builder. The facets of a checked soup determine the whole
// surface except one thing: at a vertex with several open fans, which fan the
// border leads to after each one. The incremental builder settles that while
// it adds the facets one by one (a new fan goes after the fan of the vertex's
// last facet; joining two fans moves the fans between them ahead of the joined
// one), so for those few vertices that history is replayed on the vertex's
// own corners. Everything else is written straight into the surface's arrays:
// no lookup walks around a vertex, so the time stays linear in the soup.

#include "mesh/SurfaceBuilder.hpp"

#include "mesh/CornerPairing.hpp"
#include "mesh/Errors.hpp"

#include <CGAL/HalfedgeDS_items_decorator.h>

#include <algorithm>
#include <cstdint>
#include <limits>
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

/// For each corner that ends an open fan at a vertex with several open fans,
/// the corner that starts the fan the border leads to next.
using FanSuccession = std::unordered_map<std::uint32_t, std::uint32_t>;

/// Replays how the fans at one vertex are ordered around it as its facets are
/// added in soup order. The fans are kept as a cyclic list of union-find sets
/// of the vertex's corners.
class FanOrderReplay {
public:
  explicit FanOrderReplay(const CornerPairing& pairing) : pairing_(pairing) {}

  void run(std::uint32_t vertex, FanSuccession& succession) {
    collectCorners(vertex);
    for (std::uint32_t i = 0; i < corners_.size(); ++i) {
      add(i);
    }
    recordSuccession(succession);
  }

private:
  void collectCorners(std::uint32_t vertex) {
    corners_.clear();
    for (const std::uint64_t* e = pairing_.cornersAtBegin(vertex); e != pairing_.cornersAtEnd(vertex);
         ++e) {
      corners_.push_back(static_cast<std::uint32_t>(*e));
    }
    std::sort(corners_.begin(), corners_.end()); // the order the facets are added in
    const auto count = corners_.size();
    parent_.resize(count);
    fanNext_.resize(count);
    fanPrevious_.resize(count);
  }

  /// The local index of a corner at this vertex.
  std::uint32_t local(std::uint32_t corner) const {
    return static_cast<std::uint32_t>(std::lower_bound(corners_.begin(), corners_.end(), corner) -
                                      corners_.begin());
  }

  std::uint32_t find(std::uint32_t i) {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }

  void add(std::uint32_t i) {
    parent_[i] = i;
    const std::uint32_t corner = corners_[i];
    // The corner before this one around the vertex shares its incoming edge,
    // the one after it its outgoing edge, when those facets came earlier.
    const std::uint32_t before = pairing_.twin(pairing_.previous(corner));
    const std::uint32_t across = pairing_.twin(corner);
    const bool joinsBefore = before != none && before < corner;
    const bool joinsAfter = across != none && across < corner;
    if (i == 0) {
      fanNext_[i] = fanPrevious_[i] = i;
    } else if (!joinsBefore && !joinsAfter) {
      insertAfter(find(i - 1), i); // after the fan of the vertex's last facet
    } else if (joinsBefore && !joinsAfter) {
      parent_[i] = find(local(before));
    } else if (!joinsBefore) {
      parent_[i] = find(local(pairing_.next(across)));
    } else {
      const std::uint32_t a = find(local(before));
      const std::uint32_t b = find(local(pairing_.next(across)));
      if (a == b) {
        throw InvalidInputError("a vertex closes a fan beside another fan");
      }
      join(a, b);
      parent_[i] = a;
    }
  }

  void insertAfter(std::uint32_t fan, std::uint32_t i) {
    const std::uint32_t after = fanNext_[fan];
    fanNext_[i] = after;
    fanPrevious_[i] = fan;
    fanPrevious_[after] = i;
    fanNext_[fan] = i;
  }

  /// The fans a, p1 .. pk, b, q1 .. qm around the vertex become ab, q1 .. qm, p1 .. pk.
  void join(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t p1 = fanNext_[a];
    const std::uint32_t pk = fanPrevious_[b];
    const std::uint32_t afterB = fanNext_[b];
    fanNext_[a] = afterB;
    fanPrevious_[afterB] = a;
    if (p1 != b) {
      const std::uint32_t beforeA = fanPrevious_[a];
      fanNext_[beforeA] = p1;
      fanPrevious_[p1] = beforeA;
      fanNext_[pk] = a;
      fanPrevious_[a] = pk;
    }
    parent_[b] = a;
  }

  void recordSuccession(FanSuccession& succession) {
    constexpr std::uint32_t unset = std::numeric_limits<std::uint32_t>::max();
    fanStart_.assign(corners_.size(), unset);
    fanEnd_.assign(corners_.size(), unset);
    for (std::uint32_t i = 0; i < corners_.size(); ++i) {
      const std::uint32_t corner = corners_[i];
      if (pairing_.twin(pairing_.previous(corner)) == none) {
        fanStart_[find(i)] = corner;
      }
      if (pairing_.twin(corner) == none) {
        fanEnd_[find(i)] = corner;
      }
    }
    const std::uint32_t first = find(0);
    std::uint32_t fan = first;
    do {
      succession.emplace(fanEnd_[fan], fanStart_[fanNext_[fan]]);
      fan = fanNext_[fan];
    } while (fan != first);
  }

  const CornerPairing& pairing_;
  std::vector<std::uint32_t> corners_;
  std::vector<std::uint32_t> parent_;
  std::vector<std::uint32_t> fanNext_;
  std::vector<std::uint32_t> fanPrevious_;
  std::vector<std::uint32_t> fanStart_;
  std::vector<std::uint32_t> fanEnd_;
};

/// The border order at every vertex with more than one open fan; marks those
/// vertices in `pinched`.
FanSuccession replayPinchedVertices(const CornerPairing& pairing, std::vector<std::uint8_t>& pinched) {
  // Each open fan ends in exactly one corner whose outgoing edge is a border edge.
  pinched.assign(pairing.vertexCount(), 0);
  for (std::uint32_t k = 0; k < pairing.cornerCount(); ++k) {
    if (pairing.twin(k) == none) {
      std::uint8_t& fans = pinched[pairing.vertexOf(k)];
      fans = static_cast<std::uint8_t>(std::min(fans + 1, 2));
    }
  }
  FanSuccession succession;
  FanOrderReplay replay(pairing);
  for (std::uint32_t v = 0; v < pinched.size(); ++v) {
    pinched[v] = pinched[v] > 1 ? 1 : 0;
    if (pinched[v]) {
      replay.run(v, succession);
    }
  }
  return succession;
}

std::uint32_t previousInFacet(const PolygonSoup& soup, std::uint32_t corner) {
  const auto after = std::upper_bound(soup.facetOffsets.begin(), soup.facetOffsets.end(), corner);
  const std::uint32_t begin = *(after - 1);
  return corner == begin ? *after - 1 : corner - 1;
}

class SurfaceWriter {
public:
  SurfaceWriter(PolygonSoup& soup, HalfedgeDS& hds) : soup_(soup), hds_(hds) {}

  /// Fills the surface; twins[k] (the twin corner of k, or none) is turned
  /// into the halfedge index of corner k's outgoing edge.
  void write(std::vector<std::uint32_t>& twins, std::size_t edgeCount) {
    hds_.reserve(soup_.points.size(), 2 * edgeCount, soup_.facetCount());
    for (const Point3& point : soup_.points) {
      records.set_vertex_halfedge(hds_.vertices_push_back(Vertex(point)), HalfedgeHandle());
    }
    soup_.points = {};
    for (std::size_t f = 0; f < soup_.facetCount(); ++f) {
      hds_.faces_push_back(Facet());
    }
    for (std::size_t e = 0; e < edgeCount; ++e) {
      hds_.edges_push_back(Halfedge(), Halfedge());
    }
    vertices_ = hds_.vertices_begin();
    halfedges_ = hds_.halfedges_begin();
    faces_ = hds_.faces_begin();
    std::uint32_t nextEdge = 0;
    for (std::size_t f = 0; f < soup_.facetCount(); ++f) {
      writeFacet(f, twins, nextEdge);
    }
  }

  /// Links every border halfedge to the border halfedge that leaves its vertex
  /// next: at a vertex with one open fan the one that starts it.
  void linkBorder(const FanSuccession& succession, const std::vector<std::uint32_t>& halfedgeOf,
                  const std::vector<std::uint8_t>& pinched) {
    for (const auto& [end, start] : succession) {
      link(halfedges_ + (halfedgeOf[end] ^ 1u),
           halfedges_ + (halfedgeOf[previousInFacet(soup_, start)] ^ 1u));
    }
    for (HalfedgeHandle h = hds_.halfedges_begin(); h != hds_.halfedges_end(); ++h) {
      if (h->is_border() && !pinched[static_cast<std::size_t>(h->vertex() - vertices_)]) {
        link(h, fanStartBorder(h));
      }
    }
  }

private:
  void writeFacet(std::size_t f, std::vector<std::uint32_t>& twins, std::uint32_t& nextEdge) {
    const std::uint32_t begin = soup_.facetOffsets[f];
    const std::uint32_t end = soup_.facetOffsets[f + 1];
    facet_.clear();
    for (std::uint32_t k = begin; k < end; ++k) {
      const std::uint32_t twin = twins[k];
      std::uint32_t h = 0;
      if (twin == none || twin > k) {
        h = 2 * nextEdge++;
        const HalfedgeHandle opposite = halfedges_ + (h + 1);
        records.set_vertex(opposite, vertices_ + soup_.corners[k]);
        records.set_face(opposite, FaceHandle());
      } else {
        h = twins[twin] ^ 1u; // the twin's entry already holds its halfedge
      }
      twins[k] = h;
      facet_.push_back(h);
    }
    const FaceHandle face = faces_ + static_cast<std::ptrdiff_t>(f);
    const std::size_t n = facet_.size();
    for (std::size_t i = 0; i < n; ++i) {
      const HalfedgeHandle h = halfedges_ + facet_[i];
      const VertexHandle target = vertices_ + soup_.corners[begin + (i + 1) % n];
      records.set_vertex(h, target);
      records.set_face(h, face);
      h->HalfedgeBase::set_next(halfedges_ + facet_[(i + 1) % n]);
      records.set_prev(h, halfedges_ + facet_[(i + n - 1) % n]);
      records.set_vertex_halfedge(target, h); // the vertex keeps the halfedge of its last facet
    }
    records.set_face_halfedge(face, halfedges_ + facet_[n - 1]);
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
  HalfedgeDS& hds_;
  HalfedgeDS::Vertex_handle vertices_;
  HalfedgeHandle halfedges_;
  FaceHandle faces_;
  std::vector<std::uint32_t> facet_;
};

} // namespace

void buildValidatedSurface(PolygonSoup&& input, LabeledMesh& mesh) {
  PolygonSoup soup = std::move(input);
  if (soup.corners.size() >= std::numeric_limits<std::uint32_t>::max() / 2 ||
      soup.points.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError("the mesh has " + std::to_string(soup.corners.size()) +
                            " facet corners; at most 2147483646 are supported");
  }
  soup.facetLines = {};
  mesh.surface.clear();
  std::vector<std::uint8_t> pinched;
  FanSuccession succession;
  std::vector<std::uint32_t> twins;
  {
    CornerPairing pairing(soup, soup.facetCount());
    if (pairing.firstRepeatedEdge() != none) {
      throw InvalidInputError("a directed edge belongs to two facets");
    }
    succession = replayPinchedVertices(pairing, pinched);
    twins = pairing.takeTwins();
  }
  std::size_t edgeCount = 0;
  for (std::uint32_t k = 0; k < twins.size(); ++k) {
    edgeCount += (twins[k] == none || twins[k] > k) ? 1 : 0;
  }
  SurfaceWriter writer(soup, mesh.surface.hds());
  writer.write(twins, edgeCount);
  writer.linkBorder(succession, twins, pinched);
}

} // namespace vornel
