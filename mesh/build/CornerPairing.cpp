// The pairing works on a compressed table of the corners by vertex, each
// entry keyed by the vertex its edge runs to: a corner's twin is then found by
// a binary search among the corners of that target vertex, so the whole
// pairing is linear in the corner count up to the sorting of each vertex's few
// corners, whatever the valence.

#include "mesh/build/CornerPairing.hpp"

#include "core/Parallel.hpp"

#include <algorithm>

namespace vornel {
namespace {

constexpr std::uint64_t keyOf(std::uint32_t target, std::uint32_t corner) {
  return (static_cast<std::uint64_t>(target) << 32) | corner;
}

constexpr std::uint32_t targetOf(std::uint64_t key) {
  return static_cast<std::uint32_t>(key >> 32);
}

constexpr std::uint32_t cornerOf(std::uint64_t key) {
  return static_cast<std::uint32_t>(key);
}

void sortGroup(std::uint64_t* first, std::uint64_t* last) {
  if (last - first < 2) {
    return; // also keeps an empty table's null data pointer out of the arithmetic
  }
  // Most vertices carry a handful of corners: insertion sort beats std::sort there.
  if (last - first > 16) {
    std::sort(first, last);
    return;
  }
  for (std::uint64_t* i = first + 1; i < last; ++i) {
    const std::uint64_t key = *i;
    std::uint64_t* j = i;
    for (; j > first && *(j - 1) > key; --j) {
      *j = *(j - 1);
    }
    *j = key;
  }
}

// Corners per block of the passes that count and scatter them.
constexpr std::size_t cornerBlockSize = 16 * parallelBlockSize;

/// Calls work(k) for every corner k below cornerEnd: in order on one thread,
/// in blocks on several (work must then only touch shared counters through
/// increment).
template <class Work> void forEachCorner(std::uint32_t cornerEnd, Work&& work) {
  forEachBlock(
      cornerEnd,
      [&](std::size_t first, std::size_t last, std::size_t) {
        for (auto k = static_cast<std::uint32_t>(first); k < last; ++k) {
          work(k);
        }
      },
      cornerBlockSize);
}

/// Adds one to counter, returning its value before; atomic when several
/// threads share the counter.
std::uint32_t increment(std::uint32_t& counter, bool shared) {
  return shared ? __atomic_fetch_add(&counter, 1u, __ATOMIC_RELAXED) : counter++;
}

} // namespace

CornerPairing::CornerPairing(const PolygonSoup& soup, std::size_t facetEnd)
    : corners_(&soup.corners) {
  linkFacetCorners(soup, facetEnd);
  groupByVertex(soup.points.size());
  pairEdges();
}

void CornerPairing::linkFacetCorners(const PolygonSoup& soup, std::size_t facetEnd) {
  const std::uint32_t cornerEnd = soup.facetOffsets[facetEnd];
  cornerCount_ = cornerEnd;
  triangles_ = cornerEnd == 3 * facetEnd;
  if (triangles_) {
    return;
  }
  next_.resize(cornerEnd);
  previous_.resize(cornerEnd);
  forEachBlock(facetEnd, [&](std::size_t first, std::size_t last, std::size_t) {
    for (std::size_t f = first; f < last; ++f) {
      const std::uint32_t begin = soup.facetOffsets[f];
      const std::uint32_t end = soup.facetOffsets[f + 1];
      for (std::uint32_t k = begin; k < end; ++k) {
        next_[k] = k + 1 == end ? begin : k + 1;
        previous_[k] = k == begin ? end - 1 : k - 1;
      }
    }
  });
}

void CornerPairing::groupByVertex(std::size_t pointCount) {
  const std::vector<std::uint32_t>& corners = *corners_;
  const auto cornerEnd = static_cast<std::uint32_t>(cornerCount_);
  offsets_.assign(pointCount + 1, 0);
  std::uint32_t* const counts = offsets_.data() + 1;
  const bool shared = severalThreads();
  forEachCorner(cornerEnd, [&](std::uint32_t k) { increment(counts[corners[k]], shared); });
  for (std::size_t v = 0; v < pointCount; ++v) {
    offsets_[v + 1] += offsets_[v];
  }
  grouped_.resize(cornerEnd);
  // Each vertex's offset serves as its fill position, leaving it at the next
  // vertex's start; a shift by one restores the offsets without a copy. The
  // order of the entries within a vertex is the order threads reach them, but
  // each group is sorted next, and no two entries are equal.
  forEachCorner(cornerEnd, [&](std::uint32_t k) {
    grouped_[increment(offsets_[corners[k]], shared)] = keyOf(corners[next(k)], k);
  });
  std::copy_backward(offsets_.begin(), offsets_.end() - 1, offsets_.end());
  offsets_[0] = 0;
  forEachBlock(pointCount, [&](std::size_t first, std::size_t last, std::size_t) {
    for (std::size_t v = first; v < last; ++v) {
      sortGroup(grouped_.data() + offsets_[v], grouped_.data() + offsets_[v + 1]);
    }
  });
}

void CornerPairing::pairEdges() {
  twins_.assign(cornerCount_, none);
  // Every twin entry is written from the smaller end of its edge only, so
  // blocks of vertices write disjoint entries.
  firstRepeatedEdge_ = combineBlocks(
      vertexCount(), none,
      [&](std::size_t first, std::size_t last) {
        return pairVertices(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
      },
      [](std::uint32_t& earliest, std::uint32_t part) { earliest = std::min(earliest, part); });
}

std::uint32_t CornerPairing::pairVertices(std::uint32_t first, std::uint32_t last) {
  std::uint32_t firstRepeated = none;
  for (std::uint32_t v = first; v < last; ++v) {
    const std::uint64_t* const end = cornersAtEnd(v);
    for (const std::uint64_t* run = cornersAtBegin(v); run != end;) {
      const std::uint32_t target = targetOf(*run);
      const std::uint64_t* runEnd = run + 1;
      while (runEnd != end && targetOf(*runEnd) == target) {
        ++runEnd;
      }
      if (runEnd - run > 1) {
        firstRepeated = std::min(firstRepeated, cornerOf(run[1]));
      }
      // Each edge is paired once, from its smaller end, both ways at once.
      if (target >= v) {
        pairRuns(run, runEnd, target, v);
      }
      run = runEnd;
    }
  }
  return firstRepeated;
}

void CornerPairing::pairRuns(const std::uint64_t* run, const std::uint64_t* runEnd,
                             std::uint32_t target, std::uint32_t v) {
  // The corners at the target whose edge runs back to v, in corner order.
  const std::uint64_t* const targetEnd = cornersAtEnd(target);
  const std::uint64_t* const reverse =
      std::lower_bound(cornersAtBegin(target), targetEnd, keyOf(v, 0));
  if (reverse == targetEnd || targetOf(*reverse) != v) {
    return;
  }
  // With repeated edges every corner takes the earliest of the other way.
  const std::uint32_t earliestReverse = cornerOf(*reverse);
  const std::uint32_t earliest = cornerOf(*run);
  for (const std::uint64_t* entry = run; entry != runEnd; ++entry) {
    twins_[cornerOf(*entry)] = earliestReverse;
  }
  for (const std::uint64_t* entry = reverse; entry != targetEnd && targetOf(*entry) == v; ++entry) {
    twins_[cornerOf(*entry)] = earliest;
  }
}

} // namespace vornel
