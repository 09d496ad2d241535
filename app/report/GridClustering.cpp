#include "app/report/GridClustering.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace vornel {

namespace {

/// Grid coordinates are offsets from the lowest corner, 21 bits per axis.
constexpr std::int64_t axisCells = std::int64_t{1} << 21;
constexpr std::uint32_t emptySlot = 0xFFFFFFFFu;

std::uint64_t mixBits(std::uint64_t key) {
  key ^= key >> 33;
  key *= 0xFF51AFD7ED558CCDull;
  key ^= key >> 33;
  return key;
}

/// An open-addressing table of indices into the caller's items, found by a
/// hash and an equality test on those items. Sized for at most `capacity` items.
class IndexTable {
public:
  explicit IndexTable(std::size_t capacity) {
    std::size_t size = 16;
    while (size < 2 * capacity)
      size *= 2;
    slots_.assign(size, emptySlot);
  }

  /// The index stored for an item equal to `candidate` (by `equal`), or, when
  /// none is, `candidate` itself after storing it.
  template <class Equal>
  std::uint32_t findOrInsert(std::uint64_t hash, std::uint32_t candidate, const Equal& equal) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = mixBits(hash) & mask;; slot = (slot + 1) & mask) {
      if (slots_[slot] == emptySlot) {
        slots_[slot] = candidate;
        return candidate;
      }
      if (equal(slots_[slot]))
        return slots_[slot];
    }
  }

private:
  std::vector<std::uint32_t> slots_;
};

std::array<double, 3> lowestCorner(const ColouredMesh& mesh) {
  std::array<double, 3> low{0.0, 0.0, 0.0};
  if (mesh.positions.empty())
    return low;
  for (int axis = 0; axis < 3; ++axis)
    low[axis] = mesh.positions[0][axis];
  for (const Point3& p : mesh.positions)
    for (int axis = 0; axis < 3; ++axis)
      low[axis] = std::min(low[axis], static_cast<double>(p[axis]));
  return low;
}

/// The cluster of every vertex, clusters numbered in order of first appearance.
std::vector<std::uint32_t> clusterOfVertices(const ColouredMesh& mesh, double cellSize,
                                             std::size_t& clusterCount) {
  const std::array<double, 3> low = lowestCorner(mesh);
  const std::size_t count = mesh.positions.size();
  std::vector<std::uint64_t> cellOfCluster;
  std::vector<std::uint32_t> clusterOf(count);
  IndexTable table(count);
  for (std::size_t v = 0; v < count; ++v) {
    std::uint64_t cell = 0;
    for (int axis = 0; axis < 3; ++axis) {
      const double offset = std::floor((mesh.positions[v][axis] - low[axis]) / cellSize);
      const double clamped = std::clamp(offset, 0.0, static_cast<double>(axisCells - 1));
      cell = (cell << 21) | static_cast<std::uint64_t>(clamped);
    }
    const auto next = static_cast<std::uint32_t>(cellOfCluster.size());
    clusterOf[v] = table.findOrInsert(
        cell, next, [&](std::uint32_t cluster) { return cellOfCluster[cluster] == cell; });
    if (clusterOf[v] == next)
      cellOfCluster.push_back(cell);
  }
  clusterCount = cellOfCluster.size();
  return clusterOf;
}

/// Each cluster's position and value (the means of its vertices') and its most
/// frequent class, ties to the lowest label. The vertices are bucketed by
/// cluster first, so that one small count array serves every cluster.
void describeClusters(const ColouredMesh& mesh, const std::vector<std::uint32_t>& clusterOf,
                      ViewSurface& surface) {
  const std::size_t count = surface.labels.size();
  std::vector<std::uint32_t> start(count + 1, 0);
  for (const std::uint32_t cluster : clusterOf)
    ++start[cluster + 1];
  for (std::size_t c = 0; c < count; ++c)
    start[c + 1] += start[c];
  std::vector<std::uint32_t> members(clusterOf.size());
  std::vector<std::uint32_t> filled(start.begin(), start.end() - 1);
  for (std::size_t v = 0; v < clusterOf.size(); ++v)
    members[filled[clusterOf[v]]++] = static_cast<std::uint32_t>(v);

  surface.positions.resize(count * 3);
  surface.values.resize(count);
  surface.segments.resize(mesh.segments.empty() ? 0 : count);
  std::array<std::uint32_t, 256> votes{};
  for (std::size_t c = 0; c < count; ++c) {
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    for (std::uint32_t k = start[c]; k < start[c + 1]; ++k) {
      const std::uint32_t v = members[k];
      for (int axis = 0; axis < 3; ++axis)
        sum[axis] += mesh.positions[v][axis];
      sum[3] += mesh.values[v];
      ++votes[static_cast<std::uint8_t>(mesh.labels[v])];
    }
    const double size = start[c + 1] - start[c];
    for (int axis = 0; axis < 3; ++axis)
      surface.positions[c * 3 + axis] = static_cast<float>(sum[axis] / size);
    surface.values[c] = static_cast<float>(sum[3] / size);
    std::uint8_t best = static_cast<std::uint8_t>(mesh.labels[members[start[c]]]);
    for (std::uint32_t k = start[c]; k < start[c + 1]; ++k) {
      const auto label = static_cast<std::uint8_t>(mesh.labels[members[k]]);
      if (votes[label] > votes[best] || (votes[label] == votes[best] && label < best))
        best = label;
    }
    surface.labels[c] = best;
    if (!mesh.segments.empty()) {
      std::uint32_t k = start[c];
      while (static_cast<std::uint8_t>(mesh.labels[members[k]]) != best)
        ++k;
      surface.segments[c] = static_cast<std::uint32_t>(mesh.segments[members[k]]);
    }
    for (std::uint32_t k = start[c]; k < start[c + 1]; ++k)
      votes[static_cast<std::uint8_t>(mesh.labels[members[k]])] = 0;
  }
}

/// The fan triangles between three different clusters, each set of three
/// clusters once (in the orientation met first).
void connectClusters(const ColouredMesh& mesh, const std::vector<std::uint32_t>& clusterOf,
                     ViewSurface& surface) {
  std::vector<std::array<std::uint32_t, 3>> sortedCorners; // of each kept triangle
  IndexTable table(mesh.corners.size() / 3 + 1);
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const std::uint32_t first = mesh.facetOffsets[f];
    for (std::uint32_t k = first + 1; k + 1 < mesh.facetOffsets[f + 1]; ++k) {
      const std::uint32_t a = clusterOf[mesh.corners[first]];
      const std::uint32_t b = clusterOf[mesh.corners[k]];
      const std::uint32_t c = clusterOf[mesh.corners[k + 1]];
      if (a == b || b == c || a == c)
        continue;
      std::array<std::uint32_t, 3> sorted{a, b, c};
      std::sort(sorted.begin(), sorted.end());
      const std::uint64_t hash = (std::uint64_t{sorted[0]} * 0x9E3779B97F4A7C15ull) ^
                                 (std::uint64_t{sorted[1]} << 21) ^
                                 (std::uint64_t{sorted[2]} << 42) ^ sorted[2];
      const auto next = static_cast<std::uint32_t>(sortedCorners.size());
      const std::uint32_t found = table.findOrInsert(
          hash, next, [&](std::uint32_t t) { return sortedCorners[t] == sorted; });
      if (found != next)
        continue;
      sortedCorners.push_back(sorted);
      surface.triangles.insert(surface.triangles.end(), {a, b, c});
    }
  }
}

} // namespace

ViewSurface clusterOnGrid(const ColouredMesh& mesh, double cellSize) {
  ViewSurface surface;
  surface.simplified = true;
  surface.cellSize = cellSize;
  std::size_t clusterCount = 0;
  const std::vector<std::uint32_t> clusterOf = clusterOfVertices(mesh, cellSize, clusterCount);
  surface.labels.assign(clusterCount, 0);
  describeClusters(mesh, clusterOf, surface);
  connectClusters(mesh, clusterOf, surface);
  return surface;
}

double surfaceArea(const ColouredMesh& mesh) {
  double area = 0.0;
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const Point3& o = mesh.positions[mesh.corners[mesh.facetOffsets[f]]];
    for (std::uint32_t k = mesh.facetOffsets[f] + 1; k + 1 < mesh.facetOffsets[f + 1]; ++k) {
      const Point3& p = mesh.positions[mesh.corners[k]];
      const Point3& q = mesh.positions[mesh.corners[k + 1]];
      const double u[3] = {double(p.x()) - o.x(), double(p.y()) - o.y(), double(p.z()) - o.z()};
      const double w[3] = {double(q.x()) - o.x(), double(q.y()) - o.y(), double(q.z()) - o.z()};
      const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                           u[0] * w[1] - u[1] * w[0]};
      area += 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    }
  }
  return area;
}

} // namespace vornel
