// The soup check, in the order the surface takes the facets: the first facet
// with malformed corners ends the facets that can be taken at all; among the
// facets before it, the first one that repeats a directed edge ends them
// again; and among those, a vertex may still close a fan of facets beside
// another fan, which no halfedge surface can hold. The earliest of these is
// the problem reported.

#include "mesh/build/SoupValidation.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "core/ScratchVector.hpp"
#include "mesh/build/CornerPairing.hpp"
#include "mesh/build/SurfaceBuilder.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace vornel {
namespace {

constexpr std::size_t none = std::numeric_limits<std::size_t>::max();

// Facets up to this many corners are checked for a repeated vertex pairwise;
// longer ones against a table stamped per facet, so that a polygon with
// hundreds of thousands of corners costs linear time.
constexpr std::uint32_t pairwiseCornerLimit = 8;

std::string vertexNumbering(const PolygonSoup& soup) {
  return soup.firstVertexNumber == 0 ? " (vertices numbered from 0)" : "";
}

class MalformedFacetSearch {
public:
  explicit MalformedFacetSearch(const PolygonSoup& soup) : soup_(soup) {}

  /// The first facet with fewer than three corners, a corner outside the
  /// vertices or a vertex twice.
  std::optional<SoupProblem> run() {
    for (std::size_t f = firstSuspect(); f < soup_.facetCount(); ++f) {
      if (isSoundTriangle(f)) {
        continue; // nearly every facet: no call that could build a message
      }
      if (auto reason = problemOf(f)) {
        return SoupProblem{f, std::move(*reason), false};
      }
    }
    return std::nullopt;
  }

private:
  /// The first facet that is not plainly sound, searched in parallel blocks;
  /// every facet before it is. Long facets need the shared stamp table, so
  /// they are left to the sequential search.
  std::size_t firstSuspect() const {
    return combineBlocks(
        soup_.facetCount(), none,
        [&](std::size_t first, std::size_t last) {
          for (std::size_t f = first; f < last; ++f) {
            if (!isSoundTriangle(f) && !isSoundShortFacet(f)) {
              return f;
            }
          }
          return none;
        },
        [](std::size_t& earliest, std::size_t part) { earliest = std::min(earliest, part); });
  }

  bool isSoundShortFacet(std::size_t f) const {
    const std::uint32_t begin = soup_.facetOffsets[f];
    const std::uint32_t end = soup_.facetOffsets[f + 1];
    if (end < begin + 3 || end - begin > pairwiseCornerLimit) {
      return false;
    }
    for (std::uint32_t k = begin; k < end; ++k) {
      if (soup_.corners[k] >= soup_.points.size()) {
        return false;
      }
    }
    return repeatedPairwise(begin, end) == end;
  }

  bool isSoundTriangle(std::size_t f) const {
    const std::uint32_t begin = soup_.facetOffsets[f];
    if (soup_.facetOffsets[f + 1] != begin + 3) {
      return false;
    }
    const std::uint32_t a = soup_.corners[begin];
    const std::uint32_t b = soup_.corners[begin + 1];
    const std::uint32_t c = soup_.corners[begin + 2];
    const std::size_t points = soup_.points.size();
    return a < points && b < points && c < points && a != b && b != c && a != c;
  }

  std::optional<std::string> problemOf(std::size_t f) {
    const std::uint32_t begin = soup_.facetOffsets[f];
    const std::uint32_t end = soup_.facetOffsets[f + 1];
    if (end < begin + 3) {
      return "has " + std::to_string(end - begin) + " corners; at least 3 are needed";
    }
    for (std::uint32_t k = begin; k < end; ++k) {
      if (soup_.corners[k] >= soup_.points.size()) {
        return "corner " + soup_.vertexName(soup_.corners[k]) + " is beyond the " +
               std::to_string(soup_.points.size()) + " vertices" + vertexNumbering(soup_);
      }
    }
    const std::uint32_t repeated = end - begin <= pairwiseCornerLimit
                                       ? repeatedPairwise(begin, end)
                                       : repeatedStamped(f, begin, end);
    if (repeated != end) {
      return "repeats vertex " + soup_.vertexName(soup_.corners[repeated]) + vertexNumbering(soup_);
    }
    return std::nullopt;
  }

  /// The first corner that repeats an earlier one, or end.
  std::uint32_t repeatedPairwise(std::uint32_t begin, std::uint32_t end) const {
    for (std::uint32_t k = begin + 1; k < end; ++k) {
      for (std::uint32_t j = begin; j < k; ++j) {
        if (soup_.corners[j] == soup_.corners[k]) {
          return k;
        }
      }
    }
    return end;
  }

  std::uint32_t repeatedStamped(std::size_t f, std::uint32_t begin, std::uint32_t end) {
    if (stamps_.empty()) {
      stamps_.assign(soup_.points.size(), 0);
    }
    const std::uint64_t stamp = f + 1;
    for (std::uint32_t k = begin; k < end; ++k) {
      std::uint64_t& seen = stamps_[soup_.corners[k]];
      if (seen == stamp) {
        return k;
      }
      seen = stamp;
    }
    return end;
  }

  const PolygonSoup& soup_;
  std::vector<std::uint64_t> stamps_; // facet + 1 that last used each vertex
};

std::size_t facetOfCorner(const PolygonSoup& soup, std::uint32_t corner) {
  const auto after = std::upper_bound(soup.facetOffsets.begin(), soup.facetOffsets.end(), corner);
  return static_cast<std::size_t>(after - soup.facetOffsets.begin()) - 1;
}

/// The facets a fan at one vertex spans, and whether it closes around it.
struct FanSpan {
  std::size_t firstFacet;
  std::size_t lastFacet;
  bool closed;
};

/// For each closed fan, the facet after which both it and another fan exist:
/// a closed fan is complete once its last facet is in, another fan exists
/// once that fan's first facet is in. The earliest such facet, or none.
std::size_t firstClashOf(const std::vector<FanSpan>& fans) {
  if (fans.size() < 2) {
    return none;
  }
  // The two fans that start first: every closed fan meets one of them first.
  std::size_t first = 0;
  std::size_t second = 1;
  if (fans[second].firstFacet < fans[first].firstFacet) {
    std::swap(first, second);
  }
  for (std::size_t k = 2; k < fans.size(); ++k) {
    if (fans[k].firstFacet < fans[first].firstFacet) {
      second = first;
      first = k;
    } else if (fans[k].firstFacet < fans[second].firstFacet) {
      second = k;
    }
  }
  std::size_t earliest = none;
  for (std::size_t k = 0; k < fans.size(); ++k) {
    if (fans[k].closed) {
      const std::size_t other = fans[k == first ? second : first].firstFacet;
      earliest = std::min(earliest, std::max(fans[k].lastFacet, other));
    }
  }
  return earliest;
}

/// Follows the fans at each vertex: corner c is followed by the corner at the
/// same vertex in the facet across c's outgoing edge. Vertices are searched in
/// parallel blocks: a walk only ever marks corners of its own vertex.
class FanSearch {
public:
  FanSearch(const PolygonSoup& soup, const CornerPairing& pairing, std::size_t facetEnd)
      : soup_(soup), pairing_(pairing), cornerEnd_(soup.facetOffsets[facetEnd]),
        visited_(cornerEnd_, 0) {}

  /// The earliest facet after which some vertex carries a closed fan beside
  /// another fan, with that vertex (the smallest such vertex on a tie); none
  /// when there is no such vertex.
  std::pair<std::size_t, std::uint32_t> run() {
    using Clash = std::pair<std::size_t, std::uint32_t>;
    return combineBlocks(
        pairing_.vertexCount(), Clash{none, 0},
        [&](std::size_t first, std::size_t last) {
          Scratch scratch;
          Clash earliest{none, 0};
          for (auto v = static_cast<std::uint32_t>(first); v < last; ++v) {
            const std::size_t clash = clashAt(v, scratch);
            if (clash < earliest.first) {
              earliest = {clash, v};
            }
          }
          return earliest;
        },
        [](Clash& earliest, const Clash& part) {
          if (part.first < earliest.first) {
            earliest = part;
          }
        });
  }

private:
  /// What the search at one vertex works in, kept across a block's vertices.
  struct Scratch {
    std::vector<std::uint32_t> corners;
    std::vector<FanSpan> fans;
  };

  bool inRange(std::uint32_t corner) const {
    return corner != CornerPairing::none && corner < cornerEnd_;
  }
  std::uint32_t successor(std::uint32_t corner) const {
    const std::uint32_t across = pairing_.twin(corner);
    return inRange(across) ? pairing_.next(across) : CornerPairing::none;
  }
  bool hasPredecessor(std::uint32_t corner) const {
    return inRange(pairing_.twin(pairing_.previous(corner)));
  }

  std::size_t clashAt(std::uint32_t v, Scratch& scratch) {
    std::vector<std::uint32_t>& corners = scratch.corners;
    corners.clear();
    for (const std::uint64_t* e = pairing_.cornersAtBegin(v); e != pairing_.cornersAtEnd(v); ++e) {
      const auto corner = static_cast<std::uint32_t>(*e);
      if (corner < cornerEnd_) {
        corners.push_back(corner);
      }
    }
    if (corners.size() < 4 || !hasClosedFanBesideAnother(corners)) {
      return none; // a closed fan has at least three corners, another fan one more
    }
    // Rare: walk the fans again, now noting the facets each one spans.
    for (const std::uint32_t corner : corners) {
      visited_[corner] = 0;
    }
    std::vector<FanSpan>& fans = scratch.fans;
    fans.clear();
    for (const std::uint32_t corner : corners) {
      if (!hasPredecessor(corner)) {
        fans.push_back(walk(corner, false));
      }
    }
    for (const std::uint32_t corner : corners) {
      if (!visited_[corner]) {
        fans.push_back(walk(corner, true));
      }
    }
    return firstClashOf(fans);
  }

  /// Whether the vertex carries a closed fan beside another fan. The open
  /// fans are walked from their first corners; a corner they leave out lies on
  /// a closed fan. Without open fans, one closed fan must hold every corner:
  /// the common interior vertex, settled by a single walk around it.
  bool hasClosedFanBesideAnother(const std::vector<std::uint32_t>& corners) {
    bool open = false;
    for (const std::uint32_t corner : corners) {
      if (!hasPredecessor(corner)) {
        open = true;
        markFan(corner);
      }
    }
    const auto unvisited = std::find_if(corners.begin(), corners.end(),
                                        [&](std::uint32_t corner) { return !visited_[corner]; });
    if (unvisited == corners.end()) {
      return false;
    }
    if (open) {
      return true;
    }
    markFan(*unvisited);
    return std::any_of(corners.begin(), corners.end(),
                       [&](std::uint32_t corner) { return !visited_[corner]; });
  }

  void markFan(std::uint32_t start) {
    for (std::uint32_t c = start; c != CornerPairing::none && !visited_[c]; c = successor(c)) {
      visited_[c] = 1;
    }
  }

  FanSpan walk(std::uint32_t start, bool closed) {
    FanSpan span{none, 0, closed};
    for (std::uint32_t c = start; c != CornerPairing::none && !visited_[c]; c = successor(c)) {
      visited_[c] = 1;
      const std::size_t facet = facetOfCorner(soup_, c);
      span.firstFacet = std::min(span.firstFacet, facet);
      span.lastFacet = std::max(span.lastFacet, facet);
    }
    return span;
  }

  const PolygonSoup& soup_;
  const CornerPairing& pairing_;
  const std::uint32_t cornerEnd_;
  ScratchVector<std::uint8_t> visited_; // per corner; each vertex's search marks its own corners
};

} // namespace

std::optional<SoupProblem> findSoupProblem(const PolygonSoup& soup, SoupTopology* topology) {
  checkIndexable(soup);
  const std::optional<SoupProblem> malformed = MalformedFacetSearch(soup).run();
  const std::size_t malformedEnd = malformed ? malformed->facet : soup.facetCount();
  CornerPairing pairing(soup, malformedEnd);
  std::optional<SoupProblem> first = malformed;
  std::size_t takenEnd = malformedEnd;
  if (pairing.firstRepeatedEdge() != CornerPairing::none) {
    const std::uint32_t corner = pairing.firstRepeatedEdge();
    takenEnd = facetOfCorner(soup, corner);
    const std::uint32_t from = soup.corners[corner];
    const std::uint32_t to = soup.corners[pairing.next(corner)];
    first = SoupProblem{takenEnd,
                        "cannot be added: its edge from vertex " + soup.vertexName(from) +
                            " to vertex " + soup.vertexName(to) + vertexNumbering(soup) +
                            " already belongs to another facet with the same direction (an "
                            "edge with more than two facets, or facets oriented inconsistently)",
                        true};
  }
  const auto [clash, vertex] = FanSearch(soup, pairing, takenEnd).run();
  if (clash != none) {
    return SoupProblem{clash,
                       "cannot be added: vertex " + soup.vertexName(vertex) +
                           vertexNumbering(soup) +
                           " would carry a closed fan beside another fan (non-manifold vertex)",
                       true};
  }
  if (!first && topology != nullptr) {
    *topology = topologyOf(pairing);
  }
  return first;
}

std::string describeSoupProblem(const PolygonSoup& soup, const SoupProblem& problem,
                                const std::string& sourceName) {
  return soup.facetPlace(problem.facet, sourceName) + " " + problem.reason;
}

void refuseSoup(const PolygonSoup& soup, const SoupProblem& problem,
                const std::string& sourceName) {
  const std::string message = describeSoupProblem(soup, problem, sourceName);
  if (problem.nonManifold) {
    throw NonManifoldError(message);
  }
  throw InvalidInputError(message);
}

void validateSoup(const PolygonSoup& soup, const std::string& sourceName) {
  if (const std::optional<SoupProblem> problem = findSoupProblem(soup)) {
    refuseSoup(soup, *problem, sourceName);
  }
}

} // namespace vornel
