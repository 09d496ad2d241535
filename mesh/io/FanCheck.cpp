// The closed-fan check. The corners of the soup are grouped by vertex; at each
// vertex the corner (a, v, b) is followed in its fan by the corner (b, v, c)
// that shares the edge v-b, so the fans are chains and cycles of corners.

#include "mesh/io/FanCheck.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

namespace vornel {
namespace {

constexpr std::size_t none = std::numeric_limits<std::size_t>::max();

/// One corner at a vertex: the facet's corners before and after it.
struct Corner {
  std::uint32_t previous;
  std::uint32_t next;
  std::uint32_t facet;
};

/// The facets a fan at one vertex spans, and whether it closes around it.
struct FanSpan {
  std::size_t firstFacet;
  std::size_t lastFacet;
  bool closed;
};

bool cornersAreDistinct(const std::uint32_t* first, const std::uint32_t* last,
                        std::size_t pointCount) {
  if (last - first < 3) {
    return false;
  }
  for (const std::uint32_t* c = first; c != last; ++c) {
    if (*c >= pointCount || std::find(first, c, *c) != c) {
      return false;
    }
  }
  return true;
}

/// The first facet that the builder code refuses on its own corners.
std::size_t firstMalformedFacet(const PolygonSoup& soup) {
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    const std::uint32_t* first = soup.corners.data() + soup.facetOffsets[f];
    const std::uint32_t* last = soup.corners.data() + soup.facetOffsets[f + 1];
    if (!cornersAreDistinct(first, last, soup.points.size())) {
      return f;
    }
  }
  return soup.facetCount();
}

/// The corners of facets [0, facetEnd) grouped by vertex (compressed rows).
class CornersByVertex {
public:
  CornersByVertex(const PolygonSoup& soup, std::size_t facetEnd)
      : offsets_(soup.points.size() + 1, 0) {
    const std::size_t cornerEnd = soup.facetOffsets[facetEnd];
    for (std::size_t k = 0; k < cornerEnd; ++k) {
      ++offsets_[soup.corners[k] + 1];
    }
    for (std::size_t v = 0; v < soup.points.size(); ++v) {
      offsets_[v + 1] += offsets_[v];
    }
    corners_.resize(cornerEnd);
    std::vector<std::size_t> fill(offsets_.begin(), offsets_.end() - 1);
    for (std::size_t f = 0; f < facetEnd; ++f) {
      const std::size_t begin = soup.facetOffsets[f];
      const std::size_t size = soup.facetOffsets[f + 1] - begin;
      for (std::size_t i = 0; i < size; ++i) {
        const std::uint32_t v = soup.corners[begin + i];
        corners_[fill[v]++] = {soup.corners[begin + (i + size - 1) % size],
                               soup.corners[begin + (i + 1) % size],
                               static_cast<std::uint32_t>(f)};
      }
    }
  }

  std::size_t vertexCount() const { return offsets_.size() - 1; }
  Corner* begin(std::size_t v) { return corners_.data() + offsets_[v]; }
  Corner* end(std::size_t v) { return corners_.data() + offsets_[v + 1]; }

private:
  std::vector<std::size_t> offsets_;
  std::vector<Corner> corners_;
};

/// The first facet that repeats a directed edge v -> b at this vertex (the
/// later of the first two facets with that edge), or limit when none does.
std::size_t firstRepeatedEdge(Corner* first, Corner* last, std::size_t limit) {
  std::sort(first, last, [](const Corner& x, const Corner& y) {
    return x.next != y.next ? x.next < y.next : x.facet < y.facet;
  });
  for (std::ptrdiff_t i = 1; i < last - first; ++i) {
    if (first[i - 1].next == first[i].next) {
      limit = std::min<std::size_t>(limit, first[i].facet);
    }
  }
  return limit;
}

/// For each closed fan, the time both it and some other fan exist; the earliest.
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

/// The earliest facet after which the corners at one vertex (no two with the
/// same previous or next corner) hold a closed fan and another fan, or `none`.
/// A closed fan is complete once its last facet is added; the other fan exists
/// once the first corner outside the closed fan is added. The work arrays are
/// kept from vertex to vertex.
class FanScan {
public:
  std::size_t earliestClash(std::vector<Corner>& corners) {
    std::sort(corners.begin(), corners.end(),
              [](const Corner& x, const Corner& y) { return x.previous < y.previous; });
    linkSuccessors(corners);
    // Fans numbered in discovery order: open ones from their first corner, then cycles.
    fans_.clear();
    fanOf_.assign(corners.size(), none);
    for (std::size_t i = 0; i < corners.size(); ++i) {
      if (!hasPredecessor_[i]) {
        walk(corners, i, false);
      }
    }
    for (std::size_t i = 0; i < corners.size(); ++i) {
      if (fanOf_[i] == none) {
        walk(corners, i, true);
      }
    }
    return firstClashOf(fans_);
  }

private:
  void linkSuccessors(const std::vector<Corner>& corners) {
    successor_.assign(corners.size(), none);
    hasPredecessor_.assign(corners.size(), 0);
    for (std::size_t i = 0; i < corners.size(); ++i) {
      const auto found = std::lower_bound(
          corners.begin(), corners.end(), corners[i].next,
          [](const Corner& c, std::uint32_t value) { return c.previous < value; });
      if (found != corners.end() && found->previous == corners[i].next) {
        successor_[i] = static_cast<std::size_t>(found - corners.begin());
        hasPredecessor_[successor_[i]] = 1;
      }
    }
  }

  void walk(const std::vector<Corner>& corners, std::size_t start, bool closed) {
    FanSpan span{none, 0, closed};
    for (std::size_t i = start; i != none && fanOf_[i] == none; i = successor_[i]) {
      fanOf_[i] = fans_.size();
      span.firstFacet = std::min<std::size_t>(span.firstFacet, corners[i].facet);
      span.lastFacet = std::max<std::size_t>(span.lastFacet, corners[i].facet);
    }
    fans_.push_back(span);
  }

  std::vector<std::size_t> successor_;
  std::vector<char> hasPredecessor_;
  std::vector<std::size_t> fanOf_;
  std::vector<FanSpan> fans_;
};

} // namespace

std::optional<ClosedFanProblem> findClosedFanBesideAnother(const PolygonSoup& soup) {
  const std::size_t facetEnd = firstMalformedFacet(soup);
  CornersByVertex byVertex(soup, facetEnd);
  std::size_t builtEnd = facetEnd;
  for (std::size_t v = 0; v < byVertex.vertexCount(); ++v) {
    builtEnd = firstRepeatedEdge(byVertex.begin(v), byVertex.end(v), builtEnd);
  }
  std::optional<ClosedFanProblem> problem;
  std::vector<Corner> built;
  FanScan scan;
  for (std::size_t v = 0; v < byVertex.vertexCount(); ++v) {
    built.clear();
    std::copy_if(byVertex.begin(v), byVertex.end(v), std::back_inserter(built),
                 [&](const Corner& c) { return c.facet < builtEnd; });
    if (built.size() < 4) {
      continue; // a closed fan has at least three corners, another fan one more
    }
    const std::size_t facet = scan.earliestClash(built);
    if (facet != none && (!problem || facet < problem->facet)) {
      problem = ClosedFanProblem{facet, static_cast<std::uint32_t>(v)};
    }
  }
  return problem;
}

} // namespace vornel
