#include "app/report/GridClustering.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace vornel {

namespace {

/// Grid coordinates are offsets from the lowest corner, 21 bits per axis.
constexpr std::int64_t axisCells = std::int64_t{1} << 21;

std::uint64_t cellKey(const Point3& p, const std::array<double, 3>& low, double cellSize) {
  std::uint64_t key = 0;
  for (int axis = 0; axis < 3; ++axis) {
    const double offset = std::floor((p[axis] - low[axis]) / cellSize);
    const auto cell = static_cast<std::int64_t>(std::clamp(offset, 0.0, double(axisCells - 1)));
    key = (key << 21) | static_cast<std::uint64_t>(cell);
  }
  return key;
}

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
  std::unordered_map<std::uint64_t, std::uint32_t> clusterOfCell;
  clusterOfCell.reserve(mesh.positions.size() / 2 + 1);
  std::vector<std::uint32_t> clusterOf;
  clusterOf.reserve(mesh.positions.size());
  for (const Point3& p : mesh.positions) {
    const auto next = static_cast<std::uint32_t>(clusterOfCell.size());
    clusterOf.push_back(clusterOfCell.emplace(cellKey(p, low, cellSize), next).first->second);
  }
  clusterCount = clusterOfCell.size();
  return clusterOf;
}

/// Positions and values as the means of each cluster's vertices.
void placeClusters(const ColouredMesh& mesh, const std::vector<std::uint32_t>& clusterOf,
                   ViewSurface& surface) {
  const std::size_t count = surface.labels.size();
  std::vector<double> sums(count * 4, 0.0);
  std::vector<std::uint32_t> members(count, 0);
  for (std::size_t v = 0; v < clusterOf.size(); ++v) {
    double* sum = &sums[clusterOf[v] * 4];
    for (int axis = 0; axis < 3; ++axis)
      sum[axis] += mesh.positions[v][axis];
    sum[3] += mesh.values[v];
    ++members[clusterOf[v]];
  }
  surface.positions.resize(count * 3);
  surface.values.resize(count);
  for (std::size_t c = 0; c < count; ++c) {
    for (int axis = 0; axis < 3; ++axis)
      surface.positions[c * 3 + axis] = static_cast<float>(sums[c * 4 + axis] / members[c]);
    surface.values[c] = static_cast<float>(sums[c * 4 + 3] / members[c]);
  }
}

/// Each cluster's most frequent class, ties to the lowest label: the vertices'
/// (cluster, label) pairs sorted, then counted run by run.
void labelClusters(const ColouredMesh& mesh, const std::vector<std::uint32_t>& clusterOf,
                   ViewSurface& surface) {
  std::vector<std::uint64_t> pairs;
  pairs.reserve(clusterOf.size());
  for (std::size_t v = 0; v < clusterOf.size(); ++v)
    pairs.push_back((std::uint64_t{clusterOf[v]} << 8) | static_cast<std::uint8_t>(mesh.labels[v]));
  std::sort(pairs.begin(), pairs.end());
  std::vector<std::size_t> bestCount(surface.labels.size(), 0);
  for (std::size_t start = 0; start < pairs.size();) {
    std::size_t end = start;
    while (end < pairs.size() && pairs[end] == pairs[start])
      ++end;
    const std::size_t cluster = pairs[start] >> 8;
    if (end - start > bestCount[cluster]) {
      bestCount[cluster] = end - start;
      surface.labels[cluster] = static_cast<std::uint8_t>(pairs[start] & 0xFFu);
    }
    start = end;
  }
}

/// The fan triangles between three different clusters, each set of three
/// clusters once (in the orientation met first).
void connectClusters(const ColouredMesh& mesh, const std::vector<std::uint32_t>& clusterOf,
                     ViewSurface& surface) {
  std::vector<std::array<std::uint32_t, 4>> keyed; // sorted corners, then the triangle's index
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
      keyed.push_back({sorted[0], sorted[1], sorted[2], static_cast<std::uint32_t>(keyed.size())});
      surface.triangles.insert(surface.triangles.end(), {a, b, c});
    }
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::uint32_t> kept;
  kept.reserve(keyed.size());
  for (std::size_t i = 0; i < keyed.size(); ++i)
    if (i == 0 || !std::equal(keyed[i].begin(), keyed[i].begin() + 3, keyed[i - 1].begin()))
      kept.push_back(keyed[i][3]);
  std::sort(kept.begin(), kept.end());
  std::vector<std::uint32_t> triangles;
  triangles.reserve(kept.size() * 3);
  for (const std::uint32_t t : kept)
    triangles.insert(triangles.end(), surface.triangles.begin() + t * 3,
                     surface.triangles.begin() + t * 3 + 3);
  surface.triangles = std::move(triangles);
}

} // namespace

ViewSurface clusterOnGrid(const ColouredMesh& mesh, double cellSize) {
  ViewSurface surface;
  surface.simplified = true;
  surface.cellSize = cellSize;
  std::size_t clusterCount = 0;
  const std::vector<std::uint32_t> clusterOf = clusterOfVertices(mesh, cellSize, clusterCount);
  surface.labels.assign(clusterCount, 0);
  placeClusters(mesh, clusterOf, surface);
  labelClusters(mesh, clusterOf, surface);
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
