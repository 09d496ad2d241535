#pragma once
// The corners of a polygon soup grouped by vertex, with each corner's outgoing
// edge paired with the edge that runs the other way. Corner k sits at vertex
// corners[k]; its outgoing edge runs to the next corner of its facet. Both the
// validation of a soup and the surface builder work from this pairing.

#include "core/ScratchVector.hpp"
#include "mesh/PolygonSoup.hpp"

#include <cstddef>
#include <cstdint>
#include <limits>

namespace vornel {

class CornerPairing {
public:
  static constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();

  /// Pairs the corners of the facets before facetEnd; the others are left out.
  /// The soup's corners must be in range and every facet must have at least
  /// two corners.
  CornerPairing(const PolygonSoup& soup, std::size_t facetEnd);

  std::size_t cornerCount() const { return cornerCount_; }
  std::uint32_t vertexOf(std::uint32_t corner) const { return (*corners_)[corner]; }
  /// The next and the previous corner of the corner's facet.
  std::uint32_t next(std::uint32_t corner) const {
    return triangles_ ? (corner % 3 == 2 ? corner - 2 : corner + 1) : next_[corner];
  }
  std::uint32_t previous(std::uint32_t corner) const {
    return triangles_ ? (corner % 3 == 0 ? corner + 2 : corner - 1) : previous_[corner];
  }
  /// The corner whose edge runs from this corner's next vertex back to its
  /// vertex, or none (a border edge). With repeated edges, the earliest.
  std::uint32_t twin(std::uint32_t corner) const { return twins_[corner]; }

  /// The corners at vertex v, sorted by the vertex their edge runs to, then by
  /// corner; each entry holds (target vertex << 32 | corner).
  const std::uint64_t* cornersAtBegin(std::uint32_t v) const {
    return grouped_.data() + offsets_[v];
  }
  const std::uint64_t* cornersAtEnd(std::uint32_t v) const {
    return grouped_.data() + offsets_[v + 1];
  }
  std::size_t vertexCount() const { return offsets_.size() - 1; }

  /// The first corner, in corner order, whose edge repeats the edge of an
  /// earlier corner in the same direction; none when no edge repeats.
  std::uint32_t firstRepeatedEdge() const { return firstRepeatedEdge_; }

  /// Takes the twin array, leaving the pairing without it.
  ScratchVector<std::uint32_t> takeTwins() { return std::move(twins_); }

private:
  void linkFacetCorners(const PolygonSoup& soup, std::size_t facetEnd);
  void groupByVertex(std::size_t pointCount);
  void pairEdges();
  /// Pairs the edges whose smaller end is a vertex in [first, last); returns
  /// the first repeated edge among them, or none.
  std::uint32_t pairVertices(std::uint32_t first, std::uint32_t last);
  /// Pairs the corners of one vertex's run of entries towards target with
  /// the target's corners whose edge runs back.
  void pairRuns(const std::uint64_t* run, const std::uint64_t* runEnd, std::uint32_t target,
                std::uint32_t v);

  const std::vector<std::uint32_t>* corners_;
  std::size_t cornerCount_ = 0;
  bool triangles_ = false; // every facet a triangle: next and previous by arithmetic
  ScratchVector<std::uint32_t> next_;
  ScratchVector<std::uint32_t> previous_;
  ScratchVector<std::uint32_t> twins_;
  std::vector<std::uint32_t> offsets_;
  ScratchVector<std::uint64_t> grouped_;
  std::uint32_t firstRepeatedEdge_ = none;
};

} // namespace vornel
